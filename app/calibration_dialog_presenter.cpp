#include "app/calibration_dialog_presenter.h"

#include <array>

#include "app/numeric_field.h"
#include "devices/chip_table.h"
#include "engine/isp_programmer.h"

namespace velkor {
namespace {

constexpr std::array kControls{
    ControlTemplate{kIdStatic, ControlKind::GroupBox, "芯片校准字节", {7, 4, 104, 72}},
    ControlTemplate{1064, ControlKind::RadioButton, "1M", {15, 17, 30, 10}, 1},
    ControlTemplate{1065, ControlKind::RadioButton, "2M", {15, 31, 30, 10}, 1},
    ControlTemplate{1066, ControlKind::RadioButton, "4M", {15, 45, 30, 10}, 1},
    ControlTemplate{1067, ControlKind::RadioButton, "8M", {15, 59, 30, 10}, 1},
    ControlTemplate{1068, ControlKind::ReadOnlyEdit, "", {50, 16, 52, 12}},
    ControlTemplate{1069, ControlKind::ReadOnlyEdit, "", {50, 30, 52, 12}},
    ControlTemplate{1070, ControlKind::ReadOnlyEdit, "", {50, 44, 52, 12}},
    ControlTemplate{1071, ControlKind::ReadOnlyEdit, "", {50, 58, 52, 12}},
    ControlTemplate{kIdStatic, ControlKind::GroupBox, "保存位置", {117, 4, 63, 72}},
    ControlTemplate{kCalFlashId, ControlKind::RadioButton, "FLASH", {124, 17, 50, 10}, 2},
    ControlTemplate{kCalEepromId, ControlKind::RadioButton, "EEPROM", {124, 31, 50, 10}, 2},
    ControlTemplate{kIdStatic, ControlKind::Label, "地址", {124, 46, 40, 9}},
    ControlTemplate{kCalAddressId, ControlKind::NumericEdit, "", {124, 57, 50, 12}},
    ControlTemplate{kIdAccept, ControlKind::DefaultButton, "确定", {76, 81, 50, 14}},
    ControlTemplate{kIdDiscard, ControlKind::PushButton, "放弃", {130, 81, 50, 14}},
};

constexpr DialogTemplate kTemplate{148, "校准字节设置", 187, 100, "宋体", 9, kControls};

}  // namespace

const DialogTemplate& CalibrationDialogTemplate() {
    return kTemplate;
}

std::uint32_t CalibrationDialogPresenter::MemorySize(bool eeprom) const {
    const ChipRecord& chip = settings_.AvrRecord();
    return eeprom ? chip.eepromSize : chip.flashSize;
}

void CalibrationDialogPresenter::OnInit() {
    const int select = settings_.calibrationSelect <= 3 ? settings_.calibrationSelect : 0;
    view_.CheckRadio(kCalSelectFirstId + select);
    const bool eeprom = settings_.calibrationSaveLocation != 0;
    view_.CheckRadio(eeprom ? kCalEepromId : kCalFlashId);

    // The run reads 0, and anything beyond the memory, as its last byte; show that address.
    // The setting itself stays as it is until OK.
    const std::uint32_t size = MemorySize(eeprom);
    std::uint32_t address = settings_.calibrationAddress;
    if (size == 0) {
        address = 0;
    } else if (address == 0 || address > size - 1) {
        address = size - 1;
    }
    for (int i = 0; i < 4; ++i) {
        view_.SetText(kCalByteFirstId + i, FormatNumericText(bytesRead_[i]));
    }
    view_.SetText(kCalAddressId, FormatNumericText(address));
}

void CalibrationDialogPresenter::OnCommand(int id) {
    if (id == kIdAccept) {
        Accept();
    } else if (id == kIdDiscard || id == kIdCancel) {
        OnCancel();
    }
}

void CalibrationDialogPresenter::Accept() {
    int select = 0;
    for (int i = 0; i < 4; ++i) {
        if (view_.IsChecked(kCalSelectFirstId + i)) select = i;
    }
    // The memory chosen now, not the one the dialog opened with.
    const bool eeprom = view_.IsChecked(kCalEepromId);
    const std::uint32_t size = MemorySize(eeprom);
    const std::uint32_t address = ParseNumericText(view_.Text(kCalAddressId));
    // A chip without that memory has no address to hold the byte; size - 1 would wrap round
    // and let every address through.
    if (size == 0 || address > size - 1) {
        view_.ShowMessage(kCalAddressTooLargeText, kCalAddressTooLargeCaption, MessageIcon::Stop);
        return;
    }
    settings_.calibrationSelect = static_cast<std::uint8_t>(select);
    settings_.calibrationAddress = address;
    settings_.calibrationSaveLocation = eeprom ? 1 : 0;
    view_.EndDialog(true);
}

}  // namespace velkor

#include "app/lock_dialog_presenter.h"

#include <array>

#include "app/numeric_field.h"
#include "engine/isp_programmer.h"

namespace velkor {
namespace {

constexpr std::array kControls{
    ControlTemplate{
        kLockDefaultId, ControlKind::RadioButton, "默认加密字节 (LB1 LB2)", {20, 16, 150, 10}, 1},
    ControlTemplate{kLockCustomId, ControlKind::RadioButton, "自定义", {20, 40, 50, 10}, 1},
    ControlTemplate{kLockByteId, ControlKind::NumericEdit, "", {74, 38, 60, 12}},
    ControlTemplate{kIdAccept, ControlKind::DefaultButton, "确定", {76, 81, 50, 14}},
    ControlTemplate{kIdDiscard, ControlKind::PushButton, "放弃", {130, 81, 50, 14}},
};

constexpr DialogTemplate kTemplate{149, "加密设置", 187, 100, "宋体", 9, kControls};

}  // namespace

const DialogTemplate& LockDialogTemplate() {
    return kTemplate;
}

void LockDialogPresenter::OnInit() {
    view_.CheckRadio(settings_.lockSelect != 0 ? kLockCustomId : kLockDefaultId);
    view_.SetText(kLockByteId, FormatNumericText(settings_.customLockByte));
}

void LockDialogPresenter::OnCommand(int id) {
    if (id == kIdAccept) {
        // Any value is taken; only its low 8 bits reach the chip.
        const auto lockByte = static_cast<std::uint8_t>(ParseNumericText(view_.Text(kLockByteId)));
        const bool custom = view_.IsChecked(kLockCustomId);
        settings_.lockSelect = custom ? 1 : 0;
        // With the default lock byte chosen the user's own byte is kept for later.
        if (custom) settings_.customLockByte = lockByte;
        view_.EndDialog(true);
    } else if (id == kIdDiscard || id == kIdCancel) {
        OnCancel();
    }
}

}  // namespace velkor

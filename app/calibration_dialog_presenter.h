// The calibration byte settings dialog (148): which of the four calibration bytes the run
// copies into an image, into which memory and at which address.
#pragma once

#include <array>
#include <cstdint>

#include "app/option_dialog_presenter.h"

namespace velkor {

constexpr int kCalSelectFirstId = 1064;  // "1M", "2M", "4M", "8M": 1064 to 1067
constexpr int kCalByteFirstId = 1068;    // the four bytes read: 1068 to 1071
constexpr int kCalFlashId = 1072;
constexpr int kCalEepromId = 1073;
constexpr int kCalAddressId = 1032;

inline constexpr const char kCalAddressTooLargeText[] = "校准字节存储地址超过芯片容量,请重新设置!";
inline constexpr const char kCalAddressTooLargeCaption[] = "参数错误";

const DialogTemplate& CalibrationDialogTemplate();

class CalibrationDialogPresenter : public OptionDialogPresenter {
  public:
    // `bytesRead`: the chip's calibration bytes as the last calibration run read them.
    CalibrationDialogPresenter(ProgrammerSettings& settings,
                               const std::array<std::uint8_t, 4>& bytesRead, OptionDialogView& view)
        : OptionDialogPresenter(settings, view), bytesRead_(bytesRead) {}
    const DialogTemplate& Template() const override { return CalibrationDialogTemplate(); }
    void OnInit() override;
    void OnCommand(int id) override;

  private:
    // Bytes of the chosen memory of the selected chip.
    std::uint32_t MemorySize(bool eeprom) const;
    void Accept();

    std::array<std::uint8_t, 4> bytesRead_;
};

}  // namespace velkor

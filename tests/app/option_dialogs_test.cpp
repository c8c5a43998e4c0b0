#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <type_traits>

#include "app/calibration_dialog_presenter.h"
#include "app/lock_dialog_presenter.h"
#include "app/speed_dialog_presenter.h"
#include "devices/chip_table.h"
#include "tests/app/fake_dialog_view.h"
#include "tests/support/sim_rig.h"

namespace velkor {
namespace {

using test::FakeDialogView;

std::uint32_t Row(const char* name) {
    for (std::uint32_t i = 0; i < kChipTableRows; ++i) {
        if (ChipTable[i].name != nullptr && std::strcmp(ChipTable[i].name, name) == 0) return i;
    }
    ADD_FAILURE() << name;
    return kNoChipRow;
}

template <typename P>
const DialogTemplate& TemplateOf();
template <>
const DialogTemplate& TemplateOf<CalibrationDialogPresenter>() {
    return CalibrationDialogTemplate();
}
template <>
const DialogTemplate& TemplateOf<LockDialogPresenter>() {
    return LockDialogTemplate();
}
template <>
const DialogTemplate& TemplateOf<SpeedDialogPresenter>() {
    return SpeedDialogTemplate();
}

using CalibrationBytes = std::array<std::uint8_t, 4>;

template <typename P>
P Presenter(ProgrammerSettings& settings, const CalibrationBytes& bytes, OptionDialogView& view) {
    if constexpr (std::is_same_v<P, CalibrationDialogPresenter>) {
        return P(settings, bytes, view);
    } else {
        return P(settings, view);
    }
}

// An opened dialog of presenter type P on the settings; the calibration dialog also shows
// the bytes a calibration run read.
template <typename P>
struct Opened {
    explicit Opened(ProgrammerSettings& settings, const CalibrationBytes& bytes = {})
        : presenter(Presenter<P>(settings, bytes, view)) {
        presenter.OnInit();
    }
    FakeDialogView view{TemplateOf<P>()};
    P presenter;
};

TEST(CalibrationDialog, OpensOnTheLastByteOfTheChosenMemoryWithoutChangingTheEngine) {
    ProgrammerSettings settings;
    settings.chipIndex = Row("mega8");  // 8 KiB flash, 512 bytes EEPROM
    settings.calibrationSelect = 7;     // out of range: shows as the first radio
    settings.calibrationSaveLocation = 5;
    settings.calibrationAddress = 0;
    Opened<CalibrationDialogPresenter> d(settings, {0xA1, 0x0B, 0x00, 0xFF});
    EXPECT_TRUE(d.view.IsChecked(1064));
    EXPECT_TRUE(d.view.IsChecked(kCalEepromId));
    EXPECT_EQ(d.view.Text(kCalAddressId), "0x1ff");
    EXPECT_EQ(d.view.Text(1068), "0xa1");
    EXPECT_EQ(d.view.Text(1069), "0xb");
    EXPECT_EQ(d.view.Text(1070), "0x0");
    EXPECT_EQ(d.view.Text(1071), "0xff");
    EXPECT_EQ(settings.calibrationAddress, 0u);

    settings.calibrationSaveLocation = 0;
    settings.calibrationAddress = 0x2000;  // one beyond the flash
    Opened<CalibrationDialogPresenter> flash(settings);
    EXPECT_EQ(flash.view.Text(kCalAddressId), "0x1fff");
    settings.calibrationAddress = 0x1234;
    Opened<CalibrationDialogPresenter> kept(settings);
    EXPECT_EQ(kept.view.Text(kCalAddressId), "0x1234");
}

TEST(CalibrationDialog, AnAddressBeyondTheMemoryChosenNowIsRefusedUntilCorrected) {
    ProgrammerSettings settings;
    settings.chipIndex = Row("mega8");
    settings.calibrationAddress = 0x1000;  // fine for the flash, beyond the EEPROM
    Opened<CalibrationDialogPresenter> d(settings);
    d.view.Click(d.presenter, 1066);
    d.view.Click(d.presenter, kCalEepromId);
    d.view.Click(d.presenter, kIdAccept);
    ASSERT_EQ(d.view.messages.size(), 1u);
    EXPECT_EQ(d.view.messages[0].text, "校准字节存储地址超过芯片容量,请重新设置!");
    EXPECT_EQ(d.view.messages[0].caption, "参数错误");
    EXPECT_EQ(d.view.messages[0].icon, MessageIcon::Stop);
    EXPECT_FALSE(d.view.ended.has_value());
    EXPECT_EQ(settings.calibrationSaveLocation, 0);
    EXPECT_EQ(settings.calibrationSelect, 0);

    d.view.SetText(kCalAddressId, "0x200");  // one past the last byte
    d.view.Click(d.presenter, kIdAccept);
    EXPECT_EQ(d.view.messages.size(), 2u);
    d.view.SetText(kCalAddressId, "1FF");
    d.view.Click(d.presenter, kIdAccept);
    EXPECT_EQ(d.view.messages.size(), 2u);
    EXPECT_EQ(d.view.ended, true);
    EXPECT_EQ(settings.calibrationAddress, 0x1FFu);
    EXPECT_EQ(settings.calibrationSaveLocation, 1);
    EXPECT_EQ(settings.calibrationSelect, 2);

    // 0 is taken: the run reads it as the last byte.
    Opened<CalibrationDialogPresenter> zero(settings);
    zero.view.SetText(kCalAddressId, "0");
    zero.view.Click(zero.presenter, kIdAccept);
    EXPECT_EQ(zero.view.ended, true);
    EXPECT_EQ(settings.calibrationAddress, 0u);
}

TEST(CalibrationDialog, AChipWithoutTheMemoryTakesNoAddress) {
    ProgrammerSettings settings;
    settings.chipIndex = kNoChipRow;  // sizes 0: size - 1 must not wrap round to "anything goes"
    Opened<CalibrationDialogPresenter> d(settings);
    d.view.SetText(kCalAddressId, "0x10");
    d.view.Click(d.presenter, kIdAccept);
    EXPECT_EQ(d.view.messages.size(), 1u);
    EXPECT_FALSE(d.view.ended.has_value());
    EXPECT_EQ(settings.calibrationAddress, 0u);
}

TEST(CalibrationDialog, ShowsTheBytesTheCalibrationCommandJustRead) {
    test::SimRig rig({.chip = "mega8"});
    test::Edit(rig.engine)->chipIndex = Row("mega8");
    bool open = false;
    rig.engine.OscCalCommand(&open);
    ASSERT_TRUE(open);
    ProgrammerSettings settings = rig.engine.Settings();
    Opened<CalibrationDialogPresenter> d(settings, rig.engine.CalibrationBytes());
    // The simulated mega8's four bytes, read over the cable.
    EXPECT_EQ(d.view.Text(1068), "0xa1");
    EXPECT_EQ(d.view.Text(1071), "0xd4");
}

TEST(LockDialog, TakesTheLowByteOfAnyTextAndKeepsTheCustomByteUnderTheDefault) {
    struct Case {
        const char* text;
        std::uint8_t stored;
    };
    for (const Case& c :
         {Case{"0x3c", 0x3C}, Case{"252", 0xFC}, Case{"FC", 0xFC}, Case{"0x1234", 0x34},
          Case{"300", 44}, Case{"junk", 0}, Case{"99999999999", 0xFF}}) {
        ProgrammerSettings settings;
        settings.customLockByte = 0xAA;
        Opened<LockDialogPresenter> d(settings);
        EXPECT_TRUE(d.view.IsChecked(kLockDefaultId));
        EXPECT_EQ(d.view.Text(kLockByteId), "0xaa");
        d.view.Click(d.presenter, kLockCustomId);
        d.view.SetText(kLockByteId, c.text);
        d.view.Click(d.presenter, kIdAccept);
        EXPECT_EQ(d.view.ended, true);
        EXPECT_EQ(settings.lockSelect, 1);
        EXPECT_EQ(settings.customLockByte, c.stored) << c.text;
    }
    ProgrammerSettings settings;
    settings.lockSelect = 3;
    settings.customLockByte = 0xAA;
    Opened<LockDialogPresenter> d(settings);
    EXPECT_TRUE(d.view.IsChecked(kLockCustomId));
    d.view.Click(d.presenter, kLockDefaultId);
    d.view.SetText(kLockByteId, "0x00");
    d.view.Click(d.presenter, kIdAccept);
    EXPECT_EQ(settings.lockSelect, 0);
    EXPECT_EQ(settings.customLockByte, 0xAA);
}

TEST(SpeedDialog, TheSliderShowsForCustomAndItsPositionIsKeptEitherWay) {
    ProgrammerSettings settings;
    settings.userPortDelay = 7;
    Opened<SpeedDialogPresenter> d(settings);
    const auto& slider = d.view.sliders.at(kSpeedSliderId);
    EXPECT_EQ(slider.maximum, 255);
    EXPECT_EQ(slider.tickFrequency, 20);
    EXPECT_EQ(slider.position, 7);
    EXPECT_FALSE(d.view.visible.at(kSpeedSliderId));
    EXPECT_FALSE(d.view.visible.at(kSpeedAccelerateId));
    d.view.Click(d.presenter, kSpeedCustomId);
    EXPECT_TRUE(d.view.visible.at(kSpeedSliderId));
    d.view.SetSliderPosition(kSpeedSliderId, 40);
    d.view.Click(d.presenter, kIdOk);
    EXPECT_EQ(settings.speedSelection, 1u);
    EXPECT_EQ(settings.userPortDelay, 40u);

    Opened<SpeedDialogPresenter> again(settings);
    EXPECT_TRUE(again.view.IsChecked(kSpeedCustomId));
    EXPECT_TRUE(again.view.visible.at(kSpeedSliderId));
    again.view.Click(again.presenter, kSpeedFastestId);
    EXPECT_FALSE(again.view.visible.at(kSpeedSliderId));
    again.view.Click(again.presenter, kIdOk);
    EXPECT_EQ(settings.speedSelection, 0u);
    EXPECT_EQ(settings.userPortDelay, 40u);

    // A stored delay beyond the slider shows, and is kept, as its end.
    settings.userPortDelay = 1000;
    settings.speedSelection = 2;
    Opened<SpeedDialogPresenter> large(settings);
    EXPECT_TRUE(large.view.IsChecked(kSpeedCustomId));
    large.view.Click(large.presenter, kIdOk);
    EXPECT_EQ(settings.userPortDelay, 255u);
    EXPECT_EQ(settings.speedSelection, 1u);
}

TEST(OptionDialogs, CancelWritesNothing) {
    ProgrammerSettings settings;
    settings.chipIndex = Row("mega8");
    settings.calibrationAddress = 0x100;
    settings.customLockByte = 0x11;
    settings.userPortDelay = 9;
    Opened<CalibrationDialogPresenter> cal(settings);
    cal.view.Click(cal.presenter, kCalEepromId);
    cal.view.Click(cal.presenter, 1067);
    cal.view.SetText(kCalAddressId, "5");
    cal.view.Click(cal.presenter, kIdDiscard);
    Opened<LockDialogPresenter> lock(settings);
    lock.view.Click(lock.presenter, kLockCustomId);
    lock.view.SetText(kLockByteId, "0x22");
    lock.presenter.OnCancel();  // the close box
    Opened<SpeedDialogPresenter> speed(settings);
    speed.view.Click(speed.presenter, kSpeedCustomId);
    speed.view.SetSliderPosition(kSpeedSliderId, 200);
    speed.view.Click(speed.presenter, kIdCancel);
    for (const auto* view : {&cal.view, &lock.view, &speed.view}) EXPECT_EQ(view->ended, false);
    EXPECT_EQ(settings.calibrationAddress, 0x100u);
    EXPECT_EQ(settings.calibrationSaveLocation, 0);
    EXPECT_EQ(settings.calibrationSelect, 0);
    EXPECT_EQ(settings.lockSelect, 0);
    EXPECT_EQ(settings.customLockByte, 0x11);
    EXPECT_EQ(settings.speedSelection, 0u);
    EXPECT_EQ(settings.userPortDelay, 9u);
}

TEST(OptionDialogs, ConvertSwitchesTheFieldAndIsGreyedWhenEmpty) {
    ProgrammerSettings settings;
    settings.customLockByte = 0xC0;
    Opened<LockDialogPresenter> d(settings);
    d.presenter.Convert(kLockByteId);
    EXPECT_EQ(d.view.Text(kLockByteId), "192");
    d.presenter.Convert(kLockByteId);
    EXPECT_EQ(d.view.Text(kLockByteId), "0xC0");
    d.view.SetText(kLockByteId, "0x");
    EXPECT_FALSE(d.presenter.CanConvert(kLockByteId));
    d.presenter.Convert(kLockByteId);
    EXPECT_EQ(d.view.Text(kLockByteId), "0x");
}

}  // namespace
}  // namespace velkor

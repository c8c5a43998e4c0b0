#include "app/speed_dialog_presenter.h"

#include <algorithm>
#include <array>

#include "engine/isp_programmer.h"

namespace velkor {
namespace {

constexpr std::array kControls{
    ControlTemplate{kSpeedFastestId,
                    ControlKind::RadioButton,
                    "最快(适合晶振频率在1MHz及以上)",
                    {12, 10, 168, 10},
                    1},
    ControlTemplate{kSpeedAccelerateId,
                    ControlKind::RadioButton,
                    "加速(使用外部低频晶振做主时钟时推荐)",
                    {12, 24, 168, 10},
                    1,
                    true},
    ControlTemplate{kSpeedCustomId, ControlKind::RadioButton, "自定义", {12, 38, 60, 10}, 1},
    ControlTemplate{kSpeedSliderId, ControlKind::Slider, "", {12, 52, 168, 18}},
    ControlTemplate{kIdOk, ControlKind::DefaultButton, "OK", {76, 81, 50, 14}},
    ControlTemplate{kIdCancel, ControlKind::PushButton, "Cancel", {130, 81, 50, 14}},
};

constexpr DialogTemplate kTemplate{152, "下载速度设置", 187, 100, "宋体", 9, kControls};

}  // namespace

const DialogTemplate& SpeedDialogTemplate() {
    return kTemplate;
}

void SpeedDialogPresenter::OnInit() {
    // The run treats every nonzero selection as the custom delay, so show it as such.
    const bool custom = settings_.speedSelection != 0;
    view_.CheckRadio(custom ? kSpeedCustomId : kSpeedFastestId);
    // The range first: a stored delay beyond it shows, and is kept on OK, as the maximum.
    view_.SetSliderRange(kSpeedSliderId, 0, kSpeedSliderMaximum, kSpeedSliderTicks);
    const auto maximum = static_cast<std::uint32_t>(kSpeedSliderMaximum);
    view_.SetSliderPosition(kSpeedSliderId,
                            static_cast<int>(std::min(settings_.userPortDelay, maximum)));
    view_.SetVisible(kSpeedSliderId, custom);
}

void SpeedDialogPresenter::OnCommand(int id) {
    switch (id) {
        case kSpeedCustomId:
            view_.SetVisible(kSpeedSliderId, true);
            break;
        case kSpeedFastestId:
            view_.SetVisible(kSpeedSliderId, false);
            break;
        case kIdOk: {
            // Both are taken, the delay even while the slider is hidden.
            settings_.speedSelection = view_.IsChecked(kSpeedCustomId) ? 1 : 0;
            const int position =
                std::clamp(view_.SliderPosition(kSpeedSliderId), 0, kSpeedSliderMaximum);
            settings_.userPortDelay = static_cast<std::uint32_t>(position);
            view_.EndDialog(true);
            break;
        }
        case kIdCancel:
            OnCancel();
            break;
        default:
            break;
    }
}

}  // namespace velkor

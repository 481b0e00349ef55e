#pragma once
// Lighting that follows game events from other programs ("Game_Start",
// "Game_End", "Game_Kill", "Game_Death"): the current device shows the event's
// mode for five seconds, then its own mode returns.

#include <functional>

#include "devices/usb_device.h"
#include "platform/ui_loop.h"

namespace q731 {

class GameEventLighting {
public:
    static constexpr int kRestoreTimer = 1066;
    static constexpr Millis kShowFor{5000};

    // `current` gives the current device (or nothing); `present` says whether a
    // device is still connected; `apply` sends a setting (SetLightInfo,
    // ApplyProfile, WriteSettings) and, when `save` is true, saves the profile:
    // a game's mode is only ever sent, never saved, so that it cannot stay in
    // the user's profile if the program or the device goes away meanwhile.
    using Apply = std::function<void(CVexloUSBDevice&, const LightSetting&, bool save)>;
    GameEventLighting(UiLoop& loop, std::function<CVexloUSBDevice*()> current,
                      std::function<bool(CVexloUSBDevice*)> present, Apply apply);
    ~GameEventLighting();

    // wParam: variant (0 keeps the mode to return to, 1 and 2 do not, others
    // change nothing); lParam: the lighting mode index.
    void OnGameEvent(long long variant, long long mode);

    bool RestorePending() const { return changed_ != nullptr; }
    // Puts the pending restore through now (the program is closing).
    void RestoreNow() { Restore(); }

private:
    void Restore();

    UiLoop& loop_;
    std::function<CVexloUSBDevice*()> current_;
    std::function<bool(CVexloUSBDevice*)> present_;
    Apply apply_;
    CVexloUSBDevice* changed_ = nullptr;  // the device whose mode is to come back
    std::uint8_t userMode_ = 0;           // its mode before the first event
};

}  // namespace q731

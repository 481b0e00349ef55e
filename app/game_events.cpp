#include "app/game_events.h"

namespace q731 {

GameEventLighting::GameEventLighting(UiLoop& loop, std::function<CVexloUSBDevice*()> current,
                                     std::function<bool(CVexloUSBDevice*)> present, Apply apply)
    : loop_(loop),
      current_(std::move(current)),
      present_(std::move(present)),
      apply_(std::move(apply)) {}

GameEventLighting::~GameEventLighting() {
    loop_.KillTimer(this, kRestoreTimer);
}

void GameEventLighting::OnGameEvent(long long variant, long long mode) {
    CVexloUSBDevice* device = current_ ? current_() : nullptr;
    const auto modeCount =
        device ? static_cast<long long>(device->Definitions().effectValues.size()) : 0;
    const bool known = variant >= 0 && variant <= 2;
    // A mode the device does not have is refused rather than sent as mode 0.
    if (device && known && mode >= 0 && mode < modeCount) {
        device->SetSynchronised(false);
        LightSetting light = device->GetLightInfo();
        // Keep the user's own mode only when no restore is pending: a second
        // event within five seconds must not make the game's mode "the
        // user's". A change on another device first restores the first one.
        if (changed_ != nullptr && changed_ != device) Restore();
        if (changed_ == nullptr) {
            // Whatever the variant, the mode the device had before the first
            // event is the one that comes back.
            userMode_ = light.selectItem;
            if (variant == 0) {
                light.oldMode =
                    (light.selectItem == 0 || light.selectItem > 20) ? 1 : light.selectItem;
            }
        }
        light.selectItem = static_cast<std::uint8_t>(mode);
        apply_(*device, light, false);
        changed_ = device;
        // Only an accepted event (re)starts the five seconds: a stream of bad
        // ones cannot keep a game's mode showing.
        loop_.SetOneShotTimer(this, kRestoreTimer, kShowFor, [this] { Restore(); });
    }
}

void GameEventLighting::Restore() {
    CVexloUSBDevice* device = changed_;
    changed_ = nullptr;
    loop_.KillTimer(this, kRestoreTimer);
    if (!device || (present_ && !present_(device))) return;
    device->SetSynchronised(false);
    LightSetting light = device->GetLightInfo();
    light.selectItem = userMode_;
    apply_(*device, light, true);
}

}  // namespace q731

#pragma once
// Synchronised lighting: every connected device shows one of five common
// effects in step. The user starts it from the current device; from then on
// one worker thread computes one colour per step from the shared settings and
// writes it into every LED of every synchronised device, whose own animations
// pause meanwhile. A device leaves when its flag is cleared (another mode
// chosen, a game event, a re-read from the device, fewer than two devices).

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "devices/lighting/led_colours.h"
#include "platform/clock.h"
#include "platform/products.h"
#include "platform/worker_slots.h"
#include "profiles/profile_records.h"

namespace q731 {

class CVexloUSBDevice;

enum class SyncEffect : std::uint8_t { Breathing = 0, Steady, Flashing, ColourCycle, Off };
inline constexpr int kSyncEffects = 5;

struct SyncSettings {
    std::uint8_t effect = 0;  // a SyncEffect; above 4 nothing is drawn
    std::uint8_t brightness = 0;
    std::uint8_t speed = 0;
    std::uint8_t direction = 0;   // breathing: 1 counts up, 0 down
    std::uint8_t multiColor = 0;  // colours from the wheel rather than red, green, blue
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const SyncSettings&, const SyncSettings&) = default;
};

// The common effect of a product's lighting mode, or nothing for a mode that
// has none.
std::optional<SyncEffect> SyncEffectOfMode(Product product, int mode);
// The product's own mode for a common effect.
int SyncModeOf(Product product, SyncEffect effect);
// Ticks of 2 ms between steps by speed level: levels 0-4 as the mouse paces
// its effects, 5-14 (and anything above, read as 14) every pass.
int SyncIntervalTicks(int speedLevel);
// The time between steps: the interval's ticks, or 1 ms for an interval of 0.
std::chrono::milliseconds SyncPeriod(int speedLevel);

// The shared effect's state: what each step shows.
class SyncEngine {
public:
    // One step at `now`: the colour every LED shows, or nothing for an effect
    // above 4.
    std::optional<LedColour> Step(const SyncSettings& settings, SteadyTime now);

private:
    int cyclePosition_ = 0;
    int breathStep_ = 0;
    int breathColour_ = 0;
    SteadyTime lastToggle_{};
    bool flashOn_ = false;
    int flashColour_ = 0;
};

// The lighting sync thread and what it walks.
class LightingSync {
public:
    explicit LightingSync(Clock& clock);

    // UI thread: the devices there are (they only ever grow in number), and
    // the settings every synchronised device follows. Both are read by the
    // thread as one snapshot per pass.
    void SetDevices(std::vector<CVexloUSBDevice*> devices);
    void SetSettings(const SyncSettings& settings);
    SyncSettings Settings() const;
    // A synchronisation began: a sleeping thread looks again.
    void Wake() { waker_.Poke(); }

    // One pass at the clock's time: a step when one is due. The time of the
    // next pass, or nothing when no device is synchronised (sleep until woken).
    std::optional<SteadyTime> RunPass();
    // The thread's body (worker slot 8): passes until the stop event is set.
    void Run(const WorkerArgs& args);
    // Steps run so far (any thread).
    std::uint64_t Steps() const;

private:
    struct Snapshot {
        std::vector<CVexloUSBDevice*> devices;
        SyncSettings settings;
    };
    Snapshot Take() const;
    static void ApplyColour(std::span<CVexloUSBDevice* const> devices, LedColour colour);

    Clock& clock_;
    Waker waker_;
    mutable std::mutex mutex_;  // devices_, settings_, steps_
    std::vector<CVexloUSBDevice*> devices_;
    SyncSettings settings_;
    std::uint64_t steps_ = 0;
    // The thread's own.
    SyncEngine engine_;
    bool active_ = false;
    SteadyTime nextStep_{};
};

// Starts synchronisation from `current`: its mode's common effect and its
// levels and colour become the shared settings, and every device with an open
// link gets its own mode of that effect with the same levels and colour (its
// own zone, custom group and restore bytes kept), is flagged, and goes through
// `apply` (store, save, send, show). False, with nothing changed, when the
// current mode has no common effect.
using ApplyLighting = std::function<void(CVexloUSBDevice& device, const LightSetting& light)>;
bool StartSynchronisation(CVexloUSBDevice& current, std::span<CVexloUSBDevice* const> devices,
                          LightingSync& sync, const ApplyLighting& apply);

}  // namespace q731

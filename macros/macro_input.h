#pragma once
// Input as the macro recorder sees it: one key or mouse-button press or
// release, from our own windows or from a capture of the whole desktop, with
// the key as a Linux key code and a time stamp of the steady clock. The
// mapping from Linux key codes to the scan codes the key tables are written
// in lives here too.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "profiles/macro_tables.h"

namespace q731 {

// The five buttons a macro can hold, by their "Button" code.
enum class MouseButton : std::uint8_t {
    Left = 1,
    Right = 2,
    Middle = 4,
    Back = 8,
    Forward = 16,
};

struct InputRecord {
    enum class Kind : std::uint8_t { Key, Button, Wheel, Motion };
    Kind kind = Kind::Key;
    int code = 0;         // Key: Linux key code; Button: a MouseButton
    bool down = false;    // press (true) or release
    bool repeat = false;  // an auto-repeated press, as far as the source knows
    SteadyTime time{};
};

// A key as the key tables name it: set-1 scan code and extended flag.
struct ScanKey {
    std::uint8_t scanCode = 0;
    bool extended = false;
    friend bool operator==(const ScanKey&, const ScanKey&) = default;
};

// The scan key of a Linux key code; nothing for a key the tables do not know.
std::optional<ScanKey> ScanKeyOfLinuxKey(int code);
// The macro key row of a Linux key code.
std::optional<MacroKeyRow> MacroKeyOfLinuxKey(int code);

// Where recorded input comes from. Start hands each record to `sink` on the
// UI thread; false (with Failure() saying why) when the source cannot run.
class IInputSource {
public:
    using Sink = std::function<void(const InputRecord&)>;
    virtual ~IInputSource() = default;
    virtual bool Start(Sink sink) = 0;
    virtual void Stop() = 0;
    virtual bool Running() const = 0;
    virtual std::string Failure() const { return {}; }
};

}  // namespace q731

#pragma once
// Identifiers made from the local time ("%d_%02d_%02d_%02d_%02d_%02d_%03d"),
// as profiles and macros are named. Two made within one millisecond, or after
// the clock was set back, would collide: the stamp steps forward a millisecond
// at a time until the caller's test finds it free.

#include <chrono>
#include <functional>
#include <string>

namespace q731 {

using WallClock = std::function<std::chrono::system_clock::time_point()>;

// The system clock when `clock` is empty.
WallClock OrSystemClock(WallClock clock);

// The first stamp from `clock`'s time on for which `taken` is false; empty if
// none is found within 100 seconds' worth of steps.
std::string UniqueTimeStamp(const WallClock& clock,
                            const std::function<bool(const std::string&)>& taken);

}  // namespace q731

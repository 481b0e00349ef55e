#pragma once
// The mouse's four recoil patterns, one shooting file per slot
// ("ShootData_<slot>.Shoot" in the device folder, its default of the same name
// in the default data folder). A file holds "Events": thirty bullet groups of
// six macro events each. One reader serves the panel and the image sent to the
// mouse, so what is shown is what is sent: every bullet is read back into its
// five values and rebuilt as a well-formed group, and a bullet the file lacks
// (too short, null or not six objects) takes the default's bullet.

#include <json/json.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "profiles/macro_event.h"
#include "profiles/profile_paths.h"

namespace q731 {

namespace fs = std::filesystem;

inline constexpr int kShootBulletCount = 30;
inline constexpr int kShootEventsPerBullet = 6;
inline constexpr std::size_t kShootEventsPerSlot = 180;
// Largest shooting file taken in: a styled file of 180 events is under 20 KiB.
inline constexpr std::size_t kMaxShootFileBytes = std::size_t{256} << 10;
// What a device record can carry of a distance and of a delay.
inline constexpr int kMaxShootDistance = 0xFF;
inline constexpr int kMaxShootDelay = 0xFFFF;

// The five values of one bullet as the user edits them.
struct BulletSetting {
    bool left = false;  // horizontal direction: set moves left, clear right
    int horizontal = 0;
    bool up = false;  // vertical direction: set moves up, clear down
    int vertical = 0;
    int delay = 0;  // milliseconds after the vertical move

    // Distances kept to 0-255 and the delay to 0-65535, the device's ranges.
    BulletSetting Clamped() const;
    friend bool operator==(const BulletSetting&, const BulletSetting&) = default;
};

using ShootPattern = std::array<BulletSetting, kShootBulletCount>;

// The six events of a bullet group.
std::array<MacroEvent, kShootEventsPerBullet> BulletEvents(const BulletSetting& bullet);
// The 180 events of a pattern, and the shooting file that holds them.
std::vector<MacroEvent> PatternEvents(const ShootPattern& pattern);
Json::Value PatternDocument(const ShootPattern& pattern);

// Whether `document` may stand as a shooting file: an object whose "Events" is
// an array of at most 180 objects, each with a text "Action", "Type" 1, 4 or
// 5, an integer "Button" and an integer or text "Delay".
bool IsShootingDocument(const Json::Value& document);

enum class SlotStatus {
    Ok,       // read from the slot's file
    Missing,  // no file: the default's pattern
    Damaged,  // present but no shooting file: the default's pattern
    Unreadable,
};

struct SlotRead {
    ShootPattern pattern{};
    SlotStatus status = SlotStatus::Missing;
};

enum class ShootResult {
    Done,
    NoDefault,    // the default is missing or no shooting file: nothing changed
    Unreadable,   // the chosen file cannot be read (missing, too large, no access)
    NotShooting,  // the chosen file is no shooting file: nothing changed
    WriteFailed,  // the slot or the target could not be written
};

class ShootingFiles {
public:
    ShootingFiles(fs::path deviceFolder, fs::path defaultFolder)
        : deviceFolder_(std::move(deviceFolder)), defaultFolder_(std::move(defaultFolder)) {}

    fs::path SlotPath(int slot) const { return ShootingFilePath(deviceFolder_, slot); }
    fs::path DefaultPath(int slot) const { return ShootingFilePath(defaultFolder_, slot); }

    // The slot as shown and sent; a slot outside 0-3 reads as missing and empty.
    SlotRead Read(int slot) const;
    // Writes `bullet` (clamped) into bullet group `index`; every other element
    // and key of a sound file stays. A missing file starts from the default's
    // pattern, a damaged one is kept aside first.
    ShootResult StoreBullet(int slot, int index, const BulletSetting& bullet);
    // The default over the slot. The default is read and checked first: when it
    // is missing or no shooting file, the slot stays as it is.
    ShootResult ResetSlot(int slot);
    // `source` over the slot, when it is a shooting file within the size cap.
    ShootResult ImportSlot(int slot, const fs::path& source);
    // The slot as it is shown, as a shooting file at `target` (replaced).
    ShootResult ExportSlot(int slot, const fs::path& target) const;

private:
    // The default's pattern; empty bullets when it cannot be read.
    ShootPattern DefaultPattern(int slot) const;
    // Moves a damaged slot file aside before it is replaced; false when it
    // cannot be moved (nothing may be written then).
    bool ClearForWrite(int slot) const;

    fs::path deviceFolder_;
    fs::path defaultFolder_;
};

}  // namespace q731

#include "devices/shoot_image.h"

#include <vector>

#include "profiles/shooting_files.h"

namespace q731 {

MacroImage BuildShootImage(const std::filesystem::path& deviceFolder,
                           const std::filesystem::path& defaultFolder) {
    const ShootingFiles files(deviceFolder, defaultFolder);
    std::vector<std::vector<MacroEventRecord>> slots(kShootingSlotCount);
    for (int slot = 0; slot < kShootingSlotCount; ++slot) {
        std::vector<MacroEventRecord>& records = slots[static_cast<std::size_t>(slot)];
        for (const MacroEvent& event : PatternEvents(files.Read(slot).pattern))
            records.push_back(MacroEventRecord::FromEvent(event));
    }
    return BuildMacroImage(slots, kShootImageLimit);
}

}  // namespace q731

#include "devices/shoot_image.h"

#include <vector>

#include "profiles/document_file.h"
#include "profiles/macro_store.h"
#include "profiles/profile_paths.h"

namespace q731 {

MacroImage BuildShootImage(const std::filesystem::path& deviceFolder) {
    std::vector<std::vector<MacroEventRecord>> slots(kShootingSlotCount);
    for (int slot = 0; slot < kShootingSlotCount; ++slot) {
        const std::filesystem::path path = ShootingFilePath(deviceFolder, slot);
        const std::vector<MacroEvent> events = EventsOf(DocumentFile::ReadJsonFile(path));
        std::vector<MacroEventRecord>& records = slots[static_cast<std::size_t>(slot)];
        for (std::size_t i = 0; i < events.size() && i < kShootEventsPerSlot; ++i) {
            records.push_back(MacroEventRecord::FromEvent(events[i]));
        }
    }
    return BuildMacroImage(slots, kShootImageLimit);
}

}  // namespace q731

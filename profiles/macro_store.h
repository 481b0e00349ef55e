#pragma once
// The macros of one device folder: the macro list ("macro.config" or
// "tamry_macro.config") and one ".mac" file per macro, named by the macro's
// identifier. A key refers to a macro by its position in the list, so the list
// is never shortened behind the user's back: entries whose identifier is not
// a safe file name stay listed but no file is read, written or deleted for
// them, and a damaged list is kept aside and rebuilt from the ".mac" files.

#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "profiles/identifiers.h"
#include "profiles/macro_event.h"
#include "profiles/profile_paths.h"

namespace q731 {

namespace fs = std::filesystem;

inline constexpr int kMaxMacros = 50;
inline constexpr std::size_t kMaxMacroEvents = 4000;
inline constexpr int kMacroFileVersion = 64;
inline constexpr const char* kMacroExtension = ".mac";

struct MacroEntry {
    std::string name;
    std::string identifier;
    friend bool operator==(const MacroEntry&, const MacroEntry&) = default;
};

enum class MacroListStatus {
    Ok,          // read as stored
    Missing,     // no list yet: empty
    Rebuilt,     // the stored list was damaged, kept aside and rebuilt from the files
    Unreadable,  // present but unreadable: nothing may be changed or reset now
};

struct MacroList {
    MacroListStatus status = MacroListStatus::Missing;
    std::vector<MacroEntry> entries;
    // Only a list read as stored (or known to be absent) may drive changes
    // that reset key assignments.
    bool Trusted() const {
        return status == MacroListStatus::Ok || status == MacroListStatus::Missing;
    }
};

class MacroStore {
public:
    MacroStore(fs::path deviceFolder, Product product, WallClock clock = {});

    const fs::path& ListPath() const { return listPath_; }
    MacroList ListMacros();
    // The new macro's identifier; empty when the list is full or cannot be written.
    std::string AddMacro();
    RenameResult RenameMacro(int index, const std::string& name);
    // Removes the entry, then its file. Fixing key references is the caller's part.
    bool DeleteMacro(int index);
    std::vector<MacroEvent> LoadEvents(int index);
    // The events of a macro that is to reach a device: nothing when its file is
    // missing, damaged or holds no "Events" array, so that a macro is never
    // sent empty in place of the user's.
    std::optional<std::vector<MacroEvent>> ReadEventsForDevice(int index);
    bool SaveEvents(int index, const std::string& name, const std::vector<MacroEvent>& events);
    // Adds a macro whose file is a copy of `source`, which must be a macro file
    // (an object whose "Events" is an array of at most kMaxMacroEvents objects).
    std::string ImportMacro(const fs::path& source);
    bool ExportMacro(int index, const fs::path& target);
    // Empty for an index outside the list or an unsafe identifier.
    fs::path MacroFilePath(int index);

private:
    bool ReadList(Json::Value& list, MacroListStatus* status = nullptr);
    Json::Value RebuildFromFiles() const;
    std::string NewIdentifier(const Json::Value& list);
    fs::path FileOf(const std::string& identifier) const;

    fs::path deviceFolder_;
    fs::path listPath_;
    WallClock clock_;
    std::set<std::string> issued_;
};

// The next free "macro_%d" name (from 1, without regard to letter case).
std::string NextMacroName(const std::vector<std::string>& names);
std::vector<MacroEvent> EventsOf(const Json::Value& document);

}  // namespace q731

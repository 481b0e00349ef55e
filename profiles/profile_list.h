#pragma once
// The profile list of one device folder ("ProfileList.ini", JSON despite its
// name) and the storage steps shared by every profile operation. Every
// operation re-reads the list before changing it. A list that is missing,
// damaged or empty is rebuilt from the profile files present (a damaged one is
// kept aside first); only an empty folder gets a fresh "profile1".

#include <json/json.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "profiles/identifiers.h"
#include "profiles/profile_paths.h"

namespace q731 {

namespace fs = std::filesystem;

// What an import made of a file. Anything but Imported left every file as it was.
enum class ImportResult {
    Imported,
    Unreadable,   // missing, unreadable, empty, not JSON, or over the size cap
    NotAProfile,  // no "profilename"/"profileUUID", or no document in "Device"
    OtherKind,    // sections of another kind of device
    Failed,       // a write failed
};

// What an export did.
enum class ExportResult { Exported, Unreadable, Failed };

// Whether `document` may be a profile of the kind whose default profile is
// `defaults` (no kind check when `defaults` holds no document).
ImportResult CheckImportedProfile(const Json::Value& document, const Json::Value& defaults);

struct ProfileEntry {
    std::string name;
    std::string identifier;
    friend bool operator==(const ProfileEntry&, const ProfileEntry&) = default;
};

inline constexpr const char* kFirstProfileName = "profile1";
// At most this many profiles are added by "add"; copies and imports may pass it.
inline constexpr int kProfileLimit = 50;

// Naming rules; names are compared without regard to letter case.
// "profile<n>" with the smallest n >= 1 that no entry uses.
std::string NewProfileName(const std::vector<ProfileEntry>& entries);
// "<name> copy", again and again until no entry uses it.
std::string CopyName(const std::vector<ProfileEntry>& entries, const std::string& name);
// `title` with "(1)", then "(2)" ... appended on each clash.
std::string ImportName(const std::vector<ProfileEntry>& entries, const std::string& title);

// The display name listed for `identifier` in the folder's profile list, or
// empty when the list cannot be read or does not name it. Reads only.
std::string ListedProfileName(const fs::path& deviceFolder, std::string_view identifier);

class ProfileList {
public:
    // `clock` gives the wall time behind new identifiers (the system clock when empty).
    explicit ProfileList(WallClock clock = {});

    void SetFolders(const fs::path& deviceFolder, const fs::path& defaultProfilePath);
    void SetProduct(Product product) { product_ = product; }
    const fs::path& DeviceFolder() const { return deviceFolder_; }
    const fs::path& DefaultProfilePath() const { return defaultProfilePath_; }

    // Reads (and when needed repairs or creates) the list and selects its stored
    // entry. False when the list can be neither read nor created.
    bool LoadProfileList();

    // The list as last read.
    const std::vector<ProfileEntry>& Entries() const { return entries_; }
    std::vector<std::string> ProfileNames() const;
    int SelectedIndex() const { return selected_; }
    const std::string& CurrentIdentifier() const { return currentIdentifier_; }

    // From the stored file.
    int ProfileCount();
    fs::path ProfileFilePath(int index);

    // Stores `index` as the selection and makes its identifier current.
    bool SelectProfile(int index);
    // Writes `source` (an object) as a new profile file named by a new
    // identifier, with "profilename" and "profileUUID" set, and appends its
    // entry; `select` also stores it as the selection. Returns the identifier,
    // or empty when nothing was added (nothing is left behind then).
    std::string MakeProfile(const Json::Value& source, const std::string& name, bool select);
    // Removes entry `index` and its profile file; refused for the last entry.
    bool DeleteProfile(int index);
    // Rewrites entry `index` from the default profile (a headset keeps its
    // custom equaliser curves). With no usable default the old file stays.
    bool ResetProfile(int index);
    // Names entry `index` `name` (kept as typed) in the list and in its file.
    RenameResult RenameProfile(int index, const std::string& name);
    // Appends a copy of entry `index`; the new identifier, or empty.
    std::string CopyProfile(int index);
    // Appends the profile in file `source`, named after the file.
    ImportResult ImportProfile(const fs::path& source);
    // Writes the document of entry `index` to `target`.
    ExportResult ExportProfile(int index, const fs::path& target);

    // A time stamp that names no profile file, no list entry and nothing
    // issued before by this object.
    std::string NewIdentifier(const Json::Value& list);

private:
    bool ReadList(Json::Value& list);
    Json::Value RebuildFromFiles();
    bool WriteFirstProfile(Json::Value& list);
    void Cache(const Json::Value& list);

    WallClock clock_;
    fs::path deviceFolder_;
    fs::path defaultProfilePath_;
    Product product_ = Product::Keyboard;
    std::vector<ProfileEntry> entries_;
    int selected_ = -1;
    std::string currentIdentifier_;
    std::set<std::string> issued_;
};

}  // namespace q731

#include "profiles/profile_list.h"

#include <algorithm>
#include <system_error>

#include <fmt/format.h>

#include "platform/files.h"
#include "platform/log.h"
#include "platform/text.h"
#include "profiles/document_file.h"
#include "profiles/json_fields.h"

namespace q731 {

using json::At;
using json::GetString;
using json::Member;

namespace {

bool IsBlank(std::string_view text) {
    return TrimmedText(text).empty();
}

bool NameUsed(const std::vector<ProfileEntry>& entries, std::string_view name) {
    const std::string folded = FoldCase(name);
    return std::any_of(entries.begin(), entries.end(),
                       [&](const ProfileEntry& entry) { return FoldCase(entry.name) == folded; });
}

// Largest profile file an import reads; real profiles are a few hundred kilobytes.
constexpr std::uintmax_t kMaxImportBytes = std::uintmax_t{2} << 20;

Json::Value MakeEntry(const std::string& name, const std::string& identifier) {
    Json::Value entry(Json::objectValue);
    entry["profilename"] = name;
    entry["profileUUID"] = identifier;
    entry["profileislink"] = 0;
    entry["profilelinkmame"] = "";
    return entry;
}

bool ListHasIdentifier(const Json::Value& list, std::string_view identifier) {
    const Json::Value& entries = Member(list, "profilelist");
    for (Json::ArrayIndex i = 0; i < json::ArraySize(entries); ++i) {
        if (GetString(entries[i], "profileUUID") == identifier) return true;
    }
    return false;
}

// Entries whose identifier could not name a file inside the folder are dropped.
bool DropUnsafeEntries(Json::Value& entries) {
    Json::Value kept(Json::arrayValue);
    for (Json::ArrayIndex i = 0; i < entries.size(); ++i) {
        const std::string identifier = GetString(entries[i], "profileUUID");
        if (IsSafeIdentifier(identifier)) {
            kept.append(entries[i]);
        } else {
            LogWarning(fmt::format("profile entry {} has an unusable identifier; dropped", i));
        }
    }
    const bool changed = kept.size() != entries.size();
    entries.swap(kept);
    return changed;
}

}  // namespace

std::string NewProfileName(const std::vector<ProfileEntry>& entries) {
    // At most entries.size() numbers can be taken.
    for (std::size_t n = 1;; ++n) {
        std::string name = fmt::format("profile{}", n);
        if (!NameUsed(entries, name)) return name;
    }
}

std::string CopyName(const std::vector<ProfileEntry>& entries, const std::string& name) {
    std::string copy = name + " copy";
    while (NameUsed(entries, copy))
        copy += " copy";
    return copy;
}

std::string ImportName(const std::vector<ProfileEntry>& entries, const std::string& title) {
    if (IsBlank(title)) return NewProfileName(entries);
    std::string name = title;
    for (int n = 1; NameUsed(entries, name); ++n)
        name += fmt::format("({})", n);
    return name;
}

ImportResult CheckImportedProfile(const Json::Value& document, const Json::Value& defaults) {
    if (!document.isObject() || Member(document, "profilename").isNull() ||
        Member(document, "profileUUID").isNull()) {
        return ImportResult::NotAProfile;
    }
    const Json::Value& device = At(Member(document, "Device"), 0);
    if (!device.isObject()) return ImportResult::NotAProfile;
    const Json::Value& reference = At(Member(defaults, "Device"), 0);
    if (!reference.isObject()) return ImportResult::Imported;  // nothing to compare with
    // Lists whose length is the kind's key or LED count: a key list must be
    // there when the kind has keys; an LED list may be missing (defaults fill it).
    for (const char* key : {"KeyList", "LightList"}) {
        const Json::Value& ours = Member(reference, key);
        const Json::Value& theirs = Member(device, key);
        const bool required = std::string_view(key) == "KeyList";
        if (!ours.isArray()) {
            if (required && !theirs.isNull()) return ImportResult::OtherKind;
            continue;
        }
        if (theirs.isNull() && !required) continue;
        if (!theirs.isNull() && !theirs.isArray()) return ImportResult::NotAProfile;
        if (theirs.size() != ours.size()) return ImportResult::OtherKind;
    }
    // Sections only some kinds have.
    for (const char* key : {"DPIStages", "SystemSetStages"}) {
        if (Member(reference, key).isNull() && !Member(device, key).isNull())
            return ImportResult::OtherKind;
    }
    return ImportResult::Imported;
}

std::string ListedProfileName(const fs::path& deviceFolder, std::string_view identifier) {
    const Json::Value list = DocumentFile::ReadJsonFile(ProfileListPath(deviceFolder));
    const Json::Value& entries = Member(list, "profilelist");
    for (Json::ArrayIndex i = 0; i < json::ArraySize(entries); ++i) {
        if (GetString(entries[i], "profileUUID") == identifier) {
            return GetString(entries[i], "profilename");
        }
    }
    return {};
}

ProfileList::ProfileList(WallClock clock) : clock_(OrSystemClock(std::move(clock))) {}

void ProfileList::SetFolders(const fs::path& deviceFolder, const fs::path& defaultProfilePath) {
    deviceFolder_ = deviceFolder;
    defaultProfilePath_ = defaultProfilePath;
}

std::string ProfileList::NewIdentifier(const Json::Value& list) {
    std::string stamp = UniqueTimeStamp(clock_, [&](const std::string& candidate) {
        std::error_code ec;
        return issued_.count(candidate) != 0 || ListHasIdentifier(list, candidate) ||
               fs::exists(ProfilePath(deviceFolder_, candidate), ec);
    });
    if (!stamp.empty()) issued_.insert(stamp);
    return stamp;
}

Json::Value ProfileList::RebuildFromFiles() {
    std::vector<std::string> identifiers;
    std::error_code ec;
    for (fs::directory_iterator it(deviceFolder_, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& path = it->path();
        if (it->symlink_status(ec).type() != fs::file_type::regular) continue;
        if (path.extension() != kProfileExtension) continue;
        const std::string identifier = path.stem().string();
        if (IsSafeIdentifier(identifier)) identifiers.push_back(identifier);
    }
    std::sort(identifiers.begin(), identifiers.end());

    Json::Value entries(Json::arrayValue);
    std::set<std::string> taken;
    for (const std::string& identifier : identifiers) {
        const Json::Value contents =
            DocumentFile::ReadJsonFile(ProfilePath(deviceFolder_, identifier));
        std::string name = GetString(contents, "profilename");
        if (IsBlank(name)) name = identifier;
        const std::string base = name;
        for (int n = 1; taken.count(FoldCase(name)) != 0; ++n)
            name = fmt::format("{}({})", base, n);
        taken.insert(FoldCase(name));
        entries.append(MakeEntry(name, identifier));
    }
    return entries;
}

bool ProfileList::WriteFirstProfile(Json::Value& list) {
    const std::string identifier = NewIdentifier(list);
    const fs::path path = ProfilePath(deviceFolder_, identifier);
    if (path.empty()) return false;
    Json::Value contents = DocumentFile::ReadJsonFile(defaultProfilePath_);
    // Without defaults the file names the profile only; loading it fills it later.
    if (!contents.isObject()) contents = Json::Value(Json::objectValue);
    contents["profilename"] = kFirstProfileName;
    contents["profileUUID"] = identifier;
    if (!DocumentFile::WriteJsonFile(path, contents)) return false;
    list["profilelist"].append(MakeEntry(kFirstProfileName, identifier));
    return true;
}

bool ProfileList::ReadList(Json::Value& list) {
    if (deviceFolder_.empty()) return false;
    const fs::path listPath = ProfileListPath(deviceFolder_);
    DocumentRead read = DocumentFile::Read(listPath);
    if (read.status == DocumentStatus::Unreadable) return false;

    bool rewrite = false;
    const Json::Value& stored = Member(read.value, "profilelist");
    if (read.status == DocumentStatus::Ok && read.value.isObject() && stored.isArray() &&
        stored.size() > 0) {
        list.swap(read.value);
        rewrite = DropUnsafeEntries(list["profilelist"]);
    } else {
        // Anything that holds more than an empty list is kept before it is replaced.
        const bool keep =
            read.Damaged() || (read.status == DocumentStatus::Ok &&
                               (!read.value.isObject() || !(stored.isNull() || stored.isArray())));
        if (keep && DocumentFile::KeepAside(listPath).empty()) return false;
        list = read.value.isObject() ? read.value : Json::Value(Json::objectValue);
        list["profilelist"] = Json::Value(Json::arrayValue);
        rewrite = true;
    }
    if (list["profilelist"].size() == 0) {
        list["profilelist"] = RebuildFromFiles();
        if (list["profilelist"].size() == 0 && !WriteFirstProfile(list)) return false;
        list["profileselect"] = 0;
        rewrite = true;
    }

    const auto count = static_cast<std::int64_t>(list["profilelist"].size());
    const std::int64_t storedSelect = json::IntegerOf(Member(list, "profileselect")).value_or(0);
    const std::int64_t select = std::clamp<std::int64_t>(storedSelect, 0, count - 1);
    if (!Member(list, "profileselect").isIntegral() || select != storedSelect) {
        list["profileselect"] = static_cast<Json::Int>(select);
        rewrite = true;
    }
    if (rewrite) DocumentFile::WriteJsonFile(listPath, list);  // failure logged; list still usable
    Cache(list);
    return true;
}

void ProfileList::Cache(const Json::Value& list) {
    entries_.clear();
    const Json::Value& entries = Member(list, "profilelist");
    for (Json::ArrayIndex i = 0; i < json::ArraySize(entries); ++i) {
        entries_.push_back(
            {GetString(entries[i], "profilename"), GetString(entries[i], "profileUUID")});
    }
    const auto select = json::IntegerOf(Member(list, "profileselect")).value_or(-1);
    selected_ = select >= 0 && select < static_cast<std::int64_t>(entries_.size())
                    ? static_cast<int>(select)
                    : -1;
    // The current profile always follows the stored selection, so that after a
    // delete or an add-and-select nothing is loaded from (or saved into) a
    // profile that is no longer the selected one.
    if (selected_ >= 0)
        currentIdentifier_ = entries_[static_cast<std::size_t>(selected_)].identifier;
}

bool ProfileList::LoadProfileList() {
    Json::Value list;
    if (!ReadList(list)) return false;
    currentIdentifier_ =
        selected_ >= 0 ? entries_[static_cast<std::size_t>(selected_)].identifier : std::string();
    return selected_ >= 0;
}

std::vector<std::string> ProfileList::ProfileNames() const {
    std::vector<std::string> names;
    for (const ProfileEntry& entry : entries_)
        names.push_back(entry.name);
    return names;
}

int ProfileList::ProfileCount() {
    Json::Value list;
    return ReadList(list) ? static_cast<int>(entries_.size()) : 0;
}

fs::path ProfileList::ProfileFilePath(int index) {
    Json::Value list;
    if (!ReadList(list) || index < 0 || index >= static_cast<int>(entries_.size())) return {};
    return ProfilePath(deviceFolder_, entries_[static_cast<std::size_t>(index)].identifier);
}

bool ProfileList::SelectProfile(int index) {
    Json::Value list;
    if (!ReadList(list) || index < 0 || index >= static_cast<int>(entries_.size())) return false;
    list["profileselect"] = index;
    currentIdentifier_ = entries_[static_cast<std::size_t>(index)].identifier;
    selected_ = index;
    return DocumentFile::WriteJsonFile(ProfileListPath(deviceFolder_), list);
}

std::string ProfileList::MakeProfile(const Json::Value& source, const std::string& name,
                                     bool select) {
    Json::Value list;
    if (!source.isObject() || !ReadList(list)) return {};
    const std::string identifier = NewIdentifier(list);
    const fs::path path = ProfilePath(deviceFolder_, identifier);
    if (path.empty()) return {};
    Json::Value contents = source;
    contents["profilename"] = name;
    contents["profileUUID"] = identifier;
    // The file comes first, so the list never names a profile that is not there.
    if (!DocumentFile::WriteJsonFile(path, contents)) return {};
    list["profilelist"].append(MakeEntry(name, identifier));
    if (select) list["profileselect"] = list["profilelist"].size() - 1;
    if (!DocumentFile::WriteJsonFile(ProfileListPath(deviceFolder_), list)) {
        std::error_code ec;
        fs::remove(path, ec);
        return {};
    }
    Cache(list);
    return identifier;
}

bool ProfileList::DeleteProfile(int index) {
    Json::Value list;
    if (!ReadList(list)) return false;
    const int count = static_cast<int>(entries_.size());
    if (count <= 1 || index < 0 || index >= count) return false;
    const std::string identifier = entries_[static_cast<std::size_t>(index)].identifier;
    Json::Value removed;
    list["profilelist"].removeIndex(static_cast<Json::ArrayIndex>(index), &removed);
    list["profileselect"] = index > 0 ? index - 1 : 0;
    // The list goes first: a crash in between leaves an unlisted file, never
    // a listed profile without its file.
    if (!DocumentFile::WriteJsonFile(ProfileListPath(deviceFolder_), list)) return false;
    Cache(list);
    // Another entry may name the same file after a hand edit; it keeps it.
    const fs::path path = ProfilePath(deviceFolder_, identifier);
    if (!path.empty() && !ListHasIdentifier(list, identifier)) {
        std::error_code ec;
        fs::remove(path, ec);
    }
    return true;
}

bool ProfileList::ResetProfile(int index) {
    Json::Value list;
    if (!ReadList(list) || index < 0 || index >= static_cast<int>(entries_.size())) return false;
    const ProfileEntry entry = entries_[static_cast<std::size_t>(index)];
    Json::Value contents = DocumentFile::ReadJsonFile(defaultProfilePath_);
    if (!At(Member(contents, "Device"), 0).isObject()) {
        LogWarning("no usable default profile in " + defaultProfilePath_.string() +
                   "; profile left as it is");
        return false;
    }
    const fs::path path = ProfilePath(deviceFolder_, entry.identifier);
    Json::Value old;
    if (path.empty() || !DocumentFile::ReadForUpdate(path, old)) return false;
    contents["profilename"] = entry.name;
    contents["profileUUID"] = entry.identifier;
    if (product_ == Product::Headset) {
        // The user's own equaliser curves survive a reset.
        const Json::Value& oldDocument = At(Member(old, "Device"), 0);
        for (const char* key : {"CustomEQNameInfo", "CustomEQHzValueInfo"}) {
            const Json::Value& section = Member(oldDocument, key);
            if (!section.isNull()) contents["Device"][0][key] = section;
        }
    }
    return DocumentFile::WriteJsonFile(path, contents);
}

RenameResult ProfileList::RenameProfile(int index, const std::string& name) {
    if (IsBlank(name)) return RenameResult::Blank;
    Json::Value list;
    if (!ReadList(list) || index < 0 || index >= static_cast<int>(entries_.size()))
        return RenameResult::Failed;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (static_cast<int>(i) != index && SameTextIgnoringCase(entries_[i].name, name))
            return RenameResult::Duplicate;
    }
    const fs::path path =
        ProfilePath(deviceFolder_, entries_[static_cast<std::size_t>(index)].identifier);
    if (path.empty()) return RenameResult::Failed;
    // The profile file carries the name too. One that holds no document keeps
    // what it holds: the loader deals with it, and the list has the name.
    DocumentRead contents = DocumentFile::Read(path);
    const bool inFile = contents.status == DocumentStatus::Ok && contents.value.isObject();
    const Json::Value oldName = inFile ? Member(contents.value, "profilename") : Json::Value();
    if (inFile) {
        contents.value["profilename"] = name;
        if (!DocumentFile::WriteJsonFile(path, contents.value)) return RenameResult::Failed;
    }
    list["profilelist"][static_cast<Json::ArrayIndex>(index)]["profilename"] = name;
    if (!DocumentFile::WriteJsonFile(ProfileListPath(deviceFolder_), list)) {
        if (inFile) {
            // Both files keep the old name.
            contents.value["profilename"] = oldName;
            (void)DocumentFile::WriteJsonFile(path, contents.value);
        }
        return RenameResult::Failed;
    }
    Cache(list);
    return RenameResult::Done;
}

std::string ProfileList::CopyProfile(int index) {
    Json::Value list;
    if (!ReadList(list) || index < 0 || index >= static_cast<int>(entries_.size())) return {};
    const ProfileEntry source = entries_[static_cast<std::size_t>(index)];
    Json::Value contents =
        DocumentFile::ReadJsonFile(ProfilePath(deviceFolder_, source.identifier));
    // A source without a document gives a copy that loads the defaults.
    if (!contents.isObject()) contents = Json::Value(Json::objectValue);
    return MakeProfile(contents, CopyName(entries_, source.name), false);
}

ImportResult ProfileList::ImportProfile(const fs::path& source) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(source, ec);
    if (ec || size > kMaxImportBytes) {
        LogWarning(fmt::format("import of {}: {}", source.string(),
                               ec ? ec.message() : std::string("larger than a profile can be")));
        return ImportResult::Unreadable;
    }
    DocumentRead read = DocumentFile::Read(source);
    if (read.status != DocumentStatus::Ok) return ImportResult::Unreadable;
    const ImportResult check =
        CheckImportedProfile(read.value, DocumentFile::ReadJsonFile(defaultProfilePath_));
    if (check != ImportResult::Imported) {
        LogWarning(fmt::format(
            "import of {} refused: {}", source.string(),
            check == ImportResult::OtherKind ? "a profile of another device" : "not a profile"));
        return check;
    }
    Json::Value list;
    if (!ReadList(list)) return ImportResult::Failed;
    const std::string name = ImportName(entries_, DocumentFile::FileTitle(source));
    if (MakeProfile(read.value, name, false).empty()) return ImportResult::Failed;
    // A profile file of an empty identifier names no entry.
    fs::remove(deviceFolder_ / kProfileExtension, ec);
    return ImportResult::Imported;
}

ExportResult ProfileList::ExportProfile(int index, const fs::path& target) {
    Json::Value list;
    if (!ReadList(list) || index < 0 || index >= static_cast<int>(entries_.size()))
        return ExportResult::Failed;
    const Json::Value contents = DocumentFile::ReadJsonFile(
        ProfilePath(deviceFolder_, entries_[static_cast<std::size_t>(index)].identifier));
    if (!contents.isObject()) return ExportResult::Unreadable;
    return DocumentFile::WriteJsonFile(target, contents) ? ExportResult::Exported
                                                         : ExportResult::Failed;
}

}  // namespace q731

#include "profiles/macro_store.h"

#include <algorithm>
#include <system_error>

#include <fmt/format.h>

#include "platform/files.h"
#include "platform/log.h"
#include "platform/text.h"
#include "profiles/document_file.h"
#include "profiles/json_fields.h"

namespace q731 {

using json::GetString;
using json::Member;

namespace {

std::string Lowered(std::string_view text) {
    return FoldCase(text);
}

bool IsBlank(std::string_view text) {
    return TrimmedText(text).empty();
}

std::vector<std::string> NamesOf(const Json::Value& list) {
    std::vector<std::string> names;
    const Json::Value& entries = Member(list, "MacroInfo");
    for (Json::ArrayIndex i = 0; i < json::ArraySize(entries); ++i) {
        names.push_back(GetString(entries[i], "MacroName"));
    }
    return names;
}

bool ListHasIdentifier(const Json::Value& list, const std::string& identifier) {
    const Json::Value& entries = Member(list, "MacroInfo");
    for (Json::ArrayIndex i = 0; i < json::ArraySize(entries); ++i) {
        if (GetString(entries[i], "Guid") == identifier) return true;
    }
    return false;
}

Json::Value MakeEntry(const std::string& name, const std::string& identifier) {
    Json::Value entry(Json::objectValue);
    entry["MacroName"] = name;
    entry["Guid"] = identifier;
    return entry;
}

bool IsMacroFile(const Json::Value& document) {
    const Json::Value& events = Member(document, "Events");
    if (!events.isArray() || events.size() > kMaxMacroEvents) return false;
    for (Json::ArrayIndex i = 0; i < events.size(); ++i) {
        if (!events[i].isObject()) return false;
    }
    return true;
}

}  // namespace

std::string NextMacroName(const std::vector<std::string>& names) {
    std::set<std::string> taken;
    for (const std::string& name : names)
        taken.insert(Lowered(name));
    for (int n = 1;; ++n) {
        std::string name = fmt::format("macro_{}", n);
        if (taken.count(name) == 0) return name;
    }
}

std::vector<MacroEvent> EventsOf(const Json::Value& document) {
    std::vector<MacroEvent> events;
    const Json::Value& list = Member(document, "Events");
    for (Json::ArrayIndex i = 0; i < json::ArraySize(list); ++i) {
        events.push_back(MacroEventFromJson(list[i]));
    }
    return events;
}

MacroStore::MacroStore(fs::path deviceFolder, Product product, WallClock clock)
    : deviceFolder_(std::move(deviceFolder)),
      listPath_(MacroListPath(deviceFolder_, product)),
      clock_(OrSystemClock(std::move(clock))) {}

fs::path MacroStore::FileOf(const std::string& identifier) const {
    if (!IsSafeIdentifier(identifier)) return {};
    return deviceFolder_ / (identifier + kMacroExtension);
}

Json::Value MacroStore::RebuildFromFiles() const {
    std::vector<std::string> identifiers;
    std::error_code ec;
    for (fs::directory_iterator it(deviceFolder_, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->symlink_status(ec).type() != fs::file_type::regular) continue;
        if (it->path().extension() != kMacroExtension) continue;
        const std::string identifier = it->path().stem().string();
        if (IsSafeIdentifier(identifier)) identifiers.push_back(identifier);
    }
    // Identifiers are creation stamps, so this is the order the macros were added in.
    std::sort(identifiers.begin(), identifiers.end());
    Json::Value entries(Json::arrayValue);
    std::vector<std::string> names;
    for (const std::string& identifier : identifiers) {
        std::string name = GetString(DocumentFile::ReadJsonFile(FileOf(identifier)), "MacroName");
        const bool clash = std::any_of(names.begin(), names.end(), [&](const std::string& n) {
            return Lowered(n) == Lowered(name);
        });
        if (IsBlank(name) || clash) name = NextMacroName(names);
        names.push_back(name);
        entries.append(MakeEntry(name, identifier));
    }
    return entries;
}

bool MacroStore::ReadList(Json::Value& list, MacroListStatus* status) {
    auto report = [status](MacroListStatus value) {
        if (status) *status = value;
    };
    DocumentRead read = DocumentFile::Read(listPath_);
    list = Json::Value(Json::objectValue);
    if (read.status == DocumentStatus::Unreadable) {
        report(MacroListStatus::Unreadable);
        return false;
    }
    if (read.status == DocumentStatus::Missing) {
        list["MacroInfo"] = Json::Value(Json::arrayValue);
        report(MacroListStatus::Missing);
        return true;
    }
    const Json::Value& entries = Member(read.value, "MacroInfo");
    if (read.status == DocumentStatus::Ok && read.value.isObject() &&
        (entries.isNull() || entries.isArray())) {
        list.swap(read.value);
        if (!list["MacroInfo"].isArray()) list["MacroInfo"] = Json::Value(Json::arrayValue);
        report(MacroListStatus::Ok);
        return true;
    }
    if (DocumentFile::KeepAside(listPath_).empty()) {
        report(MacroListStatus::Unreadable);
        return false;
    }
    list["MacroInfo"] = RebuildFromFiles();
    DocumentFile::WriteJsonFile(listPath_, list);  // failure logged; the rebuilt list still serves
    report(MacroListStatus::Rebuilt);
    return true;
}

MacroList MacroStore::ListMacros() {
    MacroList result;
    Json::Value list;
    ReadList(list, &result.status);
    const Json::Value& entries = Member(list, "MacroInfo");
    for (Json::ArrayIndex i = 0; i < json::ArraySize(entries); ++i) {
        result.entries.push_back(
            {GetString(entries[i], "MacroName"), GetString(entries[i], "Guid")});
    }
    return result;
}

std::string MacroStore::NewIdentifier(const Json::Value& list) {
    std::string stamp = UniqueTimeStamp(clock_, [&](const std::string& candidate) {
        std::error_code ec;
        return issued_.count(candidate) != 0 || ListHasIdentifier(list, candidate) ||
               fs::exists(FileOf(candidate), ec);
    });
    if (!stamp.empty()) issued_.insert(stamp);
    return stamp;
}

std::string MacroStore::AddMacro() {
    Json::Value list;
    if (!ReadList(list) || list["MacroInfo"].size() >= kMaxMacros) return {};
    const std::string identifier = NewIdentifier(list);
    if (identifier.empty()) return {};
    list["MacroInfo"].append(MakeEntry(NextMacroName(NamesOf(list)), identifier));
    return DocumentFile::WriteJsonFile(listPath_, list) ? identifier : std::string();
}

RenameResult MacroStore::RenameMacro(int index, const std::string& name) {
    if (IsBlank(name)) return RenameResult::Blank;
    Json::Value list;
    if (!ReadList(list)) return RenameResult::Failed;
    Json::Value& entries = list["MacroInfo"];
    if (index < 0 || index >= static_cast<int>(entries.size())) return RenameResult::Failed;
    for (const std::string& existing : NamesOf(list)) {
        if (Lowered(existing) == Lowered(name)) return RenameResult::Duplicate;
    }
    json::EnsureObject(entries[static_cast<Json::ArrayIndex>(index)])["MacroName"] = name;
    return DocumentFile::WriteJsonFile(listPath_, list) ? RenameResult::Done : RenameResult::Failed;
}

bool MacroStore::DeleteMacro(int index) {
    Json::Value list;
    if (!ReadList(list)) return false;
    Json::Value& entries = list["MacroInfo"];
    if (index < 0 || index >= static_cast<int>(entries.size())) return false;
    const std::string identifier = GetString(entries[static_cast<Json::ArrayIndex>(index)], "Guid");
    Json::Value removed;
    entries.removeIndex(static_cast<Json::ArrayIndex>(index), &removed);
    // The list goes first: a crash in between leaves an unlisted file, never
    // a listed macro without its events.
    if (!DocumentFile::WriteJsonFile(listPath_, list)) return false;
    const fs::path file = FileOf(identifier);
    if (!file.empty() && !ListHasIdentifier(list, identifier)) {
        std::error_code ec;
        fs::remove(file, ec);
    }
    return true;
}

fs::path MacroStore::MacroFilePath(int index) {
    Json::Value list;
    if (!ReadList(list)) return {};
    return FileOf(GetString(json::At(list["MacroInfo"], index), "Guid"));
}

std::vector<MacroEvent> MacroStore::LoadEvents(int index) {
    const fs::path file = MacroFilePath(index);
    if (file.empty()) return {};
    return EventsOf(DocumentFile::ReadJsonFile(file));
}

std::optional<std::vector<MacroEvent>> MacroStore::ReadEventsForDevice(int index) {
    const fs::path file = MacroFilePath(index);
    if (file.empty()) return std::nullopt;
    const DocumentRead read = DocumentFile::Read(file);
    if (read.status != DocumentStatus::Ok || !read.value.isObject() ||
        !read.value.isMember("Events") || !read.value["Events"].isArray()) {
        return std::nullopt;
    }
    return EventsOf(read.value);
}

bool MacroStore::SaveEvents(int index, const std::string& name,
                            const std::vector<MacroEvent>& events) {
    Json::Value list;
    if (!ReadList(list)) return false;
    const std::string identifier = GetString(json::At(list["MacroInfo"], index), "Guid");
    const fs::path file = FileOf(identifier);
    Json::Value existing;
    if (file.empty() || !DocumentFile::ReadForUpdate(file, existing)) return false;
    Json::Value contents(Json::objectValue);
    contents["MacroName"] = name;
    contents["Guid"] = identifier;
    Json::Value& array = contents["Events"] = Json::Value(Json::arrayValue);
    for (const MacroEvent& event : events)
        array.append(MacroEventToJson(event));
    contents["Version"] = kMacroFileVersion;
    return DocumentFile::WriteJsonFile(file, contents);
}

std::string MacroStore::ImportMacro(const fs::path& source) {
    std::string bytes;
    if (ReadFileBytes(source, bytes, DocumentFile::kMaxBytes) != ReadStatus::Ok) return {};
    Json::Value document;
    if (!DocumentFile::Parse(bytes, document) || !IsMacroFile(document)) {
        LogWarning("not a macro file: " + source.string());
        return {};
    }
    Json::Value list;
    if (!ReadList(list) || list["MacroInfo"].size() >= kMaxMacros) return {};
    const std::string identifier = NewIdentifier(list);
    const fs::path file = FileOf(identifier);
    if (file.empty()) return {};
    std::string error;
    if (!WriteFileAtomically(file, bytes, &error)) {
        LogError(error);
        return {};
    }
    list["MacroInfo"].append(MakeEntry(NextMacroName(NamesOf(list)), identifier));
    if (!DocumentFile::WriteJsonFile(listPath_, list)) {
        std::error_code ec;
        fs::remove(file, ec);
        return {};
    }
    return identifier;
}

bool MacroStore::ExportMacro(int index, const fs::path& target) {
    const fs::path file = MacroFilePath(index);
    std::string bytes;
    if (file.empty() || target.empty() ||
        ReadFileBytes(file, bytes, DocumentFile::kMaxBytes) != ReadStatus::Ok) {
        return false;
    }
    std::string error;
    if (WriteFileAtomically(target, bytes, &error)) return true;
    LogError(error);
    return false;
}

}  // namespace q731

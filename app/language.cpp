#include "app/language.h"

#include <array>

#include "platform/key_store.h"
#include "platform/log.h"
#include "profiles/document_file.h"
#include "ui/widgets/paint_manager.h"

namespace q731 {

namespace {

struct FamilyRow {
    int index;
    const char* family;
};
// Languages with a family of their own; every other language uses kOtherFamily.
constexpr std::array<FamilyRow, 3> kFamilies = {{
    {0, "汉仪菱心体简"},
    {2, "Noto Sans CJK TC Regular"},
    {15, "Noto Sans Thai"},
}};
constexpr const char* kOtherFamily = "Arial";

struct FontRow {
    int id;  // -1: the default font
    int size;
    bool bold;
    bool underline;
};
// One row per line: every window shares these fonts. Id 12 is the small font
// of the keyboard picture's key captions, which the layouts use as well.
constexpr std::array<FontRow, 15> kFontSet = {{
    {-1, 14, false, false},
    {0, 15, false, false},
    {1, 14, false, true},
    {2, 18, false, false},
    {3, 30, false, false},
    {4, 16, false, false},
    {5, 20, false, false},
    {6, 22, false, false},
    {7, 14, false, false},
    {8, 12, false, false},
    {9, 11, false, false},
    {10, 10, false, false},
    {11, 28, false, false},
    {12, 9, false, false},
    {50, 18, true, false},
}};

const char* OwnFamily(int index) {
    for (const FamilyRow& row : kFamilies) {
        if (row.index == index) return row.family;
    }
    return nullptr;
}

// A language file must be a plain file name: the table is data, and a path
// in it must not make us read anything outside the skin folder.
bool IsPlainSkinFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    return name.find_first_of("/\\:") == std::string::npos && name.find('\0') == std::string::npos;
}

std::optional<LanguageRow> SoundRow(const Json::Value& row) {
    if (!row.isObject()) return std::nullopt;
    const Json::Value& name = row["Language_name"];
    const Json::Value& file = row["Language_file"];
    const Json::Value& id = row["Language_ID"];
    if (!name.isString() || !file.isString() || !id.isIntegral()) return std::nullopt;
    if (!id.isUInt()) return std::nullopt;  // negative or wider than 32 bits
    if (!IsPlainSkinFileName(file.asString())) return std::nullopt;
    return LanguageRow{name.asString(), file.asString(), id.asUInt()};
}

}  // namespace

LanguageTable LanguageTable::Read(const std::filesystem::path& file) {
    return FromJson(DocumentFile::ReadJsonFile(file));
}

LanguageTable LanguageTable::FromJson(Json::Value document) {
    LanguageTable table;
    if (document.isObject() && document["Language"].isArray()) {
        table.document_ = std::move(document["Language"]);
    }
    return table;
}

int LanguageTable::Size() const {
    return document_.isArray() ? static_cast<int>(document_.size()) : 0;
}

std::optional<LanguageRow> LanguageTable::Row(int index) const {
    if (index < 0 || index >= Size()) return std::nullopt;
    return SoundRow(document_[static_cast<Json::ArrayIndex>(index)]);
}

std::optional<int> LanguageTable::IndexOfId(std::int64_t id) const {
    for (int index = 0; index < Size(); ++index) {
        if (auto row = Row(index); row && row->id == id) return index;
    }
    return std::nullopt;
}

std::optional<int> LanguageTable::IndexOfName(std::string_view name) const {
    for (int index = 0; index < Size(); ++index) {
        if (auto row = Row(index); row && row->name == name) return index;
    }
    return std::nullopt;
}

int DetermineLanguage(const LanguageTable& table, const KeyStore* store, std::string_view locale) {
    if (store) {
        if (auto stored = store->GetDword(kLanguageKey, kLanguageValue))
            return table.IndexOfId(*stored).value_or(0);
    }
    // "zh_CN.UTF-8" → "zh"; C and POSIX locales name no language.
    std::string_view language = locale.substr(0, locale.find_first_of("_.@"));
    if (language == "zh") language = "cn";
    if (!language.empty()) {
        if (auto index = table.IndexOfName(language)) return *index;
    }
    return table.IndexOfName("en").value_or(0);
}

bool StoreLanguage(KeyStore* store, std::uint32_t id) {
    if (!store) return false;
    if (!store->SetDword(kLanguageKey, kLanguageValue, id)) {
        LogWarning("the language choice could not be stored in " + store->File().string());
        return false;
    }
    return true;
}

std::optional<std::string> FontFamilyForSwitch(int inUse, int next) {
    if (const char* own = OwnFamily(next)) return std::string(own);
    if (inUse == -1 || OwnFamily(inUse)) return std::string(kOtherFamily);
    return std::nullopt;
}

void CreateFontSet(CPaintManagerUI& manager, const std::string& family) {
    manager.RemoveAllFonts(true);
    for (const FontRow& row : kFontSet) {
        if (row.id < 0) {
            manager.SetDefaultFont(family, row.size, row.bold, row.underline, false);
        } else {
            manager.AddFont(row.id, family, row.size, row.bold, row.underline, false);
        }
    }
}

}  // namespace q731

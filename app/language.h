#pragma once
// The interface language: the language table ("Language.config" in the
// default data folder), the user's stored choice ("LANGUAGE" in the key store)
// and the font family each language is drawn with.
//
// Languages are referred to by their index in the table. A row is used only
// when all of it is sound (name and file are strings, the file is a plain name
// inside the skin folder, the id is a 32-bit number), so a damaged table can
// never load an empty language or overwrite the user's choice.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <json/value.h>

namespace q731 {

class CPaintManagerUI;
class KeyStore;

inline constexpr const char* kLanguageKey = "SOFTWARE\\GamingKeyboardQ731ControlCenter";
inline constexpr const char* kLanguageValue = "LANGUAGE";

struct LanguageRow {
    std::string name;  // handed to the resource manager
    std::string file;  // the language file in the skin folder
    std::uint32_t id = 0;
};

class LanguageTable {
public:
    // An unreadable or unparsable file reads as an empty table.
    static LanguageTable Read(const std::filesystem::path& file);
    static LanguageTable FromJson(Json::Value document);

    // The row at `index`, when the index is in the table and the row is sound.
    std::optional<LanguageRow> Row(int index) const;
    // The first sound row with that id or that name.
    std::optional<int> IndexOfId(std::int64_t id) const;
    std::optional<int> IndexOfName(std::string_view name) const;
    int Size() const;

private:
    Json::Value document_;
};

// The language to start with. A stored identifier picks the first row that
// carries it (none: index 0); with nothing stored the locale decides ("zh..."
// the row named "cn", otherwise the row named after the locale's language,
// then the row named "en", then index 0).
int DetermineLanguage(const LanguageTable& table, const KeyStore* store, std::string_view locale);

// Stores the identifier of the language in use; false when it could not be written.
bool StoreLanguage(KeyStore* store, std::uint32_t id);

// The family to rebuild the fonts with when the language changes from
// `inUse` to `next`, or nullopt when the fonts stay as they are (two languages
// that both use "Arial").
std::optional<std::string> FontFamilyForSwitch(int inUse, int next);

// Replaces every font of `manager` and the shared ones with the interface
// font set in `family`.
void CreateFontSet(CPaintManagerUI& manager, const std::string& family);

}  // namespace q731

#pragma once
// CResourceManager: the process's interface texts and the resource index.
// Language files map text ids to texts; controls with resource text show the
// text of their id in the language in use. The resource index ("res.xml") maps
// ids such as "XML_MAIN" to files under the skin folder.

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace q731 {

class IQueryControlText {
public:
    virtual ~IQueryControlText() = default;
    // Asked for an id the language file does not have; nullopt for "no text".
    virtual std::optional<std::string> QueryControlText(std::string_view id,
                                                        std::string_view type) = 0;
};

class CResourceManager {
public:
    static CResourceManager& GetInstance();

    // Language files: <Language><Text id="..." value="..."/>...</Language>.
    // A path relative to the resource path, or the XML text itself. On failure
    // the texts in use are kept.
    bool LoadLanguage(std::string_view fileOrXml);
    void SetLanguage(std::string name) { language_ = std::move(name); }
    const std::string& GetLanguage() const { return language_; }
    std::optional<std::string> GetText(std::string_view id) const;
    // Shows the new texts: every window lays out and repaints.
    void ReloadText();
    void SetTextQueryInterface(IQueryControlText* query) { query_ = query; }
    void ResetLanguage();

    // Resource index: <Resources><Resource id="XML_MAIN" file="main.xml"/>...</Resources>.
    bool LoadResource(std::string_view fileOrXml);
    // The file an id names, or nullopt.
    std::optional<std::string> GetResourceFile(std::string_view id) const;
    void ResetResourceMap() { resources_.clear(); }

private:
    std::map<std::string, std::string, std::less<>> texts_;
    std::map<std::string, std::string, std::less<>> resources_;
    std::string language_;
    IQueryControlText* query_ = nullptr;
};

// Reads a skin file (path relative to the resource path, or absolute) with a size cap.
std::optional<std::string> ReadSkinFile(std::string_view name);
// Text that starts with '<' is XML given inline; anything else names a file.
bool LooksLikeXml(std::string_view text);

}  // namespace q731

#include "ui/widgets/resource_manager.h"

#include "platform/files.h"
#include "platform/log.h"
#include "ui/widgets/paint_manager.h"
#include "ui/widgets/xml.h"

namespace q731 {

namespace {
constexpr std::size_t kMaxSkinFileBytes = 8 * 1024 * 1024;

std::optional<XmlElement> LoadXml(std::string_view fileOrXml, std::string_view what) {
    std::string text;
    if (LooksLikeXml(fileOrXml)) {
        text = std::string(fileOrXml);
    } else {
        auto read = ReadSkinFile(fileOrXml);
        if (!read) {
            LogWarning(std::string(what) + ": cannot read " + std::string(fileOrXml));
            return std::nullopt;
        }
        text = std::move(*read);
    }
    std::string error;
    auto doc = ParseXml(text, &error);
    if (!doc) LogWarning(std::string(what) + ": " + error);
    return doc;
}
}  // namespace

bool LooksLikeXml(std::string_view text) {
    std::string_view t = Trim(text);
    return !t.empty() && t.front() == '<';
}

std::optional<std::string> ReadSkinFile(std::string_view name) {
    fs::path path(std::string{name});
    if (path.is_relative()) path = fs::path(CPaintManagerUI::GetResourcePath()) / path;
    std::string data;
    if (ReadFileBytes(path, data, kMaxSkinFileBytes) != ReadStatus::Ok) return std::nullopt;
    return data;
}

CResourceManager& CResourceManager::GetInstance() {
    static CResourceManager instance;
    return instance;
}

bool CResourceManager::LoadLanguage(std::string_view fileOrXml) {
    auto doc = LoadXml(fileOrXml, "language file");
    if (!doc) return false;
    std::map<std::string, std::string, std::less<>> texts;
    for (const XmlElement& item : doc->children) {
        const std::string* id = item.Attribute("id");
        const std::string* value = item.Attribute("value");
        if (id && value && EqualsNoCase(item.name, "Text")) texts[*id] = *value;
    }
    texts_ = std::move(texts);
    return true;
}

std::optional<std::string> CResourceManager::GetText(std::string_view id) const {
    auto it = texts_.find(id);
    if (it != texts_.end()) return it->second;
    if (query_) return query_->QueryControlText(id, "");
    return std::nullopt;
}

void CResourceManager::ReloadText() {
    for (CPaintManagerUI* manager : CPaintManagerUI::GetAllManagers()) {
        manager->NeedUpdate();
        manager->Invalidate();
    }
}

void CResourceManager::ResetLanguage() {
    texts_.clear();
    language_.clear();
}

bool CResourceManager::LoadResource(std::string_view fileOrXml) {
    auto doc = LoadXml(fileOrXml, "resource index");
    if (!doc) return false;
    for (const XmlElement& item : doc->children) {
        const std::string* id = item.Attribute("id");
        const std::string* file = item.Attribute("file");
        if (id && file) resources_[*id] = *file;
    }
    return true;
}

std::optional<std::string> CResourceManager::GetResourceFile(std::string_view id) const {
    auto it = resources_.find(id);
    if (it == resources_.end()) return std::nullopt;
    return it->second;
}

}  // namespace q731

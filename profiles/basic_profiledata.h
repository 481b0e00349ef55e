#pragma once
// A device's view of its profile document: element [document index] of the
// profile file's "Device" array. Getters convert JSON sections into the records
// the device sends; setters change only the document in memory until
// SaveProfile writes it. The document keeps every key it was read with, so
// sections this program does not know survive a save untouched.

#include <json/json.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "profiles/document_file.h"
#include "profiles/json_fields.h"
#include "profiles/profile_records.h"

namespace q731 {

namespace fs = std::filesystem;

class CBasicProfiledata {
public:
    // Documents are element 0 in practice; a larger index would make a write
    // grow the "Device" array, so anything past this is refused.
    static constexpr int kMaxDocumentIndex = 15;

    CBasicProfiledata() = default;
    virtual ~CBasicProfiledata() = default;
    CBasicProfiledata(const CBasicProfiledata&) = delete;
    CBasicProfiledata& operator=(const CBasicProfiledata&) = delete;

    // Rewrites the profile file with the document; false when nothing was written.
    virtual bool SaveProfile();
    // Read-modify-write of "Device"[document index] of `path`: every other key
    // and element stays as it is on disk.
    virtual bool StoreDocument(const Json::Value& value, const fs::path& path);
    virtual bool SaveSecondaryDocument(const fs::path& path);
    // Writes `value` as the whole file.
    virtual bool WriteDocument(const Json::Value& value, const fs::path& path);

    void SetProfilePath(const fs::path& path);
    const fs::path& GetProfilePath() const { return profilePath_; }
    void SetDefaultPath(const fs::path& path);
    const fs::path& GetDefaultPath() const { return defaultPath_; }
    void SetLightLibraryPath(const fs::path& path) { lightLibraryPath_ = path; }
    const fs::path& GetLightLibraryPath() const { return lightLibraryPath_; }
    // Ignored outside 0..kMaxDocumentIndex.
    void SetDocumentIndex(int index);
    int GetDocumentIndex() const { return documentIndex_; }
    // The row of the kind in the light library; also resets the document index to 0.
    void SetDeviceKindIndex(int kindIndex);
    int GetDeviceKindIndex() const { return deviceKindIndex_; }

    // Loads the document from `path`. A file without the document is completed
    // from the default profile file and written back; a damaged file is kept
    // aside first and rebuilt with its identifier and listed name.
    Json::Value LoadProfileDocument(const fs::path& path);
    Json::Value LoadSecondaryDocument(const fs::path& path);
    Json::Value LoadLightLibrary(const fs::path& path);

    const Json::Value& Document() const { return document_; }
    const Json::Value& SecondaryDocument() const { return secondaryDocument_; }
    void SetDocument(const Json::Value& document) { document_ = document; }

    LightSetting GetLightSetting();
    void SetLightSetting(const LightSetting& setting);
    AudioLightSetting GetAudioLightSetting();
    void SetAudioLightSetting(const AudioLightSetting& setting);
    std::vector<LightSetting> GetLedList();
    std::vector<LedEffectStep> GetEffectSteps();
    std::vector<KeyEntry> GetKeyList();
    std::vector<KeyEntry> GetSecondaryKeyList();
    void SetKeyList(const std::vector<KeyEntry>& keys);
    void SetSecondaryKeyList(const std::vector<KeyEntry>& keys);

protected:
    // The document as an object, made one when it is null.
    Json::Value& MutableDocument() { return json::EnsureObject(document_); }

    Json::Value document_;

private:
    Json::Value LoadDocumentInto(const fs::path& path, Json::Value& target);
    static std::vector<KeyEntry> ReadKeyList(const Json::Value& document);
    static void WriteKeyList(Json::Value& document, const std::vector<KeyEntry>& keys);

    fs::path profilePath_;
    fs::path defaultPath_;
    std::int32_t builtInEffectCount_ = 0;
    LightSetting lightSetting_;
    LightSetting fallbackLightSetting_;
    AudioLightSetting audioLightSetting_;
    std::vector<LightSetting> ledList_;
    Json::Value secondaryDocument_;
    fs::path lightLibraryPath_;
    std::vector<LedEffectStep> effectSteps_;
    Json::Value lightLibrary_;
    std::vector<KeyEntry> keyList_;
    std::vector<KeyEntry> secondaryKeyList_;
    int documentIndex_ = 0;
    int deviceKindIndex_ = 0;
};

}  // namespace q731

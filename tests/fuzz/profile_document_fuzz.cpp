// A profile document as the profile-data classes of every product read it: the
// bytes go through the document reader, and whatever object it yields (the
// first elements of "Device", or the whole document) is handed to the mouse,
// keyboard, headset and base (mouse pad) classes, whose getters then read
// every section. What we write must read back: a document that parsed is
// written out in the styled layout and must parse again to the same value.

#include <cstdint>
#include <string>

#include "profiles/document_file.h"
#include "profiles/hs6533_profiledata.h"
#include "profiles/keyboard_profiledata.h"
#include "profiles/mouse_profiledata.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace q731;

// "Device" elements read per input; real files hold one.
constexpr Json::ArrayIndex kDocumentsRead = 2;

void ReadShared(CBasicProfiledata& profile) {
    profile.GetLightSetting();
    profile.GetAudioLightSetting();
    profile.GetLedList();
    profile.GetKeyList();
}

void ReadAsEveryProduct(const Json::Value& document) {
    CMouseProfiledata mouse;
    mouse.SetDocument(document);
    ReadShared(mouse);
    mouse.GetDpiStages();
    mouse.GetActiveStage();
    mouse.GetSystemSettings();
    mouse.GetCorrectList();

    CKeyboardProfiledata keyboard;
    keyboard.SetDocument(document);
    ReadShared(keyboard);
    keyboard.GetSystemSettings();
    keyboard.GetSelectedCustomGroup();
    for (int group : {-1, 0, 1, CKeyboardProfiledata::kMaxCustomGroups}) {
        for (int keys : {0, 104, CKeyboardProfiledata::kMaxKeys + 1})
            keyboard.GetCustomColourGroup(group, keys);
    }

    CHs6533Profiledata headset;
    headset.SetDocument(document);
    ReadShared(headset);
    headset.GetSystemSettings();
    for (int type = -1; type <= CHs6533Profiledata::kCustomCurveType + 1; ++type)
        headset.GetEqualiserCurve(type);
    const int names = static_cast<int>(headset.GetCustomCurveNames().size());
    for (int index = -1; index <= names; ++index)
        headset.GetCustomCurve(index);

    CBasicProfiledata pad;
    pad.SetDocument(document);
    ReadShared(pad);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::SilenceLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    Json::Value value;
    if (!DocumentFile::Parse(fuzz::AsText(data, size), value)) {
        if (!value.isNull()) fuzz::Fail("a failed parse left a value behind");
        return 0;
    }
    const std::string styled = DocumentFile::StyledText(value);
    Json::Value again;
    std::string error;
    if (!DocumentFile::Parse(styled, again, &error))
        fuzz::Fail("written text unreadable: " + error);
    if (again != value) fuzz::Fail("written text reads back as another value");

    const Json::Value& devices = value.isObject() ? value["Device"] : Json::Value::nullSingleton();
    if (devices.isArray()) {
        for (Json::ArrayIndex i = 0; i < devices.size() && i < kDocumentsRead; ++i)
            ReadAsEveryProduct(devices[i]);
    } else {
        ReadAsEveryProduct(value);
    }
    return 0;
}

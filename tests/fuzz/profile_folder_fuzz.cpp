// The files of a device folder as the storage code reads them: the profile
// list, a profile file, the macro list, a macro file and a shooting file. The
// first byte picks which of them holds the fuzzer's bytes; the others hold
// valid contents naming one another, so the reading goes as deep as it would
// in a real folder. Then the folder is read the way the program does, and
// changed once: a repaired list must read back as it was repaired.

#include <chrono>
#include <cstdint>
#include <string>

#include "devices/shoot_image.h"
#include "profiles/macro_store.h"
#include "profiles/mouse_profiledata.h"
#include "profiles/profile_list.h"
#include "profiles/profile_paths.h"
#include "profiles/shooting_files.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace q731;
namespace fs = std::filesystem;

constexpr const char* kProfileId = "2021_03_04_05_06_07_008";
constexpr const char* kMacroId = "2021_03_04_05_06_07_009";

constexpr const char* kProfileListText =
    R"({"profilelist":[{"profilename":"profile1","profileUUID":"2021_03_04_05_06_07_008"}],)"
    R"("profileselect":0})";
constexpr const char* kProfileText =
    R"({"profilename":"profile1","profileUUID":"2021_03_04_05_06_07_008","Device":[{)"
    R"("StageDPIs":[{"DPI":800}],"KeyList":[{"Assignment":1}]}]})";
constexpr const char* kMacroListText =
    R"({"MacroInfo":[{"MacroName":"macro_1","Guid":"2021_03_04_05_06_07_009"}]})";
constexpr const char* kEventsText =
    R"({"Events":[{"Action":"down","Type":1,"Button":1,"Delay":10},)"
    R"({"Action":"up","Type":1,"Button":1,"Delay":10}],"Version":64})";

enum class FuzzedFile : uint8_t { ProfileList, Profile, MacroList, Macro, Shooting, Count };

std::chrono::system_clock::time_point FixedTime() {
    return std::chrono::system_clock::time_point(std::chrono::hours(24 * 365 * 52));
}

void ReadProfiles(const fs::path& folder) {
    ProfileList list(FixedTime);
    list.SetFolders(folder, DefaultProfilePath(Q731_SOURCE_DIR "/DefaultData", Product::Mouse));
    list.SetProduct(Product::Mouse);
    list.LoadProfileList();
    const std::vector<ProfileEntry> first = list.Entries();
    const int count = list.ProfileCount();
    for (int index = 0; index < count && index < 2; ++index) {
        CMouseProfiledata profile;
        profile.SetProfilePath(list.ProfileFilePath(index));
        profile.LoadProfileDocument(list.ProfileFilePath(index));
        profile.GetDpiStages();
        profile.GetKeyList();
        profile.GetLightSetting();
    }
    if (list.SelectProfile(0)) {
        ProfileList again(FixedTime);
        again.SetFolders(folder, {});
        again.LoadProfileList();
        if (again.Entries() != first) fuzz::Fail("the profile list changed on a second read");
    }
}

void ReadMacros(const fs::path& folder) {
    MacroStore store(folder, Product::Mouse, FixedTime);
    const MacroList list = store.ListMacros();
    for (int index = -1; index <= static_cast<int>(list.entries.size()) && index < 3; ++index) {
        store.LoadEvents(index);
        store.ReadEventsForDevice(index);
    }
    if (!store.AddMacro().empty()) {
        const MacroList after = store.ListMacros();
        if (after.status != MacroListStatus::Ok) fuzz::Fail("the macro list we wrote is damaged");
        if (after.entries.size() < list.entries.size())
            fuzz::Fail("adding a macro shortened the list");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::SilenceLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto fuzzed = static_cast<FuzzedFile>(data[0] % static_cast<uint8_t>(FuzzedFile::Count));
    const std::string_view bytes = fuzz::AsText(data + 1, size - 1);
    auto pick = [&](FuzzedFile file, std::string_view valid) {
        return fuzzed == file ? bytes : valid;
    };
    const fs::path& folder = fuzz::FreshScratchFolder();
    fuzz::WriteFile(ProfileListPath(folder), pick(FuzzedFile::ProfileList, kProfileListText));
    fuzz::WriteFile(ProfilePath(folder, kProfileId), pick(FuzzedFile::Profile, kProfileText));
    fuzz::WriteFile(MacroListPath(folder, Product::Mouse),
                    pick(FuzzedFile::MacroList, kMacroListText));
    fuzz::WriteFile(folder / (std::string(kMacroId) + kMacroExtension),
                    pick(FuzzedFile::Macro, kEventsText));
    fuzz::WriteFile(ShootingFilePath(folder, 0), pick(FuzzedFile::Shooting, kEventsText));

    ReadProfiles(folder);
    ReadMacros(folder);
    BuildShootImage(folder, folder / "defaults");
    (void)ShootingFiles(folder, folder).ImportSlot(1, ShootingFilePath(folder, 0));
    return 0;
}

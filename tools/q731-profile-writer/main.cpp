// Saves the selected profile of a device folder over and over, each time with
// the next generation number, and switches the selection between the first two
// entries, until it is killed. The crash-safety test kills it at random moments
// and then checks that every file still holds a complete generation.
//
//   q731-profile-writer <device folder> <default profile> <first generation>
//
// One byte goes to standard output once the first save has completed.

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "profiles/basic_profiledata.h"
#include "profiles/device_startup.h"
#include "profiles/profile_list.h"

namespace {

// The test checks files against the same rule.
constexpr std::uint32_t kKeyCount = 400;

std::uint32_t KeyCode(std::uint32_t generation, std::uint32_t key) {
    return key == 0 ? generation & 0xFFFFFF : (generation * 131 + key * 7) & 0xFFFFFF;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <device folder> <default profile> <generation>\n", argv[0]);
        return 2;
    }
    // Never outlive the test that started us.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::uint32_t generation = static_cast<std::uint32_t>(std::stoul(argv[3]));

    q731::ProfileList list;
    list.SetFolders(argv[1], argv[2]);
    if (!list.LoadProfileList()) return 1;
    q731::CBasicProfiledata data;
    data.SetDefaultPath(argv[2]);
    if (!q731::LoadCurrentProfile(list, data)) return 1;

    for (int round = 0; round < 1000000; ++round, ++generation) {
        std::vector<q731::KeyEntry> keys(kKeyCount);
        for (std::uint32_t key = 0; key < kKeyCount; ++key) {
            keys[key].current = q731::KeyBinding::FromCode(static_cast<std::uint16_t>(key),
                                                           KeyCode(generation, key));
        }
        data.SetKeyList(keys);
        q731::LightSetting light;
        light.red = static_cast<std::uint8_t>(generation);
        light.green = static_cast<std::uint8_t>(generation >> 8);
        data.SetLightSetting(light);
        if (!data.SaveProfile()) return 1;
        if (!list.SelectProfile(static_cast<int>(generation % 2))) return 1;
        if (round == 0 && ::write(STDOUT_FILENO, "r", 1) != 1) return 1;
    }
    return 0;
}

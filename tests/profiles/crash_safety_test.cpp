// A helper process saves a profile and the profile list in a loop; it is killed
// at random moments, and after every kill each file must parse and hold one
// complete generation, never older than the last one seen.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <iostream>
#include <map>
#include <random>
#include <thread>

#include "profiles/document_file.h"
#include "profiles/profile_list.h"
#include "tests/support/test_folder.h"

#ifndef Q731_PROFILE_WRITER
#error "the crash-safety test needs the path of q731-profile-writer"
#endif

namespace q731 {
namespace {

using testing::TestFolder;

constexpr int kKills = 220;
constexpr std::uint32_t kKeyCount = 400;  // as the helper writes

std::uint32_t KeyCode(std::uint32_t generation, std::uint32_t key) {
    return key == 0 ? generation & 0xFFFFFF : (generation * 131 + key * 7) & 0xFFFFFF;
}

// The generation a profile file holds, after checking that all of it belongs
// to that one generation; 0 for a file no helper has saved yet.
std::uint32_t CheckedGeneration(const fs::path& path) {
    const DocumentRead read = DocumentFile::Read(path);
    EXPECT_EQ(read.status, DocumentStatus::Ok) << path;
    EXPECT_TRUE(read.value.isMember("profileUUID"));
    const Json::Value& document = read.value["Device"][0];
    const Json::Value& keys = document["KeyList"];
    if (keys.size() == 0) return 0;
    EXPECT_EQ(keys.size(), kKeyCount);
    const auto generation = keys[0]["Assignment"].asUInt();
    for (Json::ArrayIndex key = 0; key < keys.size(); ++key) {
        if (keys[key]["Assignment"].asUInt() != KeyCode(generation, key)) {
            ADD_FAILURE() << "mixed generations in " << path << " at key " << key;
            break;
        }
    }
    EXPECT_EQ(document["LightInfo"]["Red"].asUInt(), generation & 0xFF);
    EXPECT_EQ(document["LightInfo"]["Green"].asUInt(), (generation >> 8) & 0xFF);
    return generation;
}

// Starts the helper with its standard output on a pipe; returns its pid.
pid_t StartWriter(const fs::path& device, const fs::path& defaults, std::uint32_t generation,
                  int& readyFd) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const std::string first = std::to_string(generation);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        ::execl(Q731_PROFILE_WRITER, Q731_PROFILE_WRITER, device.c_str(), defaults.c_str(),
                first.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    readyFd = fds[0];
    return pid;
}

TEST(CrashSafety, KilledWriterLeavesEveryFileWholeOldOrNew) {
    TestFolder folder;
    const fs::path device = folder / "mouse";
    // Defaults without a key list, so that a file no writer has saved yet is
    // told apart from a saved one.
    const fs::path defaults = folder / "mouse.Json";
    testing::WriteText(defaults, R"({"Device":[{"LightInfo":{"Red":0}}]})");
    fs::create_directories(device);
    {
        ProfileList list;
        list.SetFolders(device, defaults);
        ASSERT_TRUE(list.LoadProfileList());
        ASSERT_FALSE(
            list.MakeProfile(DocumentFile::ReadJsonFile(defaults), "second", false).empty());
    }
    std::map<std::string, std::uint32_t> lastSeen;
    std::uint32_t nextGeneration = 1;
    std::mt19937 random(731);
    std::uniform_int_distribution<int> delayMicros(0, 4000);
    int kills = 0;
    int killedMidWrite = 0;

    while (kills < kKills && !HasFailure()) {
        int readyFd = -1;
        const pid_t pid = StartWriter(device, defaults, nextGeneration, readyFd);
        ASSERT_GT(pid, 0);
        pollfd ready{readyFd, POLLIN, 0};
        const bool started = ::poll(&ready, 1, 20000) == 1;
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicros(random)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ::close(readyFd);
        ASSERT_TRUE(started) << "the writer never completed its first save";
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << status;
        ++kills;

        bool temporaryLeft = false;
        for (const auto& entry : fs::directory_iterator(device)) {
            const std::string name = entry.path().filename().string();
            if (name.find(".tmp-") != std::string::npos) {
                temporaryLeft = true;
                fs::remove(entry.path());
                continue;
            }
            ASSERT_EQ(name.find(".corrupt-"), std::string::npos) << name;
            if (entry.path().extension() != kProfileExtension) continue;
            const std::uint32_t generation = CheckedGeneration(entry.path());
            EXPECT_GE(generation, lastSeen[name]) << name << " went back";
            lastSeen[name] = generation;
            nextGeneration = std::max(nextGeneration, generation + 1);
        }
        killedMidWrite += temporaryLeft ? 1 : 0;
        const Json::Value list = DocumentFile::ReadJsonFile(device / kProfileListFileName);
        ASSERT_EQ(list["profilelist"].size(), 2u);
        ASSERT_TRUE(list["profileselect"].asInt() == 0 || list["profileselect"].asInt() == 1);
    }
    EXPECT_EQ(kills, kKills);
    // Kills that caught a write between creating its temporary and renaming it.
    EXPECT_GT(killedMidWrite, 0);
    RecordProperty("kills", kills);
    RecordProperty("killed_mid_write", killedMidWrite);
    std::cout << "kills: " << kills << ", of them mid-write: " << killedMidWrite
              << ", generations saved: " << nextGeneration - 1 << "\n";
}

}  // namespace
}  // namespace q731

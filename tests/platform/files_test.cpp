#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "platform/folders.h"

namespace q731 {
namespace {

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/q731-test-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::string Slurp(const fs::path& path) {
    std::string out;
    EXPECT_EQ(ReadFileBytes(path, out, 1 << 20), ReadStatus::Ok);
    return out;
}

TEST(Files, AtomicWriteReplacesContentKeepsModeAndLeavesNoTemporary) {
    TempDir dir;
    const fs::path file = dir.path() / "ProfileList.ini";
    ASSERT_TRUE(WriteFileAtomically(file, "old"));
    ::chmod(file.c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomically(file, "new content"));
    EXPECT_EQ(Slurp(file), "new content");
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(Files, AtomicWriteReportsFailureAndKeepsTheOldFile) {
    TempDir dir;
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(dir.path() / "missing" / "x.Json", "data", &error));
    EXPECT_NE(error.find("cannot create"), std::string::npos);
    // A folder where the file should be: the rename fails, nothing is lost.
    fs::create_directory(dir.path() / "taken");
    fs::create_directory(dir.path() / "taken" / "inner");
    EXPECT_FALSE(WriteFileAtomically(dir.path() / "taken", "data", &error));
    EXPECT_TRUE(fs::is_directory(dir.path() / "taken" / "inner"));
}

TEST(Files, ReadIsBoundedAndTellsMissingFromTooLarge) {
    TempDir dir;
    std::string out = "stale";
    EXPECT_EQ(ReadFileBytes(dir.path() / "none", out, 10), ReadStatus::Missing);
    EXPECT_TRUE(out.empty());
    ASSERT_TRUE(WriteFileAtomically(dir.path() / "big", std::string(11, 'x')));
    EXPECT_EQ(ReadFileBytes(dir.path() / "big", out, 10), ReadStatus::TooLarge);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(ReadFileBytes(dir.path() / "big", out, 11), ReadStatus::Ok);
    EXPECT_EQ(ReadFileBytes(dir.path(), out, 11), ReadStatus::Error) << "a folder is no file";
}

TEST(Files, AFifoNamedAsAFileDoesNotBlockTheReader) {
    TempDir dir;
    const fs::path fifo = dir.path() / "skin.xml";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string out;
    EXPECT_EQ(ReadFileBytes(fifo, out, 1024), ReadStatus::Error) << "returns at once, refused";
}

TEST(Files, MoveAsideNeverOverwritesAnEarlierCopy) {
    TempDir dir;
    const fs::path file = dir.path() / "mouse.Json";
    ASSERT_TRUE(WriteFileAtomically(file, "first"));
    const fs::path first = MoveAside(file, "corrupt", "2026_12_09");
    EXPECT_EQ(first.filename(), "mouse.Json.corrupt-2026_12_09");
    EXPECT_FALSE(fs::exists(file));
    ASSERT_TRUE(WriteFileAtomically(file, "second"));
    const fs::path second = MoveAside(file, "corrupt", "2026_12_09");
    EXPECT_NE(second, first);
    EXPECT_EQ(Slurp(first), "first");
    EXPECT_EQ(Slurp(second), "second");
    EXPECT_TRUE(MoveAside(dir.path() / "absent", "corrupt", "x").empty());
}

TEST(Files, SafeIdentifiers) {
    for (const char* good : {"2026_12_09_10_11_12_123", "{4695579F-999A}", "profile_1", "CONSOLE",
                             "NULL", "COM10", "LPT", "AUX_1", "com"}) {
        EXPECT_TRUE(IsSafeIdentifier(good)) << good;
    }
    for (const char* bad : {"", "../x", "a/b", "..", ".", "a b", "a.mac", "a\\b", "x\n"}) {
        EXPECT_FALSE(IsSafeIdentifier(bad)) << bad;
    }
    // Names Windows keeps for devices: a file called so reads as empty there.
    for (const char* reserved :
         {"CON", "con", "PRN", "Aux", "NUL", "nul", "COM1", "com9", "LPT1", "lpt9", "COM0"}) {
        EXPECT_FALSE(IsSafeIdentifier(reserved)) << reserved;
    }
    EXPECT_FALSE(IsSafeIdentifier(std::string(201, 'a')));
}

TEST(Folders, EnvironmentDecidesWhereUserFilesGoAndFoldersArePrivate) {
    TempDir dir;
    ::setenv("XDG_DATA_HOME", (dir.path() / "data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (dir.path() / "run").c_str(), 1);
    ::setenv("Q731_DATA_DIR", Q731_SOURCE_DIR, 1);
    fs::create_directories(dir.path() / "run");
    const Folders folders = Folders::Detect();
    EXPECT_EQ(folders.userData, dir.path() / "data" / "GamingKeyboardQ731ControlCenter");
    EXPECT_EQ(folders.config, dir.path() / "config" / "GamingKeyboardQ731ControlCenter");
    EXPECT_EQ(folders.runtime, dir.path() / "run" / "q731-control-center");

    const fs::path mouse = folders.DeviceFolder("mouse");
    ASSERT_EQ(mouse, folders.userData / "mouse");
    struct stat info {};
    ASSERT_EQ(::stat(folders.userData.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(folders.DeviceFolder("../escape").empty());
    EXPECT_FALSE(fs::exists(dir.path() / "data" / "escape"));

    // A symbolic link in place of the runtime folder is refused, wherever it points.
    fs::create_directories(dir.path() / "elsewhere");
    ::chmod((dir.path() / "elsewhere").c_str(), 0700);
    fs::create_directory_symlink(dir.path() / "elsewhere", folders.runtime);
    EXPECT_TRUE(folders.RuntimeFolder().empty());
    fs::remove(folders.runtime);

    // Someone else's writable runtime folder is refused.
    fs::create_directories(folders.runtime);
    ::chmod(folders.runtime.c_str(), 0777);
    EXPECT_TRUE(folders.RuntimeFolder().empty());
    ::chmod(folders.runtime.c_str(), 0700);
    EXPECT_EQ(folders.RuntimeFolder(), folders.runtime);
    ::unsetenv("Q731_DATA_DIR");
}

}  // namespace
}  // namespace q731

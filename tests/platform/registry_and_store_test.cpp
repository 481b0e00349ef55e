#include <gtest/gtest.h>
#include <unistd.h>

#include <set>

#include "platform/files.h"
#include "platform/key_store.h"
#include "platform/message_names.h"
#include "platform/message_registry.h"

namespace q731 {
namespace {

TEST(MessageRegistry, EqualNamesGiveEqualIdsWithoutRegardToCase) {
    MessageRegistry registry;
    const MessageId wake = registry.Register(messages::kWake);
    EXPECT_GE(wake, MessageRegistry::kFirstId);
    EXPECT_EQ(registry.Register("q731"), wake);
    EXPECT_EQ(registry.Find("Q731"), wake);
    EXPECT_EQ(registry.NameOf(wake), "Q731");
    EXPECT_EQ(registry.Register(""), 0u);
    EXPECT_FALSE(registry.NameOf(0x1234).has_value());
    EXPECT_FALSE(registry.Find("never registered").has_value());

    // The mouse list names one message twice: six registrations, five ids.
    std::set<MessageId> mouseIds;
    for (auto name : messages::kMouseMessages)
        mouseIds.insert(registry.Register(name));
    EXPECT_EQ(mouseIds.size(), 5u);

    // The fifth process message is not the sixteenth-to-nineteenth sequence.
    std::set<MessageId> processIds;
    for (auto name : messages::kProcessMessages)
        processIds.insert(registry.Register(name));
    EXPECT_EQ(processIds.size(), 5u);
    EXPECT_FALSE(registry.Find("{4695579F-999A-41d4-9FAF-EFFCE93EBF19}").has_value());
}

class KeyStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/q731-keys-XXXXXX";
        dir_ = ::mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

constexpr const char* kAppKey = "SOFTWARE\\GamingKeyboardQ731ControlCenter";

TEST_F(KeyStoreTest, ValuesSurviveAReopenWithTheirTypes) {
    {
        KeyStore store(dir_ / "registry.ini");
        EXPECT_FALSE(store.GetDword(kAppKey, "LANGUAGE").has_value());
        ASSERT_TRUE(store.SetDword(kAppKey, "LANGUAGE", 3));
        ASSERT_TRUE(store.SetString(kAppKey, "DisplayVersion", "1.0.1.4"));
        ASSERT_TRUE(store.SetDword("Other", "LANGUAGE", 0xFFFFFFFFu));
    }
    KeyStore store(dir_ / "registry.ini");
    EXPECT_EQ(store.GetDword(kAppKey, "LANGUAGE"), 3u);
    EXPECT_EQ(store.GetString(kAppKey, "DisplayVersion"), "1.0.1.4");
    EXPECT_EQ(store.GetDword("Other", "LANGUAGE"), 0xFFFFFFFFu);
    EXPECT_FALSE(store.GetString(kAppKey, "LANGUAGE").has_value()) << "wrong type reads as absent";
    ASSERT_TRUE(store.Remove(kAppKey, "LANGUAGE"));
    EXPECT_FALSE(store.GetDword(kAppKey, "LANGUAGE").has_value());
    EXPECT_EQ(store.GetString(kAppKey, "DisplayVersion"), "1.0.1.4");
}

TEST_F(KeyStoreTest, DamagedLinesAreIgnoredAndBadNamesRefused) {
    ASSERT_TRUE(WriteFileAtomically(dir_ / "registry.ini",
                                    "garbage\n[SOFTWARE\\GamingKeyboardQ731ControlCenter]\n"
                                    "LANGUAGE=dword:99999999999\nnoequals\nDisplayVersion=sz:x\n"
                                    "Weird=qword:1\n"));
    KeyStore store(dir_ / "registry.ini");
    EXPECT_FALSE(store.GetDword(kAppKey, "LANGUAGE").has_value()) << "out of range";
    EXPECT_EQ(store.GetString(kAppKey, "DisplayVersion"), "x");
    EXPECT_FALSE(store.SetString(kAppKey, "a=b", "v"));
    EXPECT_FALSE(store.SetString(kAppKey, "name", "two\nlines"));
    EXPECT_FALSE(store.SetDword("[evil]", "name", 1));
}

TEST_F(KeyStoreTest, ADamagedFileIsKeptAsideAndAnUnreadableOneNeverReplaced) {
    const fs::path file = dir_ / "registry.ini";
    ASSERT_TRUE(WriteFileAtomically(file,
                                    "[SOFTWARE\\GamingKeyboardQ731ControlCenter]\n"
                                    "LANGUAGE=dword:2\nthis line is damaged\n"));
    KeyStore store(file);
    ASSERT_TRUE(store.SetString(kAppKey, "DisplayVersion", "1.0.1.4"));
    EXPECT_EQ(store.GetDword(kAppKey, "LANGUAGE"), 2u) << "the good values are kept";
    int kept = 0;
    for (const auto& entry : fs::directory_iterator(dir_)) {
        kept += entry.path().filename().string().starts_with("registry.ini.corrupt-");
    }
    EXPECT_EQ(kept, 1);

    // Too large to read: the file stays as it is and the write is refused.
    const std::string huge(2 << 20, '#');
    ASSERT_TRUE(WriteFileAtomically(file, huge));
    EXPECT_FALSE(store.SetDword(kAppKey, "LANGUAGE", 1));
    EXPECT_EQ(fs::file_size(file), huge.size());
}

}  // namespace
}  // namespace q731

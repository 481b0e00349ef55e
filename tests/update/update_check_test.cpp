#include "update/update_check.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <map>
#include <memory>
#include <stdexcept>

#include "platform/key_store.h"
#include "tests/support/test_folder.h"
#include "tests/update/update_fixture.h"
#include "update/http_client.h"

namespace q731 {
namespace {

namespace fs = std::filesystem;
using testing::TlsServer;

const UpdateProduct& ProductFor(std::optional<Product> product) {
    for (const UpdateProduct& row : UpdateProducts()) {
        if (row.product == product) return row;
    }
    throw std::logic_error("no such row");
}

UpdateRow Mouse(std::uint32_t version) {
    return {ProductFor(Product::Mouse), version};
}
UpdateRow Keyboard(std::uint32_t version) {
    return {ProductFor(Product::Keyboard), version};
}
UpdateRow Application(std::uint32_t version) {
    return {ApplicationProduct(), version};
}

// The app_key of a request body ("app_key=K&version=V\0").
std::string KeyOf(const std::string& body) {
    const std::size_t start = body.find('=') + 1;
    return body.substr(start, body.find('&') - start);
}

TEST(UpdateCheck, KeysAndBodiesNameTheProductAndItsVersion) {
    EXPECT_EQ(UpdateKey(ProductFor(Product::Mouse), 0x0103), "Q731_1_M1_MS_1");
    EXPECT_EQ(UpdateKey(ProductFor(Product::Headset), 1), "Q731_2_H1_HS_1");
    EXPECT_EQ(UpdateKey(ProductFor(Product::Mouse), 0), "NULL");
    EXPECT_EQ(UpdateRequestBody(Mouse(0x0103)),
              std::string("app_key=Q731_1_M1_MS_1&version=103\0", 35));
    EXPECT_EQ(UpdateRequestBody(Application(1014)),
              std::string("app_key=Q731_0_CC_AP_1&version=1014\0", 36));
    EXPECT_EQ(PercentEncode("a b&c=d~_.-\xC3\xA9"), "a%20b%26c%3Dd~_.-%C3%A9");
}

TEST(UpdateCheck, ApplicationVersionComesFromTheBuild) {
    EXPECT_EQ(ApplicationVersion(), "1.0.1.4");
    EXPECT_EQ(ApplicationProduct().versionText, "V1.0.1.4");
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"1.0.1.4", 1014}, {"", 0}, {"2.10", 210}, {"1.2x3", 12}, {"99999.99999.9", 0xFFFFFFFF}};
    for (const auto& [text, number] : cases)
        EXPECT_EQ(ApplicationVersionNumber(text), number) << text;
}

TEST(UpdateCheck, RowsAreBoundToDeviceTypesWhateverOrderDevicesArrivedIn) {
    const FirmwareVersion arrivals[] = {
        {Product::Headset, 0x0200}, {Product::MousePad, 0x0900}, {Product::Mouse, 0x0103}};
    const FirmwareVersion reversed[] = {arrivals[2], arrivals[1], arrivals[0]};
    for (const auto& devices :
         {std::span<const FirmwareVersion>(arrivals), std::span<const FirmwareVersion>(reversed)}) {
        const std::vector<UpdateRow> rows = RowsToCheck(devices, 1014);
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(rows[0].product.product, Product::Mouse);
        EXPECT_EQ(rows[0].version, 0x0103u);
        EXPECT_EQ(rows[1].product.product, Product::Headset);
        EXPECT_EQ(rows[1].version, 0x0200u);
        EXPECT_TRUE(rows[2].product.IsApplication());
    }
    // No device open: only the application; a device with version 0 is left out.
    const FirmwareVersion closed[] = {{Product::Keyboard, 0}};
    const std::vector<UpdateRow> rows = RowsToCheck(closed, 1014);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows[0].product.IsApplication());
    EXPECT_TRUE(RowsToCheck({}, 0).empty());
}

TEST(UpdateCheck, AnswersAreJudgedAsUntrustedInput) {
    const std::string deep = std::string(3000, '[') + std::string(3000, ']');
    const std::string answer0104 =
        R"({"name":"mouse fw","version":"0104","version_name":"1.4","path":"https://dl.example/m"})";
    const struct {
        const char* what;
        UpdateRow row;
        std::int32_t status;
        std::string body;
        UpdateStatus expected;
        const char* current;
        const char* latest;
        bool reachable;
    } cases[] = {
        {"newer device", Mouse(0x0103), 200, answer0104, UpdateStatus::Available, "V0103", "V0104",
         true},
        {"same device", Mouse(0x0104), 200, answer0104, UpdateStatus::UpToDate, "V0104", "V0104",
         true},
        {"same application", Application(1014), 200,
         R"({"name":"cc","version":"1014","version_name":"V1.0.1.4"})", UpdateStatus::UpToDate,
         "V1014", "V1.0.1.4", true},
        {"newer application", Application(1014), 200,
         R"(/* comments pass */ {"name":"cc","version":"1015","version_name":"V1.0.1.5"})",
         UpdateStatus::Available, "V1014", "V1.0.1.5", true},
        {"empty name", Mouse(0x0103), 200, R"({"name":"","version":"0999"})",
         UpdateStatus::UpToDate, "V0103", "", true},
        {"saturating", Mouse(0x0103), 200, R"({"name":"n","version":"FFFFFFFFFFFF"})",
         UpdateStatus::Available, "V0103", "VFFFFFFFFFFFF", true},
        {"version not a string", Mouse(0x0103), 200, R"({"name":"n","version":260})",
         UpdateStatus::UpToDate, "V0103", "", true},
        {"404", Mouse(0x0103), 404, answer0104, UpdateStatus::UpToDate, "V0103", "NoUpdateInfoText",
         false},
        {"no answer", Application(1014), 0, "", UpdateStatus::UpToDate, "V1.0.1.4",
         "NoUpdateInfoText", false},
        {"name NO_LINK_SERVER", Mouse(0x0103), 200, R"({"name":"no_link_server","version":"9"})",
         UpdateStatus::UpToDate, "V0103", "NoUpdateInfoText", false},
        {"name not a string", Mouse(0x0103), 200, R"({"name":5,"version":"0104"})",
         UpdateStatus::UpToDate, "V0103", "NoUpdateInfoText", false},
        {"no name", Mouse(0x0103), 200, R"({"version":"0104"})", UpdateStatus::UpToDate, "V0103",
         "NoUpdateInfoText", false},
        {"not an object", Mouse(0x0103), 200, R"(["name"])", UpdateStatus::UpToDate, "V0103",
         "NoUpdateInfoText", false},
        {"too deep", Mouse(0x0103), 200, deep, UpdateStatus::UpToDate, "V0103", "NoUpdateInfoText",
         false},
        {"deep member", Mouse(0x0103), 200, R"({"name":"n","x":)" + deep + "}",
         UpdateStatus::UpToDate, "V0103", "NoUpdateInfoText", false},
        {"cut short", Mouse(0x0103), 200, answer0104.substr(0, 30), UpdateStatus::UpToDate, "V0103",
         "NoUpdateInfoText", false},
    };
    for (const auto& c : cases) {
        const std::int32_t result = c.status == 0 ? 0 : static_cast<std::int32_t>(c.body.size());
        const UpdateRecord record = InterpretAnswer(c.row, result, c.status, c.body);
        EXPECT_EQ(record.status, c.expected) << c.what;
        EXPECT_EQ(record.name, c.row.product.displayName) << c.what;
        EXPECT_EQ(record.currentVersion, c.current) << c.what;
        EXPECT_EQ(record.latestVersion, c.latest) << c.what;
        EXPECT_EQ(record.reachable, c.reachable) << c.what;
    }
    EXPECT_EQ(InterpretAnswer(Mouse(1), -1, 200, answer0104).reachable, false);
    const std::string plainHttp = R"({"name":"n","path":"http://dl.example/m"})";
    EXPECT_EQ(InterpretAnswer(Mouse(1), 99, 200, plainHttp).downloadUrl, "");
    const UpdateRecord good = InterpretAnswer(Mouse(1), 99, 200, answer0104);
    EXPECT_EQ(good.downloadUrl, "https://dl.example/m");
    EXPECT_EQ(good.versionName, "1.4");
    EXPECT_EQ(
        InterpretAnswer(Mouse(1), 99, 200, R"({"name":"n","version":"01\n\u0007x"})").latestVersion,
        "V01x");
}

TEST(UpdateCheck, ServerAddressComesFromTheEnvironmentOrTheKeyStoreAndMustBeHttps) {
    testing::TestFolder folder;
    KeyStore store(folder / "registry.ini");
    ::unsetenv("Q731_UPDATE_URL");
    EXPECT_EQ(UpdateServerUrl(&store), std::nullopt);
    EXPECT_EQ(UpdateServerUrl(nullptr), std::nullopt);

    ASSERT_TRUE(store.SetString("SOFTWARE\\GamingKeyboardQ731ControlCenter", "UpdateServer",
                                "https://store.example"));
    EXPECT_EQ(UpdateServerUrl(&store), "https://store.example");
    ::setenv("Q731_UPDATE_URL", "HTTPS://env.example/", 1);
    EXPECT_EQ(UpdateServerUrl(&store), "HTTPS://env.example/");
    ::setenv("Q731_UPDATE_URL", "http://env.example", 1);
    EXPECT_EQ(UpdateServerUrl(&store), std::nullopt);
    ::unsetenv("Q731_UPDATE_URL");

    EXPECT_EQ(UpdateEndpoint("https://h.example"), "https://h.example/api/updates");
    EXPECT_EQ(UpdateEndpoint("https://h.example/base//"), "https://h.example/base/api/updates");
}

TEST(UpdateCheck, LastCheckDateIsKeptAndAMissingOneBecomesToday) {
    testing::TestFolder folder;
    const fs::path file = folder / "updatetime.config";
    const std::string today = DateText(std::chrono::system_clock::now());

    EXPECT_EQ(LastCheckDate(folder.path()), today);
    EXPECT_EQ(testing::ParseOrDie(testing::ReadText(file))["updatelasttime"]["value"], today);

    testing::WriteText(file, R"({"updatelasttime":{"value":"2020-1-2"},"other":7})");
    EXPECT_EQ(LastCheckDate(folder.path()), "2020-1-2");
    ASSERT_TRUE(WriteLastCheckDate(folder.path(), "2024-12-31"));
    const Json::Value written = testing::ParseOrDie(testing::ReadText(file));
    EXPECT_EQ(written["updatelasttime"]["value"], "2024-12-31");
    EXPECT_EQ(written["other"], 7);

    // A damaged file is kept aside, not overwritten.
    testing::WriteText(file, "{ not json");
    EXPECT_EQ(LastCheckDate(folder.path()), today);
    EXPECT_EQ(testing::FileNames(folder.path()).size(), 2u);
    testing::WriteText(file, R"({"updatelasttime":"2020-1-2"})");
    EXPECT_EQ(LastCheckDate(folder.path()), today);
}

// One server for the whole check: each product's key picks its answer.
class UpdateRun : public ::testing::Test {
protected:
    // By key: the status and body of the answer; a key not listed is never answered.
    using Answers = std::map<std::string, std::pair<int, std::string>>;

    void Serve(Answers answers) {
        server_ = std::make_unique<TlsServer>(
            [this, answers](const httplib::Request& request, httplib::Response& response) {
                const auto found = answers.find(KeyOf(request.body));
                if (found == answers.end()) return server_->HoldUntilClosed();
                response.status = found->second.first;
                response.set_content(found->second.second, "application/json");
            });
    }

    UpdateSummary Run(const std::vector<UpdateRow>& rows, std::optional<std::string> url) {
        HttpSettings settings = testing::TestSettings();
        settings.stallTimeout = Millis(500);
        HttpClient client(settings);
        reported_.clear();
        return RunUpdateCheck(rows, client, url, folder_.path(),
                              [this](std::size_t entry, const UpdateRecord& record) {
                                  reported_.push_back({entry, record});
                              });
    }

    std::string StoredDate() const {
        return testing::ParseOrDie(
                   testing::ReadText(folder_ / "updatetime.config"))["updatelasttime"]["value"]
            .asString();
    }

    testing::TestFolder folder_;
    std::unique_ptr<TlsServer> server_;
    std::vector<std::pair<std::size_t, UpdateRecord>> reported_;
};

TEST_F(UpdateRun, EveryRowIsListedFirstThenCheckedInOrder) {
    Serve({{"Q731_1_M1_MS_1", {200, R"({"name":"m","version":"0104"})"}},
           {"Q731_0_CC_AP_1", {200, R"({"name":"cc","version":"1014","version_name":"V"})"}}});
    testing::WriteText(folder_ / "updatetime.config", R"({"updatelasttime":{"value":"2020-1-2"}})");

    const UpdateSummary summary =
        Run({Mouse(0x0103), Keyboard(0), Application(1014)}, server_->Url() + "/");
    ASSERT_EQ(reported_.size(), 4u);
    EXPECT_EQ(reported_[0].second.latestVersion, "");
    EXPECT_EQ(reported_[1].second.currentVersion, "V1.0.1.4");
    EXPECT_EQ(reported_[2].first, 0u);
    EXPECT_EQ(reported_[2].second.status, UpdateStatus::Available);
    EXPECT_EQ(reported_[3].first, 1u);
    EXPECT_EQ(summary.outcome, UpdateOutcome::HaveUpdate);
    EXPECT_EQ(summary.statusTextId, kHaveUpdateInfoText);
    EXPECT_EQ(server_->Requests().size(), 2u);
    EXPECT_EQ(server_->Requests()[0].path, "/api/updates");
    EXPECT_EQ(StoredDate(), DateText(std::chrono::system_clock::now()));
}

TEST_F(UpdateRun, AllUpToDateShowsThePreviousCheckDate) {
    Serve({{"Q731_0_CC_AP_1", {200, R"({"name":"cc","version":"1014","version_name":"V"})"}}});
    testing::WriteText(folder_ / "updatetime.config", R"({"updatelasttime":{"value":"2020-1-2"}})");
    const UpdateSummary summary = Run({Application(1014)}, server_->Url());
    EXPECT_EQ(summary.outcome, UpdateOutcome::UpToDate);
    EXPECT_EQ(summary.statusTextId, kUpdateIsLastText);
    EXPECT_EQ(summary.lastCheckDate, "2020-1-2");
}

TEST_F(UpdateRun, FailedRowsAreUnreachableAndStoreNoDate) {
    Serve({{"Q731_1_M1_MS_1", {404, R"({"name":"m","version":"0104"})"}},
           {"Q731_1_K1_KB_1", {200, R"({"name":5,"version":"0104"})"}}});
    const std::string stored = R"({"updatelasttime":{"value":"2020-1-2"}})";
    testing::WriteText(folder_ / "updatetime.config", stored);

    // The application's key has no answer: its request times out.
    const UpdateSummary summary =
        Run({Mouse(0x0103), Keyboard(0x0100), Application(1014)}, server_->Url());
    ASSERT_EQ(summary.records.size(), 3u);
    for (const UpdateRecord& record : summary.records) {
        EXPECT_FALSE(record.reachable) << record.name;
        EXPECT_EQ(record.latestVersion, kNoUpdateInfoText) << record.name;
    }
    EXPECT_EQ(summary.statusTextId, kNoUpdateInfoText);
    EXPECT_EQ(testing::ReadText(folder_ / "updatetime.config"), stored);
}

TEST_F(UpdateRun, WithoutAServerAddressNothingIsAsked) {
    const UpdateSummary summary = Run({Mouse(0x0103), Application(1014)}, std::nullopt);
    EXPECT_EQ(summary.outcome, UpdateOutcome::NoUpdateInfo);
    ASSERT_EQ(reported_.size(), 4u);
    EXPECT_EQ(reported_[3].second.latestVersion, kNoUpdateInfoText);
}

TEST_F(UpdateRun, StopEndsTheCheckBeforeTheNextRow) {
    Serve({});
    HttpClient client(testing::TestSettings());
    const std::atomic<bool> stop{true};
    const UpdateSummary summary =
        RunUpdateCheck({Mouse(0x0103)}, client, server_->Url(), folder_.path(), {}, &stop);
    EXPECT_TRUE(summary.stopped);
    EXPECT_TRUE(server_->Requests().empty());
}

}  // namespace
}  // namespace q731

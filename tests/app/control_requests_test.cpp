// q731ctl's requests as the running program answers them, on the simulated
// mouse: the device list, and requests that are refused with the reason.

#include "app/control_requests.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <tuple>

#include "devices/mouse_device.h"
#include "profiles/document_file.h"
#include "tests/app/mouse_window_fixture.h"
#include "tests/support/test_folder.h"

namespace q731 {
namespace {

Json::Value Body(const BusMessage& answer) {
    Json::Value body;
    EXPECT_TRUE(DocumentFile::Parse(answer.payload, body)) << answer.payload;
    return body;
}

TEST_F(MouseWindowTest, ControlRequestsListTheDevicesAndRefuseWhatTheyCannotRead) {
    const BusMessage answer = AnswerControlRequest(
        {std::string(messages::kControlRequest), 9, 0, R"({"op":"devices"})"}, devices_);
    EXPECT_EQ(answer.name, messages::kControlReply);
    EXPECT_EQ(answer.wParam, 9);
    EXPECT_EQ(answer.lParam, 0);
    const Json::Value devices = Body(answer)["devices"];
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0]["product"].asString(), "mouse");
    EXPECT_EQ(devices[0]["channel"].asString(), "cable");
    EXPECT_TRUE(devices[0]["connected"].asBool());
    EXPECT_EQ(devices[0]["firmware"].asString().size(), 4u);

    // Payload -> the reason given.
    for (const auto& [payload, reason] :
         {std::pair{"", "not a JSON object"}, std::pair{"[1]", "not a JSON object"},
          std::pair{"{\"op\":3}", "names no \"op\""},
          std::pair{"{\"op\":\"reboot\"}", "unknown operation \"reboot\""}}) {
        const BusMessage refused =
            AnswerControlRequest({std::string(messages::kControlRequest), 1, 0, payload}, devices_);
        EXPECT_EQ(refused.lParam, static_cast<std::int64_t>(ControlResult::BadArguments));
        EXPECT_NE(Body(refused)["error"].asString().find(reason), std::string::npos) << payload;
    }
}

TEST_F(MouseWindowTest, ControlRequestsChangeTheMouseAsItsPageDoes) {
    auto ask = [this](const std::string& json) {
        return AnswerControlRequest({std::string(messages::kControlRequest), 1, 0, json}, devices_);
    };
    auto* mouse = dynamic_cast<CVexloMouseDevice*>(devices_.Tabs().front().device);
    ASSERT_NE(mouse, nullptr);
    const auto profilesBefore = testing::FolderContents(data_ / "mouse");

    const BusMessage dpi = ask(R"({"op":"dpi","device":"Mouse","stage":2,"set":1600})");
    ASSERT_EQ(dpi.lParam, 0) << dpi.payload;
    EXPECT_EQ(Body(dpi)["stages"][1]["dpi"].asInt(), 1600);
    const std::uint16_t step = mouse->Stages()[1].DpiX();
    EXPECT_EQ(mouse->Scale().ResolutionOfStep(step), 1600);
    const std::vector<std::uint8_t> memory = firmware_->Region(SimRegion::Settings);
    EXPECT_EQ(memory[mouse_block::kStages + mouse_block::kStageBytes + 2], step & 0xFF);
    EXPECT_EQ(mouse->Profile().GetDpiStages()[1].DpiX(), step);
    EXPECT_NE(testing::FolderContents(data_ / "mouse"), profilesBefore) << "the profile is saved";

    const BusMessage polling = ask(R"({"op":"polling","device":"mouse","set":500})");
    ASSERT_EQ(polling.lParam, 0) << polling.payload;
    EXPECT_EQ(Body(polling)["hz"].asInt(), 500);
    EXPECT_EQ(firmware_->Region(SimRegion::Settings)[mouse_block::kPollingRate], 2);

    const BusMessage lighting =
        ask(R"({"op":"lighting","device":"mouse","mode":2,"colour":"FF8000","brightness":3})");
    ASSERT_EQ(lighting.lParam, 0) << lighting.payload;
    EXPECT_EQ(ModeOnDevice(), mouse->ModeCode(2));
    EXPECT_EQ(Body(lighting)["colour"].asString(), "FF8000");
    EXPECT_EQ(mouse->GetLightInfo().brightness, 3);

    // A second profile made current as the page's list would; then listed.
    Json::Value document(Json::objectValue);
    ASSERT_FALSE(mouse->Profiles().MakeProfile(document, "Night", false).empty());
    const ProfileSelector select = [this](CVexloUSBDevice& device, const std::string& name) {
        return window_->SelectProfileByName(device, name);
    };
    const BusMessage profile =
        AnswerControlRequest({std::string(messages::kControlRequest), 1, 0,
                              R"({"op":"profile","device":"mouse","select":"Night"})"},
                             devices_, select);
    ASSERT_EQ(profile.lParam, 0) << profile.payload;
    EXPECT_EQ(Body(profile)["current"].asString(), "Night");
    EXPECT_EQ(Body(profile)["profiles"].size(), 2u);

    // Request -> result and the reason given.
    const auto failed = static_cast<std::int64_t>(ControlResult::Failed);
    const auto bad = static_cast<std::int64_t>(ControlResult::BadArguments);
    for (const auto& [json, result, reason] :
         {std::tuple{R"({"op":"dpi","device":"keyboard"})", failed, "keyboard is not connected"},
          std::tuple{R"({"op":"dpi","device":"rat"})", bad, "unknown device \"rat\""},
          std::tuple{R"({"op":"dpi","device":"mouse","stage":6})", bad, "stage must be"},
          std::tuple{R"({"op":"dpi","device":"mouse","set":800})", bad, "--set needs --stage"},
          std::tuple{R"({"op":"dpi","device":"mouse","stage":1,"set":"800"})", bad, "value"},
          std::tuple{R"({"op":"dpi","device":"mouse","disable":2})", failed, "cannot be disabled"},
          std::tuple{R"({"op":"polling","device":"mouse","set":300})", bad, "one of 125"},
          std::tuple{R"({"op":"lighting","device":"mouse","colour":"F80"})", bad, "RRGGBB"},
          std::tuple{R"({"op":"lighting","device":"mouse","speed":5})", bad, "speed must be"},
          std::tuple{R"({"op":"profile","device":"mouse","select":"Day"})", failed,
                     "only with the window"}}) {
        const BusMessage refused = ask(json);
        EXPECT_EQ(refused.lParam, result) << json;
        EXPECT_NE(Body(refused)["error"].asString().find(reason), std::string::npos)
            << json << " -> " << refused.payload;
    }
}

// A watcher's end of the connection: what it has been sent so far.
struct WatcherEnd {
    int fd = -1;
    std::shared_ptr<BusReply> reply;
    WatcherEnd() {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
        fd = fds[0];
        reply = std::make_shared<BusReply>(fds[1]);
    }
    ~WatcherEnd() {
        if (fd >= 0) ::close(fd);
    }
    std::vector<std::string> Received() const {
        std::vector<std::string> got;
        char buffer[kMaxBusPacket];
        while (true) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n <= 0) return got;
            auto message = DecodeBusMessage(std::string_view(buffer, std::size_t(n)));
            if (message) got.push_back(message->name + " " + message->payload);
        }
    }
};

TEST(ControlWatchers, WatchersHearTheStateThenEachEventAndTheSilentOnesAreDropped) {
    ControlWatchers watchers;
    const BusMessage watch{std::string(messages::kControlRequest), 5, 0, R"({"op":"watch"})"};
    EXPECT_TRUE(ControlWatchers::IsWatchRequest(watch));
    EXPECT_FALSE(ControlWatchers::IsWatchRequest({"x", 0, 0, R"({"op":"devices"})"}));
    Json::Value on(Json::objectValue);
    on["event"] = "lighting-control";
    on["on"] = true;

    WatcherEnd reading, gone, full;
    for (WatcherEnd* end : {&reading, &gone, &full})
        watchers.Add(watch, end->reply, {on});
    EXPECT_EQ(
        reading.Received(),
        (std::vector<std::string>{"q731.control.reply {\"watching\":true}",
                                  R"(q731.control.event {"event":"lighting-control","on":true})"}));
    ::close(gone.fd);
    gone.fd = -1;
    // Fills the one that never reads until nothing more fits.
    const std::string big(kMaxBusPayload - 64, 'x');
    while (full.reply->Send({"fill", 0, 0, big})) {
    }
    watchers.Announce(on);
    EXPECT_EQ(watchers.Count(), 1u);
    EXPECT_EQ(reading.Received().size(), 1u);

    // There is room for a limited number of watchers; the next is refused.
    std::vector<std::unique_ptr<WatcherEnd>> more;
    for (std::size_t i = watchers.Count(); i <= ControlWatchers::kMaxWatchers; ++i) {
        more.push_back(std::make_unique<WatcherEnd>());
        watchers.Add(watch, more.back()->reply, {});
    }
    EXPECT_EQ(watchers.Count(), ControlWatchers::kMaxWatchers);
    EXPECT_NE(more.back()->Received().at(0).find("already"), std::string::npos);
    // One that hung up makes room for the next, without waiting for an event.
    ::close(more.front()->fd);
    more.front()->fd = -1;
    WatcherEnd late;
    watchers.Add(watch, late.reply, {});
    EXPECT_EQ(late.Received(), std::vector<std::string>{"q731.control.reply {\"watching\":true}"});
}

}  // namespace
}  // namespace q731

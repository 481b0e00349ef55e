// q731ctl's requests as the running program answers them, on the simulated
// mouse: the device list, and requests that are refused with the reason.

#include "app/control_requests.h"

#include <gtest/gtest.h>

#include "profiles/document_file.h"
#include "tests/app/mouse_window_fixture.h"

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

}  // namespace
}  // namespace q731

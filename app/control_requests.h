#pragma once
// Requests that q731ctl sends over the local bus and their answers. A request
// is the message messages::kControlRequest with an id in wParam and a JSON
// object in the payload ({"op": "devices"}); the answer is
// messages::kControlReply with the same id, the result code in lParam and a
// JSON object in the payload. Requests are performed on the UI thread, with
// the devices the window owns.

#include <json/json.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "devices/device_manager.h"
#include "platform/message_bus.h"
#include "platform/message_names.h"

namespace q731 {

// What lParam of an answer says; q731ctl exits with the same number.
enum class ControlResult : std::int64_t { Done = 0, Failed = 1, BadArguments = 2 };

// The operation a request names ("devices", "watch", "quit", ...); empty when
// it names none.
std::string ControlOperation(const BusMessage& request);

// Makes the named profile current on a device as its page would; the reason
// when it cannot.
using ProfileSelector =
    std::function<std::optional<std::string>(CVexloUSBDevice& device, const std::string& name)>;

// The answer to `request`. Anything the request carries is checked: an
// unknown operation or a payload that is not a JSON object is answered with
// BadArguments and the reason ("error" in the answer). Without `selectProfile`
// profiles are listed but not switched.
BusMessage AnswerControlRequest(const BusMessage& request, DeviceManager& devices,
                                const ProfileSelector& selectProfile = {});

// The clients watching the program's announcements ({"op": "watch"}): each
// gets an answer, then every event as a kControlEvent message with its watch
// id in wParam and a JSON object ({"event": "lighting-control", "on": true}).
// UI thread only. Sending never blocks: a watcher that does not read, or is
// gone, is dropped at the next event.
class ControlWatchers {
public:
    static constexpr std::size_t kMaxWatchers = 16;

    static bool IsWatchRequest(const BusMessage& request);
    // Answers the request and, when there is room, keeps `reply` and sends it
    // `current` (the state at subscription) at once.
    void Add(const BusMessage& request, std::shared_ptr<BusReply> reply,
             const std::vector<Json::Value>& current);
    void Announce(const Json::Value& event);
    std::size_t Count() const { return watchers_.size(); }

private:
    struct Watcher {
        std::int64_t id;
        std::shared_ptr<BusReply> reply;
    };
    static bool Tell(const Watcher& watcher, const Json::Value& event);
    std::vector<Watcher> watchers_;
};

}  // namespace q731

#include "app/control_requests.h"

#include <json/json.h>

#include <fmt/format.h>

#include "profiles/document_file.h"

namespace q731 {

namespace {

// Each connected device: its product, how it is reached, its firmware.
Json::Value ListDevices(DeviceManager& devices) {
    Json::Value list(Json::arrayValue);
    for (const TabState& tab : devices.Tabs()) {
        if (!tab.device || !tab.visible) continue;
        CDeviceLink& link = tab.device->Link();
        const bool receiver = tab.device->OnReceiver();
        Json::Value entry(Json::objectValue);
        entry["product"] = std::string(RecordOf(tab.product).name);
        entry["channel"] = receiver ? "receiver" : "cable";
        entry["connected"] = link.IsOpen();
        entry["selected"] = tab.selected;
        if (link.IsOpen()) {
            HidDevice& connection = receiver ? link.ReceiverConnection() : link.WiredConnection();
            entry["firmware"] = fmt::format("{:04x}", connection.Attributes().version);
        }
        list.append(entry);
    }
    return list;
}

std::string Compact(const Json::Value& value) {
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    return Json::writeString(writer, value);
}

}  // namespace

BusMessage AnswerControlRequest(const BusMessage& request, DeviceManager& devices) {
    BusMessage answer{std::string(messages::kControlReply), request.wParam, 0, {}};
    Json::Value body(Json::objectValue);
    auto refuse = [&](ControlResult result, const std::string& why) {
        answer.lParam = static_cast<std::int64_t>(result);
        body["error"] = why;
        answer.payload = Compact(body);
        return answer;
    };
    Json::Value parsed;
    std::string why;
    if (!DocumentFile::Parse(request.payload, parsed, &why) || !parsed.isObject()) {
        return refuse(ControlResult::BadArguments, "the request is not a JSON object");
    }
    const Json::Value& op = parsed["op"];
    if (!op.isString()) return refuse(ControlResult::BadArguments, "the request names no \"op\"");
    if (op.asString() == "devices") {
        body["devices"] = ListDevices(devices);
    } else {
        return refuse(ControlResult::BadArguments, "unknown operation \"" + op.asString() + "\"");
    }
    answer.payload = Compact(body);
    if (answer.payload.size() > kMaxBusPayload) {
        return refuse(ControlResult::Failed, "the answer does not fit in one message");
    }
    return answer;
}

}  // namespace q731

// Runs the update check the settings window runs, without a window, and prints
// per row its key, status and texts, then the status text the window would
// show. Use it to try an update server or a private CA before the window does.
//
//   q731-update-check [--url URL] [--ca-file FILE] [--device PRODUCT=VERSION]...
//                     [--app-version X.Y.Z.W]
//
// PRODUCT is mouse, keyboard or headset; VERSION its firmware version in hex
// ("0x0103" or "0103"). Without --url the address comes from $Q731_UPDATE_URL
// or the key store; only an https address is asked. The check here does not record its date.
//
// Exit status: 0 the check ran, 1 bad arguments, 2 no server address.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "platform/folders.h"
#include "platform/key_store.h"
#include "platform/products.h"
#include "update/http_client.h"
#include "update/update_check.h"

namespace q731 {
namespace {

constexpr int kBadArguments = 1;
constexpr int kNoServer = 2;

constexpr std::string_view kUsage =
    "usage: q731-update-check [--url URL] [--ca-file FILE] [--device PRODUCT=VERSION]...\n"
    "                         [--app-version X.Y.Z.W]\n"
    "  PRODUCT: mouse, keyboard or headset; VERSION: firmware version in hex\n";

struct Options {
    std::optional<std::string> url;
    std::string caFile;
    std::vector<FirmwareVersion> devices;
    std::string appVersion{ApplicationVersion()};
};

std::optional<Product> ProductNamed(std::string_view name) {
    if (name == "mouse") return Product::Mouse;
    if (name == "keyboard") return Product::Keyboard;
    if (name == "headset") return Product::Headset;
    return std::nullopt;
}

// Hexadecimal, "0x" optional; none when empty, not hex or above 32 bits.
std::optional<std::uint32_t> HexVersion(std::string_view text) {
    if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
    if (text.empty() || text.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::optional<FirmwareVersion> ParseDevice(std::string_view text) {
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::optional<Product> product = ProductNamed(text.substr(0, equals));
    const std::optional<std::uint32_t> version = HexVersion(text.substr(equals + 1));
    if (!product || !version) return std::nullopt;
    return FirmwareVersion{*product, *version};
}

// Fills `options`; an exit status when the program should end here.
std::optional<int> ParseArguments(int argc, char** argv, Options& options) {
    for (int index = 1; index < argc; ++index) {
        const std::string_view argument = argv[index];
        if (argument == "--help" || argument == "-h") {
            fmt::print("{}", kUsage);
            return 0;
        }
        const bool takesValue = argument == "--url" || argument == "--ca-file" ||
                                argument == "--device" || argument == "--app-version";
        if (!takesValue || index + 1 >= argc) {
            fmt::print(stderr, "q731-update-check: bad argument {}\n{}", argument, kUsage);
            return kBadArguments;
        }
        const std::string_view value = argv[++index];
        if (argument == "--url") {
            options.url = std::string(value);
        } else if (argument == "--ca-file") {
            options.caFile = std::string(value);
        } else if (argument == "--app-version") {
            options.appVersion = std::string(value);
        } else if (const std::optional<FirmwareVersion> device = ParseDevice(value)) {
            options.devices.push_back(*device);
        } else {
            fmt::print(stderr, "q731-update-check: bad device {}\n{}", value, kUsage);
            return kBadArguments;
        }
    }
    return std::nullopt;
}

const char* StatusName(UpdateStatus status) {
    return status == UpdateStatus::Available ? "1 (update available)" : "7 (up to date)";
}

int Run(const Options& options) {
    std::optional<std::string> server = options.url;
    if (!server) {
        const KeyStore store(Folders::Detect().config / "registry.ini");
        server = UpdateServerUrl(&store);
    }
    if (!server || !IsHttpsAddress(*server)) {
        fmt::print(stderr, "q731-update-check: no https update server address\n");
        return kNoServer;
    }
    HttpSettings settings;
    settings.caFile = options.caFile;
    HttpClient client(settings);
    const std::vector<UpdateRow> rows =
        RowsToCheck(options.devices, ApplicationVersionNumber(options.appVersion));
    // An empty data folder: the tool neither reads nor stores the last-check date.
    const UpdateSummary summary = RunUpdateCheck(rows, client, server, {}, {});
    for (std::size_t entry = 0; entry < rows.size() && entry < summary.records.size(); ++entry) {
        const UpdateRecord& record = summary.records[entry];
        fmt::print(
            "{}\n  key      {}\n  status   {}{}\n  current  {}\n  latest   {}\n"
            "  name     {}\n  download {}\n",
            record.name, UpdateKey(rows[entry].product, rows[entry].version),
            StatusName(record.status), record.reachable ? "" : ", no valid answer",
            record.currentVersion, record.latestVersion, record.versionName, record.downloadUrl);
    }
    fmt::print("status: {}{}\n", summary.statusTextId,
               summary.outcome == UpdateOutcome::UpToDate ? " " + summary.lastCheckDate : "");
    return 0;
}

}  // namespace
}  // namespace q731

int main(int argc, char** argv) {
    q731::Options options;
    if (const std::optional<int> status = q731::ParseArguments(argc, argv, options)) return *status;
    return q731::Run(options);
}

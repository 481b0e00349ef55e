#pragma once
// The update check: asks the update server, for each connected device and for
// the application, whether a newer version exists. Nothing is downloaded or
// installed; the results only fill the settings window's update list.
//
// The check runs on the settings window's worker thread and reports each list
// entry through a callback (the window posts it to the UI thread). Everything
// the server sends is untrusted: a failed request, an error status or an answer
// that does not parse makes the row "unreachable", never "up to date".

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/products.h"

namespace q731 {

class HttpClient;
class KeyStore;

// What a list entry shows; the values are the list entry states of the window.
enum class UpdateStatus : std::int32_t { Available = 1, UpToDate = 7 };

// How the check ended; the values are the window's status display modes.
enum class UpdateOutcome : std::int32_t { HaveUpdate = 1, NoUpdateInfo = 2, UpToDate = 4 };

// Text ids of the language files.
inline constexpr std::string_view kHaveUpdateInfoText = "HaveUpdateInfoText";
inline constexpr std::string_view kNoUpdateInfoText = "NoUpdateInfoText";
inline constexpr std::string_view kUpdateIsLastText = "UpdateIsLastText";

// One product the server knows: the codes that make its key, and the device
// type it stands for. Rows are bound to device types, so the order in which
// devices arrived never decides which product a firmware version is asked for.
struct UpdateProduct {
    std::int32_t kind = 0;  // 0: the application (decimal versions); else a device (hex)
    std::int32_t keySuffix = 1;
    std::string_view vendorCode;
    std::string_view modelCode;
    std::string_view typeCode;
    std::string_view displayName;
    std::string_view versionText;    // the application's own version text; empty for devices
    std::optional<Product> product;  // none for the application row

    bool IsApplication() const { return kind == 0; }
};

// The four products in list order: three devices, then the application.
std::span<const UpdateProduct> UpdateProducts();
const UpdateProduct& ApplicationProduct();

// A product with the version to ask about (0: nothing to ask).
struct UpdateRow {
    UpdateProduct product;
    std::uint32_t version = 0;
};

struct UpdateRecord {
    UpdateStatus status = UpdateStatus::UpToDate;
    std::string name;  // the product's display name
    std::string currentVersion;
    std::string versionName;
    std::string latestVersion;         // a text id (kNoUpdateInfoText) when the row was unreachable
    std::string downloadUrl;           // https only; informational
    std::filesystem::path targetFile;  // where a download would go; nothing is downloaded
    bool reachable = false;            // a valid answer came for this row
};

struct UpdateSummary {
    UpdateOutcome outcome = UpdateOutcome::NoUpdateInfo;
    std::string_view statusTextId = kNoUpdateInfoText;
    // The date of the previous check ("%d-%d-%d"), shown after kUpdateIsLastText.
    std::string lastCheckDate;
    std::vector<UpdateRecord> records;  // one per list entry
    bool stopped = false;               // the stop flag ended the check early
};

// The version this build is ("1.0.1.4") and its number (1014).
std::string_view ApplicationVersion();
// The dotted version with its dots removed, read as a decimal number
// (saturating); 0 when it holds no digit.
std::uint32_t ApplicationVersionNumber(std::string_view dotted);

struct FirmwareVersion {
    Product product;
    std::uint32_t version = 0;
};
// The rows to check, in table order: each device row gets the firmware version
// of the connected device of its type (the first one given), the application
// row `applicationVersion`; rows whose version is 0 are left out.
std::vector<UpdateRow> RowsToCheck(std::span<const FirmwareVersion> devices,
                                   std::uint32_t applicationVersion);

// vendor "_" kind "_" model "_" type "_" suffix; "NULL" when `version` is 0.
std::string UpdateKey(const UpdateProduct& product, std::uint32_t version);
// RFC 3986: unreserved characters kept, every other byte as %XX.
std::string PercentEncode(std::string_view text);
// "app_key=<key>&version=<hex for a device, decimal for the application>"
// followed by its terminating zero byte, which is part of what is sent.
std::string UpdateRequestBody(const UpdateRow& row);

// The server's address: $Q731_UPDATE_URL, else the key store's "UpdateServer"
// under "SOFTWARE\GamingKeyboardQ731ControlCenter" (`store` may be null).
// None when absent or not an https address.
std::optional<std::string> UpdateServerUrl(const KeyStore* store);
// "https://" (any case) and more.
bool IsHttpsAddress(std::string_view text);
// The request address: `server` + "/api/updates", without a doubled slash.
std::string UpdateEndpoint(std::string_view server);

// The entry before its check: display name, current version, status 7.
UpdateRecord FirstPassRecord(const UpdateRow& row);
// The entry of a row that got no valid answer.
UpdateRecord UnreachableRecord(const UpdateRow& row);
// The entry for the server's reply: `result` and `httpStatus` as the client
// returned them, `body` the bytes kept.
UpdateRecord InterpretAnswer(const UpdateRow& row, std::int32_t result, std::int32_t httpStatus,
                             std::string_view body);
// Asks about one row (Reset, then one POST) and interprets the reply.
UpdateRecord CheckRow(const UpdateRow& row, HttpClient& client, const std::string& endpoint);

// Local date as "%d-%d-%d" (year, month, day; no leading zeros).
std::string DateText(std::chrono::system_clock::time_point when);
// The date of the last check from "updatetime.config" in `dataFolder`. When it
// holds none, today's date is stored and returned; a damaged file is kept
// aside first, an unreadable one is left alone.
std::string LastCheckDate(const std::filesystem::path& dataFolder);
// Stores `date` as the last check, keeping the file's other members.
bool WriteLastCheckDate(const std::filesystem::path& dataFolder, std::string_view date);

using UpdateRecordSink = std::function<void(std::size_t entry, const UpdateRecord& record)>;

// The whole check of the settings window's worker: the last-check date is
// read, every row is reported in its first-pass state, then each row is asked
// about in order and reported again. `entry` counts the rows with a version.
// Without a server address nothing is asked and every row is unreachable. The
// date is stored after each valid answer. A set `stop` ends the check before
// the next row; to end a request already running, Cancel the client as well.
UpdateSummary RunUpdateCheck(const std::vector<UpdateRow>& rows, HttpClient& client,
                             const std::optional<std::string>& serverUrl,
                             const std::filesystem::path& dataFolder,
                             const UpdateRecordSink& onRecord,
                             const std::atomic<bool>* stop = nullptr);

}  // namespace q731

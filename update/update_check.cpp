#include "update/update_check.h"

#include <json/json.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <limits>
#include <system_error>

#include <fmt/format.h>

#include "platform/key_store.h"
#include "platform/log.h"
#include "profiles/document_file.h"
#include "update/http_client.h"

#ifndef Q731_APPLICATION_VERSION
#error "the build passes the application's version as Q731_APPLICATION_VERSION"
#endif

namespace q731 {

namespace {

constexpr std::string_view kVersionText = "V" Q731_APPLICATION_VERSION;

// clang-format off
constexpr std::array<UpdateProduct, 4> kUpdateProducts{{
    {.kind = 1, .keySuffix = 1, .vendorCode = "Q731", .modelCode = "M1", .typeCode = "MS",
     .displayName = "Q731 Mouse", .versionText = "", .product = Product::Mouse},
    {.kind = 1, .keySuffix = 1, .vendorCode = "Q731", .modelCode = "K1", .typeCode = "KB",
     .displayName = "Q731 Keyboard", .versionText = "", .product = Product::Keyboard},
    {.kind = 2, .keySuffix = 1, .vendorCode = "Q731", .modelCode = "H1", .typeCode = "HS",
     .displayName = "Q731 Headset", .versionText = "", .product = Product::Headset},
    {.kind = 0, .keySuffix = 1, .vendorCode = "Q731", .modelCode = "CC", .typeCode = "AP",
     .displayName = "Q731 Control Center", .versionText = kVersionText, .product = std::nullopt},
}};
// clang-format on

constexpr std::string_view kKeyStoreKey = "SOFTWARE\\GamingKeyboardQ731ControlCenter";
constexpr std::string_view kKeyStoreName = "UpdateServer";
constexpr const char* kServerEnvironment = "Q731_UPDATE_URL";
constexpr std::string_view kEndpointPath = "/api/updates";
constexpr std::string_view kLastCheckFile = "updatetime.config";
constexpr const char* kLastCheckObject = "updatelasttime";
constexpr const char* kLastCheckValue = "value";
// The reply buffer of one row; a longer answer is cut and then fails to parse.
constexpr std::size_t kResponseCapacity = 102400;
// What is kept of the server's texts: a list entry has room for a short
// version text, and an address longer than this is not one we would offer.
constexpr std::size_t kMaxVersionTextBytes = 64;
constexpr std::size_t kMaxAddressBytes = 2048;

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t index = 0; index < prefix.size(); ++index) {
        if (std::tolower(static_cast<unsigned char>(text[index])) !=
            std::tolower(static_cast<unsigned char>(prefix[index])))
            return false;
    }
    return true;
}

// The server's text fit to show: no control bytes, at most `limit` bytes, not
// cut inside a UTF-8 sequence.
std::string ShownText(std::string_view text, std::size_t limit) {
    std::string shown;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) continue;
        shown.push_back(c);
    }
    if (shown.size() <= limit) return shown;
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80)
        --cut;
    shown.resize(cut);
    return shown;
}

// The member as a string; a missing member or one of another type is empty.
std::string StringMember(const Json::Value& object, const char* name) {
    const Json::Value* member = object.find(name, name + std::char_traits<char>::length(name));
    if (member == nullptr || !member->isString()) return {};
    return member->asString();
}

bool HasStringMember(const Json::Value& object, const char* name) {
    const Json::Value* member = object.find(name, name + std::char_traits<char>::length(name));
    return member != nullptr && member->isString();
}

// The leading digits of `text` in `base` (16 or 10), saturating; none gives 0.
// Leading spaces and, for hex, a "0x" are allowed.
std::uint32_t LeadingNumber(std::string_view text, unsigned base) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    if (base == 16 && (StartsWithIgnoringCase(text, "0x"))) text.remove_prefix(2);
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    std::uint64_t value = 0;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        unsigned digit = 0;
        if (std::isdigit(byte)) {
            digit = byte - '0';
        } else if (base == 16 && std::isxdigit(byte)) {
            digit = static_cast<unsigned>(std::tolower(byte) - 'a' + 10);
        } else {
            break;
        }
        value = std::min(kMax, value * base + digit);
    }
    return static_cast<std::uint32_t>(value);
}

std::string CurrentVersionText(const UpdateRow& row) {
    return row.product.IsApplication() ? fmt::format("V{}", row.version)
                                       : fmt::format("V{:04x}", row.version);
}

std::filesystem::path TargetFile(const UpdateProduct& product) {
    std::error_code error;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    if (error) return {};
    return temp / "UpdateData" / std::string(product.displayName);
}

std::filesystem::path LastCheckPath(const std::filesystem::path& dataFolder) {
    return dataFolder / std::string(kLastCheckFile);
}

// A stored date we are willing to show: digits and dashes, short.
bool LooksLikeDate(std::string_view text) {
    return !text.empty() && text.size() <= 16 && std::all_of(text.begin(), text.end(), [](char c) {
        return c == '-' || std::isdigit(static_cast<unsigned char>(c));
    });
}

}  // namespace

std::span<const UpdateProduct> UpdateProducts() {
    return kUpdateProducts;
}

const UpdateProduct& ApplicationProduct() {
    return kUpdateProducts.back();
}

std::string_view ApplicationVersion() {
    return Q731_APPLICATION_VERSION;
}

std::uint32_t ApplicationVersionNumber(std::string_view dotted) {
    std::string digits;
    for (char c : dotted) {
        if (c != '.') digits.push_back(c);
    }
    return LeadingNumber(digits, 10);
}

std::vector<UpdateRow> RowsToCheck(std::span<const FirmwareVersion> devices,
                                   std::uint32_t applicationVersion) {
    std::vector<UpdateRow> rows;
    for (const UpdateProduct& product : kUpdateProducts) {
        std::uint32_t version = 0;
        if (product.IsApplication()) {
            version = applicationVersion;
        } else {
            const auto device =
                std::find_if(devices.begin(), devices.end(), [&](const FirmwareVersion& firmware) {
                    return firmware.product == product.product;
                });
            if (device != devices.end()) version = device->version;
        }
        if (version != 0) rows.push_back({product, version});
    }
    return rows;
}

std::string UpdateKey(const UpdateProduct& product, std::uint32_t version) {
    if (version == 0) return "NULL";
    return fmt::format("{}_{}_{}_{}_{}", product.vendorCode, product.kind, product.modelCode,
                       product.typeCode, product.keySuffix);
}

std::string PercentEncode(std::string_view text) {
    std::string encoded;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~') {
            encoded.push_back(c);
        } else {
            encoded += fmt::format("%{:02X}", byte);
        }
    }
    return encoded;
}

std::string UpdateRequestBody(const UpdateRow& row) {
    std::string body = "app_key=" + PercentEncode(UpdateKey(row.product, row.version));
    body += row.product.IsApplication() ? fmt::format("&version={}", row.version)
                                        : fmt::format("&version={:x}", row.version);
    // The server expects the text with its terminating zero.
    body.push_back('\0');
    return body;
}

std::optional<std::string> UpdateServerUrl(const KeyStore* store) {
    std::optional<std::string> address;
    if (const char* fromEnvironment = std::getenv(kServerEnvironment);
        fromEnvironment != nullptr && *fromEnvironment != '\0') {
        address = fromEnvironment;
    } else if (store != nullptr) {
        address = store->GetString(kKeyStoreKey, kKeyStoreName);
    }
    if (!address || address->empty()) return std::nullopt;
    if (!IsHttpsAddress(*address)) {
        LogWarning("update: the update server's address is not an https address; not asking it");
        return std::nullopt;
    }
    return address;
}

bool IsHttpsAddress(std::string_view text) {
    constexpr std::string_view kScheme = "https://";
    return text.size() > kScheme.size() && StartsWithIgnoringCase(text, kScheme);
}

std::string UpdateEndpoint(std::string_view server) {
    while (!server.empty() && server.back() == '/')
        server.remove_suffix(1);
    return std::string(server) + std::string(kEndpointPath);
}

UpdateRecord FirstPassRecord(const UpdateRow& row) {
    UpdateRecord record;
    record.status = UpdateStatus::UpToDate;
    record.name = std::string(row.product.displayName);
    record.currentVersion = row.product.IsApplication() ? std::string(row.product.versionText)
                                                        : CurrentVersionText(row);
    record.targetFile = TargetFile(row.product);
    return record;
}

UpdateRecord UnreachableRecord(const UpdateRow& row) {
    UpdateRecord record = FirstPassRecord(row);
    record.latestVersion = std::string(kNoUpdateInfoText);
    record.reachable = false;
    return record;
}

UpdateRecord InterpretAnswer(const UpdateRow& row, std::int32_t result, std::int32_t httpStatus,
                             std::string_view body) {
    if (result <= 0 || httpStatus < 200 || httpStatus > 299) return UnreachableRecord(row);
    Json::Value answer;
    std::string error;
    if (!DocumentFile::Parse(body, answer, &error) || !answer.isObject() ||
        !HasStringMember(answer, "name")) {
        LogInfo(fmt::format("update: the answer for {} is not a valid update record",
                            row.product.displayName));
        return UnreachableRecord(row);
    }
    const std::string name = StringMember(answer, "name");
    if (StartsWithIgnoringCase(name, kNoLinkServer) && name.size() == kNoLinkServer.size()) {
        return UnreachableRecord(row);
    }

    UpdateRecord record = FirstPassRecord(row);
    record.reachable = true;
    if (name.empty()) return record;  // the server knows no update for this product

    const std::string path = StringMember(answer, "path");
    if (IsHttpsAddress(path) && path.size() <= kMaxAddressBytes &&
        path.find_first_of(" \t\r\n") == std::string::npos) {
        record.downloadUrl = path;
    }
    record.versionName = ShownText(StringMember(answer, "version_name"), kMaxVersionTextBytes);
    std::uint32_t remote = 0;
    if (HasStringMember(answer, "version")) {
        const std::string version = StringMember(answer, "version");
        record.latestVersion = "V" + ShownText(version, kMaxVersionTextBytes);
        remote = LeadingNumber(version, row.product.IsApplication() ? 10 : 16);
    }
    record.currentVersion = CurrentVersionText(row);
    if (row.product.IsApplication()) record.latestVersion = record.versionName;
    record.status = row.version < remote ? UpdateStatus::Available : UpdateStatus::UpToDate;
    return record;
}

UpdateRecord CheckRow(const UpdateRow& row, HttpClient& client, const std::string& endpoint) {
    client.Reset();
    std::vector<char> response(kResponseCapacity, '\0');
    const std::int32_t result = client.Request("POST", endpoint, UpdateRequestBody(row), response);
    const std::size_t kept = result > 0 ? static_cast<std::size_t>(result) : 0;
    return InterpretAnswer(row, result, client.LastStatus(),
                           std::string_view(response.data(), kept));
}

std::string DateText(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr) return {};
    return fmt::format("{}-{}-{}", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

bool WriteLastCheckDate(const std::filesystem::path& dataFolder, std::string_view date) {
    if (dataFolder.empty()) return false;
    Json::Value document;
    // A file that cannot be read, or neither read nor kept aside, is not replaced.
    if (!DocumentFile::ReadForUpdate(LastCheckPath(dataFolder), document)) return false;
    if (!document[kLastCheckObject].isObject()) {
        document[kLastCheckObject] = Json::Value(Json::objectValue);
    }
    document[kLastCheckObject][kLastCheckValue] = std::string(date);
    return DocumentFile::WriteJsonFile(LastCheckPath(dataFolder), document);
}

std::string LastCheckDate(const std::filesystem::path& dataFolder) {
    const std::string today = DateText(std::chrono::system_clock::now());
    if (dataFolder.empty()) return today;
    Json::Value document;
    if (!DocumentFile::ReadForUpdate(LastCheckPath(dataFolder), document)) return today;
    const Json::Value& stored = document[kLastCheckObject];
    if (stored.isObject()) {
        const std::string date = StringMember(stored, kLastCheckValue);
        if (LooksLikeDate(date)) return date;
    }
    // The value is write-through-only state: a failure to store it changes
    // nothing but the next window's date, and WriteLastCheckDate logs it.
    (void)WriteLastCheckDate(dataFolder, today);
    return today;
}

UpdateSummary RunUpdateCheck(const std::vector<UpdateRow>& rows, HttpClient& client,
                             const std::optional<std::string>& serverUrl,
                             const std::filesystem::path& dataFolder,
                             const UpdateRecordSink& onRecord, const std::atomic<bool>* stop) {
    UpdateSummary summary;
    summary.lastCheckDate = LastCheckDate(dataFolder);

    std::vector<UpdateRow> listed;
    std::copy_if(rows.begin(), rows.end(), std::back_inserter(listed),
                 [](const UpdateRow& row) { return row.version != 0; });
    auto report = [&](std::size_t entry, UpdateRecord record) {
        summary.records[entry] = std::move(record);
        if (onRecord) onRecord(entry, summary.records[entry]);
    };

    summary.records.resize(listed.size());
    for (std::size_t entry = 0; entry < listed.size(); ++entry)
        report(entry, FirstPassRecord(listed[entry]));

    const std::optional<std::string> endpoint =
        serverUrl ? std::optional<std::string>(UpdateEndpoint(*serverUrl)) : std::nullopt;
    for (std::size_t entry = 0; entry < listed.size(); ++entry) {
        if (stop != nullptr && stop->load(std::memory_order_acquire)) {
            summary.stopped = true;
            break;
        }
        UpdateRecord record = endpoint ? CheckRow(listed[entry], client, *endpoint)
                                       : UnreachableRecord(listed[entry]);
        if (record.reachable) {
            (void)WriteLastCheckDate(dataFolder, DateText(std::chrono::system_clock::now()));
        }
        report(entry, std::move(record));
    }

    const auto available = [](const UpdateRecord& record) {
        return record.status == UpdateStatus::Available;
    };
    const auto reachable = [](const UpdateRecord& record) { return record.reachable; };
    if (std::any_of(summary.records.begin(), summary.records.end(), available)) {
        summary.outcome = UpdateOutcome::HaveUpdate;
        summary.statusTextId = kHaveUpdateInfoText;
    } else if (std::none_of(summary.records.begin(), summary.records.end(), reachable)) {
        summary.outcome = UpdateOutcome::NoUpdateInfo;
        summary.statusTextId = kNoUpdateInfoText;
    } else {
        summary.outcome = UpdateOutcome::UpToDate;
        summary.statusTextId = kUpdateIsLastText;
    }
    return summary;
}

}  // namespace q731

#include "update/http_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <optional>

#include <fmt/format.h>

#include "platform/log.h"

namespace q731 {

namespace {

constexpr const char* kContentTypeHeader = "Content-Type: application/x-www-form-urlencoded";
constexpr const char* kAcceptHeader = "Accept:application/prs.Tamry.v1+json";
// curl would otherwise ask for "100-continue" on larger bodies and wait for it.
constexpr const char* kNoExpectHeader = "Expect:";
constexpr std::string_view kHttpsScheme = "https://";
// Longest sleep of the request loop: Cancel wakes it at once anyway, this only
// bounds how late a stalled transfer is noticed.
constexpr Millis kLongestPoll{1000};

// curl_global_init is not safe to race with other curl calls; a function-local
// static runs it exactly once, on whichever thread gets here first.
void InitCurlOnce() {
    static const CURLcode init = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (init != CURLE_OK)
        LogError(fmt::format("curl_global_init failed: {}", static_cast<int>(init)));
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
}

std::string UpperCase(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

std::string EnvironmentValue(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return value;
    }
    return {};
}

// Failures of the direct attempt after which a proxy may still get through.
bool ProxyMayHelp(CURLcode code, bool connected) {
    return code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_CONNECT ||
           (code == CURLE_OPERATION_TIMEDOUT && !connected);
}

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// What one attempt (direct or through the proxy) came to.
struct Attempt {
    CURLcode code = CURLE_OK;
    bool connected = false;  // the TLS session was set up: the request went out
    bool cancelled = false;
    bool overflowed = false;  // more body than room: the rest was not read
    long status = 0;
    std::size_t capacity = 0;
    std::string body;
    std::uint64_t bytesIn = 0;  // headers and body, to see progress

    bool Succeeded() const {
        if (cancelled) return false;
        return code == CURLE_OK || (overflowed && code == CURLE_WRITE_ERROR);
    }
};

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* context) {
    auto& attempt = *static_cast<Attempt*>(context);
    const std::size_t bytes = size * count;
    attempt.bytesIn += bytes;
    const std::size_t room = attempt.capacity - attempt.body.size();
    attempt.body.append(data, std::min(room, bytes));
    if (bytes <= room) return bytes;
    // The caller keeps no more than its buffer; reading on would only let a
    // hostile server keep the worker busy until the total time-out.
    attempt.overflowed = true;
    return 0;
}

std::size_t OnHeader(char*, std::size_t size, std::size_t count, void* context) {
    static_cast<Attempt*>(context)->bytesIn += size * count;
    return size * count;
}

// One request on `multi`, until it ends, stalls past the settings or `cancelled`
// is set (which curl_multi_wakeup makes the poll notice at once).
Attempt RunAttempt(CURLM* multi, const std::atomic<bool>& cancelled, const HttpSettings& settings,
                   const std::string& url, const std::string& method, std::string_view body,
                   const std::string& proxy, std::size_t capacity) {
    Attempt attempt;
    attempt.capacity = capacity;
    if (cancelled.load(std::memory_order_acquire)) {
        attempt.cancelled = true;
        return attempt;
    }
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy || multi == nullptr) {
        attempt.code = CURLE_OUT_OF_MEMORY;
        return attempt;
    }
    std::unique_ptr<curl_slist, HeaderListDeleter> headers;
    for (const char* header : {kContentTypeHeader, kAcceptHeader, kNoExpectHeader}) {
        // Appending returns the list's head, or null (the list intact) on failure.
        curl_slist* head = curl_slist_append(headers.get(), header);
        if (head == nullptr) {
            attempt.code = CURLE_OUT_OF_MEMORY;
            return attempt;
        }
        if (!headers) headers.reset(head);
    }
    char errorText[CURL_ERROR_SIZE] = {};

    CURL* handle = easy.get();
    // The results of these setopt calls are not checked one by one: each can
    // only fail for lack of memory or an option this libcurl lacks, and either
    // shows as a failed transfer below.
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!settings.caFile.empty()) {
        curl_easy_setopt(handle, CURLOPT_CAINFO, settings.caFile.c_str());
    }
    curl_easy_setopt(handle, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(handle, CURLOPT_USERAGENT, settings.userAgent.c_str());
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(settings.connectTimeout.count()));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(settings.totalTimeout.count()));
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    // Each request stands alone: a fresh connection tells "connected" exactly,
    // and a cancelled name look-up is left behind instead of waited for.
    curl_easy_setopt(handle, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(handle, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(handle, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &attempt);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &attempt);
    if (method == "POST") {
        curl_easy_setopt(handle, CURLOPT_POST, 1L);
    } else if (!body.empty()) {
        curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, "GET");
    }
    if (method == "POST" || !body.empty()) {
        // Sized, so that a zero byte inside the body goes out like any other.
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.data());
    }

    if (curl_multi_add_handle(multi, handle) != CURLM_OK) {
        attempt.code = CURLE_FAILED_INIT;
        return attempt;
    }
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> lastProgress;  // set once connected
    std::uint64_t bytesSeen = 0;
    bool done = false;
    while (!done) {
        if (cancelled.load(std::memory_order_acquire)) {
            attempt.cancelled = true;
            break;
        }
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            attempt.code = CURLE_FAILED_INIT;
            break;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == handle) {
                attempt.code = message->data.result;
                done = true;
            }
        }
        curl_off_t tlsDone = 0;
        curl_easy_getinfo(handle, CURLINFO_APPCONNECT_TIME_T, &tlsDone);
        attempt.connected = attempt.connected || tlsDone > 0;
        if (done) break;

        const Clock::time_point now = Clock::now();
        Millis wait = kLongestPoll;
        if (attempt.connected) {
            curl_off_t uploaded = 0;
            curl_easy_getinfo(handle, CURLINFO_SIZE_UPLOAD_T, &uploaded);
            const std::uint64_t progress = attempt.bytesIn + static_cast<std::uint64_t>(uploaded);
            if (!lastProgress || progress != bytesSeen) {
                lastProgress = now;
                bytesSeen = progress;
            }
            const auto quiet = std::chrono::duration_cast<Millis>(now - *lastProgress);
            if (quiet >= settings.stallTimeout) {
                attempt.code = CURLE_OPERATION_TIMEDOUT;
                std::snprintf(errorText, sizeof errorText, "no progress for %lld ms",
                              static_cast<long long>(quiet.count()));
                break;
            }
            wait = std::min(wait, settings.stallTimeout - quiet);
        }
        const int waitMs = static_cast<int>(std::max<Millis::rep>(1, wait.count()));
        if (curl_multi_poll(multi, nullptr, 0, waitMs, nullptr) != CURLM_OK) {
            attempt.code = CURLE_FAILED_INIT;
            break;
        }
    }
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &attempt.status);
    curl_multi_remove_handle(multi, handle);

    if (attempt.cancelled) {
        LogInfo(fmt::format("update: request to {} cancelled", url));
    } else if (!attempt.Succeeded()) {
        LogInfo(fmt::format("update: request to {}{} failed: {} ({})", url,
                            proxy.empty() ? "" : " through the proxy",
                            curl_easy_strerror(attempt.code), errorText));
    }
    return attempt;
}

}  // namespace

void HttpClient::MultiDeleter::operator()(void* multi) const {
    curl_multi_cleanup(static_cast<CURLM*>(multi));
}

HttpClient::HttpClient() : HttpClient(HttpSettings{}) {}

HttpClient::HttpClient(HttpSettings defaults) : defaults_(std::move(defaults)) {
    InitCurlOnce();
    multi_.reset(curl_multi_init());
    Reset();
}

HttpClient::~HttpClient() = default;

void HttpClient::Reset() {
    settings_ = defaults_;
    if (settings_.proxy.empty()) {
        settings_.proxy =
            EnvironmentValue({"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"});
    }
    if (settings_.caFile.empty()) settings_.caFile = EnvironmentValue({"Q731_UPDATE_CA_FILE"});
    lastError_ = 0;
    lastStatus_ = 0;
}

void HttpClient::Cancel() {
    cancelled_.store(true, std::memory_order_release);
    // Thread-safe by libcurl's contract; wakes a curl_multi_poll in progress or
    // makes the next one return at once.
    if (multi_) curl_multi_wakeup(multi_.get());
}

void HttpClient::ClearCancel() {
    cancelled_.store(false, std::memory_order_release);
}

std::int32_t HttpClient::Request(std::string_view method, std::string_view url,
                                 std::string_view body, std::span<char> response) {
    // A zero inside the address would cut it short on the way into libcurl.
    if (url.empty() || !StartsWithIgnoringCase(url, kHttpsScheme) ||
        url.find('\0') != std::string_view::npos) {
        lastError_ = kHttpErrorBadUrl;
        return -1;
    }
    const std::string verb = UpperCase(method);
    if (verb != "GET" && verb != "POST") {
        lastError_ = kHttpErrorBadParameter;
        return -1;
    }
    lastStatus_ = 0;
    const std::size_t capacity = response.empty() ? 0 : response.size() - 1;
    const std::string address(url);

    auto* multi = static_cast<CURLM*>(multi_.get());
    Attempt attempt = RunAttempt(multi, cancelled_, settings_, address, verb, body, "", capacity);
    bool everConnected = attempt.connected;
    if (!attempt.Succeeded() && !attempt.cancelled && !settings_.proxy.empty() &&
        ProxyMayHelp(attempt.code, attempt.connected)) {
        LogInfo(fmt::format("update: {} unreachable directly ({}), trying the proxy", address,
                            curl_easy_strerror(attempt.code)));
        attempt = RunAttempt(multi, cancelled_, settings_, address, verb, body, settings_.proxy,
                             capacity);
        everConnected = everConnected || attempt.connected;
    }

    if (attempt.Succeeded()) {
        lastError_ = 0;
        lastStatus_ = static_cast<std::int32_t>(attempt.status);
        if (response.empty()) return 0;
        std::memcpy(response.data(), attempt.body.data(), attempt.body.size());
        response[attempt.body.size()] = '\0';
        return static_cast<std::int32_t>(attempt.body.size());
    }
    lastError_ = attempt.cancelled ? static_cast<std::uint32_t>(CURLE_ABORTED_BY_CALLBACK)
                                   : static_cast<std::uint32_t>(attempt.code);
    if (!everConnected && !attempt.cancelled && response.size() > kNoLinkServer.size()) {
        std::memcpy(response.data(), kNoLinkServer.data(), kNoLinkServer.size());
        response[kNoLinkServer.size()] = '\0';
    }
    return 0;
}

}  // namespace q731

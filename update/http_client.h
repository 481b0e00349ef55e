#pragma once
// The one place where the control centre talks to the network: one synchronous
// HTTPS request at a time, over libcurl.
//
// Contract:
// - Only https addresses are requested; the peer's certificate and host name
//   are always verified, redirects are never followed.
// - The request goes out directly first; when that attempt cannot resolve or
//   reach the host and a proxy is known, it is sent once more through it.
// - Request blocks the calling thread (the update worker) for at most the
//   settings' time-outs. Cancel may be called from any thread at any time and
//   ends a running request within a few milliseconds; it stays in force until
//   ClearCancel, so that a worker cannot slip one more request past a window
//   that is closing.
// - Everything else (Reset, Settings, Request, LastError, LastStatus) belongs
//   to the one thread that makes the requests.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace q731 {

struct HttpSettings {
    std::string userAgent = "WinHTTP Client/1.0";
    // Resolving the name, connecting and the TLS handshake together.
    Millis connectTimeout{60000};
    // Once connected: longest time without a byte going either way.
    Millis stallTimeout{30000};
    // The whole of one attempt, whatever happens.
    Millis totalTimeout{120000};
    // Proxy for the second attempt ("http://host:port", "socks5://...").
    // Empty: taken from https_proxy, HTTPS_PROXY, all_proxy or ALL_PROXY at Reset.
    std::string proxy;
    // CA certificates (PEM) to verify the server with, for a server with a
    // private CA. Empty: the system store. Never turns verification off.
    // Taken from Q731_UPDATE_CA_FILE at Reset when empty.
    std::filesystem::path caFile;
};

// Codes LastError gives besides libcurl's own (CURLcode values).
inline constexpr std::uint32_t kHttpErrorBadUrl = 3;         // empty or not https
inline constexpr std::uint32_t kHttpErrorBadParameter = 87;  // method not GET or POST
// The text written at the start of the response when no server could be reached.
inline constexpr std::string_view kNoLinkServer = "NO_LINK_SERVER";

class HttpClient {
public:
    // `defaults` is what Reset restores (the environment fills an empty proxy
    // and CA file).
    HttpClient();
    explicit HttpClient(HttpSettings defaults);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Puts the settings back to the defaults and re-reads the environment.
    void Reset();
    HttpSettings& Settings() { return settings_; }

    // Sends `body` byte for byte with `method` (GET or POST, any case) to `url`
    // and copies the response body into `response`, at most size - 1 bytes
    // followed by a zero (the rest is dropped). Returns the number of body bytes
    // kept, or:
    //   -1  empty or non-https url (LastError 3), other method (87); response untouched
    //    0  no server reached (no connection, TLS refused, bad address): the
    //       response starts with "NO_LINK_SERVER" when it has room for it and a zero
    //    0  sent but no complete answer (time-out, reset, Cancel): response untouched
    // The HTTP status is not judged here: a 404 body comes back like any other
    // (LastStatus tells).
    std::int32_t Request(std::string_view method, std::string_view url, std::string_view body,
                         std::span<char> response);

    // Code of the last failing step, 0 after a success.
    std::uint32_t LastError() const { return lastError_.load(std::memory_order_relaxed); }
    // HTTP status of the last response, 0 when none came.
    std::int32_t LastStatus() const { return lastStatus_.load(std::memory_order_relaxed); }

    // Any thread: ends the running request and every later one until ClearCancel.
    void Cancel();
    void ClearCancel();
    bool Cancelled() const { return cancelled_.load(std::memory_order_acquire); }

private:
    struct MultiDeleter {
        void operator()(void* multi) const;
    };

    HttpSettings defaults_;
    HttpSettings settings_;
    // Created once and kept for the object's life, so that Cancel on another
    // thread never meets a handle being replaced.
    std::unique_ptr<void, MultiDeleter> multi_;
    std::atomic<bool> cancelled_{false};
    std::atomic<std::uint32_t> lastError_{0};
    std::atomic<std::int32_t> lastStatus_{0};
};

}  // namespace q731

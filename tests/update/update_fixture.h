#pragma once
// Servers on the loopback for the update client's tests: an HTTPS server with
// certificates made at test time (a private CA and what it signs, plus a
// self-signed one no one trusts), a port where nothing listens, and a small
// CONNECT proxy.

#include <httplib.h>

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "update/http_client.h"

namespace q731::testing {

namespace fs = std::filesystem;

struct CertificateFiles {
    fs::path caFile;                         // the private CA that signs the two below
    fs::path serverCert, serverKey;          // for 127.0.0.1, localhost and update.invalid
    fs::path wrongHostCert, wrongHostKey;    // for another host name only
    fs::path selfSignedCert, selfSignedKey;  // for 127.0.0.1, trusted by no one
};

// Made once per process by the openssl command in a private folder.
const CertificateFiles& TestCertificates();

// Settings for tests: the private CA, no proxy, time-outs of a test's length.
HttpSettings TestSettings();

// A request as the server saw it.
struct SeenRequest {
    std::string method;
    std::string path;
    std::string version;
    httplib::Headers headers;
    std::string body;
};

class TlsServer {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;
    enum class Certificate { Trusted, WrongHost, SelfSigned };

    explicit TlsServer(Handler handler, Certificate certificate = Certificate::Trusted);
    ~TlsServer();
    TlsServer(const TlsServer&) = delete;
    TlsServer& operator=(const TlsServer&) = delete;

    // Requests are taken in but never answered until the server goes.
    void BeSilent();
    // For a handler: returns only when the server goes, so the request is never answered.
    void HoldUntilClosed();
    int Port() const { return port_; }
    std::string Url(std::string_view host = "127.0.0.1") const;
    std::vector<SeenRequest> Requests() const;
    bool WaitForRequests(std::size_t count) const;

private:
    void Serve(const httplib::Request& request, httplib::Response& response);

    Handler handler_;
    httplib::SSLServer server_;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<SeenRequest> requests_;
    bool silent_ = false;
    bool closing_ = false;
};

// A loopback port where nothing listens.
int UnusedPort();

// An HTTP CONNECT proxy that tunnels every connection to 127.0.0.1:`port`,
// whatever host it was asked for. One connection at a time.
class ConnectProxy {
public:
    explicit ConnectProxy(int port);
    ~ConnectProxy();
    ConnectProxy(const ConnectProxy&) = delete;
    ConnectProxy& operator=(const ConnectProxy&) = delete;

    std::string Url() const;
    // The "host:port" of every CONNECT seen.
    std::vector<std::string> Targets() const;

private:
    void Run();
    void Tunnel(int client);

    int targetPort_;
    int listener_ = -1;
    int port_ = 0;
    int stopPipe_[2] = {-1, -1};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> targets_;
};

}  // namespace q731::testing

#include "tests/update/update_fixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include <fmt/format.h>

#include "tests/support/test_folder.h"
#include "tests/support/wait.h"

namespace q731::testing {

namespace {

constexpr const char* kCurve = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";

// The folder of this process's certificates, removed when the process ends.
struct CertificateFolder {
    fs::path path = fs::temp_directory_path() / fmt::format("q731-update-certs-{}", ::getpid());
    CertificateFolder() {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~CertificateFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

void RunOpenssl(const fs::path& folder, const std::string& arguments) {
    const std::string command =
        fmt::format("cd '{}' && openssl {} >>openssl.log 2>&1", folder.string(), arguments);
    ASSERT_EQ(std::system(command.c_str()), 0) << command << "\n"
                                               << ReadText(folder / "openssl.log");
}

// A key and a certificate for `names`, signed by the CA in `folder`.
void MakeSigned(const fs::path& folder, const std::string& stem, const std::string& names,
                int serial) {
    WriteText(folder / (stem + ".ext"),
              "basicConstraints=CA:FALSE\nkeyUsage=digitalSignature\n"
              "extendedKeyUsage=serverAuth\nsubjectAltName=" +
                  names + "\n");
    RunOpenssl(folder, fmt::format("req {} -keyout {}.key -out {}.csr -subj /CN=q731-test", kCurve,
                                   stem, stem));
    RunOpenssl(folder, fmt::format("x509 -req -in {0}.csr -CA ca.crt -CAkey ca.key -set_serial "
                                   "{1} -days 2 -out {0}.crt -extfile {0}.ext",
                                   stem, serial));
}

CertificateFiles MakeCertificates() {
    static CertificateFolder folder;
    const fs::path& dir = folder.path;
    RunOpenssl(dir, fmt::format("req -x509 {} -keyout ca.key -out ca.crt -days 2 "
                                "-subj /CN=q731-test-ca "
                                "-addext basicConstraints=critical,CA:TRUE "
                                "-addext keyUsage=critical,keyCertSign,cRLSign",
                                kCurve));
    MakeSigned(dir, "server", "IP:127.0.0.1,DNS:localhost,DNS:update.invalid", 2);
    MakeSigned(dir, "wronghost", "DNS:wrong.example", 3);
    RunOpenssl(dir, fmt::format("req -x509 {} -keyout self.key -out self.crt -days 2 "
                                "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1",
                                kCurve));
    return CertificateFiles{
        .caFile = dir / "ca.crt",
        .serverCert = dir / "server.crt",
        .serverKey = dir / "server.key",
        .wrongHostCert = dir / "wronghost.crt",
        .wrongHostKey = dir / "wronghost.key",
        .selfSignedCert = dir / "self.crt",
        .selfSignedKey = dir / "self.key",
    };
}

std::pair<fs::path, fs::path> CertificateOf(TlsServer::Certificate certificate) {
    const CertificateFiles& files = TestCertificates();
    switch (certificate) {
        case TlsServer::Certificate::WrongHost:
            return {files.wrongHostCert, files.wrongHostKey};
        case TlsServer::Certificate::SelfSigned:
            return {files.selfSignedCert, files.selfSignedKey};
        case TlsServer::Certificate::Trusted:
            break;
    }
    return {files.serverCert, files.serverKey};
}

int ListenOnLoopback(int* port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ADD_FAILURE() << "no loopback socket";
        if (fd >= 0) ::close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

int ConnectToLoopback(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        return fd;
    }
    if (fd >= 0) ::close(fd);
    return -1;
}

bool SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

}  // namespace

const CertificateFiles& TestCertificates() {
    static const CertificateFiles files = MakeCertificates();
    return files;
}

HttpSettings TestSettings() {
    HttpSettings settings;
    settings.caFile = TestCertificates().caFile;
    // A proxy no test asks for would change what "unreachable" means.
    settings.proxy = "";
    settings.connectTimeout = Millis(3000);
    settings.stallTimeout = Millis(5000);
    settings.totalTimeout = Millis(10000);
    return settings;
}

TlsServer::TlsServer(Handler handler, Certificate certificate)
    : handler_(std::move(handler)),
      server_(CertificateOf(certificate).first.c_str(), CertificateOf(certificate).second.c_str()) {
    EXPECT_TRUE(server_.is_valid());
    // Headers and body go out in separate writes: without this, Nagle and the
    // client's delayed ACK add 40 ms to every answer.
    server_.set_tcp_nodelay(true);
    auto serve = [this](const httplib::Request& request, httplib::Response& response) {
        Serve(request, response);
    };
    server_.Get(".*", serve);
    server_.Post(".*", serve);
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    EXPECT_TRUE(WaitUntil([this] { return server_.is_running(); }));
}

TlsServer::~TlsServer() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    server_.stop();
    thread_.join();
}

void TlsServer::BeSilent() {
    std::lock_guard lock(mutex_);
    silent_ = true;
}

void TlsServer::HoldUntilClosed() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return closing_; });
}

std::string TlsServer::Url(std::string_view host) const {
    return fmt::format("https://{}:{}", host, port_);
}

std::vector<SeenRequest> TlsServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool TlsServer::WaitForRequests(std::size_t count) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10),
                             [&] { return requests_.size() >= count; });
}

void TlsServer::Serve(const httplib::Request& request, httplib::Response& response) {
    {
        std::unique_lock lock(mutex_);
        requests_.push_back(
            {request.method, request.path, request.version, request.headers, request.body});
        changed_.notify_all();
        if (silent_) {
            changed_.wait(lock, [this] { return closing_; });
            return;
        }
    }
    if (handler_) handler_(request, response);
}

int UnusedPort() {
    int port = 0;
    const int fd = ListenOnLoopback(&port);
    if (fd >= 0) ::close(fd);
    return port;
}

ConnectProxy::ConnectProxy(int port) : targetPort_(port) {
    listener_ = ListenOnLoopback(&port_);
    EXPECT_EQ(::pipe2(stopPipe_, O_CLOEXEC), 0);
    thread_ = std::thread([this] { Run(); });
}

ConnectProxy::~ConnectProxy() {
    const char stop = 1;
    EXPECT_EQ(::write(stopPipe_[1], &stop, 1), 1);
    thread_.join();
    for (int fd : {listener_, stopPipe_[0], stopPipe_[1]}) {
        if (fd >= 0) ::close(fd);
    }
}

std::string ConnectProxy::Url() const {
    return fmt::format("http://127.0.0.1:{}", port_);
}

std::vector<std::string> ConnectProxy::Targets() const {
    std::lock_guard lock(mutex_);
    return targets_;
}

void ConnectProxy::Run() {
    for (;;) {
        pollfd waits[2] = {{listener_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0 || waits[1].revents != 0) return;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        Tunnel(client);
        ::close(client);
    }
}

void ConnectProxy::Tunnel(int client) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 8192) {
        const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) return;
        head.append(buffer, static_cast<std::size_t>(got));
    }
    // "CONNECT host:port HTTP/1.1"
    const std::size_t space = head.find(' ');
    const std::size_t end = head.find(' ', space + 1);
    if (head.rfind("CONNECT ", 0) != 0 || end == std::string::npos) return;
    {
        std::lock_guard lock(mutex_);
        targets_.push_back(head.substr(space + 1, end - space - 1));
    }
    const int upstream = ConnectToLoopback(targetPort_);
    if (upstream < 0) return;
    const std::string established = "HTTP/1.1 200 Connection established\r\n\r\n";
    bool open = SendAll(client, established.data(), established.size());
    while (open) {
        pollfd waits[3] = {{client, POLLIN, 0}, {upstream, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(waits, 3, -1) < 0 || waits[2].revents != 0) break;
        for (int side = 0; side < 2 && open; ++side) {
            if (waits[side].revents == 0) continue;
            const ssize_t got = ::recv(waits[side].fd, buffer, sizeof buffer, 0);
            open = got > 0 && SendAll(waits[1 - side].fd, buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(upstream);
}

}  // namespace q731::testing

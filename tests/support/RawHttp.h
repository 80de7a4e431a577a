#pragma once
// A plain TCP client for tests of the transport: sends bytes exactly as
// given and reads what comes back, with timeouts.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace testsupport {

class RawHttp {
public:
    explicit RawHttp(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~RawHttp() {
        if (fd_ >= 0) ::close(fd_);
    }
    RawHttp(const RawHttp&) = delete;
    RawHttp& operator=(const RawHttp&) = delete;

    bool connected() const { return connected_; }

    // False when the peer has closed (or the send fails).
    bool send(const std::string& bytes) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += static_cast<size_t>(n);
        }
        return true;
    }

    // Reads until the peer closes, `until` appears `count` times, or the timeout.
    std::string receive(int timeoutMs, const std::string& until = {}, int count = 1) {
        std::string out;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (!until.empty() && occurrences(out, until) >= count) break;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
            char buf[65536];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) {
                closed_ = true;
                break;
            }
            out.append(buf, static_cast<size_t>(n));
        }
        return out;
    }

    // Whether the peer closed the connection within the timeout.
    bool closedWithin(int timeoutMs) {
        receive(timeoutMs, "\x01\x02\x03unlikely");
        return closed_;
    }

    static std::string post(const std::string& body, const std::string& headers = {},
                            const std::string& contentType = "application/json") {
        return "POST /rpc HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " + contentType + "\r\n" + headers +
               "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    }

    static int occurrences(const std::string& text, const std::string& what) {
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
        return n;
    }

private:
    int fd_ = -1;
    bool connected_ = false;
    bool closed_ = false;
};

}  // namespace testsupport

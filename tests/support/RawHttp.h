#pragma once
// A plain TCP client for tests of the transport: sends bytes exactly as
// given and reads what comes back, with timeouts.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <string>

namespace testsupport {

class RawHttp {
public:
    // From `source` when given (another loopback address: 127.0.0.2).
    explicit RawHttp(int port, const char* source = nullptr) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (source) {
            sockaddr_in from{};
            from.sin_family = AF_INET;
            ::inet_pton(AF_INET, source, &from.sin_addr);
            ::bind(fd_, reinterpret_cast<sockaddr*>(&from), sizeof from);
        }
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
        return receiveWhile(timeoutMs, [&](const std::string& out) {
            return until.empty() || occurrences(out, until) < count;
        });
    }

    // Reads until `count` whole final replies have arrived (interim 1xx ones
    // are not counted; bodies framed by Content-Length), the peer closes, or
    // the timeout. A reply is never taken as whole before its last byte.
    std::string receiveReplies(int timeoutMs, int count = 1) {
        return receiveWhile(timeoutMs, [&](const std::string& out) { return wholeReplies(out) < count; });
    }

    // Reads while `more` says the text so far is not enough, the peer is
    // open and the timeout has not passed.
    template <class More>
    std::string receiveWhile(int timeoutMs, More more) {
        std::string out;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (more(out)) {
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

    // Final replies complete in `text` (a stream of HTTP/1.1 replies).
    static int wholeReplies(const std::string& text) {
        int n = 0;
        for (size_t at = 0; at < text.size();) {
            const size_t end = text.find("\r\n\r\n", at);
            if (end == std::string::npos) break;
            std::string head = text.substr(at, end - at);
            for (auto& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            size_t length = 0;
            if (const auto cl = head.find("\r\ncontent-length:"); cl != std::string::npos)
                length = std::strtoul(head.c_str() + cl + 17, nullptr, 10);
            if (text.size() < end + 4 + length) break;
            if (head.rfind("http/1.1 1", 0) != 0) ++n;
            at = end + 4 + length;
        }
        return n;
    }

    bool closed() const { return closed_; }

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

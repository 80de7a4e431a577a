#pragma once
// The addresses whose X-Forwarded-For the server believes (--trusted-proxy):
// behind a load balancer every connection comes from the balancer, and the
// audit trail and the login throttle need the desktop's address instead.
// Off by default; a header from any other address is ignored.
#include <string>
#include <vector>

namespace server {

class TrustedProxies {
public:
    // Entries are addresses ("10.0.0.5", "::1") or networks ("10.0.0.0/8");
    // throws std::invalid_argument naming the first entry that is neither.
    explicit TrustedProxies(const std::vector<std::string>& entries = {});
    // "A,B/24,C" as the command line gives it.
    static std::vector<std::string> split(const std::string& list);

    bool empty() const { return networks_.empty(); }
    bool trusts(const std::string& address) const;

    // Who made the request: `peer` (the connection's address) unless `peer` is
    // trusted and the forwarded values (every X-Forwarded-For line, in order)
    // end in a valid address. Only the last entry is taken, the one the
    // trusted proxy added itself: entries before it came from the client.
    std::string clientAddress(const std::string& peer, const std::vector<std::string>& forwardedFor) const;

private:
    struct Network {
        std::vector<unsigned char> bytes;  // 4 or 16
        int prefix;
    };
    static bool parse(const std::string& text, std::vector<unsigned char>& bytes);
    std::vector<Network> networks_;
};

} // namespace server

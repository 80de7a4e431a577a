#include "server/TrustedProxies.h"

#include <boost/asio/ip/address.hpp>

#include <stdexcept>

namespace server {

namespace {

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::vector<std::string> TrustedProxies::split(const std::string& list) {
    std::vector<std::string> out;
    size_t at = 0;
    for (;;) {
        const size_t comma = list.find(',', at);
        const std::string entry = trim(list.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
        if (!entry.empty()) out.push_back(entry);
        if (comma == std::string::npos) return out;
        at = comma + 1;
    }
}

bool TrustedProxies::parse(const std::string& text, std::vector<unsigned char>& bytes) {
    std::string plain = text;
    if (plain.size() > 2 && plain.front() == '[' && plain.back() == ']') plain = plain.substr(1, plain.size() - 2);
    boost::system::error_code ec;
    auto address = boost::asio::ip::make_address(plain, ec);
    if (ec) return false;
    // An IPv4 address seen through an IPv6 socket is the same client.
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        address = boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, address.to_v6());
    if (address.is_v4()) {
        const auto b = address.to_v4().to_bytes();
        bytes.assign(b.begin(), b.end());
    } else {
        const auto b = address.to_v6().to_bytes();
        bytes.assign(b.begin(), b.end());
    }
    return true;
}

TrustedProxies::TrustedProxies(const std::vector<std::string>& entries) {
    for (const auto& entry : entries) {
        Network n;
        const auto slash = entry.find('/');
        bool ok = parse(entry.substr(0, slash), n.bytes);
        n.prefix = static_cast<int>(n.bytes.size() * 8);
        if (ok && slash != std::string::npos) {
            const std::string bits = entry.substr(slash + 1);
            ok = !bits.empty() && bits.size() <= 3 && bits.find_first_not_of("0123456789") == std::string::npos &&
                 std::stoi(bits) <= n.prefix;
            if (ok) n.prefix = std::stoi(bits);
        }
        if (!ok) throw std::invalid_argument("endereço de proxy confiável inválido: " + entry);
        networks_.push_back(std::move(n));
    }
}

bool TrustedProxies::trusts(const std::string& address) const {
    if (networks_.empty()) return false;
    std::vector<unsigned char> bytes;
    if (!parse(address, bytes)) return false;
    for (const auto& n : networks_) {
        if (n.bytes.size() != bytes.size()) continue;
        bool same = true;
        for (int bit = 0; bit < n.prefix && same; ++bit) {
            const unsigned char mask = static_cast<unsigned char>(0x80 >> (bit % 8));
            same = (n.bytes[bit / 8] & mask) == (bytes[bit / 8] & mask);
        }
        if (same) return true;
    }
    return false;
}

std::string TrustedProxies::clientAddress(const std::string& peer, const std::vector<std::string>& forwardedFor) const {
    if (forwardedFor.empty() || !trusts(peer)) return peer;
    const std::string& line = forwardedFor.back();
    const auto comma = line.rfind(',');
    const std::string last = trim(comma == std::string::npos ? line : line.substr(comma + 1));
    std::vector<unsigned char> bytes;
    if (last.size() > 64 || !parse(last, bytes)) return peer;
    return last.front() == '[' ? last.substr(1, last.size() - 2) : last;
}

} // namespace server

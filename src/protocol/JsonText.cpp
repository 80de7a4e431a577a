#include "protocol/JsonText.h"

#include <charconv>
#include <cmath>

namespace protocol::jsontext {

namespace {

// Length of the valid UTF-8 sequence starting at p, or 0 when invalid.
size_t utf8Sequence(const unsigned char* p, const unsigned char* end) {
    const unsigned char c = p[0];
    size_t n;
    unsigned min;
    unsigned cp;
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) { n = 2; min = 0x80; cp = c & 0x1F; }
    else if ((c & 0xF0) == 0xE0) { n = 3; min = 0x800; cp = c & 0x0F; }
    else if ((c & 0xF8) == 0xF0) { n = 4; min = 0x10000; cp = c & 0x07; }
    else return 0;
    if (static_cast<size_t>(end - p) < n) return 0;
    for (size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

} // namespace

void appendString(std::string& out, std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    out += '"';
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    const auto* plain = p;  // start of the run copied as it stands
    auto flush = [&](const unsigned char* upTo) {
        out.append(reinterpret_cast<const char*>(plain), static_cast<size_t>(upTo - plain));
    };
    while (p < end) {
        const unsigned char c = *p;
        if (c >= 0x20 && c != '"' && c != '\\' && c < 0x80) {
            ++p;
            continue;
        }
        if (c >= 0x80) {
            const size_t n = utf8Sequence(p, end);
            if (n > 0) {
                p += n;
                continue;
            }
            flush(p);
            out += "\xEF\xBF\xBD";
            plain = ++p;
            continue;
        }
        flush(p);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
        plain = ++p;
    }
    flush(p);
    out += '"';
}

void appendFloat(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    const std::string_view text(buf, static_cast<size_t>(r.ptr - buf));
    out += text;
    if (text.find_first_of(".e") == std::string_view::npos) out += ".0";
}

void appendInteger(std::string& out, long long value) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, static_cast<size_t>(r.ptr - buf));
}

} // namespace protocol::jsontext

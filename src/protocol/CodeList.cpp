#include "protocol/CodeList.h"

#include <algorithm>

namespace protocol {

std::optional<CodeList> CodeList::parse(const std::string& text, size_t maxCodeLength) {
    CodeList list;
    if (text == "T") {
        list.all = true;
        return list;
    }
    if (text.empty() || text == "_") return list;
    if (text.front() != '_' || text.back() != '_') return std::nullopt;
    size_t start = 1;
    while (start < text.size()) {
        const size_t end = text.find('_', start);
        const std::string code = text.substr(start, end - start);
        if (code.empty() || code.size() > maxCodeLength) return std::nullopt;
        for (unsigned char c : code)
            if (c < 0x20 || c == '\'' || c == '"' || c == ';') return std::nullopt;
        list.codes.push_back(code);
        start = end + 1;
    }
    return list;
}

std::string CodeList::format(const std::vector<std::string>& codes) {
    std::string text = "_";
    for (const auto& code : codes) text += code + "_";
    return text;
}

bool CodeList::contains(const std::string& code) const {
    return all || std::find(codes.begin(), codes.end(), code) != codes.end();
}

} // namespace protocol

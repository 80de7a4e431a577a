#pragma once
#include <optional>
#include <string>
#include <vector>

namespace protocol {

// A multi-selection of codes sent as one text: "_" then each code followed by "_"
// (codes 00001 and 00002 give "_00001_00002_"). The single text "T" stands for all.
struct CodeList {
    bool all = false;
    std::vector<std::string> codes;

    // Returns nothing when the text is not a well-formed list; "_" and "" are empty lists.
    static std::optional<CodeList> parse(const std::string& text, size_t maxCodeLength);
    static std::string format(const std::vector<std::string>& codes);
    bool contains(const std::string& code) const;
};

} // namespace protocol

#include "protocol/Json.h"

namespace protocol {

namespace {

using json = nlohmann::json;

// Forwards every event to the library's own document builder, counting the
// open arrays and objects; answering false stops the parser at once.
class DepthLimitedBuilder {
public:
    DepthLimitedBuilder(json& root, int maxDepth) : dom_(root, false), maxDepth_(maxDepth) {}

    bool null() { return dom_.null(); }
    bool boolean(bool v) { return dom_.boolean(v); }
    bool number_integer(json::number_integer_t v) { return dom_.number_integer(v); }
    bool number_unsigned(json::number_unsigned_t v) { return dom_.number_unsigned(v); }
    bool number_float(json::number_float_t v, const json::string_t& s) { return dom_.number_float(v, s); }
    bool string(json::string_t& v) { return dom_.string(v); }
    bool binary(json::binary_t& v) { return dom_.binary(v); }
    bool start_object(std::size_t n) { return enter() && dom_.start_object(n); }
    bool key(json::string_t& v) { return dom_.key(v); }
    bool end_object() {
        --depth_;
        return dom_.end_object();
    }
    bool start_array(std::size_t n) { return enter() && dom_.start_array(n); }
    bool end_array() {
        --depth_;
        return dom_.end_array();
    }
    template <class Exception>
    bool parse_error(std::size_t position, const std::string& token, const Exception& e) {
        dom_.parse_error(position, token, e);
        return false;
    }

    bool tooDeep() const { return tooDeep_; }
    bool failed() const { return dom_.is_errored(); }

private:
    bool enter() {
        if (++depth_ > maxDepth_) {
            tooDeep_ = true;
            return false;
        }
        return true;
    }
    nlohmann::detail::json_sax_dom_parser<json> dom_;
    int maxDepth_;
    int depth_ = 0;
    bool tooDeep_ = false;
};

}  // namespace

std::optional<json> parseJson(std::string_view text, int maxDepth, JsonProblem* problem) {
    json root;
    DepthLimitedBuilder builder(root, maxDepth);
    const bool ok = json::sax_parse(text.begin(), text.end(), &builder);
    if (problem) *problem = ok ? JsonProblem::None : builder.tooDeep() ? JsonProblem::TooDeep : JsonProblem::Syntax;
    if (!ok || builder.failed()) {
        if (problem && *problem == JsonProblem::None) *problem = JsonProblem::Syntax;
        return std::nullopt;
    }
    return root;
}

} // namespace protocol

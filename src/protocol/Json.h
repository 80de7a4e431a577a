#pragma once
// JSON read with a bound on nesting: nlohmann-json's SAX parser builds the
// document, and a depth counter stops it at the first array or object that
// goes deeper than allowed, so no input can exhaust a thread's stack when the
// document is later copied, compared or written out (those are recursive).
#include <nlohmann/json.hpp>

#include <optional>
#include <string_view>

namespace protocol {

// Deep enough for every request and reply of the application (a change
// packet inside the params is 6 levels deep), far below what would strain a
// worker thread's stack.
constexpr int MaxJsonDepth = 64;

enum class JsonProblem { None, Syntax, TooDeep };

// The document, or nullopt with the reason in *problem.
std::optional<nlohmann::json> parseJson(std::string_view text, int maxDepth = MaxJsonDepth,
                                        JsonProblem* problem = nullptr);

} // namespace protocol

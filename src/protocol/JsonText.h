#pragma once
// Writing JSON text straight into a buffer, for replies built from database
// rows without going through JSON values first.
#include <string>
#include <string_view>

namespace protocol::jsontext {

// A JSON string; invalid UTF-8 bytes become U+FFFD.
void appendString(std::string& out, std::string_view text);
// A JSON number: the shortest text that reads back as the same double, with
// ".0" on integral values so that it stays a float; null when not finite.
void appendFloat(std::string& out, double value);
void appendInteger(std::string& out, long long value);

} // namespace protocol::jsontext

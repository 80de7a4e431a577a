#pragma once
#include <string>

namespace db {

// Operator passwords are stored as "pbkdf2-sha256$ITERATIONS$SALT_HEX$HASH_HEX".
std::string hashPassword(const std::string& password, int iterations = 60000);
bool verifyPassword(const std::string& password, const std::string& stored);

// SHA-256 of a text, as 64 lower-case hex digits.
std::string sha256Hex(const std::string& text);
// Bytes from the operating system's random generator, as hex digits.
std::string randomHex(size_t bytes);

} // namespace db

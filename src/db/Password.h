#pragma once
#include <optional>
#include <string>

namespace db {

// Operator passwords are stored as "pbkdf2-sha256$ITERATIONS$SALT_HEX$HASH_HEX".
std::string hashPassword(const std::string& password, int iterations = 60000);
bool verifyPassword(const std::string& password, const std::string& stored);

// Why an operator's new password is refused, in Portuguese; nullopt when it
// is acceptable: at least 10 characters, not the operator's code, not one of
// the common passwords shipped in db/common-passwords.txt (case ignored).
std::optional<std::string> passwordProblem(const std::string& operatorCode, const std::string& password);

// SHA-256 of a text, as 64 lower-case hex digits.
std::string sha256Hex(const std::string& text);
// Bytes from the operating system's random generator, as hex digits.
std::string randomHex(size_t bytes);

} // namespace db

#pragma once
#include <string>

namespace db {

// Operator passwords are stored as "pbkdf2-sha256$ITERATIONS$SALT_HEX$HASH_HEX".
std::string hashPassword(const std::string& password, int iterations = 60000);
bool verifyPassword(const std::string& password, const std::string& stored);

} // namespace db

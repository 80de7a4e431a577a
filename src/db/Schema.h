#pragma once
#include "db/Database.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace db {

const std::map<std::string, std::string_view>& embeddedFiles();

// Splits a script into statements at the semicolons that end a line.
std::vector<std::string> splitStatements(std::string_view script);

bool schemaExists(soci::session& session);

// Creates every table and index (and, on PostgreSQL, the helper functions).
void createSchema(soci::session& session);

// Creates the helper functions on PostgreSQL (idempotent); nothing on SQLite,
// where each connection registers them.
void installFunctions(soci::session& session);

// Schema and demo data on an empty database; nothing when the schema exists.
// Answers whether it created anything.
bool initializeDatabase(soci::session& session, bool withDemoData = true);

} // namespace db

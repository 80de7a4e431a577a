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

// Creates the tables of sessions, audit and remembered requests
// (db/security.sql) when missing; idempotent.
void ensureSecurityTables(soci::session& session);

// Creates the patients' nutritional needs table (db/needs.sql) when
// missing; idempotent.
void ensureNeedsTable(soci::session& session);

// Creates the Dietary Reference Intakes table (db/dri.sql) when missing and,
// while it holds no row, fills it from db/dri.tsv with the rows of the
// nutrients NUTRIENTE has in the same unit; idempotent, and rows a site has
// edited are kept.
void ensureReferenceIntakes(soci::session& session);

// On an empty database: the schema, then the demo data (operators DEMO and
// NUTRI1, patients, a recorded week) or, without it, the catalogue only (see
// isCatalogueTable). On a database with the schema: only what later versions
// added (helper functions, security, needs and reference intake tables). Answers whether it created the
// schema.
bool initializeDatabase(soci::session& session, bool withDemoData = true);

// Whether the database holds any operator (a database for real use needs an
// administrator before anyone can log in).
bool hasOperators(soci::session& session);

// Adds an administrator allowed on every branch, with the password stored as
// a PBKDF2 hash. Throws std::invalid_argument for an unusable code, name or
// password (see passwordProblem) and on a code already taken.
void createAdministrator(soci::session& session, const std::string& code, const std::string& name,
                         const std::string& password);

} // namespace db

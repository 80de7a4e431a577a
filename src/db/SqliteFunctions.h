#pragma once

namespace db {
// Registers NVL, NVLSTR and the table function PARAM on an SQLite connection
// (a sqlite3* passed untyped: SOCI's header wraps sqlite3.h in a namespace).
void registerSqliteFunctions(void* connection);
}

// Helper functions of the generic SQL dialect for SQLite. This file includes
// only <sqlite3.h>: SOCI's sqlite3 header wraps it in a namespace.
#include "db/SqliteFunctions.h"

#include <sqlite3.h>

#include <cstring>
#include <stdexcept>
#include <string>

namespace {

// NVL(a, b): b when a is null.
void nvl(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_value(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? argv[1] : argv[0]);
}

// NVLSTR(a, b): b when a is null or an empty text.
void nvlstr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const bool empty = sqlite3_value_type(argv[0]) == SQLITE_NULL ||
                       (sqlite3_value_type(argv[0]) == SQLITE_TEXT && sqlite3_value_bytes(argv[0]) == 0);
    sqlite3_result_value(ctx, empty ? argv[1] : argv[0]);
}

// PARAM(x): a table of one row whose column PARAM holds x (null included), so
// that "FROM T, PARAM(:P) P" lets a query name its parameter as P.PARAM.
struct ParamTable {
    sqlite3_vtab base;
};

struct ParamCursor {
    sqlite3_vtab_cursor base;
    sqlite3_value* value = nullptr;
    bool done = false;
};

int paramConnect(sqlite3* db, void*, int, const char* const*, sqlite3_vtab** out, char**) {
    const int rc = sqlite3_declare_vtab(db, "CREATE TABLE x(PARAM, ARG HIDDEN)");
    if (rc != SQLITE_OK) return rc;
    auto* t = static_cast<ParamTable*>(sqlite3_malloc(sizeof(ParamTable)));
    if (!t) return SQLITE_NOMEM;
    std::memset(t, 0, sizeof(ParamTable));
    *out = &t->base;
    return SQLITE_OK;
}

int paramDisconnect(sqlite3_vtab* vtab) {
    sqlite3_free(vtab);
    return SQLITE_OK;
}

int paramBestIndex(sqlite3_vtab*, sqlite3_index_info* info) {
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto& c = info->aConstraint[i];
        if (c.iColumn == 1 && c.op == SQLITE_INDEX_CONSTRAINT_EQ && c.usable) {
            info->aConstraintUsage[i].argvIndex = 1;
            // Omit, or SQLite re-checks ARG = NULL afterwards and drops the row.
            info->aConstraintUsage[i].omit = 1;
            info->idxNum = 1;
            info->estimatedCost = 1;
            info->estimatedRows = 1;
            return SQLITE_OK;
        }
    }
    info->idxNum = 0;
    info->estimatedCost = 1e9;
    return SQLITE_OK;
}

int paramOpen(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
    auto* c = new (std::nothrow) ParamCursor();
    if (!c) return SQLITE_NOMEM;
    *out = &c->base;
    return SQLITE_OK;
}

int paramClose(sqlite3_vtab_cursor* cur) {
    auto* c = reinterpret_cast<ParamCursor*>(cur);
    sqlite3_value_free(c->value);
    delete c;
    return SQLITE_OK;
}

int paramFilter(sqlite3_vtab_cursor* cur, int idxNum, const char*, int argc, sqlite3_value** argv) {
    auto* c = reinterpret_cast<ParamCursor*>(cur);
    sqlite3_value_free(c->value);
    c->value = (idxNum == 1 && argc >= 1) ? sqlite3_value_dup(argv[0]) : nullptr;
    c->done = false;
    return SQLITE_OK;
}

int paramNext(sqlite3_vtab_cursor* cur) {
    reinterpret_cast<ParamCursor*>(cur)->done = true;
    return SQLITE_OK;
}

int paramEof(sqlite3_vtab_cursor* cur) { return reinterpret_cast<ParamCursor*>(cur)->done ? 1 : 0; }

int paramColumn(sqlite3_vtab_cursor* cur, sqlite3_context* ctx, int col) {
    auto* c = reinterpret_cast<ParamCursor*>(cur);
    if (c->value)
        sqlite3_result_value(ctx, c->value);
    else
        sqlite3_result_null(ctx);
    (void)col;
    return SQLITE_OK;
}

int paramRowid(sqlite3_vtab_cursor*, sqlite3_int64* rowid) {
    *rowid = 1;
    return SQLITE_OK;
}

sqlite3_module makeParamModule() {
    sqlite3_module m;
    std::memset(&m, 0, sizeof m);
    m.xConnect = paramConnect;  // no xCreate: the table is eponymous-only
    m.xBestIndex = paramBestIndex;
    m.xDisconnect = paramDisconnect;
    m.xOpen = paramOpen;
    m.xClose = paramClose;
    m.xFilter = paramFilter;
    m.xNext = paramNext;
    m.xEof = paramEof;
    m.xColumn = paramColumn;
    m.xRowid = paramRowid;
    return m;
}

sqlite3_module paramModule = makeParamModule();

} // namespace

namespace db {

void registerSqliteFunctions(void* connection) {
    auto* conn = static_cast<sqlite3*>(connection);
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    if (sqlite3_create_function(conn, "NVL", 2, flags, nullptr, nvl, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_create_function(conn, "NVLSTR", 2, flags, nullptr, nvlstr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_create_module(conn, "PARAM", &paramModule, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string("Falha ao registrar funções no SQLite: ") + sqlite3_errmsg(conn));
}

} // namespace db

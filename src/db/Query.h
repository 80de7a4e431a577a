#pragma once
#include "db/Database.h"
#include "protocol/Packets.h"

#include <soci/soci.h>

#include <optional>
#include <string>
#include <vector>

namespace db {

// A named query parameter (":P_CDFILIAL" is named "P_CDFILIAL"); nullopt is SQL
// null. A number, when given, is bound as a double instead of the text.
struct Param {
    std::string name;
    std::optional<std::string> value;
    std::optional<double> number = std::nullopt;
};
using Params = std::vector<Param>;

// A parameter bound as a double (or null).
inline Param numberParam(std::string name, std::optional<double> value) {
    return {std::move(name), std::nullopt, value};
}

// Runs a query and returns its rows as a data packet with the given fields,
// each column found by its (upper-case) name and converted to the field's type.
// With no fields given, the packet takes the query's own columns.
protocol::DataPacket query(soci::session& session, const std::string& sql, const Params& params,
                           const std::vector<protocol::Field>& fields = {});

// The same packet as query() would answer, written as JSON text straight from
// the result rows and appended to out.
void queryJson(soci::session& session, const std::string& sql, const Params& params,
               const std::vector<protocol::Field>& fields, std::string& out);

// Runs a statement that returns no rows; answers the number of rows it touched.
long long execute(soci::session& session, const std::string& sql, const Params& params);

// Convenience for single values: the first column of the first row, or nullopt.
std::optional<std::string> scalarText(soci::session& session, const std::string& sql, const Params& params);
std::optional<double> scalarNumber(soci::session& session, const std::string& sql, const Params& params);

// One column of a soci::row as a wire value, converted to the field type.
protocol::Value columnValue(const soci::row& row, size_t index, protocol::FieldType type);

// Statement reuse. A session with a cache keeps every statement it runs
// prepared, keyed by its text and parameters, so a repeated query is only
// bound and executed (no parse, plan and deallocate each time). The session
// must be used by one thread at a time; the cache goes before the session.
// named = false keeps the statements on the client side only (PostgreSQL
// plans each run): what works through a transaction pooler (see DatabaseUrl).
void attachStatementCache(soci::session& session, bool named = true);
void detachStatementCache(soci::session& session);
size_t cachedStatementCount(soci::session& session);

// PostgreSQL plans a cached prepared statement once for any values after a
// few runs (a generic plan), and a date-range read over millions of items
// plans much worse without its values. While a scope lives, the statements
// this thread runs on PostgreSQL are sent with their values as one-off
// statements (unnamed, planned for those values, nothing kept on the
// server). Meant for the heavy reads; other engines are left as they are.
class CustomPlanScope {
public:
    explicit CustomPlanScope(Engine engine);
    ~CustomPlanScope();
    CustomPlanScope(const CustomPlanScope&) = delete;
    CustomPlanScope& operator=(const CustomPlanScope&) = delete;

private:
    bool active_;
};

// Sees every statement this layer runs, with its parameters (for the
// benchmark, which replays the server's own statements directly). Null
// switches it off; it must outlive its use.
struct StatementObserver {
    virtual ~StatementObserver() = default;
    virtual void ran(const std::string& sql, const Params& params, bool returnsRows) = 0;
};
void setStatementObserver(StatementObserver* observer);

} // namespace db

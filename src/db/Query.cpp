#include "db/Query.h"

#include "protocol/Dates.h"
#include "protocol/JsonText.h"

#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <unordered_map>

namespace db {

namespace {

using protocol::FieldType;
using protocol::Value;

// ---- prepared statements ----------------------------------------------------

// One prepared statement with the storage its parameters and row are bound
// to; the storage is sized before binding and never moves.
struct Prepared {
    explicit Prepared(soci::session& session) : statement(session) {}
    std::vector<std::string> texts;
    std::vector<double> numbers;
    std::vector<soci::indicator> indicators;
    soci::row row;
    soci::statement statement;
};

struct StatementCache {
    std::unordered_map<std::string, std::unique_ptr<Prepared>> statements;
    bool named = true;
};

// Caches by session. Sessions come from a pool and are used by one thread at a
// time, so only the registry itself needs the lock.
std::mutex registryMutex;
std::unordered_map<const soci::session*, std::unique_ptr<StatementCache>> registry;

StatementCache* cacheOf(soci::session& session) {
    std::lock_guard lock(registryMutex);
    auto it = registry.find(&session);
    return it == registry.end() ? nullptr : it->second.get();
}

// A generous bound: statement texts are fixed in the code, but a few are
// built from arguments (lists of codes) and must not grow the cache forever.
constexpr size_t MaxCachedStatements = 256;

std::string cacheKey(const std::string& sql, const Params& params, bool rows) {
    std::string key;
    key.reserve(sql.size() + params.size() * 16 + 2);
    key += rows ? 'Q' : 'X';
    key += sql;
    for (const auto& p : params) {
        key += p.number ? '\x1e' : '\x1f';
        key += p.name;
    }
    return key;
}

// Statements of the current thread run as one-off statements (CustomPlanScope).
thread_local int customPlanDepth = 0;

// Named: PostgreSQL parses and plans the statement once per connection
// (PQprepare, then PQexecPrepared). Unnamed: every run is parse, bind and
// execute in one round trip (PQexecParams), which a transaction pooler can
// send to any server connection; the client side is still kept and bound once.
std::unique_ptr<Prepared> prepare(soci::session& session, const std::string& sql, const Params& params, bool rows,
                                  bool named) {
    auto p = std::make_unique<Prepared>(session);
    const size_t n = params.size();
    p->texts.resize(n);
    p->numbers.resize(n);
    p->indicators.resize(n, soci::i_null);
    soci::statement& st = p->statement;
    st.alloc();
    for (size_t i = 0; i < n; ++i) {
        if (params[i].number)
            st.exchange(soci::use(p->numbers[i], p->indicators[i], params[i].name));
        else
            st.exchange(soci::use(p->texts[i], p->indicators[i], params[i].name));
    }
    if (rows) st.exchange(soci::into(p->row));
    st.prepare(sql, named ? soci::details::st_repeatable_query : soci::details::st_one_time_query);
    st.define_and_bind();
    return p;
}

void bindValues(Prepared& p, const Params& params) {
    for (size_t i = 0; i < params.size(); ++i) {
        const Param& param = params[i];
        if (param.number) {
            p.numbers[i] = *param.number;
            p.indicators[i] = soci::i_ok;
        } else if (param.value) {
            p.texts[i] = *param.value;
            p.indicators[i] = soci::i_ok;
        } else {
            p.texts[i].clear();
            p.indicators[i] = soci::i_null;
        }
    }
}

// Runs the statement with the parameters' values and hands it to `use`, which
// must fetch every row: SQLite keeps a statement that was not run to its end
// active, holding its read snapshot. A statement that failed is dropped
// rather than reused in an unknown state.
std::atomic<StatementObserver*> observer{nullptr};

template <typename Use>
auto run(soci::session& session, const std::string& sql, const Params& params, bool rows, Use&& use) {
    if (StatementObserver* o = observer.load(std::memory_order_relaxed)) o->ran(sql, params, rows);
    StatementCache* cache = customPlanDepth > 0 ? nullptr : cacheOf(session);
    if (!cache) {
        // Run once (or planned with its values): a named statement would cost a
        // prepare and a deallocate more.
        auto p = prepare(session, sql, params, rows, false);
        bindValues(*p, params);
        return use(*p);
    }
    const std::string key = cacheKey(sql, params, rows);
    auto it = cache->statements.find(key);
    if (it == cache->statements.end()) {
        if (cache->statements.size() >= MaxCachedStatements) cache->statements.clear();
        it = cache->statements.emplace(key, prepare(session, sql, params, rows, cache->named)).first;
    }
    Prepared& p = *it->second;
    bindValues(p, params);
    try {
        return use(p);
    } catch (...) {
        cache->statements.erase(key);
        throw;
    }
}

// ---- values -------------------------------------------------------------------

std::string dateText(const std::tm& t) {
    return protocol::Date{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday}.toString();
}

std::optional<double> parseNumber(const std::string& text) {
    double v = 0;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    while (begin < end && *begin == ' ') ++begin;
    auto [ptr, ec] = std::from_chars(begin, end, v);
    if (ec != std::errc() || ptr == begin) return std::nullopt;
    return v;
}

std::optional<std::string> dateOf(const std::string& s) {
    auto d = protocol::Date::parse(s.size() >= 10 ? s.substr(0, 10) : s);
    return d ? std::optional<std::string>(d->toString()) : std::nullopt;
}

std::string numberAsText(double v, bool integral) {
    if (integral) return std::to_string(static_cast<long long>(v));
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

Value fromString(const std::string& s, FieldType type) {
    switch (type) {
    case FieldType::String: return s;
    case FieldType::Date: {
        auto d = dateOf(s);
        return d ? Value(*d) : Value(nullptr);
    }
    case FieldType::Float: {
        auto v = parseNumber(s);
        return v ? Value(*v) : Value(nullptr);
    }
    case FieldType::Integer: {
        auto v = parseNumber(s);
        return v ? Value(static_cast<long long>(std::llround(*v))) : Value(nullptr);
    }
    }
    return s;
}

Value fromNumber(double v, bool integral, FieldType type) {
    switch (type) {
    case FieldType::Float: return v;
    case FieldType::Integer: return static_cast<long long>(std::llround(v));
    case FieldType::Date: return nullptr;
    case FieldType::String: return numberAsText(v, integral);
    }
    return v;
}

FieldType naturalType(soci::data_type t) {
    switch (t) {
    case soci::dt_date: return FieldType::Date;
    case soci::dt_double: return FieldType::Float;
    case soci::dt_integer:
    case soci::dt_long_long:
    case soci::dt_unsigned_long_long: return FieldType::Integer;
    default: return FieldType::String;
    }
}

// ---- the same conversions, written as JSON text ---------------------------------

namespace jt = protocol::jsontext;

void appendNumber(std::string& out, double v, FieldType type) {
    if (type == FieldType::Integer)
        jt::appendInteger(out, std::llround(v));
    else
        jt::appendFloat(out, v);
}

void appendFromString(std::string& out, const std::string& s, FieldType type) {
    switch (type) {
    case FieldType::String: jt::appendString(out, s); return;
    case FieldType::Date: {
        auto d = dateOf(s);
        if (d)
            jt::appendString(out, *d);
        else
            out += "null";
        return;
    }
    case FieldType::Float:
    case FieldType::Integer: {
        auto v = parseNumber(s);
        if (v)
            appendNumber(out, *v, type);
        else
            out += "null";
        return;
    }
    }
}

void appendFromNumber(std::string& out, double v, bool integral, FieldType type) {
    switch (type) {
    case FieldType::Float:
    case FieldType::Integer: appendNumber(out, v, type); return;
    case FieldType::Date: out += "null"; return;
    case FieldType::String: jt::appendString(out, numberAsText(v, integral)); return;
    }
}

void appendColumn(std::string& out, const soci::row& row, size_t index, FieldType type) {
    if (row.get_indicator(index) == soci::i_null) {
        out += "null";
        return;
    }
    switch (row.get_properties(index).get_data_type()) {
    case soci::dt_string:
    case soci::dt_xml:
    case soci::dt_blob: appendFromString(out, row.get<std::string>(index), type); return;
    case soci::dt_date:
        if (type == FieldType::Date || type == FieldType::String)
            jt::appendString(out, dateText(row.get<std::tm>(index)));
        else
            out += "null";
        return;
    case soci::dt_double: appendFromNumber(out, row.get<double>(index), false, type); return;
    case soci::dt_integer: appendFromNumber(out, row.get<int>(index), true, type); return;
    case soci::dt_long_long:
        appendFromNumber(out, static_cast<double>(row.get<long long>(index)), true, type);
        return;
    case soci::dt_unsigned_long_long:
        appendFromNumber(out, static_cast<double>(row.get<unsigned long long>(index)), true, type);
        return;
    }
    out += "null";
}

// The packet's fields (the query's own columns when none are given) and, for
// each field, the column that fills it (-1: none, always null).
std::vector<int> columnsOf(const soci::row& row, std::vector<protocol::Field>& fields) {
    std::vector<int> columnOf;
    if (fields.empty()) {
        for (size_t i = 0; i < row.size(); ++i) {
            fields.push_back({row.get_properties(i).get_name(), naturalType(row.get_properties(i).get_data_type()), 0});
            columnOf.push_back(static_cast<int>(i));
        }
        return columnOf;
    }
    for (const auto& f : fields) {
        int found = -1;
        for (size_t i = 0; i < row.size(); ++i)
            if (row.get_properties(i).get_name() == f.name) found = static_cast<int>(i);
        columnOf.push_back(found);
    }
    return columnOf;
}

} // namespace

Value columnValue(const soci::row& row, size_t index, FieldType type) {
    if (row.get_indicator(index) == soci::i_null) return nullptr;
    switch (row.get_properties(index).get_data_type()) {
    case soci::dt_string:
    case soci::dt_xml:
    case soci::dt_blob: return fromString(row.get<std::string>(index), type);
    case soci::dt_date: {
        const std::string d = dateText(row.get<std::tm>(index));
        return type == FieldType::Date || type == FieldType::String ? Value(d) : Value(nullptr);
    }
    case soci::dt_double: return fromNumber(row.get<double>(index), false, type);
    case soci::dt_integer: return fromNumber(row.get<int>(index), true, type);
    case soci::dt_long_long: return fromNumber(static_cast<double>(row.get<long long>(index)), true, type);
    case soci::dt_unsigned_long_long:
        return fromNumber(static_cast<double>(row.get<unsigned long long>(index)), true, type);
    }
    return nullptr;
}

protocol::DataPacket query(soci::session& session, const std::string& sql, const Params& params,
                           const std::vector<protocol::Field>& fields) {
    return run(session, sql, params, true, [&](Prepared& p) {
        protocol::DataPacket packet;
        packet.fields = fields;
        const bool any = p.statement.execute(true);
        const std::vector<int> columnOf = columnsOf(p.row, packet.fields);
        if (!any) return packet;
        do {
            protocol::Row out;
            out.reserve(packet.fields.size());
            for (size_t f = 0; f < packet.fields.size(); ++f)
                out.push_back(columnOf[f] < 0
                                  ? Value(nullptr)
                                  : columnValue(p.row, static_cast<size_t>(columnOf[f]), packet.fields[f].type));
            packet.rows.push_back(std::move(out));
        } while (p.statement.fetch());
        return packet;
    });
}

void queryJson(soci::session& session, const std::string& sql, const Params& params,
               const std::vector<protocol::Field>& fields, std::string& out) {
    run(session, sql, params, true, [&](Prepared& p) {
        std::vector<protocol::Field> packetFields = fields;
        const bool any = p.statement.execute(true);
        const std::vector<int> columnOf = columnsOf(p.row, packetFields);
        out += "{\"fields\":";
        protocol::appendFieldsJson(out, packetFields);
        out += ",\"rows\":[";
        if (any) {
            bool first = true;
            do {
                if (!first) out += ',';
                first = false;
                out += '[';
                for (size_t f = 0; f < packetFields.size(); ++f) {
                    if (f) out += ',';
                    if (columnOf[f] < 0)
                        out += "null";
                    else
                        appendColumn(out, p.row, static_cast<size_t>(columnOf[f]), packetFields[f].type);
                }
                out += ']';
            } while (p.statement.fetch());
        }
        out += "]}";
    });
}

long long execute(soci::session& session, const std::string& sql, const Params& params) {
    return run(session, sql, params, false, [&](Prepared& p) {
        p.statement.execute(true);
        return p.statement.get_affected_rows();
    });
}

std::optional<std::string> scalarText(soci::session& session, const std::string& sql, const Params& params) {
    auto p = query(session, sql, params);
    if (p.rows.empty() || p.rows[0].empty() || p.rows[0][0].is_null()) return std::nullopt;
    const Value& v = p.rows[0][0];
    if (v.is_string()) return v.get<std::string>();
    return numberAsText(v.get<double>(), v.is_number_integer());
}

std::optional<double> scalarNumber(soci::session& session, const std::string& sql, const Params& params) {
    auto p = query(session, sql, params);
    if (p.rows.empty() || p.rows[0].empty() || p.rows[0][0].is_null()) return std::nullopt;
    const Value& v = p.rows[0][0];
    if (v.is_number()) return v.get<double>();
    if (v.is_string()) return parseNumber(v.get<std::string>());
    return std::nullopt;
}

CustomPlanScope::CustomPlanScope(Engine engine) : active_(engine == Engine::PostgreSQL) {
    if (active_) ++customPlanDepth;
}

CustomPlanScope::~CustomPlanScope() {
    if (active_) --customPlanDepth;
}

void attachStatementCache(soci::session& session, bool named) {
    auto cache = std::make_unique<StatementCache>();
    cache->named = named;
    std::lock_guard lock(registryMutex);
    registry[&session] = std::move(cache);
}

void detachStatementCache(soci::session& session) {
    std::unique_ptr<StatementCache> cache;
    {
        std::lock_guard lock(registryMutex);
        auto it = registry.find(&session);
        if (it == registry.end()) return;
        cache = std::move(it->second);
        registry.erase(it);
    }
    // Statements are closed here, outside the lock, while the session is alive.
}

void setStatementObserver(StatementObserver* o) { observer.store(o); }

size_t cachedStatementCount(soci::session& session) {
    StatementCache* cache = cacheOf(session);
    return cache ? cache->statements.size() : 0;
}

} // namespace db

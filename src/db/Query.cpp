#include "db/Query.h"

#include "protocol/Dates.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <stdexcept>

namespace db {

namespace {

using protocol::FieldType;
using protocol::Value;

// Binds every parameter by name; the storage must outlive the statement.
struct Binder {
    std::vector<std::string> values;
    std::vector<soci::indicator> indicators;

    explicit Binder(const Params& params) {
        values.reserve(params.size());
        indicators.reserve(params.size());
        for (const auto& p : params) {
            values.push_back(p.value.value_or(std::string()));
            indicators.push_back(p.value ? soci::i_ok : soci::i_null);
        }
    }
    void bind(soci::statement& st, const Params& params) {
        for (size_t i = 0; i < params.size(); ++i)
            st.exchange(soci::use(values[i], indicators[i], params[i].name));
    }
};

std::string dateText(const std::tm& t) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    return buf;
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

Value fromString(const std::string& s, FieldType type) {
    switch (type) {
    case FieldType::String: return s;
    case FieldType::Date: {
        auto d = protocol::Date::parse(s.size() >= 10 ? s.substr(0, 10) : s);
        return d ? Value(d->toString()) : Value(nullptr);
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
    case FieldType::String: {
        if (integral) return std::to_string(static_cast<long long>(v));
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", v);
        return std::string(buf);
    }
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
    protocol::DataPacket packet;
    packet.fields = fields;
    Binder binder(params);
    soci::row row;
    soci::statement st(session);
    st.alloc();
    binder.bind(st, params);
    st.exchange(soci::into(row));
    st.prepare(sql);
    st.define_and_bind();
    const bool any = st.execute(true);
    if (!any) {
        if (fields.empty())
            for (size_t i = 0; i < row.size(); ++i)
                packet.fields.push_back({row.get_properties(i).get_name(),
                                         naturalType(row.get_properties(i).get_data_type()), 0});
        return packet;
    }
    std::vector<int> columnOf;
    if (fields.empty()) {
        for (size_t i = 0; i < row.size(); ++i) {
            packet.fields.push_back(
                {row.get_properties(i).get_name(), naturalType(row.get_properties(i).get_data_type()), 0});
            columnOf.push_back(static_cast<int>(i));
        }
    } else {
        for (const auto& f : fields) {
            int found = -1;
            for (size_t i = 0; i < row.size(); ++i)
                if (row.get_properties(i).get_name() == f.name) found = static_cast<int>(i);
            columnOf.push_back(found);
        }
    }
    do {
        protocol::Row out;
        out.reserve(packet.fields.size());
        for (size_t f = 0; f < packet.fields.size(); ++f)
            out.push_back(columnOf[f] < 0 ? Value(nullptr)
                                          : columnValue(row, static_cast<size_t>(columnOf[f]), packet.fields[f].type));
        packet.rows.push_back(std::move(out));
    } while (st.fetch());
    return packet;
}

long long execute(soci::session& session, const std::string& sql, const Params& params) {
    Binder binder(params);
    soci::statement st(session);
    st.alloc();
    binder.bind(st, params);
    st.prepare(sql);
    st.define_and_bind();
    st.execute(true);
    return st.get_affected_rows();
}

std::optional<std::string> scalarText(soci::session& session, const std::string& sql, const Params& params) {
    auto p = query(session, sql, params);
    if (p.rows.empty() || p.rows[0].empty() || p.rows[0][0].is_null()) return std::nullopt;
    const Value& v = p.rows[0][0];
    if (v.is_string()) return v.get<std::string>();
    return fromNumber(v.get<double>(), v.is_number_integer(), FieldType::String).get<std::string>();
}

std::optional<double> scalarNumber(soci::session& session, const std::string& sql, const Params& params) {
    auto p = query(session, sql, params);
    if (p.rows.empty() || p.rows[0].empty() || p.rows[0][0].is_null()) return std::nullopt;
    const Value& v = p.rows[0][0];
    if (v.is_number()) return v.get<double>();
    if (v.is_string()) return parseNumber(v.get<std::string>());
    return std::nullopt;
}

} // namespace db

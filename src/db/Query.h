#pragma once
#include "protocol/Packets.h"

#include <soci/soci.h>

#include <optional>
#include <string>
#include <vector>

namespace db {

// A named query parameter (":P_CDFILIAL" is named "P_CDFILIAL"); nullopt is SQL null.
struct Param {
    std::string name;
    std::optional<std::string> value;
};
using Params = std::vector<Param>;

// Runs a query and returns its rows as a data packet with the given fields,
// each column found by its (upper-case) name and converted to the field's type.
// With no fields given, the packet takes the query's own columns.
protocol::DataPacket query(soci::session& session, const std::string& sql, const Params& params,
                           const std::vector<protocol::Field>& fields = {});

// Runs a statement that returns no rows; answers the number of rows it touched.
long long execute(soci::session& session, const std::string& sql, const Params& params);

// Convenience for single values: the first column of the first row, or nullopt.
std::optional<std::string> scalarText(soci::session& session, const std::string& sql, const Params& params);
std::optional<double> scalarNumber(soci::session& session, const std::string& sql, const Params& params);

// One column of a soci::row as a wire value, converted to the field type.
protocol::Value columnValue(const soci::row& row, size_t index, protocol::FieldType type);

} // namespace db

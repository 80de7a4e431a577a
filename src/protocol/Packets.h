#pragma once
#include <nlohmann/json.hpp>

#include <stdexcept>
#include <string>
#include <vector>

namespace protocol {

using json = nlohmann::json;

// A malformed packet or envelope; the message is shown to the caller as it stands.
class ProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class FieldType { String, Date, Float, Integer };

const char* toString(FieldType type);
FieldType fieldTypeFromString(const std::string& text);  // throws ProtocolError

struct Field {
    std::string name;
    FieldType type = FieldType::String;
    int size = 0;  // characters, for strings; 0 = unbounded

    bool operator==(const Field&) const = default;
};

// A value is JSON null, a string (strings and "YYYY-MM-DD" dates) or a number.
using Value = json;
using Row = std::vector<Value>;

size_t utf8Length(const std::string& text);

// Checks one value against its field: type, size, date form. Throws ProtocolError.
void checkValue(const Field& field, const Value& value);

// The rows of one record type, as one whole reply.
struct DataPacket {
    std::vector<Field> fields;
    std::vector<Row> rows;

    int indexOf(const std::string& name) const;  // -1 when absent
    const Value& at(size_t row, const std::string& name) const;

    json toJson() const;
    // The same packet as JSON text, appended to out.
    void appendJson(std::string& out) const;
    static DataPacket fromJson(const json& j);  // validates; throws ProtocolError
};

enum class ChangeKind { Insert, Update, Delete };

struct Change {
    ChangeKind kind = ChangeKind::Insert;
    Row oldValues;  // update, delete
    Row newValues;  // insert, update
};

// The pending changes of one data set.
struct ChangePacket {
    std::vector<Field> fields;
    std::vector<Change> changes;

    int indexOf(const std::string& name) const;
    json toJson() const;
    static ChangePacket fromJson(const json& j);  // validates; throws ProtocolError
};

std::vector<Field> fieldsFromJson(const json& j);
json fieldsToJson(const std::vector<Field>& fields);
// The fields as JSON text (an array), appended to out.
void appendFieldsJson(std::string& out, const std::vector<Field>& fields);

} // namespace protocol

#include "protocol/Packets.h"

#include "protocol/Dates.h"
#include "protocol/JsonText.h"

namespace protocol {

const char* toString(FieldType type) {
    switch (type) {
    case FieldType::String: return "string";
    case FieldType::Date: return "date";
    case FieldType::Float: return "float";
    case FieldType::Integer: return "integer";
    }
    return "string";
}

FieldType fieldTypeFromString(const std::string& text) {
    if (text == "string") return FieldType::String;
    if (text == "date") return FieldType::Date;
    if (text == "float") return FieldType::Float;
    if (text == "integer") return FieldType::Integer;
    throw ProtocolError("Tipo de campo desconhecido: " + text);
}

size_t utf8Length(const std::string& text) {
    size_t n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

void checkValue(const Field& field, const Value& value) {
    if (value.is_null()) return;
    switch (field.type) {
    case FieldType::String:
        if (!value.is_string()) throw ProtocolError("Valor inválido no campo " + field.name + ".");
        if (field.size > 0 && utf8Length(value.get<std::string>()) > static_cast<size_t>(field.size))
            throw ProtocolError("Valor maior que o tamanho do campo " + field.name + ".");
        return;
    case FieldType::Date:
        if (!value.is_string() || !Date::parse(value.get<std::string>()))
            throw ProtocolError("Data inválida no campo " + field.name + ".");
        return;
    case FieldType::Float:
        if (!value.is_number()) throw ProtocolError("Número inválido no campo " + field.name + ".");
        return;
    case FieldType::Integer:
        if (!value.is_number_integer()) throw ProtocolError("Inteiro inválido no campo " + field.name + ".");
        return;
    }
}

json fieldsToJson(const std::vector<Field>& fields) {
    json out = json::array();
    for (const auto& f : fields) {
        json jf = {{"name", f.name}, {"type", toString(f.type)}};
        if (f.size > 0) jf["size"] = f.size;
        out.push_back(jf);
    }
    return out;
}

void appendFieldsJson(std::string& out, const std::vector<Field>& fields) {
    out += '[';
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) out += ',';
        out += "{\"name\":";
        jsontext::appendString(out, fields[i].name);
        if (fields[i].size > 0) {
            out += ",\"size\":";
            jsontext::appendInteger(out, fields[i].size);
        }
        out += ",\"type\":\"";
        out += toString(fields[i].type);
        out += "\"}";
    }
    out += ']';
}

std::vector<Field> fieldsFromJson(const json& j) {
    if (!j.is_array()) throw ProtocolError("Lista de campos inválida.");
    std::vector<Field> fields;
    for (const auto& jf : j) {
        if (!jf.is_object() || !jf.contains("name") || !jf["name"].is_string() || !jf.contains("type") ||
            !jf["type"].is_string())
            throw ProtocolError("Campo inválido no pacote.");
        Field f{jf["name"].get<std::string>(), fieldTypeFromString(jf["type"].get<std::string>()), 0};
        if (jf.contains("size")) {
            if (!jf["size"].is_number_integer() || jf["size"].get<int>() < 0)
                throw ProtocolError("Tamanho inválido no campo " + f.name + ".");
            f.size = jf["size"].get<int>();
        }
        fields.push_back(std::move(f));
    }
    return fields;
}

static int findField(const std::vector<Field>& fields, const std::string& name) {
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name == name) return static_cast<int>(i);
    return -1;
}

static Row rowFromJson(const std::vector<Field>& fields, const json& j) {
    if (!j.is_array() || j.size() != fields.size())
        throw ProtocolError("Linha do pacote com número de valores diferente do número de campos.");
    Row row;
    row.reserve(fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        checkValue(fields[i], j[i]);
        row.push_back(j[i]);
    }
    return row;
}

int DataPacket::indexOf(const std::string& name) const { return findField(fields, name); }

const Value& DataPacket::at(size_t row, const std::string& name) const {
    const int i = indexOf(name);
    if (i < 0) throw ProtocolError("Campo inexistente no pacote: " + name);
    return rows.at(row).at(static_cast<size_t>(i));
}

json DataPacket::toJson() const {
    json rowsJson = json::array();
    for (const auto& r : rows) rowsJson.push_back(json(r));
    return {{"fields", fieldsToJson(fields)}, {"rows", rowsJson}};
}

void DataPacket::appendJson(std::string& out) const {
    out += "{\"fields\":";
    appendFieldsJson(out, fields);
    out += ",\"rows\":[";
    for (size_t r = 0; r < rows.size(); ++r) {
        if (r) out += ',';
        out += '[';
        for (size_t c = 0; c < rows[r].size(); ++c) {
            if (c) out += ',';
            const Value& v = rows[r][c];
            if (v.is_string())
                jsontext::appendString(out, v.get_ref<const std::string&>());
            else if (v.is_number_float())
                jsontext::appendFloat(out, v.get<double>());
            else
                out += v.dump(-1, ' ', false, json::error_handler_t::replace);
        }
        out += ']';
    }
    out += "]}";
}

DataPacket DataPacket::fromJson(const json& j) {
    if (!j.is_object() || !j.contains("fields") || !j.contains("rows") || !j["rows"].is_array())
        throw ProtocolError("Pacote de dados inválido.");
    DataPacket p;
    p.fields = fieldsFromJson(j["fields"]);
    for (const auto& r : j["rows"]) p.rows.push_back(rowFromJson(p.fields, r));
    return p;
}

int ChangePacket::indexOf(const std::string& name) const { return findField(fields, name); }

json ChangePacket::toJson() const {
    json changesJson = json::array();
    for (const auto& c : changes) {
        json jc;
        switch (c.kind) {
        case ChangeKind::Insert: jc = {{"kind", "insert"}, {"new", json(c.newValues)}}; break;
        case ChangeKind::Update:
            jc = {{"kind", "update"}, {"old", json(c.oldValues)}, {"new", json(c.newValues)}};
            break;
        case ChangeKind::Delete: jc = {{"kind", "delete"}, {"old", json(c.oldValues)}}; break;
        }
        changesJson.push_back(jc);
    }
    return {{"fields", fieldsToJson(fields)}, {"changes", changesJson}};
}

ChangePacket ChangePacket::fromJson(const json& j) {
    if (!j.is_object() || !j.contains("fields") || !j.contains("changes") || !j["changes"].is_array())
        throw ProtocolError("Pacote de alterações inválido.");
    ChangePacket p;
    p.fields = fieldsFromJson(j["fields"]);
    for (const auto& jc : j["changes"]) {
        if (!jc.is_object() || !jc.contains("kind") || !jc["kind"].is_string())
            throw ProtocolError("Alteração inválida no pacote.");
        const std::string kind = jc["kind"].get<std::string>();
        Change c;
        if (kind == "insert") {
            c.kind = ChangeKind::Insert;
        } else if (kind == "update") {
            c.kind = ChangeKind::Update;
        } else if (kind == "delete") {
            c.kind = ChangeKind::Delete;
        } else {
            throw ProtocolError("Tipo de alteração desconhecido: " + kind);
        }
        if (c.kind != ChangeKind::Insert) {
            if (!jc.contains("old")) throw ProtocolError("Alteração sem valores originais.");
            c.oldValues = rowFromJson(p.fields, jc["old"]);
        }
        if (c.kind != ChangeKind::Delete) {
            if (!jc.contains("new")) throw ProtocolError("Alteração sem valores novos.");
            c.newValues = rowFromJson(p.fields, jc["new"]);
        }
        p.changes.push_back(std::move(c));
    }
    return p;
}

} // namespace protocol

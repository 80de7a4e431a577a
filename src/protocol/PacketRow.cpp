#include "protocol/PacketRow.h"

namespace protocol {

const Value* PacketRow::value(const char* field) const {
    const int i = packet_.indexOf(field);
    if (i < 0 || static_cast<size_t>(i) >= row_.size()) return nullptr;
    const Value& v = row_[static_cast<size_t>(i)];
    return v.is_null() ? nullptr : &v;
}

std::optional<std::string> PacketRow::text(const char* field, size_t maxLength) const {
    const Value* v = value(field);
    if (!v) return std::nullopt;
    if (!v->is_string()) throw ProtocolError(std::string("Valor inválido no campo ") + field + ".");
    std::string s = v->get<std::string>();
    if (utf8Length(s) > maxLength)
        throw ProtocolError(std::string("O campo ") + field + " excede " + std::to_string(maxLength) + " caracteres.");
    return s;
}

std::optional<Date> PacketRow::date(const char* field) const {
    const Value* v = value(field);
    if (!v) return std::nullopt;
    std::optional<Date> d = v->is_string() ? Date::parse(v->get<std::string>()) : std::nullopt;
    if (!d) throw ProtocolError(std::string("Data inválida no campo ") + field + ".");
    return d;
}

std::optional<double> PacketRow::number(const char* field) const {
    const Value* v = value(field);
    if (!v) return std::nullopt;
    if (!v->is_number()) throw ProtocolError(std::string("Número inválido no campo ") + field + ".");
    return v->get<double>();
}

} // namespace protocol

#include "server/Operation.h"

namespace server {

std::string Args::text(size_t i, size_t maxLength) const {
    const json& v = params_.at(i);
    if (v.is_null()) return {};
    if (!v.is_string()) throw ArgumentError("O argumento " + std::to_string(i + 1) + " deve ser um texto.");
    std::string s = v.get<std::string>();
    if (maxLength > 0 && protocol::utf8Length(s) > maxLength)
        throw ArgumentError("O argumento " + std::to_string(i + 1) + " excede " + std::to_string(maxLength) +
                            " caracteres.");
    return s;
}

protocol::Date Args::date(size_t i) const {
    const json& v = params_.at(i);
    if (!v.is_string()) throw ArgumentError("O argumento " + std::to_string(i + 1) + " deve ser uma data.");
    auto d = protocol::Date::parse(v.get<std::string>());
    if (!d) throw ArgumentError("O argumento " + std::to_string(i + 1) + " não é uma data válida.");
    return *d;
}

protocol::ChangePacket Args::changes(size_t i) const {
    try {
        return protocol::ChangePacket::fromJson(params_.at(i));
    } catch (const protocol::ProtocolError& e) {
        throw ArgumentError(e.what());
    }
}

} // namespace server

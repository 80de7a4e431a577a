#include "server/Operation.h"

#include <algorithm>

namespace server {

bool Caller::mayUse(const std::string& branch) const {
    return !branch.empty() && std::find(branches.begin(), branches.end(), branch) != branches.end();
}

std::string Args::text(size_t i, size_t maxLength) const {
    const json& v = params_.at(i);
    if (v.is_null()) return {};
    if (!v.is_string()) throw ArgumentError("O argumento " + std::to_string(i + 1) + " deve ser um texto.");
    std::string s = v.get<std::string>();
    if (maxLength == 0) maxLength = limits::TextArgument;
    if (protocol::utf8Length(s) > maxLength)
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
    const json& v = params_.at(i);
    // Bounded before it is read: a packet is an object with "fields" and "changes".
    if (v.is_object()) {
        if (auto c = v.find("changes"); c != v.end() && c->is_array() && c->size() > limits::ChangesPerPacket)
            throw LimitError("O pacote de alterações excede " + std::to_string(limits::ChangesPerPacket) + " linhas.");
        if (auto f = v.find("fields"); f != v.end() && f->is_array() && f->size() > limits::FieldsPerPacket)
            throw LimitError("O pacote de alterações excede " + std::to_string(limits::FieldsPerPacket) + " campos.");
    }
    try {
        return protocol::ChangePacket::fromJson(v);
    } catch (const protocol::ProtocolError& e) {
        throw ArgumentError(e.what());
    }
}

} // namespace server

#pragma once
// Shared by the tests of "Zep12600.rdmInquerito": the demo patient's survey
// week and builders for the change packets the survey screen sends.
#include "ServerFixture.h"
#include "db/Query.h"
#include "protocol/ItemRecord.h"

#include <string>
#include <vector>

namespace inqtest {

using protocol::json;

inline std::string op(const std::string& name) {
    return "Zep12600.rdmInquerito." + name;
}

// Patient 000000000001 of branch 0001 has one recorded week.
inline const std::string Filial = "0001";
inline const std::string Paciente = "000000000001";
inline const std::string Inicio = "2026-11-30";
inline const std::string Fim = "2026-12-06";

// One item as the client's data set holds it.
struct Item {
    std::string servico = "00002";
    std::string dia = "2026-11-30";
    std::string seq = "001";
    std::string tipo = "0";
    std::string codigo = "0102006";  // Pão, trigo, francês (product 000017)
    std::string medicase = "00015";  // Unidade, 50 g
    double porcoes = 1;
    double total = 50;
    std::string hora = "0930";
    std::string filAux;
    std::string filial = Filial;
    std::string paciente = Paciente;
    std::string inicio = Inicio;
};

// The fields of the item data set, in the client's order.
inline json itemFields() { return protocol::fieldsToJson(protocol::item::fields()); }

inline json itemRow(const Item& i) {
    auto orNull = [](const std::string& s) { return s.empty() ? json(nullptr) : json(s); };
    return json::array({i.paciente, i.codigo, nullptr, i.medicase, i.tipo, i.inicio, Fim, i.total, i.dia, i.porcoes,
                        i.filial, i.servico, orNull(i.filAux), i.seq, orNull(i.hora), nullptr, nullptr, nullptr,
                        nullptr});
}

inline json insertOf(const Item& i) {
    return {{"kind", "insert"}, {"new", itemRow(i)}};
}
inline json updateOf(const Item& before, const Item& after) {
    return {{"kind", "update"}, {"old", itemRow(before)}, {"new", itemRow(after)}};
}
inline json deleteOf(const Item& i) {
    return {{"kind", "delete"}, {"old", itemRow(i)}};
}
inline json itemPacket(const std::vector<json>& changes) {
    return {{"fields", itemFields()}, {"changes", changes}};
}

// The day context in the usual argument order: patient, branch, service,
// period start, period end, day.
inline json dayArgs(const std::string& servico, const std::string& dia) {
    return json::array({Paciente, Filial, servico, Inicio, Fim, dia});
}

inline long long countOf(soci::session& session, const std::string& sql) {
    return static_cast<long long>(db::scalarNumber(session, sql, {}).value_or(-1));
}

inline std::vector<std::string> fieldNames(const protocol::DataPacket& p) {
    std::vector<std::string> names;
    for (const auto& f : p.fields) names.push_back(f.name);
    return names;
}

// All values of one column.
inline std::vector<std::string> column(const protocol::DataPacket& p, const std::string& name) {
    std::vector<std::string> values;
    for (size_t r = 0; r < p.rows.size(); ++r) {
        const auto& v = p.at(r, name);
        values.push_back(v.is_string() ? v.get<std::string>() : v.dump());
    }
    return values;
}

}  // namespace inqtest

#pragma once
// One valid call of every operation on the demo data (branch 0001, patient
// 000000000001 and its recorded week), as the desktop sends them. The
// authorization tests send each one as an operator of the other branch; the
// fuzzing harness mutates them.
#include "InqueritoTestSupport.h"
#include "catalog/CatalogQueries.h"

#include <string>
#include <vector>

namespace validcalls {

using protocol::json;

struct ValidCall {
    std::string method;
    json params;
    bool write = false;
};

inline json periodFields() {
    return json::array({{{"name", "CDFILIAL"}, {"type", "string"}, {"size", 4}},
                        {{"name", "CDPACIENTE"}, {"type", "string"}, {"size", 12}},
                        {{"name", "DTINIINQU"}, {"type", "date"}},
                        {{"name", "DTFININQU"}, {"type", "date"}}});
}

inline json periodPacket(const std::string& kind, const std::string& paciente, const std::string& inicio,
                         const std::string& fim, const std::string& filial = "0001") {
    const json row = json::array({filial, paciente, inicio, fim});
    return {{"fields", periodFields()}, {"changes", json::array({{{"kind", kind}, {kind == "delete" ? "old" : "new", row}}})}};
}

inline std::vector<ValidCall> all() {
    using namespace inqtest;
    const std::string I = "Zep12600.rdmInquerito.", C = "Zep12610.rdmCalcular.";
    Item item;  // product 0102006, service 00002 of 2026-11-30
    item.dia = "2026-12-02";
    item.seq = "001";
    std::vector<ValidCall> calls = {
        {"Host.Sessao.Login", {"DEMO", "demo", "0001"}},
        {I + "GetPaciente", {Filial, Paciente}},
        {I + "GetInqPaci", {Filial, Paciente}},
        {I + "GetMax", {Paciente}},
        {I + "SetInqPaci", json::array({periodPacket("insert", "000000000003", "2027-01-10", "2027-01-12")}), true},
        {I + "SetInqPaci", json::array({periodPacket("delete", "000000000002", "2026-11-16", "2026-11-17")}), true},
        {I + "GetItemProd", dayArgs("00001", "2026-11-30")},
        {I + "GetItemPrato", dayArgs("00003", "2026-11-30")},
        {I + "SetItemPrato", json::array({itemPacket({insertOf(item)})}), true},
        {I + "GetSeqInquer", {Filial, Paciente, Inicio, Fim, "00001", "2026-11-30"}},
        {I + "GetHoraItem", dayArgs("00001", "2026-11-30")},
        {I + "SetHoraItem", {Paciente, Filial, "00002", Inicio, Fim, "2026-12-02", "0945"}, true},
        {I + "GetPesqPrato", {Paciente, Filial, "00003", Inicio, Fim, "2026-11-30", "01001", "P"}},
        {I + "GetPesqProd", {Paciente, Filial, "00001", Inicio, Fim, "2026-11-30", "000017"}},
        {I + "GetVerMedica", {Paciente, Filial, "2026-11-30", "0701005"}},
        {I + "GetVerMedicaPrato", {Paciente, "2026-12-01", "01001", "P", Filial}},
        {I + "GetNutrDia", {Paciente, Filial, "2026-11-30", "_010_014_"}},
        {I + "GetPratoRest", {Paciente, "P", Filial, "00003", Inicio, Fim, "2026-11-30"}},
        {I + "GetProdutoRest", {Paciente, Filial, Inicio, Fim, "2026-11-30"}},
        {I + "GetNecesNutr", {Paciente, Filial, Inicio}},
        {I + "SetNecesNutr", {Paciente, Filial, Inicio, 60, 160, "M", 1.2, 1.0, nullptr, 1.2, 50, 30, 30}, true},
        {I + "GetTotDia", {Paciente, Filial, Inicio, "2026-11-30", "T"}},
        {I + "GetAlimRecentes", {Paciente, Filial, "2026-11-30"}},
        {C + "GetParaDieto", json::array()},
        {C + "getNutriente", {"T", "T"}},
        {C + "GetServico", {"T", Filial}},
        {C + "GetParamGeral", json::array()},
        {C + "getMacro", {Paciente, Inicio, Fim, Filial, "T"}},
        {C + "GetDiasInq", {Paciente, Inicio, Fim, Filial, "T"}},
        {C + "GetMacroDia", {Paciente, Inicio, Fim, Filial, "T"}},
        {C + "GetCalc", {Paciente, Inicio, Fim, Filial, "", "T", "T"}},
        {C + "GetNutrCalc", {Paciente, Inicio, Fim, Filial, "T", "004"}},
        {"Zep12630.rdmCopiarInq.SetConfirmar",
         {Paciente, Inicio, Fim, "2026-11-30", Filial, "00001", "", "2026-12-03", "00001"},
         true},
        {"Zep12640.rdmPlaInqNutr.GetInquNutr", {Inicio, Fim, Paciente, Filial, "T", "", "T"}},
        {"Host.Pesquisa.Pesquisar_Serv", {catalog::qryPesqPaci, "P_CDFILIAL=0001"}},
        {"Host.Sessao.TrocarSenha", {"NUTRI1", "nutri1", "Outra senha 2026", "0002"}, true},
        {"Host.Operador.Listar", json::array()},
        {"Host.Operador.Incluir", {"NUTRI2", "Nutricionista Nova", "0001,0002", "N", "Primeira senha 2026"}, true},
        {"Host.Operador.Desativar", {"NUTRI1"}, true},
        {"Host.Operador.Ativar", {"NUTRI1"}, true},
        {"Host.Operador.RedefinirSenha", {"NUTRI1", "Senha redefinida 2026"}, true},
        {"Host.Operador.ConsultarAuditoria", {Paciente, "DEMO", "2026-01-01", "2099-12-31"}},
    };
    return calls;
}

}  // namespace validcalls

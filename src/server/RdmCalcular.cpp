// Server object "Zep12610.rdmCalcular": choices and results of the
// calculation screen.
//
// Rules:
// - Nutrient amounts follow NutrientTotals.h; the items counted are those of
//   the branch and patient dated within [start, end] (any period) at the
//   chosen services. A null date or a start after the end selects nothing:
//   getMacro, GetCalc and GetNutrCalc answer no row and GetDiasInq 0 (the
//   screen loads its tables before it checks the dates). A malformed date or
//   code list is an argument error; the service list "T" means every service.
// - GetParaDieto answers one row per branch, with its CDFILIAL; the
//   calculation screen uses the row of the survey's branch.
// - GetDiasInq (patient, start, end, branch, services&) counts the days of the
//   range that hold at least one recorded item of the chosen services, the
//   divisor of the screen's daily averages.
// - The seven nutrients named in PARAMGERAL (carbohydrate, protein, lipid,
//   alcohol, animal and vegetal protein, calories) are macronutrients: they are
//   left out of the nutrient choice (getNutriente) and of the micronutrient
//   totals (GetCalc).
// - getMacro answers carbohydrate, protein, lipid and alcohol in that order,
//   skipping a role PARAMGERAL leaves empty; QTCALOTOT is the total times
//   4, 4, 9 and 7 kcal/g.
// - GetCalc answers one row per selected nutrient in code order, 0 when none
//   was eaten; an empty group means every group.
// - GetNutrCalc answers one row for a registered nutrient and none for an
//   empty or unknown code (the client then counts 0).
// - By-reference lists come back unchanged.
//
// Branch of each operation (Authorization.h; checked before it runs):
// - GetParaDieto names none: it answers only the rows of the branches the
//   session's operator may use.
// - getNutriente, GetParamGeral: none; they read the nutrient catalogue,
//   shared by every branch.
// - GetServico: argument 2 (branch).
// - getMacro, GetCalc, GetNutrCalc: argument 4 (branch) and the patient of
//   argument 1, whose own branch must be allowed too.
#include "server/Dispatcher.h"
#include "server/NutrientTotals.h"

#include "db/Query.h"

#include <array>
#include <optional>
#include <set>

namespace server {

namespace {

using protocol::DataPacket;
using protocol::FieldType;

constexpr const char* Object = "Zep12610.rdmCalcular";

std::string textOf(const protocol::Value& v) { return v.is_string() ? v.get<std::string>() : std::string(); }

std::set<std::string> macronutrientCodes(soci::session& session) {
    std::set<std::string> codes;
    for (const auto& [column, code] : nutrientRoles(session))
        if (!code.empty()) codes.insert(code);
    return codes;
}

// Arguments patient, start, end, branch and the service list at `services`;
// nothing when a date is null or the start is after the end.
std::optional<IntakeScope> scopeOf(const Args& a, size_t services) {
    const std::string branch = a.text(3, 4);
    const std::string patient = a.text(0, 12);
    const std::string serviceList = a.text(services);
    codeListArgument(serviceList, 5, "serviços");
    if (a.raw(1).is_null() || a.raw(2).is_null()) return std::nullopt;
    const auto start = a.date(1);
    const auto end = a.date(2);
    if (start > end) return std::nullopt;
    return intakeScope(branch, patient, start, end, serviceList);
}

void getParaDieto(CallContext& c) {
    auto packet = db::query(c.session, "SELECT IDVCTCALCNUT, CDFILIAL FROM PARADIETO ORDER BY CDFILIAL", {},
                            {{"IDVCTCALCNUT", FieldType::String, 1}, {"CDFILIAL", FieldType::String, 4}});
    std::erase_if(packet.rows, [&](const protocol::Row& row) { return !c.caller.mayUse(textOf(row[1])); });
    c.reply(packet);
}

// (group, " ") lists the group's nutrients; (anything, "T") lists all.
void getNutriente(CallContext& c) {
    const std::string group = c.args.text(0, 2);
    const std::string all = c.args.text(1, 1);
    if (all != "T" && all != " " && !all.empty())
        throw ArgumentError("O segundo argumento deve ser \"T\" ou um espaço.");
    if (all != "T" && group.empty()) throw ArgumentError("Grupo de nutriente deve ser informado.");
    const auto excluded = macronutrientCodes(c.session);
    DataPacket out;
    out.fields = {{"IDMARCADO", FieldType::String, 1},
                  {"CDNUTRIENTE", FieldType::String, 3},
                  {"NMNUTRIENTE", FieldType::String, 20}};
    for (const auto& n : nutrientCatalogue(c.session))
        if ((all == "T" || n.group == group) && !excluded.count(n.code))
            out.rows.push_back({nullptr, n.code, n.name});
    c.reply(out);
    c.result.byref[0] = group;
    c.result.byref[1] = all;
}

void getServico(CallContext& c) {
    const std::string service = c.args.text(0, 5);
    const std::string branch = c.args.text(1, 4);
    const std::vector<protocol::Field> fields = {{"IDMARCADO", FieldType::String, 1},
                                                 {"CDSERVFILI", FieldType::String, 5},
                                                 {"NMSERVICO", FieldType::String, 40}};
    if (service == "T")
        c.reply(db::query(c.session,
                          "SELECT CDSERVFILI, NMSERVICO FROM SERVICO WHERE CDFILIAL = :P_CDFILIAL ORDER BY CDSERVFILI",
                          {{"P_CDFILIAL", branch}}, fields));
    else
        c.reply(db::query(c.session,
                          "SELECT CDSERVFILI, NMSERVICO FROM SERVICO WHERE CDFILIAL = :P_CDFILIAL AND "
                          "CDSERVFILI = :P_CDSERVFILI ORDER BY CDSERVFILI",
                          {{"P_CDFILIAL", branch}, {"P_CDSERVFILI", service}}, fields));
}

void getParamGeral(CallContext& c) {
    const auto roles = nutrientRoles(c.session);
    DataPacket out;
    protocol::Row row;
    for (const char* column : {"CDCARBOHIDRA", "CDPROTEINA", "CDLIPIDIOS", "CDALCOOL"}) {
        out.fields.push_back({column, FieldType::String, 3});
        const std::string& code = roles.at(column);
        row.push_back(code.empty() ? protocol::Value(nullptr) : protocol::Value(code));
    }
    out.rows.push_back(std::move(row));
    c.reply(out);
}

void getMacro(CallContext& c) {
    const auto scope = scopeOf(c.args, 4);
    c.result.byref[4] = c.args.text(4);
    DataPacket out;
    out.fields = {{"QTCALOTOT", FieldType::Float, 0},
                  {"SGUNIDADE", FieldType::String, 10},
                  {"CDNUTRIENTE", FieldType::String, 3},
                  {"NUTRIENTE", FieldType::String, 28},
                  {"TOTAL", FieldType::Float, 0}};
    if (!scope) return c.reply(out);
    const auto macros = macronutrients(c.session);
    const auto totals = nutrientTotals(c.session, *scope, codesOf(macros));
    for (const auto& m : macros) {
        const double total = totalOf(totals, m.nutrient.code);
        out.rows.push_back({m.kcal(total), m.nutrient.unit, m.nutrient.code, m.nutrient.name, total});
    }
    c.reply(out);
}

void getCalc(CallContext& c) {
    const auto scope = scopeOf(c.args, 6);
    const std::string group = c.args.text(4, 2);
    const auto nutrients = codeListArgument(c.args.text(5), 3, "nutrientes");
    c.result.byref[5] = c.args.text(5);
    c.result.byref[6] = c.args.text(6);
    DataPacket out;
    out.fields = {{"SGUNIDADE", FieldType::String, 10},
                  {"NUTRIENTE", FieldType::String, 28},
                  {"TOTAL", FieldType::Float, 0},
                  {"CDNUTRIENTE", FieldType::String, 3}};
    if (!scope) return c.reply(out);
    const auto excluded = macronutrientCodes(c.session);
    std::vector<Nutrient> chosen;
    for (auto& n : nutrientCatalogue(c.session))
        if ((group.empty() || n.group == group) && nutrients.contains(n.code) && !excluded.count(n.code))
            chosen.push_back(std::move(n));
    std::set<std::string> codes;
    for (const auto& n : chosen) codes.insert(n.code);
    const auto totals = nutrientTotals(c.session, *scope, codes);

    for (const auto& n : chosen) {
        const auto t = totals.find(n.code);
        out.rows.push_back({n.unit, n.name, t == totals.end() ? 0.0 : t->second, n.code});
    }
    c.reply(out);
}

void getNutrCalc(CallContext& c) {
    const auto scope = scopeOf(c.args, 4);
    const std::string code = c.args.text(5, 3);
    c.result.byref[4] = c.args.text(4);
    DataPacket out;
    out.fields = {{"VRNUTRI", FieldType::Float, 0}};
    if (!scope) return c.reply(out);
    const bool known =
        !code.empty() && db::scalarText(c.session, "SELECT CDNUTRIENTE FROM NUTRIENTE WHERE CDNUTRIENTE = :P_CDNUTRIENTE",
                                        {{"P_CDNUTRIENTE", code}});
    if (known) {
        const auto totals = nutrientTotals(c.session, *scope, {code});
        const auto t = totals.find(code);
        out.rows.push_back({t == totals.end() ? 0.0 : t->second});
    }
    c.reply(out);
}

void getDiasInq(CallContext& c) {
    const auto scope = scopeOf(c.args, 4);
    c.result.byref[4] = c.args.text(4);
    DataPacket out;
    out.fields = {{"NRDIAS", FieldType::Integer, 0}};
    std::set<std::string> days;
    if (scope) {
        const auto items = db::query(c.session,
                                     "SELECT DISTINCT DTINQUERITO, CDSERVFILI FROM ITINQUERPACI WHERE CDFILIAL = "
                                     ":P_CDFILIAL AND CDPACIENTE = :P_CDPACIENTE AND DTINQUERITO >= :P_DTINI AND "
                                     "DTINQUERITO <= :P_DTFIM",
                                     {{"P_CDFILIAL", scope->branch},
                                      {"P_CDPACIENTE", scope->patient},
                                      {"P_DTINI", scope->start.toString()},
                                      {"P_DTFIM", scope->end.toString()}},
                                     {{"DTINQUERITO", FieldType::Date, 0}, {"CDSERVFILI", FieldType::String, 5}});
        for (const auto& row : items.rows)
            if (scope->services.contains(textOf(row[1]))) days.insert(textOf(row[0]));
    }
    out.rows.push_back({static_cast<int>(days.size())});
    c.reply(out);
}

} // namespace

void registerRdmCalcular(Dispatcher& d) {
    d.add(Object, "GetParaDieto", 0, getParaDieto, BranchRule::inHandler());
    d.add(Object, "getNutriente", 2, getNutriente, BranchRule::catalogue());
    d.add(Object, "GetServico", 2, getServico, BranchRule::argument(1));
    d.add(Object, "GetParamGeral", 0, getParamGeral, BranchRule::catalogue());
    d.add(Object, "getMacro", 5, getMacro, BranchRule::argumentAndPatient(3, 0));
    d.add(Object, "GetCalc", 7, getCalc, BranchRule::argumentAndPatient(3, 0));
    d.add(Object, "GetNutrCalc", 6, getNutrCalc, BranchRule::argumentAndPatient(3, 0));
    d.add(Object, "GetDiasInq", 5, getDiasInq, BranchRule::argumentAndPatient(3, 0));
}

} // namespace server

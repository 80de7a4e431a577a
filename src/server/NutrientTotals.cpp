#include "server/NutrientTotals.h"

#include "db/Query.h"
#include "server/Operation.h"

#include <array>

namespace server {

namespace {

using protocol::Field;
using protocol::FieldType;

std::string textAt(const protocol::Value& v) { return v.is_string() ? v.get<std::string>() : std::string(); }
double numberAt(const protocol::Value& v) { return v.is_number() ? v.get<double>() : 0.0; }

const std::array<const char*, 7> RoleColumns = {"CDCARBOHIDRA", "CDPROTEINA",   "CDLIPIDIOS", "CDALCOOL",
                                                "CDPROTANIMAL", "CDPROTVEGETA", "CDCALORIAS"};

// Totals of VW_ITEMNUTR over a scope, per nutrient or per service and nutrient.
// Totals per nutrient, and per value of `group` (a column of the view) when given.
std::string totalsSql(const std::string& group = {}) {
    const std::string select = group.empty() ? "" : "V." + group + " AS " + group + ", ";
    const std::string groupBy = group.empty() ? "" : "V." + group + ", ";
    return "SELECT " + select + "V.CDNUTRIENTE AS CDNUTRIENTE, SUM(V.QTNUTRITEM) AS TOTAL FROM VW_ITEMNUTR V WHERE " +
           scopeCondition("V") + " AND " + inCodeList("V.CDNUTRIENTE", "NUTR") + " GROUP BY " + groupBy +
           "V.CDNUTRIENTE";
}

db::Params totalsParams(const IntakeScope& scope, const NutrientCodes& nutrients) {
    db::Params params = scopeParams(scope);
    addCodeListParams(params, "NUTR", {false, {nutrients.begin(), nutrients.end()}});
    return params;
}

} // namespace

std::string inCodeList(const std::string& column, const std::string& name) {
    return "(:P_T" + name + " = 'T' OR INSTR(:P_" + name + ", '_' || " + column + " || '_') > 0)";
}

void addCodeListParams(db::Params& params, const std::string& name, const protocol::CodeList& list) {
    params.push_back({"P_T" + name, list.all ? "T" : "N"});
    params.push_back({"P_" + name, list.all ? "_" : protocol::CodeList::format(list.codes)});
}

db::Params scopeParams(const IntakeScope& scope) {
    db::Params params = {{"P_CDFILIAL", scope.branch},
                         {"P_CDPACIENTE", scope.patient},
                         {"P_DTINI", scope.start.toString()},
                         {"P_DTFIM", scope.end.toString()}};
    addCodeListParams(params, "SERV", scope.services);
    return params;
}

// The date range uses the day index of ITINQUERPACI.
std::string scopeCondition(const std::string& alias) {
    const std::string& a = alias;
    return a + ".CDFILIAL = :P_CDFILIAL AND " + a + ".CDPACIENTE = :P_CDPACIENTE AND " + a +
           ".DTINQUERITO >= :P_DTINI AND " + a + ".DTINQUERITO <= :P_DTFIM AND " + inCodeList(a + ".CDSERVFILI", "SERV");
}

protocol::CodeList codeListArgument(const std::string& text, size_t maxCodeLength, const std::string& what) {
    auto list = protocol::CodeList::parse(text, maxCodeLength);
    if (!list) throw ArgumentError("Lista de " + what + " inválida: \"" + text + "\".");
    return *list;
}

IntakeScope intakeScope(std::string branch, std::string patient, protocol::Date start, protocol::Date end,
                        const std::string& serviceList) {
    if (start > end) throw OperationError("Data inicial deve ser menor ou igual a data final.");
    return {std::move(branch), std::move(patient), start, end, codeListArgument(serviceList, 5, "serviços")};
}

std::vector<Nutrient> nutrientCatalogue(soci::session& session) {
    const auto p = db::query(session, "SELECT CDNUTRIENTE, NMNUTRIENTE, CDGRUPNUTR, SGUNIDADE FROM NUTRIENTE ORDER BY CDNUTRIENTE",
                             {},
                             {{"CDNUTRIENTE", FieldType::String, 3},
                              {"NMNUTRIENTE", FieldType::String, 20},
                              {"CDGRUPNUTR", FieldType::String, 2},
                              {"SGUNIDADE", FieldType::String, 10}});
    std::vector<Nutrient> out;
    out.reserve(p.rows.size());
    for (const auto& row : p.rows)
        out.push_back({textAt(row[0]), textAt(row[1]), textAt(row[2]), textAt(row[3])});
    return out;
}

std::map<std::string, double> nutrientTotals(soci::session& session, const IntakeScope& scope,
                                             const NutrientCodes& nutrients) {
    std::map<std::string, double> totals;
    if (nutrients.empty()) return totals;
    static const std::string sql = totalsSql();
    const db::Params params = totalsParams(scope, nutrients);
    // Kept prepared: planning the nutrient view costs more here than a plan
    // made for these values saves (measured side by side, scripts/bench.sh).
    const auto packet =
        db::query(session, sql, params, {{"CDNUTRIENTE", FieldType::String, 3}, {"TOTAL", FieldType::Float, 0}});
    for (const auto& row : packet.rows) totals[textAt(row[0])] += numberAt(row[1]);
    return totals;
}

std::map<std::string, std::map<std::string, double>> nutrientTotalsByService(soci::session& session,
                                                                             const IntakeScope& scope,
                                                                             const NutrientCodes& nutrients) {
    std::map<std::string, std::map<std::string, double>> totals;
    if (nutrients.empty()) return totals;
    static const std::string sql = totalsSql("CDSERVFILI");
    const auto packet = db::query(session, sql, totalsParams(scope, nutrients),
                                  {{"CDSERVFILI", FieldType::String, 5},
                                   {"CDNUTRIENTE", FieldType::String, 3},
                                   {"TOTAL", FieldType::Float, 0}});
    for (const auto& row : packet.rows) totals[textAt(row[0])][textAt(row[1])] += numberAt(row[2]);
    return totals;
}

std::map<std::string, std::string> nutrientRoles(soci::session& session) {
    std::vector<protocol::Field> fields;
    for (const char* c : RoleColumns) fields.push_back({c, FieldType::String, 3});
    const auto p = db::query(session,
                             "SELECT CDCARBOHIDRA, CDPROTEINA, CDLIPIDIOS, CDALCOOL, CDPROTANIMAL, CDPROTVEGETA, "
                             "CDCALORIAS FROM PARAMGERAL",
                             {}, fields);
    std::map<std::string, std::string> roles;
    for (size_t i = 0; i < RoleColumns.size(); ++i) roles[RoleColumns[i]] = p.rows.empty() ? "" : textAt(p.rows[0][i]);
    return roles;
}

std::vector<Macronutrient> macronutrients(soci::session& session) {
    static const std::array<std::pair<const char*, double>, 4> energy = {
        {{"CDCARBOHIDRA", 4}, {"CDPROTEINA", 4}, {"CDLIPIDIOS", 9}, {"CDALCOOL", 7}}};
    const auto roles = nutrientRoles(session);
    std::map<std::string, Nutrient> byCode;
    for (auto& n : nutrientCatalogue(session)) byCode[n.code] = n;
    std::vector<Macronutrient> out;
    for (const auto& [role, kcalPerGram] : energy) {
        const auto n = byCode.find(roles.at(role));
        if (n != byCode.end()) out.push_back({role, kcalPerGram, n->second});
    }
    return out;
}

NutrientCodes codesOf(const std::vector<Macronutrient>& macros) {
    NutrientCodes codes;
    for (const auto& m : macros) codes.insert(m.nutrient.code);
    return codes;
}

double totalOf(const std::map<std::string, double>& totals, const std::string& code) {
    const auto t = totals.find(code);
    return t == totals.end() ? 0.0 : t->second;
}

double energyOf(const std::vector<Macronutrient>& macros, const std::map<std::string, double>& totals) {
    double kcal = 0;
    for (const auto& m : macros) kcal += m.kcal(totalOf(totals, m.nutrient.code));
    return kcal;
}

std::map<std::string, std::string> recordedDays(soci::session& session, const IntakeScope& scope) {
    static const std::string sql = "SELECT I.DTINQUERITO AS DTINQUERITO, MIN(I.DTINIINQU) AS DTINIINQU "
                                   "FROM ITINQUERPACI I WHERE " +
                                   scopeCondition("I") + " GROUP BY I.DTINQUERITO";
    const auto packet = db::query(session, sql, scopeParams(scope),
                                  {{"DTINQUERITO", FieldType::Date, 0}, {"DTINIINQU", FieldType::Date, 0}});
    std::map<std::string, std::string> days;
    for (const auto& row : packet.rows) days[textAt(row[0]).substr(0, 10)] = textAt(row[1]).substr(0, 10);
    return days;
}

std::map<std::string, std::map<std::string, double>> nutrientTotalsByDay(soci::session& session,
                                                                          const IntakeScope& scope,
                                                                          const NutrientCodes& nutrients) {
    std::map<std::string, std::map<std::string, double>> totals;
    if (nutrients.empty()) return totals;
    static const std::string sql = totalsSql("DTINQUERITO");
    const db::Params params = totalsParams(scope, nutrients);
    const auto packet = db::query(session, sql, params,
                                  {{"DTINQUERITO", FieldType::Date, 0},
                                   {"CDNUTRIENTE", FieldType::String, 3},
                                   {"TOTAL", FieldType::Float, 0}});
    for (const auto& row : packet.rows) totals[textAt(row[0]).substr(0, 10)][textAt(row[1])] += numberAt(row[2]);
    return totals;
}

} // namespace server

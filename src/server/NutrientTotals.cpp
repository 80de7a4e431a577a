#include "server/NutrientTotals.h"

#include "db/Query.h"
#include "server/Operation.h"

#include <tuple>

namespace server {

namespace {

using protocol::Field;
using protocol::FieldType;

// The item rows of the scope; the date range uses the day index of ITINQUERPACI.
constexpr const char* ItemScope = R"(
  I.CDFILIAL = :P_CDFILIAL AND I.CDPACIENTE = :P_CDPACIENTE AND
  I.DTINQUERITO >= :P_DTINI AND I.DTINQUERITO <= :P_DTFIM)";

// A dish's yield; without one, the raw weight of its recipe.
constexpr const char* DishYield =
    "COALESCE(P.QTRENDPRATO, (SELECT SUM(X.QTPRODPRATO) FROM PRATOPROD X WHERE X.CDPRATO = P.CDPRATO))";

// Dish items joined to their recipes' compositions, within the scope.
const std::string DishJoins = std::string(R"(
FROM ITINQUERPACI I
JOIN PRATO P ON P.CDPRATO = I.CDPRATO
JOIN PRATOPROD R ON R.CDPRATO = I.CDPRATO
JOIN PRODNUTR N ON N.CDPRODUTO = R.CDPRODUTO
WHERE I.IDTIPOINQUER = '1' AND)") + ItemScope;

db::Params scopeParams(const IntakeScope& scope) {
    return {{"P_CDFILIAL", scope.branch},
            {"P_CDPACIENTE", scope.patient},
            {"P_DTINI", scope.start.toString()},
            {"P_DTFIM", scope.end.toString()}};
}

std::string textAt(const protocol::Value& v) { return v.is_string() ? v.get<std::string>() : std::string(); }
double numberAt(const protocol::Value& v) { return v.is_number() ? v.get<double>() : 0.0; }

// Both kinds of item summed by service and nutrient. Products and dishes are
// separate statements: a named parameter is bound once per statement.
std::vector<protocol::DataPacket> totalsByServiceAndNutrient(soci::session& session, const IntakeScope& scope) {
    const std::vector<Field> fields = {
        {"CDSERVFILI", FieldType::String, 5}, {"CDNUTRIENTE", FieldType::String, 3}, {"TOTAL", FieldType::Float, 0}};
    const std::string products = std::string(R"(
SELECT I.CDSERVFILI, N.CDNUTRIENTE, SUM(I.QTALIMINQUER * N.QTNUTRPROD) / 100 AS TOTAL
FROM ITINQUERPACI I
JOIN PRODNUTR N ON N.CDPRODUTO = I.CDPRODUTO
WHERE I.IDTIPOINQUER = '0' AND)") + ItemScope + R"(
GROUP BY I.CDSERVFILI, N.CDNUTRIENTE)";
    const std::string dishes = std::string(R"(
SELECT I.CDSERVFILI, N.CDNUTRIENTE,
       SUM(I.QTALIMINQUER * R.QTPRODPRATO * N.QTNUTRPROD / )") + DishYield + ") / 100 AS TOTAL" + DishJoins + R"(
GROUP BY I.CDSERVFILI, N.CDNUTRIENTE)";
    const auto params = scopeParams(scope);
    return {db::query(session, products, params, fields), db::query(session, dishes, params, fields)};
}

using ItemKey = std::tuple<std::string, std::string, std::string, std::string>;  // period, day, service, sequence

ItemKey keyOf(const protocol::DataPacket& p, size_t row) {
    return {textAt(p.at(row, "DTINIINQU")), textAt(p.at(row, "DTINQUERITO")), textAt(p.at(row, "CDSERVFILI")),
            textAt(p.at(row, "NRSEQUINQUER"))};
}

} // namespace

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
                                             const NutrientFilter& selected) {
    std::map<std::string, double> totals;
    for (const auto& packet : totalsByServiceAndNutrient(session, scope))
        for (size_t r = 0; r < packet.rows.size(); ++r) {
            const std::string nutrient = textAt(packet.at(r, "CDNUTRIENTE"));
            if (!scope.services.contains(textAt(packet.at(r, "CDSERVFILI"))) || !selected(nutrient)) continue;
            totals[nutrient] += numberAt(packet.at(r, "TOTAL"));
        }
    return totals;
}

std::vector<ItemIntake> itemIntakes(soci::session& session, const IntakeScope& scope, const NutrientFilter& selected) {
    const auto params = scopeParams(scope);
    const auto items = db::query(session, std::string(R"(
SELECT I.DTINIINQU, I.DTINQUERITO, I.CDSERVFILI, S.NMSERVICO, I.NRSEQUINQUER,
       COALESCE(I.CDPRODUTO, I.CDPRATO) AS CDITEM, COALESCE(PR.NMPRODUTO, PT.NMPRATO) AS NMITEM,
       M.NMMEDICASE, I.QTALIMMEDCAS, I.QTALIMINQUER
FROM ITINQUERPACI I
JOIN SERVICO S ON S.CDFILIAL = I.CDFILIAL AND S.CDSERVFILI = I.CDSERVFILI
LEFT JOIN PRODUTO PR ON PR.CDPRODUTO = I.CDPRODUTO
LEFT JOIN PRATO PT ON PT.CDPRATO = I.CDPRATO
LEFT JOIN MEDICASE M ON M.CDMEDICASE = I.CDMEDICASE
WHERE)") + ItemScope + R"(
ORDER BY I.DTINQUERITO, I.CDSERVFILI, I.NRSEQUINQUER, I.DTINIINQU)",
                                 params,
                                 {{"DTINIINQU", FieldType::Date, 0},
                                  {"DTINQUERITO", FieldType::Date, 0},
                                  {"CDSERVFILI", FieldType::String, 5},
                                  {"NMSERVICO", FieldType::String, 40},
                                  {"NRSEQUINQUER", FieldType::String, 3},
                                  {"CDITEM", FieldType::String, 10},
                                  {"NMITEM", FieldType::String, 50},
                                  {"NMMEDICASE", FieldType::String, 40},
                                  {"QTALIMMEDCAS", FieldType::Float, 0},
                                  {"QTALIMINQUER", FieldType::Float, 0}});

    std::vector<ItemIntake> out;
    std::map<ItemKey, size_t> index;
    for (size_t r = 0; r < items.rows.size(); ++r) {
        if (!scope.services.contains(textAt(items.at(r, "CDSERVFILI")))) continue;
        ItemIntake item;
        item.date = textAt(items.at(r, "DTINQUERITO"));
        item.serviceCode = textAt(items.at(r, "CDSERVFILI"));
        item.serviceName = textAt(items.at(r, "NMSERVICO"));
        item.sequence = textAt(items.at(r, "NRSEQUINQUER"));
        item.itemCode = textAt(items.at(r, "CDITEM"));
        item.itemName = textAt(items.at(r, "NMITEM"));
        item.measureName = textAt(items.at(r, "NMMEDICASE"));
        item.portions = numberAt(items.at(r, "QTALIMMEDCAS"));
        item.grams = numberAt(items.at(r, "QTALIMINQUER"));
        index[keyOf(items, r)] = out.size();
        out.push_back(std::move(item));
    }
    if (out.empty()) return out;

    const std::vector<Field> amountFields = {{"DTINIINQU", FieldType::Date, 0},
                                             {"DTINQUERITO", FieldType::Date, 0},
                                             {"CDSERVFILI", FieldType::String, 5},
                                             {"NRSEQUINQUER", FieldType::String, 3},
                                             {"CDNUTRIENTE", FieldType::String, 3},
                                             {"TOTAL", FieldType::Float, 0}};
    const std::string products = std::string(R"(
SELECT I.DTINIINQU, I.DTINQUERITO, I.CDSERVFILI, I.NRSEQUINQUER, N.CDNUTRIENTE,
       I.QTALIMINQUER * N.QTNUTRPROD / 100 AS TOTAL
FROM ITINQUERPACI I
JOIN PRODNUTR N ON N.CDPRODUTO = I.CDPRODUTO
WHERE I.IDTIPOINQUER = '0' AND)") + ItemScope;
    const std::string dishes = std::string(R"(
SELECT I.DTINIINQU, I.DTINQUERITO, I.CDSERVFILI, I.NRSEQUINQUER, N.CDNUTRIENTE,
       SUM(I.QTALIMINQUER * R.QTPRODPRATO * N.QTNUTRPROD / )") + DishYield + ") / 100 AS TOTAL" + DishJoins + R"(
GROUP BY I.DTINIINQU, I.DTINQUERITO, I.CDSERVFILI, I.NRSEQUINQUER, N.CDNUTRIENTE)";
    for (const auto& sql : {products, dishes}) {
        const auto amounts = db::query(session, sql, params, amountFields);
        for (size_t r = 0; r < amounts.rows.size(); ++r) {
            const auto it = index.find(keyOf(amounts, r));
            const std::string nutrient = textAt(amounts.at(r, "CDNUTRIENTE"));
            if (it == index.end() || !selected(nutrient)) continue;
            out[it->second].amounts[nutrient] += numberAt(amounts.at(r, "TOTAL"));
        }
    }
    return out;
}

} // namespace server

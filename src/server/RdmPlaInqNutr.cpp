// Server object "Zep12640.rdmPlaInqNutr": rows of the nutrient spreadsheet.
//
// Rules of GetInquNutr(start, end, patient, branch, serviceList&, group,
// nutrientList&):
// - The items are those of the branch and patient dated within [start, end]
//   (any period) at the listed services ("T" = all); start after end is
//   refused, a malformed list is an argument error.
// - The nutrients are those of the list ("T" = all) that belong to the group
//   (empty = every group); macronutrients are included, as the screen's own
//   nutrient list holds them.
// - One row per item and selected nutrient, TOTAL 0 when the food holds none
//   of it, so every item shows in every column of the pivot. Amounts follow
//   NutrientTotals.h; QTALIMINQUER is the number of portions (QTALIMMEDCAS).
// - DTINQUERITO is "YYYY-MM-DD" text, so its text order is date order.
// - Rows come in date, service, sequence and nutrient code order; both lists
//   come back unchanged by reference.
//
// Branch (Authorization.h; checked before it runs): argument 4 (branch) and
// the patient of argument 3, whose own branch must be allowed too.
#include "server/Dispatcher.h"
#include "server/NutrientTotals.h"


namespace server {

namespace {

using protocol::FieldType;

// Every item of the scope crossed with every chosen nutrient, its amount
// summed from VW_ITEMNUTR (0 when the food holds none of it).
const std::string& spreadsheetQuery() {
    static const std::string sql = R"(
SELECT I.DTINQUERITO AS DTINQUERITO, S.NMSERVICO AS NMSERVICO,
       COALESCE(PR.NMPRODUTO, PT.NMPRATO) AS NMPRODUTO, N.NMNUTRIENTE AS NMNUTRIENTE,
       M.NMMEDICASE AS NMMEDICASE, I.QTALIMMEDCAS AS QTALIMINQUER, COALESCE(A.TOTAL, 0) AS TOTAL,
       I.CDSERVFILI AS CDSERVFILI, COALESCE(I.CDPRODUTO, I.CDPRATO) AS CDPRODUTO, N.CDNUTRIENTE AS CDNUTRIENTE
FROM ITINQUERPACI I
JOIN SERVICO S ON S.CDFILIAL = I.CDFILIAL AND S.CDSERVFILI = I.CDSERVFILI
JOIN NUTRIENTE N ON )" + inCodeList("N.CDNUTRIENTE", "NUTR") + R"(
LEFT JOIN PRODUTO PR ON PR.CDPRODUTO = I.CDPRODUTO
LEFT JOIN PRATO PT ON PT.CDPRATO = I.CDPRATO
LEFT JOIN MEDICASE M ON M.CDMEDICASE = I.CDMEDICASE
LEFT JOIN (
  SELECT V.DTINIINQU, V.DTINQUERITO, V.CDSERVFILI, V.NRSEQUINQUER, V.CDNUTRIENTE, SUM(V.QTNUTRITEM) AS TOTAL
  FROM VW_ITEMNUTR V
  WHERE )" + scopeCondition("V") + " AND " + inCodeList("V.CDNUTRIENTE", "NUTR") + R"(
  GROUP BY V.DTINIINQU, V.DTINQUERITO, V.CDSERVFILI, V.NRSEQUINQUER, V.CDNUTRIENTE) A
  ON A.DTINIINQU = I.DTINIINQU AND A.DTINQUERITO = I.DTINQUERITO AND A.CDSERVFILI = I.CDSERVFILI
 AND A.NRSEQUINQUER = I.NRSEQUINQUER AND A.CDNUTRIENTE = N.CDNUTRIENTE
WHERE )" + scopeCondition("I") + R"(
ORDER BY I.DTINQUERITO, I.CDSERVFILI, I.NRSEQUINQUER, I.DTINIINQU, N.CDNUTRIENTE)";
    return sql;
}

void getInquNutr(CallContext& c) {
    const auto scope = intakeScope(c.args.text(3, 4), c.args.text(2, 12), c.args.date(0), c.args.date(1),
                                   c.args.text(4));
    const std::string group = c.args.text(5, 2);
    const auto list = codeListArgument(c.args.text(6), 3, "nutrientes");

    protocol::CodeList chosen;
    for (auto& n : nutrientCatalogue(c.session))
        if ((group.empty() || n.group == group) && list.contains(n.code)) chosen.codes.push_back(n.code);

    db::Params params = scopeParams(scope);
    addCodeListParams(params, "NUTR", chosen);
    // A date range over the item table, planned with its values: its generic
    // plan ran two to three times slower (measured side by side, scripts/bench.sh).
    db::CustomPlanScope plans(c.engine);
    c.replyQuery(spreadsheetQuery(), params,
                 {{"DTINQUERITO", FieldType::String, 10}, {"NMSERVICO", FieldType::String, 40},
                  {"NMPRODUTO", FieldType::String, 50},   {"NMNUTRIENTE", FieldType::String, 20},
                  {"NMMEDICASE", FieldType::String, 40},  {"QTALIMINQUER", FieldType::Float, 0},
                  {"TOTAL", FieldType::Float, 0},         {"CDSERVFILI", FieldType::String, 5},
                  {"CDPRODUTO", FieldType::String, 10},   {"CDNUTRIENTE", FieldType::String, 3}});
    c.result.byref[4] = c.args.text(4);
    c.result.byref[6] = c.args.text(6);
}

} // namespace

void registerRdmPlaInqNutr(Dispatcher& d) { d.add("Zep12640.rdmPlaInqNutr", "GetInquNutr", 7, getInquNutr, BranchRule::argumentAndPatient(3, 2)); }

} // namespace server

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

#include <set>

namespace server {

namespace {

using protocol::FieldType;

void getInquNutr(CallContext& c) {
    const auto scope = intakeScope(c.args.text(3, 4), c.args.text(2, 12), c.args.date(0), c.args.date(1),
                                   c.args.text(4));
    const std::string group = c.args.text(5, 2);
    const auto list = codeListArgument(c.args.text(6), 3, "nutrientes");

    std::vector<Nutrient> chosen;
    std::set<std::string> codes;
    for (auto& n : nutrientCatalogue(c.session))
        if ((group.empty() || n.group == group) && list.contains(n.code)) {
            codes.insert(n.code);
            chosen.push_back(std::move(n));
        }

    protocol::DataPacket out;
    out.fields = {{"DTINQUERITO", FieldType::String, 10}, {"NMSERVICO", FieldType::String, 40},
                  {"NMPRODUTO", FieldType::String, 50},   {"NMNUTRIENTE", FieldType::String, 20},
                  {"NMMEDICASE", FieldType::String, 40},  {"QTALIMINQUER", FieldType::Float, 0},
                  {"TOTAL", FieldType::Float, 0},         {"CDSERVFILI", FieldType::String, 5},
                  {"CDPRODUTO", FieldType::String, 10},   {"CDNUTRIENTE", FieldType::String, 3}};
    if (!chosen.empty()) {
        const auto items =
            itemIntakes(c.session, scope, [&](const std::string& code) { return codes.count(code) > 0; });
        for (const auto& item : items)
            for (const auto& n : chosen) {
                const auto a = item.amounts.find(n.code);
                out.rows.push_back({item.date, item.serviceName, item.itemName, n.name, item.measureName,
                                    item.portions, a == item.amounts.end() ? 0.0 : a->second, item.serviceCode,
                                    item.itemCode, n.code});
            }
    }
    c.reply(out);
    c.result.byref[4] = c.args.text(4);
    c.result.byref[6] = c.args.text(6);
}

} // namespace

void registerRdmPlaInqNutr(Dispatcher& d) { d.add("Zep12640.rdmPlaInqNutr", "GetInquNutr", 7, getInquNutr, BranchRule::argumentAndPatient(3, 2)); }

} // namespace server

// The food warning sets of the item grid: GetProdutoRest, GetPratoRest,
// GetVerMedica, GetVerMedicaPrato, and GetNutrDia for the interaction screen.
// The rules are catalog's (Restrictions.h). A product and a dish differ only
// in how a clashing product reaches the item (ItemKind below); each set
// carries its reasons beside the codes the marks search: the diagnosis and
// restricted subgroup, the intolerance, the drug and nutrient, and for a dish
// the recipe's product that clashes.
#include "db/Query.h"
#include "server/InqueritoOperations.h"
#include "server/NutrientTotals.h"
#include "server/Restrictions.h"
#include "server/SurveyRules.h"

namespace server::inquerito {

namespace {

using protocol::Field;
using protocol::FieldType;
using restrictions::ItemKind;
using namespace survey;

// The product sets name a product by its tree code (CDARVPROD, up to 20).
const Field ProdutoField{"CDPRODUTO", FieldType::String, 20};
const Field PratoField{"CDPRATO", FieldType::String, 10};
const Field SubgrupoField{"CDSUBGRPROD", FieldType::String, 10};
const Field MedicamentoField{"NMMEDICAMENT", FieldType::String, 150};
const Field NutrienteField{"NMNUTRIENTE", FieldType::String, 20};
const Field DiagnosticoField{"NMDIAGNOSTICO", FieldType::String, 60};
const Field NomeSubgrupoField{"NMSUBGRPROD", FieldType::String, 50};
const Field IntoleranciaField{"NMINTOLER", FieldType::String, 60};
const Field NomeProdutoField{"NMPRODUTO", FieldType::String, 50};

// A column of a set: the SQL that gives it and its field.
struct Column {
    const char* sql;
    Field field;
};
const Column Subgrupo{"X.CDSUBGRPROD", SubgrupoField};
const Column Produto{"P.CDARVPROD", ProdutoField};
const Column Prato{"D.CDPRATO", PratoField};
const Column Medicamento{"X.NMMEDICAMENT", MedicamentoField};
const Column Nutriente{"X.NMNUTRIENTE", NutrienteField};
const Column Diagnostico{"X.NMDIAGNOSTICO", DiagnosticoField};
const Column NomeSubgrupo{"X.NMSUBGRPROD", NomeSubgrupoField};
const Column Intolerancia{"X.NMINTOLER", IntoleranciaField};
const Column NomeProduto{"P.NMPRODUTO", NomeProdutoField};

// Products are named by their tree code, the form the client's items hold.
// The unary plus keeps SQLite from driving the join by the level index: the
// patient's few rows are far more selective than "every leaf product".
const std::string& leafProducts() {
    static const std::string sql =
        " JOIN PRODUTO P ON P.CDPRODUTO = X.CDPRODUTO WHERE +P.CDNVPRODUTO = " + restrictions::productLeafLevel();
    return sql;
}

// The dishes whose recipe holds a clashing product.
const char* const DishesOfRecipe =
    " JOIN PRODUTO P ON P.CDPRODUTO = X.CDPRODUTO"
    " JOIN PRATOPROD PP ON PP.CDPRODUTO = X.CDPRODUTO"
    " JOIN PRATO D ON D.CDPRATO = PP.CDPRATO";
// Dishes of the branch and common dishes: the only ones an item may hold.
// The owner branch the client names in GetPratoRest (that of whichever row
// it painted first) does not widen the set, so the marks do not depend on
// the paint order.
const char* const OfTheBranch = " WHERE D.CDFILAUXPRAT IN (:P_CDFILIAL, 'P')";

// How the sets of one kind are keyed: the codes the client searches come
// first (as they always did), the reasons after them.
struct KindSets {
    const char* key;    // the code the client searches, the sets' first order
    std::string items;  // joins the rule's rows X to the items, ending in a WHERE
    std::vector<Column> restricted, intolerant, interacting;
};

const KindSets& setsOf(ItemKind kind) {
    static const KindSets product{"CDPRODUTO", leafProducts(),
                                  {Subgrupo, Produto, Diagnostico, NomeSubgrupo},
                                  {Produto, Intolerancia},
                                  {Medicamento, Nutriente, Produto}};
    static const KindSets dish{"CDPRATO", std::string(DishesOfRecipe) + OfTheBranch,
                               {Produto, Prato, Diagnostico, NomeSubgrupo, NomeProduto},
                               {Produto, Prato, Intolerancia, NomeProduto},
                               {Medicamento, Nutriente, Prato, NomeProduto}};
    return kind == ItemKind::Dish ? dish : product;
}

protocol::json setOf(CallContext& ctx, const std::string& rule, const KindSets& kind,
                     const std::vector<Column>& columns, const db::Params& params) {
    std::string select, order = kind.key;
    std::vector<Field> fields;
    for (const Column& c : columns) {
        select += (select.empty() ? "" : ", ") + std::string(c.sql) + " AS " + c.field.name;
        fields.push_back(c.field);
    }
    for (const Column& c : columns)
        if (c.field.name != kind.key) order += ", " + c.field.name;
    const std::string sql = "SELECT DISTINCT " + select + " FROM (" + rule + ") X" + kind.items + " ORDER BY " + order;
    return db::query(ctx.session, sql, usedIn(sql, params), fields).toJson();
}

// The three sets of one kind: [0] restricted, [1] not tolerated, [2] interacting.
void warningSets(CallContext& ctx, ItemKind kind, const db::Params& params) {
    const KindSets& k = setsOf(kind);
    protocol::json sets = protocol::json::array();
    sets.push_back(setOf(ctx, restrictions::restrictedProducts(), k, k.restricted, params));
    sets.push_back(setOf(ctx, restrictions::intolerantProducts(), k, k.intolerant, params));
    sets.push_back(setOf(ctx, restrictions::interactingProducts(), k, k.interacting, params));
    ctx.result.data = sets;
}

// GetProdutoRest: patient, branch, period start, period end, day.
void getProdutoRest(CallContext& ctx) {
    const std::string paciente = ctx.args.text(0, width::Paciente);
    ctx.args.text(1, width::Filial);
    ctx.args.date(2);
    ctx.args.date(3);
    warningSets(ctx, ItemKind::Product, restrictions::params(paciente, ctx.args.date(4)));
}

// GetPratoRest: patient, dish owner branch, branch, service, period start,
// period end, day.
void getPratoRest(CallContext& ctx) {
    const std::string paciente = ctx.args.text(0, width::Paciente);
    ctx.args.text(1, width::FilAuxPrat);
    const std::string filial = ctx.args.text(2, width::Filial);
    ctx.args.text(3, width::Servico);
    ctx.args.date(4);
    ctx.args.date(5);
    db::Params params = restrictions::params(paciente, ctx.args.date(6));
    params.push_back({"P_CDFILIAL", filial});
    warningSets(ctx, ItemKind::Dish, params);
}

// The interactions of one item, read from its call's arguments:
// GetVerMedica: patient, branch, day, product tree code;
// GetVerMedicaPrato: patient, day, dish code, dish owner branch, branch.
void itemDrugs(CallContext& ctx, ItemKind kind) {
    const bool dish = kind == ItemKind::Dish;
    const std::string paciente = ctx.args.text(0, width::Paciente);
    db::Params params = restrictions::params(paciente, ctx.args.date(dish ? 1 : 2));
    std::string item;
    if (dish) {
        params.push_back({"P_CDITEM", ctx.args.text(2, width::Prato)});
        params.push_back({"P_CDFILAUXPRAT", ctx.args.text(3, width::FilAuxPrat)});
        params.push_back({"P_CDFILIAL", ctx.args.text(4, width::Filial)});
        item = std::string(DishesOfRecipe) +
               " WHERE D.CDFILAUXPRAT IN (:P_CDFILIAL, 'P', :P_CDFILAUXPRAT) AND D.CDPRATO = :P_CDITEM";
    } else {
        ctx.args.text(1, width::Filial);
        params.push_back({"P_CDITEM", ctx.args.text(3, width::PratProd)});
        item = " JOIN PRODUTO P ON P.CDPRODUTO = X.CDPRODUTO WHERE P.CDARVPROD = :P_CDITEM";
    }
    ctx.reply(db::query(ctx.session,
                        "SELECT DISTINCT X.NMMEDICAMENT AS NMMEDICAMENT, X.NMNUTRIENTE AS NMNUTRIENTE FROM (" +
                            restrictions::interactingProducts() + ") X" + item + " ORDER BY NMMEDICAMENT, NMNUTRIENTE",
                        params, {MedicamentoField, NutrienteField}));
}

// GetNutrDia: patient, branch, day, nutrient code list ("T" for all). How
// much of each nutrient the patient ate that day at every service, by the
// calculation's own totals: one row per nutrient asked, 0 when none eaten.
void getNutrDia(CallContext& ctx) {
    const std::string paciente = ctx.args.text(0, width::Paciente);
    const std::string filial = ctx.args.text(1, width::Filial);
    const protocol::Date dia = ctx.args.date(2);
    const protocol::CodeList list = codeListArgument(ctx.args.text(3), 3, "nutrientes");
    NutrientCodes codes(list.codes.begin(), list.codes.end());
    if (list.all)
        for (const Nutrient& n : nutrientCatalogue(ctx.session)) codes.insert(n.code);
    const auto totals = nutrientTotals(ctx.session, intakeScope(filial, paciente, dia, dia, "T"), codes);
    protocol::DataPacket packet;
    packet.fields = {{"CDNUTRIENTE", FieldType::String, 3}, {"QTNUTRDIA", FieldType::Float, 0}};
    for (const std::string& code : codes) {
        const auto it = totals.find(code);
        packet.rows.push_back({code, it == totals.end() ? 0.0 : it->second});
    }
    ctx.reply(packet);
}

}  // namespace

void registerWarnings(Dispatcher& d) {
    d.add(Object, "GetProdutoRest", 5, getProdutoRest, BranchRule::argumentAndPatient(1, 0));
    d.add(Object, "GetPratoRest", 7, getPratoRest, BranchRule::argumentAndPatient(2, 0));
    d.add(Object, "GetVerMedica", 4, [](CallContext& ctx) { itemDrugs(ctx, ItemKind::Product); },
          BranchRule::argumentAndPatient(1, 0));
    d.add(Object, "GetVerMedicaPrato", 5, [](CallContext& ctx) { itemDrugs(ctx, ItemKind::Dish); },
          BranchRule::argumentAndPatient(4, 0));
    d.add(Object, "GetNutrDia", 4, getNutrDia, BranchRule::argumentAndPatient(1, 0));
}

}  // namespace server::inquerito

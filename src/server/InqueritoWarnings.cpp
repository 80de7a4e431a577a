// The food warning sets of the item grid: GetProdutoRest, GetPratoRest,
// GetVerMedica, GetVerMedicaPrato. The rules are in Restrictions.cpp.
#include "db/Query.h"
#include "server/InqueritoOperations.h"
#include "server/Restrictions.h"
#include "server/SurveyRules.h"

namespace server::inquerito {

namespace {

using protocol::Field;
using protocol::FieldType;
using namespace survey;

// The product sets name a product by its tree code (CDARVPROD, up to 20).
const Field ProdutoField{"CDPRODUTO", FieldType::String, 20};
const Field PratoField{"CDPRATO", FieldType::String, 10};
const Field SubgrupoField{"CDSUBGRPROD", FieldType::String, 10};
const Field MedicamentoField{"NMMEDICAMENT", FieldType::String, 150};
const Field NutrienteField{"NMNUTRIENTE", FieldType::String, 20};

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

protocol::json setOf(CallContext& ctx, const std::string& sql, const db::Params& params,
                     const std::vector<Field>& fields) {
    return db::query(ctx.session, sql, usedIn(sql, params), fields).toJson();
}

// patient, branch, period start, period end, day.
void getProdutoRest(CallContext& ctx) {
    const std::string paciente = ctx.args.text(0, width::Paciente);
    ctx.args.text(1, width::Filial);
    ctx.args.date(2);
    ctx.args.date(3);
    const db::Params params = restrictions::params(paciente, ctx.args.date(4));

    protocol::json sets = protocol::json::array();
    sets.push_back(setOf(ctx,
                         "SELECT DISTINCT X.CDSUBGRPROD AS CDSUBGRPROD, P.CDARVPROD AS CDPRODUTO FROM (" +
                             restrictions::restrictedProducts() + ") X" + leafProducts() +
                             " ORDER BY CDPRODUTO, CDSUBGRPROD",
                         params, {SubgrupoField, ProdutoField}));
    sets.push_back(setOf(ctx,
                         "SELECT DISTINCT P.CDARVPROD AS CDPRODUTO FROM (" + restrictions::intolerantProducts() +
                             ") X" + leafProducts() + " ORDER BY CDPRODUTO",
                         params, {ProdutoField}));
    sets.push_back(setOf(ctx,
                         "SELECT DISTINCT X.NMMEDICAMENT AS NMMEDICAMENT, X.NMNUTRIENTE AS NMNUTRIENTE, "
                         "P.CDARVPROD AS CDPRODUTO FROM (" +
                             restrictions::interactingProducts() + ") X" + leafProducts() +
                             " ORDER BY CDPRODUTO, NMMEDICAMENT, NMNUTRIENTE",
                         params, {MedicamentoField, NutrienteField, ProdutoField}));
    ctx.result.data = sets;
}

// patient, dish owner branch, branch, service, period start, period end, day.
void getPratoRest(CallContext& ctx) {
    const std::string paciente = ctx.args.text(0, width::Paciente);
    ctx.args.text(1, width::FilAuxPrat);
    const std::string filial = ctx.args.text(2, width::Filial);
    ctx.args.text(3, width::Servico);
    ctx.args.date(4);
    ctx.args.date(5);
    db::Params params = restrictions::params(paciente, ctx.args.date(6));
    params.push_back({"P_CDFILIAL", filial});

    protocol::json sets = protocol::json::array();
    sets.push_back(setOf(ctx,
                         "SELECT DISTINCT P.CDARVPROD AS CDPRODUTO, D.CDPRATO AS CDPRATO FROM (" +
                             restrictions::restrictedProducts() + ") X" + DishesOfRecipe + OfTheBranch +
                             " ORDER BY CDPRATO, CDPRODUTO",
                         params, {ProdutoField, PratoField}));
    sets.push_back(setOf(ctx,
                         "SELECT DISTINCT P.CDARVPROD AS CDPRODUTO, D.CDPRATO AS CDPRATO FROM (" +
                             restrictions::intolerantProducts() + ") X" + DishesOfRecipe + OfTheBranch +
                             " ORDER BY CDPRATO, CDPRODUTO",
                         params, {ProdutoField, PratoField}));
    sets.push_back(setOf(ctx,
                         "SELECT DISTINCT X.NMMEDICAMENT AS NMMEDICAMENT, X.NMNUTRIENTE AS NMNUTRIENTE, "
                         "D.CDPRATO AS CDPRATO FROM (" +
                             restrictions::interactingProducts() + ") X" + DishesOfRecipe + OfTheBranch +
                             " ORDER BY CDPRATO, NMMEDICAMENT, NMNUTRIENTE",
                         params, {MedicamentoField, NutrienteField, PratoField}));
    ctx.result.data = sets;
}

// patient, branch, day, product tree code.
void getVerMedica(CallContext& ctx) {
    const std::string paciente = ctx.args.text(0, width::Paciente);
    ctx.args.text(1, width::Filial);
    db::Params params = restrictions::params(paciente, ctx.args.date(2));
    params.push_back({"P_CDARVPROD", ctx.args.text(3, width::PratProd)});
    ctx.reply(db::query(ctx.session,
                        "SELECT DISTINCT X.NMMEDICAMENT AS NMMEDICAMENT, X.NMNUTRIENTE AS NMNUTRIENTE FROM (" +
                            restrictions::interactingProducts() +
                            ") X JOIN PRODUTO P ON P.CDPRODUTO = X.CDPRODUTO WHERE P.CDARVPROD = :P_CDARVPROD "
                            "ORDER BY NMMEDICAMENT, NMNUTRIENTE",
                        params, {MedicamentoField, NutrienteField}));
}

// patient, day, dish code, dish owner branch, branch.
void getVerMedicaPrato(CallContext& ctx) {
    const std::string paciente = ctx.args.text(0, width::Paciente);
    db::Params params = restrictions::params(paciente, ctx.args.date(1));
    params.push_back({"P_CDPRATO", ctx.args.text(2, width::Prato)});
    params.push_back({"P_CDFILAUXPRAT", ctx.args.text(3, width::FilAuxPrat)});
    params.push_back({"P_CDFILIAL", ctx.args.text(4, width::Filial)});
    ctx.reply(db::query(ctx.session,
                        "SELECT DISTINCT X.NMMEDICAMENT AS NMMEDICAMENT, X.NMNUTRIENTE AS NMNUTRIENTE FROM (" +
                            restrictions::interactingProducts() + ") X" + DishesOfRecipe +
                            " WHERE D.CDFILAUXPRAT IN (:P_CDFILIAL, 'P', :P_CDFILAUXPRAT) AND D.CDPRATO = :P_CDPRATO"
                            " ORDER BY NMMEDICAMENT, NMNUTRIENTE",
                        params, {MedicamentoField, NutrienteField}));
}

}  // namespace

void registerWarnings(Dispatcher& d) {
    d.add(Object, "GetProdutoRest", 5, getProdutoRest, BranchRule::argumentAndPatient(1, 0));
    d.add(Object, "GetPratoRest", 7, getPratoRest, BranchRule::argumentAndPatient(2, 0));
    d.add(Object, "GetVerMedica", 4, getVerMedica, BranchRule::argumentAndPatient(1, 0));
    d.add(Object, "GetVerMedicaPrato", 5, getVerMedicaPrato, BranchRule::argumentAndPatient(4, 0));
}

}  // namespace server::inquerito

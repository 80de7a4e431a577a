// One survey day's totals for the items page: GetTotDia.
//
// GetTotDia(patient, branch, period start, day, services) answers, in one
// call, two packets:
// - the day: VRENERGIA (kcal), VRPROTEINA, VRCARBOIDRATO, VRLIPIDIO (g) of
//   the chosen services, and the period's targets QTENERGIA, QTPROTEINA,
//   QTCARBOIDRATO, QTLIPIDIO from its recorded needs (null when none);
// - the services: one row per chosen service holding items that day, in code
//   order, with CDSERVFILI, NMSERVICO and the same four totals.
// The totals are the calculation object's for a period of that one day
// (NutrientTotals.h): the energy is the sum of the four macronutrients'
// energy, as getMacro gives it. The period must exist and hold the day.
#include "db/Query.h"
#include "server/InqueritoOperations.h"
#include "server/NutrientTotals.h"

namespace server::inquerito {

namespace {

using protocol::DataPacket;
using protocol::FieldType;

// The four totals of a nutrient map, in the reply's order.
std::vector<protocol::Value> dayValues(const std::vector<Macronutrient>& macros,
                                       const std::map<std::string, double>& totals) {
    auto total = [&](const char* role) {
        for (const auto& m : macros)
            if (m.role == role) return totalOf(totals, m.nutrient.code);
        return 0.0;
    };
    return {energyOf(macros, totals), total("CDPROTEINA"), total("CDCARBOHIDRA"), total("CDLIPIDIOS")};
}

std::vector<protocol::Field> valueFields() {
    return {{"VRENERGIA", FieldType::Float, 0},
            {"VRPROTEINA", FieldType::Float, 0},
            {"VRCARBOIDRATO", FieldType::Float, 0},
            {"VRLIPIDIO", FieldType::Float, 0}};
}

void getTotDia(CallContext& ctx) {
    const std::string patient = ctx.args.text(0, survey::width::Paciente);
    const std::string branch = ctx.args.text(1, survey::width::Filial);
    if (patient.empty()) throw ArgumentError("Paciente deve ser informado.");
    const survey::PeriodKey period{branch, patient, ctx.args.date(2)};
    const protocol::Date day = ctx.args.date(3);
    const IntakeScope scope = intakeScope(branch, patient, day, day, ctx.args.text(4));
    survey::requireDayInPeriod(ctx, period, day, false);

    const auto macros = macronutrients(ctx.session);
    const auto byService = nutrientTotalsByService(ctx.session, scope, codesOf(macros));

    DataPacket services;
    services.fields = {{"CDSERVFILI", FieldType::String, 5}, {"NMSERVICO", FieldType::String, 40}};
    for (const auto& f : valueFields()) services.fields.push_back(f);
    // Services with items but nothing of a composition still get their row.
    const auto recorded = db::query(ctx.session,
                                    "SELECT DISTINCT I.CDSERVFILI AS CDSERVFILI, S.NMSERVICO AS NMSERVICO "
                                    "FROM ITINQUERPACI I LEFT JOIN SERVICO S ON S.CDFILIAL = I.CDFILIAL AND "
                                    "S.CDSERVFILI = I.CDSERVFILI WHERE " +
                                        scopeCondition("I") + " ORDER BY I.CDSERVFILI",
                                    scopeParams(scope),
                                    {{"CDSERVFILI", FieldType::String, 5}, {"NMSERVICO", FieldType::String, 40}});
    std::map<std::string, double> dayTotals;
    for (const auto& row : recorded.rows) {
        const std::string code = row[0].is_string() ? row[0].get<std::string>() : std::string();
        const auto found = byService.find(code);
        const std::map<std::string, double> none;
        const auto& totals = found == byService.end() ? none : found->second;
        for (const auto& [nutrient, total] : totals) dayTotals[nutrient] += total;
        protocol::Row out{row[0], row[1]};
        for (auto& v : dayValues(macros, totals)) out.push_back(std::move(v));
        services.rows.push_back(std::move(out));
    }

    DataPacket dayPacket;
    dayPacket.fields = valueFields();
    for (const char* target : {"QTENERGIA", "QTPROTEINA", "QTCARBOIDRATO", "QTLIPIDIO"})
        dayPacket.fields.push_back({target, FieldType::Float, 0});
    protocol::Row row = dayValues(macros, dayTotals);
    if (const auto targets = recordedTargets(ctx, period))
        row.insert(row.end(), {targets->energia, targets->proteina, targets->carboidrato, targets->lipidio});
    else
        row.resize(dayPacket.fields.size(), nullptr);
    dayPacket.rows.push_back(std::move(row));
    ctx.result.data = protocol::json::array({dayPacket.toJson(), services.toJson()});
}

}  // namespace

void registerDayTotals(Dispatcher& d) {
    d.add(Object, "GetTotDia", 5, getTotDia, BranchRule::argumentAndPatient(1, 0));
}

}  // namespace server::inquerito

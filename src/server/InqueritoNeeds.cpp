// The patient's nutritional needs for a survey period: GetNecesNutr,
// SetNecesNutr. The values and their ranges, and the targets computed from
// them, are defined once in catalog/NutritionNeeds.h, which the needs screen
// uses too; the targets are computed here from what is stored, never stored.
#include "catalog/NutritionNeeds.h"
#include "db/Query.h"
#include "server/InqueritoOperations.h"
#include "server/Sessions.h"
#include "server/SurveyRules.h"
#include "server/Writes.h"

#include <cmath>

namespace server::inquerito {

namespace {

using protocol::FieldType;
using namespace survey;
namespace needs = catalog::needs;

const std::vector<protocol::Field>& replyFields() {
    static const std::vector<protocol::Field> fields = {
        {"IDSEXOPACI", FieldType::String, 1}, {"QTIDADE", FieldType::Integer},
        {"QTPESOPACI", FieldType::Float},     {"QTALTUPACI", FieldType::Float},
        {"IDMETODOENER", FieldType::String, 1}, {"QTFATORATIV", FieldType::Float},
        {"QTFATORLESAO", FieldType::Float},   {"QTKCALKG", FieldType::Float},
        {"QTPROTKG", FieldType::Float},       {"QTPERCCARB", FieldType::Float},
        {"QTPERCLIPI", FieldType::Float},     {"QTLIQUMLKG", FieldType::Float},
        {"CDOPERADOR", FieldType::String, 10}, {"DTHRREGISTRO", FieldType::String, 23},
        {"QTENERGIA", FieldType::Float},      {"QTPROTEINA", FieldType::Float},
        {"QTCARBOIDRATO", FieldType::Float},  {"QTLIPIDIO", FieldType::Float},
        {"QTLIQUIDO", FieldType::Float}};
    return fields;
}

// Arguments 0-2: patient, branch, period start.
PeriodKey periodArgs(const Args& args) {
    return {args.text(1, width::Filial), args.text(0, width::Paciente), args.date(2)};
}

db::Params keyParams(const PeriodKey& key) {
    return {{"P_CDFILIAL", key.filial}, {"P_CDPACIENTE", key.paciente}, {"P_DTINIINQU", key.inicio.toString()}};
}

// Sex and age (on the period's start) from the patient's record.
needs::Patient patientOf(CallContext& ctx, const PeriodKey& key) {
    const auto row = db::query(ctx.session,
                               "SELECT IDSEXOPACI AS IDSEXOPACI, DTNASCPACI AS DTNASCPACI FROM PACIENTE "
                               "WHERE CDPACIENTE = :P_CDPACIENTE",
                               {{"P_CDPACIENTE", key.paciente}},
                               {{"IDSEXOPACI", FieldType::String, 1}, {"DTNASCPACI", FieldType::Date}});
    if (row.rows.empty()) throw OperationError("Paciente não cadastrado.");
    needs::Patient p;
    const auto& sexo = row.rows[0][0];
    if (sexo.is_string() && !sexo.get<std::string>().empty()) p.sexo = sexo.get<std::string>()[0];
    const auto& nasc = row.rows[0][1];
    if (nasc.is_string()) p.idade = needs::ageOn(protocol::Date::parse(nasc.get<std::string>().substr(0, 10)), key.inicio);
    return p;
}

protocol::Value orNull(const std::optional<int>& v) { return v ? protocol::Value(*v) : protocol::Value(nullptr); }

// One row: the patient's sex and age, the stored values (null when none)
// and their targets.
protocol::DataPacket needsPacket(CallContext& ctx, const PeriodKey& key) {
    const needs::Patient patient = patientOf(ctx, key);
    const auto stored = db::query(
        ctx.session,
        "SELECT QTPESOPACI, QTALTUPACI, IDMETODOENER, QTFATORATIV, QTFATORLESAO, QTKCALKG, QTPROTKG, QTPERCCARB, "
        "QTPERCLIPI, QTLIQUMLKG, CDOPERADOR, DTHRREGISTRO FROM NECESNUTRPACI "
        "WHERE CDFILIAL = :P_CDFILIAL AND CDPACIENTE = :P_CDPACIENTE AND DTINIINQU = :P_DTINIINQU",
        keyParams(key), std::vector<protocol::Field>(replyFields().begin() + 2, replyFields().begin() + 14));
    protocol::DataPacket out;
    out.fields = replyFields();
    protocol::Row row{patient.sexo ? protocol::Value(std::string(1, patient.sexo)) : protocol::Value(nullptr),
                      orNull(patient.idade)};
    if (stored.rows.empty()) {
        row.resize(out.fields.size(), nullptr);
    } else {
        const auto& s = stored.rows[0];
        row.insert(row.end(), s.begin(), s.end());
        auto num = [&](size_t i) { return s[i].is_number() ? s[i].get<double>() : 0.0; };
        needs::Inputs in{num(0), num(1), s[2].get<std::string>()[0], num(3), num(4), num(5),
                         num(6), num(7), num(8), num(9)};
        // Stored values passed the check when written; a patient record
        // changed since (sex, birth date) may leave the equations without input.
        if (needs::check(in, patient).empty()) {
            const auto t = needs::compute(in, patient);
            for (double v : {t.energia, t.proteina, t.carboidrato, t.lipidio, t.liquido}) row.push_back(v);
        } else {
            row.resize(out.fields.size(), nullptr);
        }
    }
    out.rows.push_back(std::move(row));
    return out;
}

void requirePeriod(CallContext& ctx, const PeriodKey& key, bool lock) {
    if (!periodEnd(ctx, key, lock)) throw OperationError("Período de inquérito não cadastrado.");
}

void getNecesNutr(CallContext& ctx) {
    const PeriodKey key = periodArgs(ctx.args);
    requirePeriod(ctx, key, false);
    ctx.reply(needsPacket(ctx, key));
}

// A number argument; null only where allowed (the kcal per kg of the equations).
std::optional<double> number(const Args& args, size_t i, bool nullable) {
    const auto& v = args.raw(i);
    if (v.is_null() && nullable) return std::nullopt;
    if (!v.is_number() || !std::isfinite(v.get<double>()))
        throw ArgumentError("O argumento " + std::to_string(i + 1) + " deve ser um número.");
    return v.get<double>();
}

// Arguments 3-12: weight, height, method, activity and injury factors, kcal
// per kg (null for the equations), protein g/kg, carbohydrate and lipid % of
// energy, fluid ml/kg.
void setNecesNutr(CallContext& ctx) {
    const PeriodKey key = periodArgs(ctx.args);
    const std::string metodo = ctx.args.text(5, 1);
    needs::Inputs in;
    in.peso = *number(ctx.args, 3, false);
    in.altura = *number(ctx.args, 4, false);
    in.metodo = metodo.empty() ? '\0' : metodo[0];
    in.fatorAtividade = *number(ctx.args, 6, false);
    in.fatorLesao = *number(ctx.args, 7, false);
    const auto kcalKg = number(ctx.args, 8, in.metodo != needs::KcalPerKg);
    in.kcalKg = kcalKg.value_or(0);
    in.proteinaKg = *number(ctx.args, 9, false);
    in.percCarboidrato = *number(ctx.args, 10, false);
    in.percLipidio = *number(ctx.args, 11, false);
    in.liquidoKg = *number(ctx.args, 12, false);

    WriteScope write(ctx);
    requirePeriod(ctx, key, true);
    if (const std::string refusal = needs::check(in, patientOf(ctx, key)); !refusal.empty())
        throw OperationError(refusal);
    db::Params params = keyParams(key);
    const bool existed = db::scalarText(ctx.session,
                                        "SELECT CDPACIENTE FROM NECESNUTRPACI WHERE CDFILIAL = :P_CDFILIAL AND "
                                        "CDPACIENTE = :P_CDPACIENTE AND DTINIINQU = :P_DTINIINQU",
                                        params)
                             .has_value();
    const std::optional<double> storedKcalKg =
        in.metodo == needs::KcalPerKg ? std::optional<double>(in.kcalKg) : std::nullopt;
    params.insert(params.end(), {db::numberParam("P_QTPESOPACI", in.peso), db::numberParam("P_QTALTUPACI", in.altura),
                                 {"P_IDMETODOENER", metodo},
                                 db::numberParam("P_QTFATORATIV", in.fatorAtividade),
                                 db::numberParam("P_QTFATORLESAO", in.fatorLesao),
                                 db::numberParam("P_QTKCALKG", storedKcalKg),
                                 db::numberParam("P_QTPROTKG", in.proteinaKg),
                                 db::numberParam("P_QTPERCCARB", in.percCarboidrato),
                                 db::numberParam("P_QTPERCLIPI", in.percLipidio),
                                 db::numberParam("P_QTLIQUMLKG", in.liquidoKg),
                                 {"P_CDOPERADOR", ctx.caller.operatorCode},
                                 {"P_DTHRREGISTRO", timestampUtc()}});
    db::execute(ctx.session,
                "INSERT INTO NECESNUTRPACI (CDFILIAL, CDPACIENTE, DTINIINQU, QTPESOPACI, QTALTUPACI, IDMETODOENER, "
                "QTFATORATIV, QTFATORLESAO, QTKCALKG, QTPROTKG, QTPERCCARB, QTPERCLIPI, QTLIQUMLKG, CDOPERADOR, "
                "DTHRREGISTRO) VALUES (:P_CDFILIAL, :P_CDPACIENTE, :P_DTINIINQU, :P_QTPESOPACI, :P_QTALTUPACI, "
                ":P_IDMETODOENER, :P_QTFATORATIV, :P_QTFATORLESAO, :P_QTKCALKG, :P_QTPROTKG, :P_QTPERCCARB, "
                ":P_QTPERCLIPI, :P_QTLIQUMLKG, :P_CDOPERADOR, :P_DTHRREGISTRO) "
                "ON CONFLICT (CDFILIAL, CDPACIENTE, DTINIINQU) DO UPDATE SET QTPESOPACI = excluded.QTPESOPACI, "
                "QTALTUPACI = excluded.QTALTUPACI, IDMETODOENER = excluded.IDMETODOENER, "
                "QTFATORATIV = excluded.QTFATORATIV, QTFATORLESAO = excluded.QTFATORLESAO, "
                "QTKCALKG = excluded.QTKCALKG, QTPROTKG = excluded.QTPROTKG, QTPERCCARB = excluded.QTPERCCARB, "
                "QTPERCLIPI = excluded.QTPERCLIPI, QTLIQUMLKG = excluded.QTLIQUMLKG, "
                "CDOPERADOR = excluded.CDOPERADOR, DTHRREGISTRO = excluded.DTHRREGISTRO",
                params);
    write.audit(key.filial, key.paciente, existed ? AuditAction::Update : AuditAction::Insert,
                {{"DTINIINQU", key.inicio.toString()},
                 {"IDMETODOENER", metodo},
                 {"QTPESOPACI", in.peso},
                 {"QTALTUPACI", in.altura}});
    ctx.reply(needsPacket(ctx, key));
    write.commit();
}

}  // namespace

std::optional<catalog::needs::Targets> recordedTargets(CallContext& ctx, const survey::PeriodKey& key) {
    const auto p = needsPacket(ctx, key);
    auto value = [&](const char* field) { return p.at(0, field).get<double>(); };
    if (p.at(0, "QTENERGIA").is_null()) return std::nullopt;
    return catalog::needs::Targets{value("QTENERGIA"), value("QTPROTEINA"), value("QTCARBOIDRATO"), value("QTLIPIDIO"),
                          value("QTLIQUIDO")};
}

void registerNeeds(Dispatcher& d) {
    d.add(Object, "GetNecesNutr", 3, getNecesNutr, BranchRule::argumentAndPatient(1, 0));
    d.add(Object, "SetNecesNutr", 13, setNecesNutr, BranchRule::argumentAndPatient(1, 0));
}

}  // namespace server::inquerito

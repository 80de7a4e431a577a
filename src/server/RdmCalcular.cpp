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
//   was eaten; an empty group means every group. Each row carries the
//   nutrient's Dietary Reference Intake (REFNUTRDRI, db/dri.sql) for the
//   patient's sex and age in whole years on the start date: VRREFERENCIA and
//   IDTIPOREF (RDA/AI), VRLIMITE and IDTIPOLIMITE (UL/CDRR), DSGRUPOREF the
//   life-stage group; without a reference, DSSEMREF says why (sex or birth
//   date not recorded, no reference for the age or the nutrient). A reference
//   counts only while its unit is the nutrient's unit in NUTRIENTE.
// - GetMacroDia (patient, start, end, branch, services&) answers one row per
//   day with a recorded item (the days GetDiasInq counts), in date order:
//   carbohydrate, protein, lipid and alcohol of the day in grams (0 when
//   nothing of them was eaten), and the energy and protein targets of the
//   day's survey period when its needs are recorded (NutritionNeeds.h; null
//   otherwise).
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
// - getMacro, GetCalc, GetNutrCalc, GetDiasInq, GetMacroDia: argument 4
//   (branch) and the patient of argument 1, whose own branch must be allowed
//   too.
#include "server/Dispatcher.h"
#include "server/InqueritoOperations.h"
#include "server/NutrientTotals.h"

#include "catalog/NutritionNeeds.h"
#include "db/Query.h"

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

// What the patient's record gives for the references and the targets.
struct PatientRecord {
    bool found = false;
    char sex = 0;  // 'M', 'F' or 0
    std::optional<protocol::Date> birth;
};

PatientRecord patientRecord(soci::session& session, const std::string& patient) {
    const auto p = db::query(session,
                             "SELECT IDSEXOPACI AS IDSEXOPACI, DTNASCPACI AS DTNASCPACI FROM PACIENTE "
                             "WHERE CDPACIENTE = :P_CDPACIENTE",
                             {{"P_CDPACIENTE", patient}},
                             {{"IDSEXOPACI", FieldType::String, 1}, {"DTNASCPACI", FieldType::Date, 0}});
    PatientRecord r;
    if (p.rows.empty()) return r;
    r.found = true;
    const std::string sex = textOf(p.rows[0][0]);
    if (sex == "M" || sex == "F") r.sex = sex[0];
    const std::string birth = textOf(p.rows[0][1]);
    if (!birth.empty()) r.birth = protocol::Date::parse(birth.substr(0, 10));
    return r;
}

// The Dietary Reference Intakes that apply to a patient on a day, by nutrient
// code; `missing` says why a nutrient has none.
struct References {
    struct Reference {
        protocol::Value value, kind, limit, limitKind;
        std::string group;
    };
    std::map<std::string, Reference> byCode;
    std::string missing;
};

std::string lifeStageGroup(char sex, int from, int to) {
    const std::string who = to < 9 ? "crianças" : sex == 'M' ? "homens" : "mulheres";
    return who + " de " + std::to_string(from) + (to >= 999 ? " anos ou mais" : " a " + std::to_string(to) + " anos");
}

References referenceIntakes(soci::session& session, const std::string& patient, const protocol::Date& day) {
    References refs;
    const PatientRecord record = patientRecord(session, patient);
    if (!record.found) {
        refs.missing = "Paciente não cadastrado.";
        return refs;
    }
    if (!record.sex) {
        refs.missing = "Sexo do paciente não informado no cadastro: sem referência.";
        return refs;
    }
    if (!record.birth) {
        refs.missing = "Data de nascimento do paciente não informada no cadastro: sem referência.";
        return refs;
    }
    const auto age = catalog::needs::ageOn(record.birth, day);
    if (!age) {
        refs.missing = "Data de nascimento do paciente posterior ao início do período: sem referência.";
        return refs;
    }
    const auto p = db::query(session,
                             "SELECT R.CDNUTRIENTE AS CDNUTRIENTE, R.IDTIPOREF AS IDTIPOREF, R.VRREFERENCIA AS "
                             "VRREFERENCIA, R.IDTIPOLIMITE AS IDTIPOLIMITE, R.VRLIMITE AS VRLIMITE, R.NRIDADEINI AS "
                             "NRIDADEINI, R.NRIDADEFIM AS NRIDADEFIM FROM REFNUTRDRI R JOIN NUTRIENTE N ON "
                             "N.CDNUTRIENTE = R.CDNUTRIENTE AND N.SGUNIDADE = R.SGUNIDADE WHERE R.IDSEXOPACI = "
                             ":P_IDSEXOPACI AND R.NRIDADEINI <= :P_IDADE AND R.NRIDADEFIM >= :P_IDADE",
                             {{"P_IDSEXOPACI", std::string(1, record.sex)}, {"P_IDADE", std::to_string(*age)}},
                             {{"CDNUTRIENTE", FieldType::String, 3},
                              {"IDTIPOREF", FieldType::String, 3},
                              {"VRREFERENCIA", FieldType::Float, 0},
                              {"IDTIPOLIMITE", FieldType::String, 4},
                              {"VRLIMITE", FieldType::Float, 0},
                              {"NRIDADEINI", FieldType::Integer, 0},
                              {"NRIDADEFIM", FieldType::Integer, 0}});
    for (const auto& row : p.rows)
        refs.byCode[textOf(row[0])] = {row[2], row[1], row[4], row[3],
                                       lifeStageGroup(record.sex, row[5].get<int>(), row[6].get<int>())};
    refs.missing = p.rows.empty() ? "Sem valores de referência (DRI) para a idade de " + std::to_string(*age) +
                                        (*age == 1 ? " ano." : " anos.")
                                  : "Sem valor de referência (DRI) para este nutriente.";
    return refs;
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
                  {"CDNUTRIENTE", FieldType::String, 3},
                  {"VRREFERENCIA", FieldType::Float, 0},
                  {"IDTIPOREF", FieldType::String, 3},
                  {"VRLIMITE", FieldType::Float, 0},
                  {"IDTIPOLIMITE", FieldType::String, 4},
                  {"DSGRUPOREF", FieldType::String, 40},
                  {"DSSEMREF", FieldType::String, 100}};
    if (!scope) return c.reply(out);
    const auto excluded = macronutrientCodes(c.session);
    std::vector<Nutrient> chosen;
    for (auto& n : nutrientCatalogue(c.session))
        if ((group.empty() || n.group == group) && nutrients.contains(n.code) && !excluded.count(n.code))
            chosen.push_back(std::move(n));
    std::set<std::string> codes;
    for (const auto& n : chosen) codes.insert(n.code);
    const auto totals = nutrientTotals(c.session, *scope, codes);

    const References refs = referenceIntakes(c.session, scope->patient, scope->start);
    for (const auto& n : chosen) {
        const auto t = totals.find(n.code);
        protocol::Row row{n.unit, n.name, t == totals.end() ? 0.0 : t->second, n.code};
        if (const auto r = refs.byCode.find(n.code); r != refs.byCode.end())
            row.insert(row.end(), {r->second.value, r->second.kind, r->second.limit, r->second.limitKind,
                                   r->second.group, nullptr});
        else
            row.insert(row.end(), {nullptr, nullptr, nullptr, nullptr, nullptr, refs.missing});
        out.rows.push_back(std::move(row));
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
    out.rows.push_back({scope ? static_cast<int>(recordedDays(c.session, *scope).size()) : 0});
    c.reply(out);
}

void getMacroDia(CallContext& c) {
    const auto scope = scopeOf(c.args, 4);
    c.result.byref[4] = c.args.text(4);
    DataPacket out;
    out.fields = {{"DTINQUERITO", FieldType::Date, 0},     {"QTCARBOIDRATO", FieldType::Float, 0},
                  {"QTPROTEINA", FieldType::Float, 0},     {"QTLIPIDIO", FieldType::Float, 0},
                  {"QTALCOOL", FieldType::Float, 0},       {"QTENERGIAMETA", FieldType::Float, 0},
                  {"QTPROTEINAMETA", FieldType::Float, 0}};
    if (!scope) return c.reply(out);
    const auto macros = macronutrients(c.session);
    const auto totals = nutrientTotalsByDay(c.session, *scope, codesOf(macros));
    const std::map<std::string, double> nothing;
    std::map<std::string, std::optional<catalog::needs::Targets>> targets;  // by period start
    for (const auto& [day, periodStart] : recordedDays(c.session, *scope)) {
        protocol::Row row{day};
        const auto found = totals.find(day);
        const auto& dayTotals = found == totals.end() ? nothing : found->second;
        // Carbohydrate, protein, lipid, alcohol; a role without a nutrient eats nothing.
        for (const char* role : {"CDCARBOHIDRA", "CDPROTEINA", "CDLIPIDIOS", "CDALCOOL"}) {
            double amount = 0;
            for (const auto& m : macros)
                if (m.role == role) amount = totalOf(dayTotals, m.nutrient.code);
            row.push_back(amount);
        }
        if (!targets.count(periodStart)) {
            const auto start = protocol::Date::parse(periodStart);
            targets[periodStart] =
                start ? inquerito::recordedTargets(c, {scope->branch, scope->patient, *start}) : std::nullopt;
        }
        const auto& t = targets.at(periodStart);
        row.push_back(t ? protocol::Value(t->energia) : protocol::Value(nullptr));
        row.push_back(t ? protocol::Value(t->proteina) : protocol::Value(nullptr));
        out.rows.push_back(std::move(row));
    }
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
    d.add(Object, "GetMacroDia", 5, getMacroDia, BranchRule::argumentAndPatient(3, 0));
}

} // namespace server

#include "server/SurveyRules.h"

#include "db/Query.h"

#include <cctype>
#include <cstdio>

namespace server::survey {

using protocol::Date;

void requireFields(const protocol::ChangePacket& packet, std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (packet.indexOf(name) < 0)
            throw ArgumentError(std::string("O pacote de alterações não tem o campo ") + name + ".");
}

std::optional<Date> periodEnd(CallContext& ctx, const PeriodKey& key, bool lock) {
    std::string sql =
        "SELECT DTFININQU AS DTFININQU FROM INQUERPACI "
        "WHERE CDFILIAL = :P_CDFILIAL AND CDPACIENTE = :P_CDPACIENTE AND DTINIINQU = :P_DTINIINQU";
    if (lock && ctx.engine == db::Engine::PostgreSQL) sql += " FOR UPDATE";
    auto end = db::scalarText(
        ctx.session, sql,
        {{"P_CDFILIAL", key.filial}, {"P_CDPACIENTE", key.paciente}, {"P_DTINIINQU", key.inicio.toString()}});
    if (!end) return std::nullopt;
    return Date::parse(end->substr(0, 10));
}

Date requireDayInPeriod(CallContext& ctx, const PeriodKey& key, const Date& day, bool lock) {
    auto end = periodEnd(ctx, key, lock);
    if (!end) throw OperationError("Período de inquérito não cadastrado.");
    if (day < key.inicio || day > *end)
        throw OperationError("Data do inquérito deve estar dentro do período de inquérito.");
    return *end;
}

void requireService(CallContext& ctx, const std::string& filial, const std::string& servico) {
    auto found = db::scalarText(ctx.session,
                                "SELECT CDSERVFILI AS CDSERVFILI FROM SERVICO "
                                "WHERE CDFILIAL = :P_CDFILIAL AND CDSERVFILI = :P_CDSERVFILI",
                                {{"P_CDFILIAL", filial}, {"P_CDSERVFILI", servico}});
    if (!found) throw OperationError("Serviço não cadastrado para a filial.");
}

bool isValidMealTime(const std::string& hhmm) {
    if (hhmm.empty()) return true;
    if (hhmm.size() != 4) return false;
    for (char c : hhmm)
        if (c < '0' || c > '9') return false;
    const int hours = (hhmm[0] - '0') * 10 + (hhmm[1] - '0');
    const int minutes = (hhmm[2] - '0') * 10 + (hhmm[3] - '0');
    return hours <= 23 && minutes <= 59;
}

std::optional<int> parseSequence(const std::string& text) {
    if (text.empty() || text.size() > width::Sequencia) return std::nullopt;
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    if (n < 1) return std::nullopt;
    return n;
}

std::string sequenceText(int number) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%03d", number);
    return buf;
}

std::string dayCondition(const std::string& prefix) {
    const std::string& p = prefix;
    return p + "CDFILIAL = :P_CDFILIAL AND " + p + "CDPACIENTE = :P_CDPACIENTE AND " + p +
           "DTINIINQU = :P_DTINIINQU AND " + p + "CDSERVFILI = :P_CDSERVFILI AND " + p + "DTINQUERITO = :P_DTINQUERITO";
}

db::Params dayParams(const PeriodKey& key, const std::string& servico, const Date& day) {
    return {{"P_CDFILIAL", key.filial},
            {"P_CDPACIENTE", key.paciente},
            {"P_DTINIINQU", key.inicio.toString()},
            {"P_CDSERVFILI", servico},
            {"P_DTINQUERITO", day.toString()}};
}

SurveyDay surveyDayArgs(const Args& args) {
    SurveyDay d;
    d.period.paciente = args.text(0, width::Paciente);
    d.period.filial = args.text(1, width::Filial);
    d.servico = args.text(2, width::Servico);
    d.period.inicio = args.date(3);
    args.date(4);
    d.dia = args.date(5);
    return d;
}

db::Params dayParams(const SurveyDay& d) {
    return dayParams(d.period, d.servico, d.dia);
}

int highestSequence(CallContext& ctx, const PeriodKey& key, const std::string& servico, const Date& day) {
    // Numbers are compared as integers: a stored "10" must beat "9".
    auto max = db::scalarNumber(
        ctx.session,
        "SELECT MAX(CAST(I.NRSEQUINQUER AS INTEGER)) AS NRSEQUINQUER FROM ITINQUERPACI I WHERE " + dayCondition("I."),
        dayParams(key, servico, day));
    return max ? static_cast<int>(*max) : 0;
}

db::Params usedIn(const std::string& sql, const db::Params& params) {
    auto named = [&](const std::string& name) {
        const std::string mark = ":" + name;
        for (size_t at = sql.find(mark); at != std::string::npos; at = sql.find(mark, at + 1)) {
            const size_t end = at + mark.size();
            if (end == sql.size() || !(std::isalnum(static_cast<unsigned char>(sql[end])) || sql[end] == '_'))
                return true;
        }
        return false;
    };
    db::Params used;
    for (const auto& p : params)
        if (named(p.name)) used.push_back(p);
    return used;
}

std::string numberText(double value) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", value);
    return buf;
}

}  // namespace server::survey

// Server object "Zep12630.rdmCopiarInq": copy of one day and service of a
// survey period to another day or service of the same period.
//
// Rules of SetConfirmar(patient, periodStart, periodEnd, originDate, branch,
// originService, option&, destDate, destService):
// - Option "" copies products and dishes, "0" products only, "1" dishes only;
//   any other option is an argument error.
// - Refused, with nothing written: a period (branch, patient, periodStart) that
//   is not registered or whose end differs from periodEnd; an origin or
//   destination date outside the period; the same date and service on both
//   sides; a service that is not of the branch; no item of the chosen kind at
//   the origin ("Inq_NCad", the key the client turns into its message).
// - The destination may lie before the origin: the client alone asks for the
//   usual forward order.
// - Copied items are numbered after the destination's highest NRSEQUINQUER,
//   in the origin's order, as three-digit text. An item whose product (or
//   dish) the destination already holds is skipped, so a copy repeated adds
//   nothing and the destination never holds the same food twice.
// - Meal time: when the destination has none and the origin has one, the
//   origin's time is copied. Copied items take the destination's meal time
//   when there is one, else keep their own.
// - Everything runs in one write transaction; the reply carries no data and
//   gives the option back by reference.
// - Branch (Authorization.h; checked before anything runs): argument 5
//   (branch) and the patient of argument 1, whose own branch must be allowed.
// - Audit (Writes.h): one row per item copied (its new key, with the origin's
//   day, service and number) and one for a meal time copied.
#include "server/Dispatcher.h"
#include "server/SurveyRules.h"
#include "server/Writes.h"

#include "db/Query.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <set>

namespace server {

namespace {

using protocol::FieldType;

constexpr const char* Object = "Zep12630.rdmCopiarInq";
constexpr int MaxSequence = 999;  // NRSEQUINQUER holds three digits

std::string textOf(const protocol::Value& v) { return v.is_string() ? v.get<std::string>() : std::string(); }

struct CopyRequest {
    std::string branch;
    std::string patient;
    protocol::Date periodStart;
    protocol::Date periodEnd;
    protocol::Date originDate;
    std::string originService;
    std::string option;
    protocol::Date destDate;
    std::string destService;
};

CopyRequest readRequest(const Args& a) {
    CopyRequest r{a.text(4, 4), a.text(0, 12), a.date(1), a.date(2), a.date(3), a.text(5, 5), a.text(6, 1),
                  a.date(7),    a.text(8, 5)};
    if (r.option != "" && r.option != "0" && r.option != "1")
        throw ArgumentError("Opção de cópia inválida: \"" + r.option + "\" (esperado \"\", \"0\" ou \"1\").");
    return r;
}

long sequenceNumber(const std::string& text) {
    long v = 0;
    for (char ch : text) {
        if (ch == ' ') continue;
        if (ch < '0' || ch > '9') return 0;
        v = v * 10 + (ch - '0');
    }
    return v;
}

void checkService(soci::session& s, const CopyRequest& r, const std::string& service, const char* blankMessage) {
    if (service.empty()) throw OperationError(blankMessage);
    if (!db::scalarText(s, "SELECT CDSERVFILI FROM SERVICO WHERE CDFILIAL = :P_CDFILIAL AND CDSERVFILI = :P_CDSERVFILI",
                        {{"P_CDFILIAL", r.branch}, {"P_CDSERVFILI", service}}))
        throw OperationError("Serviço não cadastrado.");
}

void checkRequest(CallContext& c, const CopyRequest& r) {
    soci::session& s = c.session;
    // Locking the period makes concurrent copies and item posts of that period queue.
    const auto storedEnd = survey::periodEnd(c, {r.branch, r.patient, r.periodStart}, true);
    if (!storedEnd || *storedEnd != r.periodEnd) throw OperationError("Período de inquérito não cadastrado.");
    if (r.originDate < r.periodStart || r.originDate > r.periodEnd)
        throw OperationError("Data de origem deve estar dentro do período de inquérito.");
    if (r.destDate < r.periodStart || r.destDate > r.periodEnd)
        throw OperationError("Data de destino deve estar dentro do período de inquérito.");
    checkService(s, r, r.originService, "Serviço de origem deve ser informado.");
    checkService(s, r, r.destService, "Serviço de destino deve ser informado.");
    if (r.originDate == r.destDate && r.originService == r.destService)
        throw OperationError("Data/serviço origem deve ser diferente da data/serviço destino.");
}

db::Params dayParams(const CopyRequest& r, const protocol::Date& day, const std::string& service) {
    return {{"P_CDFILIAL", r.branch},
            {"P_CDPACIENTE", r.patient},
            {"P_DTINIINQU", r.periodStart.toString()},
            {"P_CDSERVFILI", service},
            {"P_DTINQUERITO", day.toString()}};
}

constexpr const char* DayCondition = R"(
WHERE CDFILIAL = :P_CDFILIAL AND CDPACIENTE = :P_CDPACIENTE AND DTINIINQU = :P_DTINIINQU AND
      CDSERVFILI = :P_CDSERVFILI AND DTINQUERITO = :P_DTINQUERITO)";

protocol::DataPacket dayItems(soci::session& s, const CopyRequest& r, const protocol::Date& day,
                              const std::string& service) {
    return db::query(s,
                     std::string("SELECT NRSEQUINQUER, IDTIPOINQUER, CDPRODUTO, CDPRATO, CDFILAUXPRAT, CDMEDICASE, "
                                 "QTALIMMEDCAS, QTALIMINQUER, HRSERVINQ FROM ITINQUERPACI") +
                         DayCondition,
                     dayParams(r, day, service),
                     {{"NRSEQUINQUER", FieldType::String, 3},
                      {"IDTIPOINQUER", FieldType::String, 1},
                      {"CDPRODUTO", FieldType::String, 10},
                      {"CDPRATO", FieldType::String, 10},
                      {"CDFILAUXPRAT", FieldType::String, 4},
                      {"CDMEDICASE", FieldType::String, 5},
                      {"QTALIMMEDCAS", FieldType::Float, 0},
                      {"QTALIMINQUER", FieldType::Float, 0},
                      {"HRSERVINQ", FieldType::String, 4}});
}

std::optional<std::string> mealTime(soci::session& s, const CopyRequest& r, const protocol::Date& day,
                                    const std::string& service) {
    return db::scalarText(s, std::string("SELECT HRSERVINQ FROM HORAINQPACI") + DayCondition,
                          dayParams(r, day, service));
}

// The food an item holds: its kind and its product or dish code.
std::string foodOf(const protocol::DataPacket& p, size_t row) {
    const std::string kind = textOf(p.at(row, "IDTIPOINQUER"));
    return kind + ":" + textOf(p.at(row, kind == "0" ? "CDPRODUTO" : "CDPRATO"));
}

// A stored value as the text to bind again; numbers in their shortest exact form.
std::optional<std::string> optionalText(const protocol::Value& v) {
    if (v.is_null()) return std::nullopt;
    if (v.is_number()) {
        char buf[32];
        const auto res = std::to_chars(buf, buf + sizeof buf, v.get<double>());
        return std::string(buf, res.ptr);
    }
    return textOf(v);
}

void setConfirmar(CallContext& c) {
    const CopyRequest r = readRequest(c.args);
    WriteScope write(c);
    checkRequest(c, r);

    const auto origin = dayItems(c.session, r, r.originDate, r.originService);
    std::vector<size_t> toCopy;
    for (size_t i = 0; i < origin.rows.size(); ++i)
        if (r.option.empty() || textOf(origin.at(i, "IDTIPOINQUER")) == r.option) toCopy.push_back(i);
    if (toCopy.empty()) throw OperationError("Inq_NCad");
    std::sort(toCopy.begin(), toCopy.end(), [&](size_t a, size_t b) {
        return sequenceNumber(textOf(origin.at(a, "NRSEQUINQUER"))) <
               sequenceNumber(textOf(origin.at(b, "NRSEQUINQUER")));
    });

    const auto dest = dayItems(c.session, r, r.destDate, r.destService);
    std::set<std::string> present;
    long last = 0;
    for (size_t i = 0; i < dest.rows.size(); ++i) {
        present.insert(foodOf(dest, i));
        last = std::max(last, sequenceNumber(textOf(dest.at(i, "NRSEQUINQUER"))));
    }

    auto destTime = mealTime(c.session, r, r.destDate, r.destService);
    if (!destTime) {
        if (auto originTime = mealTime(c.session, r, r.originDate, r.originService)) {
            db::execute(c.session,
                        "INSERT INTO HORAINQPACI (CDFILIAL, CDPACIENTE, DTINIINQU, CDSERVFILI, DTINQUERITO, HRSERVINQ) "
                        "VALUES (:P_CDFILIAL, :P_CDPACIENTE, :P_DTINIINQU, :P_CDSERVFILI, :P_DTINQUERITO, :P_HRSERVINQ)",
                        [&] {
                            auto p = dayParams(r, r.destDate, r.destService);
                            p.push_back({"P_HRSERVINQ", *originTime});
                            return p;
                        }());
            write.audit(r.branch, r.patient, AuditAction::Insert,
                        {{"DTINIINQU", r.periodStart.toString()},
                         {"CDSERVFILI", r.destService},
                         {"DTINQUERITO", r.destDate.toString()},
                         {"HRSERVINQ", *originTime}});
            destTime = originTime;
        }
    }

    for (size_t i : toCopy) {
        if (!present.insert(foodOf(origin, i)).second) continue;
        if (++last > MaxSequence)
            throw OperationError("O destino atingiu o limite de " + std::to_string(MaxSequence) + " itens.");
        char sequence[24];
        std::snprintf(sequence, sizeof sequence, "%03ld", last);
        auto p = dayParams(r, r.destDate, r.destService);
        p.push_back({"P_DTFININQU", r.periodEnd.toString()});
        p.push_back({"P_NRSEQUINQUER", std::string(sequence)});
        for (const char* column : {"IDTIPOINQUER", "CDPRODUTO", "CDPRATO", "CDFILAUXPRAT", "CDMEDICASE", "QTALIMMEDCAS",
                                   "QTALIMINQUER"})
            p.push_back({std::string("P_") + column, optionalText(origin.at(i, column))});
        p.push_back({"P_HRSERVINQ", destTime ? destTime : optionalText(origin.at(i, "HRSERVINQ"))});
        db::execute(c.session, R"(
INSERT INTO ITINQUERPACI (CDFILIAL, CDPACIENTE, DTINIINQU, DTFININQU, CDSERVFILI, DTINQUERITO, NRSEQUINQUER,
  IDTIPOINQUER, CDPRODUTO, CDPRATO, CDFILAUXPRAT, CDMEDICASE, QTALIMMEDCAS, QTALIMINQUER, HRSERVINQ)
VALUES (:P_CDFILIAL, :P_CDPACIENTE, :P_DTINIINQU, :P_DTFININQU, :P_CDSERVFILI, :P_DTINQUERITO, :P_NRSEQUINQUER,
  :P_IDTIPOINQUER, :P_CDPRODUTO, :P_CDPRATO, :P_CDFILAUXPRAT, :P_CDMEDICASE, :P_QTALIMMEDCAS, :P_QTALIMINQUER,
  :P_HRSERVINQ))",
                    p);
        write.audit(r.branch, r.patient, AuditAction::Insert,
                    {{"DTINIINQU", r.periodStart.toString()},
                     {"CDSERVFILI", r.destService},
                     {"DTINQUERITO", r.destDate.toString()},
                     {"NRSEQUINQUER", std::string(sequence)},
                     {"ORIGEM",
                      {{"CDSERVFILI", r.originService},
                       {"DTINQUERITO", r.originDate.toString()},
                       {"NRSEQUINQUER", textOf(origin.at(i, "NRSEQUINQUER"))}}}});
    }
    c.result.data = nullptr;
    c.result.byref[6] = r.option;
    write.commit();
}

} // namespace

void registerRdmCopiarInq(Dispatcher& d) {
    d.add(Object, "SetConfirmar", 9, setConfirmar, BranchRule::argumentAndPatient(4, 0));
}

} // namespace server

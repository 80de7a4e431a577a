// The patient header and the survey periods: GetPaciente, GetInqPaci, GetMax,
// SetInqPaci.
#include "db/Query.h"
#include "server/InqueritoOperations.h"
#include "server/SurveyRules.h"
#include "server/Writes.h"

namespace server::inquerito {

namespace {

using protocol::Date;
using protocol::Field;
using protocol::FieldType;
using namespace survey;

void getPaciente(CallContext& ctx) {
    const std::string filial = ctx.args.text(0, width::Filial);
    const std::string paciente = ctx.args.text(1, width::Paciente);
    ctx.reply(db::query(ctx.session,
                        "SELECT CDPACIENTE AS CDPACIENTE, NMPACIENTE AS NMPACIENTE FROM PACIENTE "
                        "WHERE CDPACIENTE = :P_CDPACIENTE AND CDFILIAL = :P_CDFILIAL",
                        {{"P_CDPACIENTE", paciente}, {"P_CDFILIAL", filial}},
                        {{"CDPACIENTE", FieldType::String, 12}, {"NMPACIENTE", FieldType::String, 80}}));
}

void getInqPaci(CallContext& ctx) {
    const std::string filial = ctx.args.text(0, width::Filial);
    const std::string paciente = ctx.args.text(1, width::Paciente);
    ctx.reply(db::query(ctx.session,
                        "SELECT CDFILIAL AS CDFILIAL, CDPACIENTE AS CDPACIENTE, DTINIINQU AS DTINIINQU, "
                        "DTFININQU AS DTFININQU FROM INQUERPACI "
                        "WHERE CDFILIAL = :P_CDFILIAL AND CDPACIENTE = :P_CDPACIENTE ORDER BY DTINIINQU",
                        {{"P_CDFILIAL", filial}, {"P_CDPACIENTE", paciente}},
                        {{"CDFILIAL", FieldType::String, 4},
                         {"CDPACIENTE", FieldType::String, 12},
                         {"DTINIINQU", FieldType::Date, 0},
                         {"DTFININQU", FieldType::Date, 0}}));
}

const char* const LatestEndSql = "SELECT MAX(DTFININQU) AS DTMAX FROM INQUERPACI WHERE CDPACIENTE = :P_CDPACIENTE";

void getMax(CallContext& ctx) {
    const std::string paciente = ctx.args.text(0, width::Paciente);
    ctx.replyQuery(LatestEndSql, {{"P_CDPACIENTE", paciente}}, {{"DTMAX", FieldType::Date, 0}});
}

// Locks the patient (PostgreSQL) so that period changes of one patient queue
// up; answers the patient's branch, or nullopt when there is no such patient.
std::optional<std::string> lockPatient(CallContext& ctx, const std::string& paciente) {
    std::string sql = "SELECT CDFILIAL AS CDFILIAL FROM PACIENTE WHERE CDPACIENTE = :P_CDPACIENTE";
    if (ctx.engine == db::Engine::PostgreSQL) sql += " FOR UPDATE";
    return db::scalarText(ctx.session, sql, {{"P_CDPACIENTE", paciente}});
}

PeriodKey periodKey(const PacketRow& row) {
    auto filial = row.text("CDFILIAL", width::Filial);
    auto paciente = row.text("CDPACIENTE", width::Paciente);
    auto inicio = row.date("DTINIINQU");
    if (!filial || filial->empty()) throw OperationError("Filial deve ser informada.");
    if (!paciente || paciente->empty()) throw OperationError("Paciente deve ser informado.");
    if (!inicio) throw OperationError("Data inicial deve ser informada.");
    return {*filial, *paciente, *inicio};
}

db::Params periodParams(const PeriodKey& key) {
    return {{"P_CDFILIAL", key.filial}, {"P_CDPACIENTE", key.paciente}, {"P_DTINIINQU", key.inicio.toString()}};
}

protocol::json auditKey(const PeriodKey& key) { return {{"DTINIINQU", key.inicio.toString()}}; }

void insertPeriod(CallContext& ctx, WriteScope& write, const PacketRow& row) {
    const PeriodKey key = periodKey(row);
    const auto fim = row.date("DTFININQU");
    if (!fim) throw OperationError("Data final deve ser informada.");
    if (*fim < key.inicio) throw OperationError("Data inicial deve ser menor ou igual a data final.");

    const auto filialDoPaciente = lockPatient(ctx, key.paciente);
    if (!filialDoPaciente || *filialDoPaciente != key.filial)
        throw OperationError("Paciente não cadastrado para a filial informada.");

    // Checked with the patient locked, so a concurrent insert cannot slip in.
    const auto latest = db::scalarText(ctx.session, LatestEndSql, {{"P_CDPACIENTE", key.paciente}});
    const auto latestEnd = latest ? Date::parse(latest->substr(0, 10)) : std::nullopt;
    if (latestEnd && key.inicio < *latestEnd) throw OperationError("Data cadastrada em outro período.");
    if (periodEnd(ctx, key, false)) throw OperationError("Já existe um período de inquérito com esta data inicial.");

    db::Params params = periodParams(key);
    params.push_back({"P_DTFININQU", fim->toString()});
    db::execute(ctx.session,
                "INSERT INTO INQUERPACI (CDFILIAL, CDPACIENTE, DTINIINQU, DTFININQU) "
                "VALUES (:P_CDFILIAL, :P_CDPACIENTE, :P_DTINIINQU, :P_DTFININQU)",
                params);
    auto keys = auditKey(key);
    keys["DTFININQU"] = fim->toString();
    write.audit(key.filial, key.paciente, AuditAction::Insert, keys);
}

void deletePeriod(CallContext& ctx, WriteScope& write, const PacketRow& row) {
    const PeriodKey key = periodKey(row);
    lockPatient(ctx, key.paciente);
    if (!periodEnd(ctx, key, true)) throw OperationError("Período de inquérito não encontrado.");
    // Items, meal times and needs belong to the period and go with it.
    const db::Params params = periodParams(key);
    const char* const where =
        " WHERE CDFILIAL = :P_CDFILIAL AND CDPACIENTE = :P_CDPACIENTE AND DTINIINQU = :P_DTINIINQU";
    auto keys = auditKey(key);
    keys["HORARIOS"] = db::execute(ctx.session, std::string("DELETE FROM HORAINQPACI") + where, params);
    keys["ITENS"] = db::execute(ctx.session, std::string("DELETE FROM ITINQUERPACI") + where, params);
    keys["NECESSIDADES"] = db::execute(ctx.session, std::string("DELETE FROM NECESNUTRPACI") + where, params);
    db::execute(ctx.session, std::string("DELETE FROM INQUERPACI") + where, params);
    write.audit(key.filial, key.paciente, AuditAction::Delete, keys);
}

void setInqPaci(CallContext& ctx) {
    const protocol::ChangePacket packet = ctx.args.changes(0);
    requireFields(packet, {"CDFILIAL", "CDPACIENTE", "DTINIINQU", "DTFININQU"});
    WriteScope write(ctx);
    for (const auto& change : packet.changes) {
        switch (change.kind) {
            case protocol::ChangeKind::Update:
                throw OperationError("Período de inquérito não pode ser alterado.");
            case protocol::ChangeKind::Insert:
                insertPeriod(ctx, write, PacketRow(packet, change.newValues));
                break;
            case protocol::ChangeKind::Delete:
                deletePeriod(ctx, write, PacketRow(packet, change.oldValues));
                break;
        }
    }
    ctx.result.data = nullptr;
    write.commit();
}

}  // namespace

void registerPeriods(Dispatcher& d) {
    d.add(Object, "GetPaciente", 2, getPaciente, BranchRule::argument(0));
    d.add(Object, "GetInqPaci", 2, getInqPaci, BranchRule::argument(0));
    d.add(Object, "GetMax", 1, getMax, BranchRule::patient(0));
    d.add(Object, "SetInqPaci", 1, setInqPaci, BranchRule::packetRows(0));
}

}  // namespace server::inquerito

// The meal time of one service on one survey day: GetHoraItem, SetHoraItem.
#include "db/Query.h"
#include "server/InqueritoOperations.h"
#include "server/SurveyRules.h"
#include "server/Writes.h"

namespace server::inquerito {

namespace {

using protocol::FieldType;
using namespace survey;

void getHoraItem(CallContext& ctx) {
    const SurveyDay d = surveyDayArgs(ctx.args);
    // IDTIPOINQUER belongs to the client's data set layout; no meal time has a type.
    ctx.reply(db::query(ctx.session,
                        std::string("SELECT HRSERVINQ AS HRSERVINQ, CAST(NULL AS VARCHAR(1)) AS IDTIPOINQUER "
                                    "FROM HORAINQPACI WHERE ") +
                            dayCondition(""),
                        dayParams(d), {{"HRSERVINQ", FieldType::String, 4}, {"IDTIPOINQUER", FieldType::String, 1}}));
}

void setHoraItem(CallContext& ctx) {
    const SurveyDay d = surveyDayArgs(ctx.args);
    const std::string hora = ctx.args.text(6);
    if (!isValidMealTime(hora)) throw OperationError("Horário inválido: informe horas (00 a 23) e minutos (00 a 59).");

    WriteScope write(ctx);
    requireDayInPeriod(ctx, d.period, d.dia, true);
    requireService(ctx, d.period.filial, d.servico);
    db::Params params = dayParams(d);
    if (hora.empty()) {
        db::execute(ctx.session, std::string("DELETE FROM HORAINQPACI WHERE ") + dayCondition(""), params);
    } else {
        params.push_back({"P_HRSERVINQ", hora});
        db::execute(ctx.session,
                    "INSERT INTO HORAINQPACI (CDFILIAL, CDPACIENTE, DTINIINQU, CDSERVFILI, DTINQUERITO, HRSERVINQ) "
                    "VALUES (:P_CDFILIAL, :P_CDPACIENTE, :P_DTINIINQU, :P_CDSERVFILI, :P_DTINQUERITO, :P_HRSERVINQ) "
                    "ON CONFLICT (CDFILIAL, CDPACIENTE, DTINIINQU, CDSERVFILI, DTINQUERITO) "
                    "DO UPDATE SET HRSERVINQ = excluded.HRSERVINQ",
                    params);
    }
    write.audit(d.period.filial, d.period.paciente, hora.empty() ? AuditAction::Delete : AuditAction::Update,
                {{"DTINIINQU", d.period.inicio.toString()},
                 {"CDSERVFILI", d.servico},
                 {"DTINQUERITO", d.dia.toString()},
                 {"HRSERVINQ", hora}});
    ctx.result.data = nullptr;
    ctx.result.byref[6] = hora;
    write.commit();
}

}  // namespace

void registerMealTime(Dispatcher& d) {
    d.add(Object, "GetHoraItem", 6, getHoraItem, BranchRule::argument(1));
    d.add(Object, "SetHoraItem", 7, setHoraItem, BranchRule::argument(1));
}

}  // namespace server::inquerito

// The patient's recent foods for the product and dish lookups: GetAlimRecentes.
//
// GetAlimRecentes(patient, branch, day) answers one packet of the distinct
// foods of the patient's items in that branch dated from seven days before
// the day to the day itself, whatever their period or service:
// - IDTIPO: 'P' for a product (CDALIMENTO is PRODUTO.CDPRODUTO), 'D' for a
//   dish (CDALIMENTO is PRATO.CDPRATO);
// - CDALIMENTO: the code, as the item stores it.
// Ordered by IDTIPO and code. The desktop marks these rows "Recente" and
// lists them first; it reads them here so that the read is authorised by
// branch and audited like every other read of survey data.
#include "db/Query.h"
#include "server/InqueritoOperations.h"

namespace server::inquerito {

namespace {

using protocol::FieldType;

constexpr long RecentDays = 7;

void getAlimRecentes(CallContext& ctx) {
    const std::string patient = ctx.args.text(0, survey::width::Paciente);
    const std::string branch = ctx.args.text(1, survey::width::Filial);
    if (patient.empty()) throw ArgumentError("Paciente deve ser informado.");
    const protocol::Date day = ctx.args.date(2);
    // No date before 0001-01-01: PostgreSQL has no year 0.
    const protocol::Date first{1, 1, 1};
    const protocol::Date from =
        day.toDayNumber() - RecentDays < first.toDayNumber() ? first : day.addDays(-RecentDays);
    ctx.replyQuery(
        "SELECT DISTINCT CASE WHEN IDTIPOINQUER = '1' THEN 'D' ELSE 'P' END AS IDTIPO, "
        "COALESCE(CDPRODUTO, CDPRATO) AS CDALIMENTO "
        "FROM ITINQUERPACI "
        "WHERE CDFILIAL = :P_CDFILIAL AND CDPACIENTE = :P_CDPACIENTE AND "
        "DTINQUERITO >= :P_DTINICIO AND DTINQUERITO <= :P_DTINQUERITO "
        "ORDER BY IDTIPO, CDALIMENTO",
        {{"P_CDFILIAL", branch},
         {"P_CDPACIENTE", patient},
         {"P_DTINICIO", from.toString()},
         {"P_DTINQUERITO", day.toString()}},
        {{"IDTIPO", FieldType::String, 1}, {"CDALIMENTO", FieldType::String, survey::width::Produto}});
}

}  // namespace

void registerRecentFoods(Dispatcher& d) {
    d.add(Object, "GetAlimRecentes", 3, getAlimRecentes, BranchRule::argumentAndPatient(1, 0));
}

}  // namespace server::inquerito

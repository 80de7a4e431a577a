// Server object "Zep12600.rdmInquerito": the survey's periods, items, meal
// times and food warnings. The operations live in Inquerito*.cpp by concern.
//
// Server rules chosen here:
// - Codes longer than their column, malformed dates and change packets that
//   lack a needed field are refused as bad arguments; nothing is written.
// - Every write operation runs in one transaction; any refusal rolls back the
//   whole change packet.
// - Periods (SetInqPaci) are inserted or deleted, never updated. A new period
//   needs start and end, end >= start, a patient of that branch, and a start
//   on or after the latest end among the patient's periods in any branch (the
//   same day is allowed). On PostgreSQL the patient row is locked while this
//   is checked, so two clients cannot add overlapping periods. Deleting a
//   period deletes its items and meal times with it.
// - An item is identified by branch, patient, period start, service, survey
//   day and sequence number. A product item stores PRODUTO.CDPRODUTO of the
//   leaf product whose tree code (CDARVPROD) the client sends in CDPRATPROD;
//   a dish item stores CDPRATO and the dish's owner branch from PRATO (the
//   dish must belong to the branch or to all, 'P'). The period must exist and
//   hold the day, the service must belong to the branch, the measure must be
//   one of the product's or dish's, portions > 0 and total quantity >= 0.
//   The total quantity is stored as the client computed it.
// - Item writers of one period queue on the period row (PostgreSQL: SELECT ...
//   FOR UPDATE; SQLite: BEGIN IMMEDIATE). An inserted item whose number was
//   taken meanwhile by another client gets the next free number (max + 1);
//   so does an update that renumbers onto a taken number. Numbers are stored
//   as three digits.
// - Update and delete find the item by its old key and also require its old
//   code, measure and portions to be still stored (optimistic check);
//   otherwise the packet is refused as changed by another user.
// - Meal times (SetHoraItem) are "" or HHMM (HH <= 23, MM <= 59); "" deletes
//   the stored time. The period must exist and hold the day.
// - Warnings: see Restrictions.h. The product sets carry the tree code in
//   their CDPRODUTO field, which is what the client compares; only leaf
//   products are listed (CDPRODUTO sized for a tree code, 20). Dishes are
//   those of the branch and common ones ('P'); the owner branch the client
//   names in GetPratoRest does not change the answer.
//
// Branch of each operation (Authorization.h; checked before it runs, and a
// call for a branch the session's operator may not use reads and writes
// nothing). "Patient" means the patient's own branch (PACIENTE.CDFILIAL)
// must be allowed too, because the operation reads the patient's records
// (diagnoses, intolerances, medication, periods) by patient code alone:
// - GetPaciente, GetInqPaci: argument 1 (branch).
// - GetMax: the patient of argument 1 (the latest end spans every branch).
// - SetInqPaci, SetItemPrato: CDFILIAL of every old and new row of the packet.
// - GetItemProd, GetItemPrato, GetHoraItem, SetHoraItem, GetPesqProd,
//   GetPesqPrato: argument 2 (branch; the patient's items are read within it).
// - GetSeqInquer: argument 1 (branch).
// - GetProdutoRest, GetVerMedica, GetNutrDia: argument 2 (branch) and patient (argument 1).
// - GetPratoRest: argument 3 (branch) and patient (argument 1).
// - GetVerMedicaPrato: argument 5 (branch) and patient (argument 1).
// - GetNecesNutr, SetNecesNutr, GetTotDia, GetAlimRecentes: argument 2
//   (branch) and patient (argument 1).
//
// Audit (Writes.h): SetInqPaci writes one row per period inserted or deleted
// (a deleted period's keys count the items and meal times that went with
// it); SetItemPrato one per item inserted, updated (with the former key when
// it moved) or deleted; SetHoraItem one per call (A: set, E: cleared);
// SetNecesNutr one per call (I: first recorded, A: replaced).
//
// Needs (InqueritoNeeds.cpp): one row per branch, patient and period in
// NECESNUTRPACI, replaced whole by each SetNecesNutr and deleted with its
// period. Values out of the ranges of catalog/NutritionNeeds.h, and the
// equations for a patient without sex, birth date or under 18, are refused.
//
// Day totals (InqueritoDayTotals.cpp): GetTotDia answers one day's energy and
// macronutrients, whole and per service, with the period's targets.
//
// Recent foods (InqueritoRecentFoods.cpp): GetAlimRecentes answers the
// products and dishes of the patient's items of a day and the seven days
// before it, which the product and dish lookups list first.
#include "server/InqueritoOperations.h"

namespace server {

void registerRdmInquerito(Dispatcher& d) {
    inquerito::registerPeriods(d);
    inquerito::registerItems(d);
    inquerito::registerMealTime(d);
    inquerito::registerWarnings(d);
    inquerito::registerNeeds(d);
    inquerito::registerDayTotals(d);
    inquerito::registerRecentFoods(d);
}

}  // namespace server

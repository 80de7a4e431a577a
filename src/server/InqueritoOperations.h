#pragma once
// The operations of "Zep12600.rdmInquerito", registered by concern.
#include "catalog/NutritionNeeds.h"
#include "server/Dispatcher.h"
#include "server/SurveyRules.h"

#include <optional>

namespace server::inquerito {

constexpr const char* Object = "Zep12600.rdmInquerito";

void registerPeriods(Dispatcher& d);  // GetPaciente, GetInqPaci, GetMax, SetInqPaci
void registerItems(Dispatcher& d);  // GetItemProd, GetItemPrato, SetItemPrato, GetSeqInquer, GetPesqProd, GetPesqPrato
void registerMealTime(Dispatcher& d);  // GetHoraItem, SetHoraItem
void registerWarnings(Dispatcher& d);  // GetProdutoRest, GetPratoRest, GetVerMedica, GetVerMedicaPrato, GetNutrDia
void registerNeeds(Dispatcher& d);  // GetNecesNutr, SetNecesNutr
void registerDayTotals(Dispatcher& d);  // GetTotDia
void registerRecentFoods(Dispatcher& d);  // GetAlimRecentes

// The daily targets of the needs recorded for a period; nullopt when none are
// recorded or the patient's record no longer lets them be computed.
std::optional<catalog::needs::Targets> recordedTargets(CallContext& ctx, const survey::PeriodKey& key);

}  // namespace server::inquerito

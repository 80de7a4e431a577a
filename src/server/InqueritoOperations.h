#pragma once
// The operations of "Zep12600.rdmInquerito", registered by concern.
#include "server/Dispatcher.h"

namespace server::inquerito {

constexpr const char* Object = "Zep12600.rdmInquerito";

void registerPeriods(Dispatcher& d);  // GetPaciente, GetInqPaci, GetMax, SetInqPaci
void registerItems(Dispatcher& d);  // GetItemProd, GetItemPrato, SetItemPrato, GetSeqInquer, GetPesqProd, GetPesqPrato
void registerMealTime(Dispatcher& d);  // GetHoraItem, SetHoraItem
void registerWarnings(Dispatcher& d);  // GetProdutoRest, GetPratoRest, GetVerMedica, GetVerMedicaPrato, GetNutrDia
void registerNeeds(Dispatcher& d);  // GetNecesNutr, SetNecesNutr

}  // namespace server::inquerito

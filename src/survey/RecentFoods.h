#pragma once
// The patient's recent foods, listed first by the product and dish lookups:
// what the patient had on the survey day and the seven days before it.
#include "survey/SurveyContext.h"

namespace hostfw {
class TADOIBQuery;
class TField;
}

namespace survey {

inline constexpr int kRecentDays = 7;

// Sets the recent-food parameters of qryProduto or qryPrato from the context:
// P_CDFILIAL, P_CDPACIENTE, P_DTINICIO and P_DTINQUERITO (null without a day).
void setRecentFoodParams(hostfw::TADOIBQuery* query, const SurveyContext& context);

// The lookup's "Recente" column: a mark on the rows the patient had lately.
void showRecentMark(hostfw::TField* flag);

}  // namespace survey

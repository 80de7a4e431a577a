#include "survey/RecentFoods.h"

#include "host/connection/ADOIBQuery.h"

namespace survey {

void setRecentFoodParams(hostfw::TADOIBQuery* query, const SurveyContext& context) {
    query->ParamByName("P_CDFILIAL").SetAsString(context.branch);
    query->ParamByName("P_CDPACIENTE").SetAsString(context.patient);
    if (!context.day.isValid()) {
        query->ParamByName("P_DTINICIO").Clear();
        query->ParamByName("P_DTINQUERITO").Clear();
        return;
    }
    query->ParamByName("P_DTINICIO").SetAsString(context.day.addDays(-kRecentDays).toString(Qt::ISODate));
    query->ParamByName("P_DTINQUERITO").SetAsString(context.day.toString(Qt::ISODate));
}

void showRecentMark(hostfw::TField* flag) {
    flag->DisplayLabel = QStringLiteral("Recente");
    flag->DisplayWidth = 7;
    // A symbol, not a word: the lookup's search looks into every column.
    flag->OnGetText = [](hostfw::TField* field, QString& text, bool display) {
        text = field->AsString();
        if (display) text = text == QLatin1String("S") ? QStringLiteral("●") : QString();
    };
}

}  // namespace survey

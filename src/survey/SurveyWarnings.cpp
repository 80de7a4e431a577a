// Restriction, intolerance and interaction warnings of the items grid.
#include "host/core/Consiste.h"
#include "host/core/Vorlane.h"
#include "host/data/DBGrid.h"
#include "survey/Cli_Zep12600.h"

using namespace hostfw;

void TfrmInquerito::dbgProdPratDblClick() {
    if (itemColumn() != QLatin1String("IDVERMEDICA") || !cdsProdPrat->Active() || cdsProdPrat->IsEmpty()) return;
    const survey::SurveyContext context = surveyContext();
    const QString code = item("CDPRATPROD")->AsString();
    if (itemIsDish()) {
        const QString owner = item("CDFILAUXPRAT")->AsString();
        cdsPratoVerMedica->SetData(Consiste::CheckResultServ(netInquerito->AppServer(
            "GetVerMedicaPrato", {context.patient, context.day, code, owner, context.branch})));
        if (!cdsPratoVerMedica->IsEmpty())
            Vorlane::LoadBPL(QStringLiteral("ZEP12650"),
                             {context.patient, code, owner, context.branch, QDateTime(context.day, QTime(0, 0))});
    } else {
        cdsProdVerMedica->SetData(Consiste::CheckResultServ(
            netInquerito->AppServer("GetVerMedica", {context.patient, context.branch, context.day, code})));
        if (!cdsProdVerMedica->IsEmpty())
            Vorlane::LoadBPL(QStringLiteral("ZEP12650"),
                             {context.patient, code, QString(), context.branch, QDateTime(context.day, QTime(0, 0))});
    }
}

// Meal time of the service and day on the survey screen.
#include "host/routines/Consiste.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/controls/MaskEdit.h"
#include "survey/Cli_Zep12600.h"

using namespace hostfw;

QString TfrmInquerito::strippedMealTime() const {
    QString t = medHorario->Text();
    t.remove(':');
    t.remove(' ');
    return t;
}

QString TfrmInquerito::storedMealTime() const {
    if (!cdsHorario->Active() || cdsHorario->IsEmpty()) return {};
    return cdsHorario->FieldByName("HRSERVINQ")->AsString();
}

void TfrmInquerito::showMealTime(const QString& hhmm) {
    const QString mask = medHorario->EditMask();
    medHorario->ClearMask();
    medHorario->SetText(hhmm);
    medHorario->SetEditMask(mask);
}

void TfrmInquerito::GetHora(bool fill) {
    const QString stripped = strippedMealTime();
    if (Consiste::EmptyString(edtCdServico->Text()) || depInquerito->IsEmpty() || !depInquerito->Date().isValid() ||
        !stripped.isEmpty() || !cdsInqPaci->Active() || cdsInqPaci->IsEmpty())
        return;
    cdsHorario->SetData(Consiste::CheckResultServ(netInquerito->AppServer("GetHoraItem", surveyContext().dayArgs())));
    if (!Consiste::EmptyString(storedMealTime()) && fill) showMealTime(storedMealTime());
}

void TfrmInquerito::medHorarioExit() {
    const QString shown = medHorario->Text();
    QString withoutColon = shown;
    withoutColon.remove(':');
    if (Consiste::EmptyString(withoutColon)) return;
    const int colon = shown.indexOf(':');
    const QString hourText = colon < 0 ? shown : shown.left(colon);
    const QString minuteText = colon < 0 ? QString() : shown.mid(colon + 1, 2);
    const QString hour = Consiste::Ajusta(Consiste::PadL(Consiste::AllTrim(hourText), 2), 2);
    QString minute = Consiste::Ajusta(Consiste::AllTrim(minuteText), 2);
    if (minute.isEmpty() && !hour.isEmpty()) minute = QStringLiteral("00");
    if (hour.toInt() > 23 || minute.toInt() > 59) {
        medHorario->setFocus();
        Consiste::MensErro("'" + shown + "' " + msgPadrao->Msg("HOR_INV"));
    }
    medHorario->SetText(hour + ":" + minute);
}

void TfrmInquerito::saveMealTime() {
    const QString typed = strippedMealTime();
    if (storedMealTime() == typed) return;
    QString time = typed;
    const survey::SurveyContext context = surveyContext();
    std::vector<NetArg> args = context.dayArgs();
    args.push_back(NetArg::ref(time));
    Consiste::CheckResultServ(netInquerito->AppServer("SetHoraItem", std::move(args)));
    // What is stored now is what the edit shows: entering again sends nothing.
    cdsHorario->SetData(Consiste::CheckResultServ(netInquerito->AppServer("GetHoraItem", context.dayArgs())));
}

// The meal time of the day and service: read, normalised, and stamped on
// new rows; saved on entering the grid only when it changed.
#include "survey/ItemsPage.h"

#include "host/connection/NetConnection.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/controls/MaskEdit.h"
#include "host/core/Focus.h"
#include "host/routines/Consiste.h"
#include "survey/ItemsPageParts.h"
#include "survey/PanelParts.h"

using namespace hostfw;
using namespace survey::parts;
using namespace survey::itemspage;

namespace survey {

QString ItemsPage::strippedMealTime() const {
    QString t = medHorario->Text();
    t.remove(':');
    t.remove(' ');
    return t;
}

QString ItemsPage::storedMealTime() const {
    if (!cdsHorario->Active() || cdsHorario->IsEmpty()) return {};
    return cdsHorario->FieldByName("HRSERVINQ")->AsString();
}

void ItemsPage::showMealTime(const QString& hhmm) {
    const QString mask = medHorario->EditMask();
    medHorario->ClearMask();
    medHorario->SetText(hhmm);
    medHorario->SetEditMask(mask);
}

void ItemsPage::GetHora(bool fill) {
    const QString stripped = strippedMealTime();
    if (Consiste::EmptyString(edtCdServico->Text()) || depInquerito->IsEmpty() || !depInquerito->Date().isValid() ||
        !stripped.isEmpty() || !context().hasPeriod())
        return;
    cdsHorario->SetData(Consiste::CheckResultServ(services_.net->AppServer("GetHoraItem", context().dayArgs())));
    if (!Consiste::EmptyString(storedMealTime()) && fill) showMealTime(storedMealTime());
}

void ItemsPage::medHorarioExit() {
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
        Consiste::MensErro("'" + shown + "' " + msg("HOR_INV"));
    }
    medHorario->SetText(hour + ":" + minute);
}

void ItemsPage::saveMealTime() {
    const QString typed = strippedMealTime();
    if (storedMealTime() == typed) return;
    QString time = typed;
    const SurveyContext context = this->context();
    std::vector<NetArg> args = context.dayArgs();
    args.push_back(NetArg::ref(time));
    Consiste::CheckResultServ(services_.net->AppServer("SetHoraItem", std::move(args)));
    // What is stored now is what the edit shows: entering again sends nothing.
    cdsHorario->SetData(Consiste::CheckResultServ(services_.net->AppServer("GetHoraItem", context.dayArgs())));
}

}  // namespace survey

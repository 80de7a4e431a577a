// Survey periods and the survey date.
#include "host/routines/Consiste.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/core/Failures.h"
#include "host/controls/MaskEdit.h"
#include "host/routines/Vorlane.h"
#include "survey/Cli_Zep12600.h"
#include "survey/DayPanel.h"
#include "survey/SendChanges.h"

using namespace hostfw;


void TfrmInquerito::cdsInqPaciNewRecord() {
    cdsInqPaciCDFILIAL->SetAsString(medFilial->Text());
    cdsInqPaciCDPACIENTE->SetAsString(edtCdPaciente->Text());
    cdsInqPaciDTINIINQU->FocusControl();
}

void TfrmInquerito::cdsInqPaciBeforeEdit() { Abort(); }

void TfrmInquerito::cdsInqPaciBeforePost() {
    auto stop = [this](TField* focus, const char* key) {
        focus->FocusControl();
        Consiste::MensErro(msgPadrao->Msg(key));
    };
    if (cdsInqPaciDTINIINQU->IsNull()) stop(cdsInqPaciDTINIINQU, "DtIni");
    if (cdsInqPaciDTFININQU->IsNull()) stop(cdsInqPaciDTFININQU, "dtFin");
    if (cdsInqPaciDTFININQU->AsDate() < cdsInqPaciDTINIINQU->AsDate()) stop(cdsInqPaciDTINIINQU, "Data_Inv");
    cdsMax->SetData(Consiste::CheckResultServ(netInquerito->AppServer("GetMax", {surveyContext().patient})));
    if (!cdsMax->IsEmpty()) {
        TField* latest = cdsMax->FieldByName("DTMAX");
        if (!latest->IsNull() && cdsInqPaciDTINIINQU->AsDate() < latest->AsDate())
            stop(cdsInqPaciDTINIINQU, "Dt_Periodo");
    }
}

void TfrmInquerito::cdsInqPaciAfterPostOrDelete() {
    survey::sendChanges(netInquerito, "SetInqPaci", cdsInqPaci, mainWindow());
}

void TfrmInquerito::cdsInqPaciAfterCancel() {
    cdsInqPaci->CancelUpdates();
    if (cdsInqPaci->IsEmpty()) dtsInqPaciStateChange();
}

void TfrmInquerito::cdsInqPaciCalcFields() {
    if (cdsInqPaciDTINIINQU->IsNull())
        cdsInqPaciDTNAVIGATOR->SetAsString(QString());
    else
        cdsInqPaciDTNAVIGATOR->SetAsString(cdsInqPaciDTINIINQU->AsString() + " - " + cdsInqPaciDTFININQU->AsString());
}

void TfrmInquerito::sbtOntemClick() {
    depInquerito->SetDate(depInquerito->Date().addDays(-1));
    depInquerito->setFocus();
}

void TfrmInquerito::sbtAmanhaClick() {
    depInquerito->SetDate(depInquerito->Date().addDays(1));
    depInquerito->setFocus();
}

void TfrmInquerito::depInqueritoChange() {
    edtDiaSemana->Clear();
    medHorario->SetText(QString());
}

void TfrmInquerito::depInqueritoDateChange() {
    edtDiaSemana->SetText(Consiste::NomeSemana(depInquerito->Date()));
    // Day totals: follow the date.
    if (auto* day = survey::dayPanelOf(this)) day->showDay(surveyContext());
}

void TfrmInquerito::depInqueritoExit() {
    depInquerito->CheckValidDate();
    if (!depInquerito->IsEmpty() && cdsInqPaci->Active() && !cdsInqPaci->IsEmpty()) {
        const QDate start = cdsInqPaciDTINIINQU->AsDate();
        const QDate end = cdsInqPaciDTFININQU->AsDate();
        const QDate day = depInquerito->Date();
        if (day > end || day < start) {
            depInquerito->SetDate(start);
            depInquerito->setFocus();
            Consiste::MensErro(msgPadrao->Msg("DtPeriodo"));
        }
    }
    GetHora(true);
}

// Commands of the survey screen's toolbar and menus, the rules that enable
// them, the page change and the entry into the header and service panels.
#include "host/controls/BtnPesquisa.h"
#include "host/routines/Consiste.h"
#include "host/data/DBGrid.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/controls/Lookups.h"
#include "host/controls/MaskEdit.h"
#include "host/routines/Vorlane.h"
#include "survey/Cli_Zep12600.h"
#include "survey/DayPanel.h"

#include <QMenu>

using namespace hostfw;

namespace {

bool editing(TDataSetState s) { return s == TDataSetState::dsEdit || s == TDataSetState::dsInsert; }
bool browsing(TDataSetState s) { return s == TDataSetState::dsBrowse; }
bool hasRows(TClientDataSet* ds) { return ds->Active() && !ds->IsEmpty(); }

}  // namespace

void TfrmInquerito::sbtIncluirClick() {
    TfrmPadraoGrid::sbtIncluirClick();
    if (itemsPageShowing()) {
        cdsProdPrat->FieldByName("IDTIPOINQUER")->FocusControl();
        if (browsing(cdsProdPrat->State())) cdsProdPrat->Insert();
    } else if (browsing(cdsInqPaci->State())) {
        cdsInqPaci->Insert();
    }
}

void TfrmInquerito::sbtAlterarClick() {
    TfrmPadraoGrid::sbtAlterarClick();
    if (browsing(cdsProdPrat->State())) cdsProdPrat->Edit();
    cdsProdPrat->FieldByName("CDMEDICASE")->FocusControl();
}

void TfrmInquerito::sbtExcluirClick() {
    if (itemsPageShowing()) {
        TfrmPadraoGrid::sbtExcluirClick();
        return;
    }
    if (msgPadrao->ShowMsg("Excl", mtConfirmation, mbYes | mbNo) != mrYes) return;
    cdsInqPaci->Delete();
    dtsInqPaciStateChange();
}

void TfrmInquerito::sbtConfirmarClick() {
    if (itemsPageShowing()) {
        if (cdsProdPrat->Editing()) cdsProdPrat->Post();
    } else if (cdsInqPaci->Editing()) {
        cdsInqPaci->Post();
    }
}

void TfrmInquerito::sbtProcurarClick() {
    if (itemsPageShowing())
        TfrmPadraoGrid::sbtProcurarClick();
    else
        Procurar::Procura(cdsInqPaci);
}

void TfrmInquerito::sbtVerificarClick() {
    Showavi::Scope busy(6, mainWindow());
    if (itemsPageShowing()) LoadItems();
}

void TfrmInquerito::sbtImprimirClick() {
    pmnInquNutr->popup(sbtImprimir->mapToGlobal(QPoint(0, sbtImprimir->height())));
}

void TfrmInquerito::dbnPadraoClick() {
    if (itemsPageShowing()) depInquerito->SetDate(cdsInqPaciDTINIINQU->AsDate());
    Showavi::Scope busy(6, mainWindow());
    LoadItems();
    if (!itemsPageShowing()) dtsInqPaciStateChange();
}

void TfrmInquerito::mnuPaciClick() {
    if (pgcPadrao->currentWidget() == tshPaci) return;
    showPage(tshPaci);
    pgcPadraoChange();
}

void TfrmInquerito::mnuPadraoClick() {
    if (pgcPadrao->currentWidget() == tshPadrao) return;
    showPage(tshPadrao);
    pgcPadraoChange();
}

void TfrmInquerito::showPage(QWidget* page) {
    settingPage_ = true;
    pgcPadrao->setCurrentWidget(page);
    settingPage_ = false;
}

void TfrmInquerito::setPageEnabled(QWidget* page, bool enabled) {
    pgcPadrao->setTabEnabled(pgcPadrao->indexOf(page), enabled);
}

void TfrmInquerito::tshPadraoEnter() { edtDiaSemana->SetText(Consiste::NomeSemana(depInquerito->Date())); }

void TfrmInquerito::dtsInqPaciStateChange() {
    const TDataSetState s = cdsInqPaci->State();
    if (Consiste::EmptyString(edtCdPaciente->Text()) && editing(s)) {
        edtCdPaciente->setFocus();
        Consiste::MensErro(msgPadrao->Msg("Paciente_Inf"));
    }
    const bool rows = hasRows(cdsInqPaci);
    SetCommand(mnuConfirmar, editing(s));
    SetCommand(mnuCancelar, editing(s));
    SetCommand(mnuIncluir, browsing(s));
    for (QAction* a : {mnuExcluir, mnuProcurar, mnuVerificar}) SetCommand(a, browsing(s) && rows);
    for (QAction* a : {mnuCalculo, mnuCopiarInq, mnuImprimir}) SetCommand(a, browsing(s));
    // The base screen's record navigator moves through the periods only while no period is typed.
    dbnPadrao->setEnabled(browsing(s));
    const bool itemsAvailable = !editing(s) && rows;
    setPageEnabled(tshPadrao, itemsAvailable);
    mnuPadrao->setEnabled(itemsAvailable);
    Consiste::SetChildEnabled(panPaciente, !editing(s));
    if (!editing(s) && Vorlane::ModuFili()) {
        medFilial->setEnabled(false);
        btpPesqFilial->setEnabled(false);
        lblFilial->setEnabled(false);
    }
}

void TfrmInquerito::dtsPadraoStateChange() {
    TfrmPadraoGrid::dtsPadraoStateChange();
    const TDataSetState t = dtsPadrao->State();
    const TDataSetState p = cdsProdPrat->State();
    for (QAction* a : {mnuCalculo, mnuCopiarInq, mnuImprimir}) SetCommand(a, browsing(t));
    if (itemsPageShowing()) {
        mnuPaci->setEnabled(!editing(p));
        setPageEnabled(tshPaci, mnuPaci->isEnabled());
        // The navigator moves the period under the row being typed.
        dbnPadrao->setEnabled(!editing(p) && browsing(cdsInqPaci->State()));
    }
    if (TColumn* type = dbgProdPrat->ColumnByField("IDTIPOINQUER"))
        type->SetButtonStyle(p == TDataSetState::dsInsert ? TColumnButtonStyle::cbsAuto : TColumnButtonStyle::cbsNone);
    if (TColumn* code = dbgProdPrat->ColumnByField("CDPRATPROD"))
        code->SetButtonStyle(p == TDataSetState::dsInsert && hasRows(cdsProdPrat) ? TColumnButtonStyle::cbsEllipsis
                                                                                   : TColumnButtonStyle::cbsNone);
    Consiste::SetChildEnabled(panPaciente, !editing(p));
    Consiste::SetChildEnabled(panInq, !editing(p));
    if (!editing(p) && Vorlane::ModuFili()) {
        medFilial->setEnabled(false);
        btpPesqFilial->setEnabled(false);
        lblFilial->setEnabled(false);
    }
}

void TfrmInquerito::pgcPadraoChange() {
    settlePendingItem();
    if (cdsProdPrat->Active()) cdsProdPrat->EmptyDataSet();
    const bool items = itemsPageShowing();
    mnuPaci->setChecked(!items);
    mnuPadrao->setChecked(items);
    SetCommand(mnuAlterar, items);
    SetCommand(mnuCalculo, items);
    SetCommand(mnuCopiarInq, items);
    if (items) {
        edtCdServico->setFocus();
        depInquerito->SetDate(cdsInqPaciDTINIINQU->AsDate());
        survey::dayPanelOf(this)->showDay(surveyContext());  // day totals: another patient or period
        dtsPadraoStateChange();
    } else {
        dtsInqPaciStateChange();
    }
}

void TfrmInquerito::panPacienteEnter() {
    showPage(tshPaci);
    pgcPadraoChange();
    if (cdsInqPaci->Active()) cdsInqPaci->EmptyDataSet();
    setPageEnabled(tshPadrao, false);
    mnuPadrao->setEnabled(false);
    for (QAction* a : {mnuIncluir, mnuAlterar, mnuExcluir, mnuProcurar, mnuVerificar, mnuConfirmar, mnuCancelar})
        SetCommand(a, false);
    SetCommand(mnuCalculo, mnuAlterar->isEnabled());
    SetCommand(mnuCopiarInq, mnuCalculo->isEnabled());
    SetCommand(mnuImprimir, mnuCopiarInq->isEnabled());
}

void TfrmInquerito::panInqEnter() {
    for (QAction* a : {mnuIncluir, mnuAlterar, mnuExcluir, mnuProcurar, mnuVerificar}) SetCommand(a, false);
    settlePendingItem();
    if (cdsProdPrat->Active()) cdsProdPrat->EmptyDataSet();
}

void TfrmInquerito::sbtCancelarClick() {
    if (!itemsPageShowing()) {
        if (cdsInqPaci->Active()) {
            if (cdsInqPaci->Editing()) cdsInqPaci->Cancel();
            dtsInqPaciStateChange();
        }
    } else if (msgPadrao->ShowMsg("Canc", mtConfirmation, mbYes | mbNo) == mrYes && cdsInqPaci->Active()) {
        if (cdsProdPrat->Editing()) cdsProdPrat->Cancel();
        dtsPadraoStateChange();
    }
    resetCommandsAfterCancel();
}

void TfrmInquerito::resetCommandsAfterCancel() {
    const bool items = itemsPageShowing();
    TClientDataSet* ds = items ? cdsProdPrat : cdsInqPaci;
    if (!hasRows(ds)) {
        for (QAction* a : {mnuAlterar, mnuExcluir, mnuProcurar, mnuVerificar}) SetCommand(a, false);
    } else {
        SetCommand(mnuIncluir, true);
        if (items) SetCommand(mnuAlterar, true);
        for (QAction* a : {mnuExcluir, mnuProcurar, mnuVerificar}) SetCommand(a, true);
        SetCommand(mnuConfirmar, false);
        SetCommand(mnuCancelar, false);
    }
    SetCommand(mnuCalculo, mnuAlterar->isEnabled());
    SetCommand(mnuCopiarInq, mnuCalculo->isEnabled());
    SetCommand(mnuImprimir, mnuCopiarInq->isEnabled());
}

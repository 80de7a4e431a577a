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
#include "survey/HeaderPanel.h"
#include "survey/ItemsPage.h"
#include "survey/PeriodsPage.h"

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
        items_->cdsProdPrat->FieldByName("IDTIPOINQUER")->FocusControl();
        if (browsing(items_->cdsProdPrat->State())) items_->cdsProdPrat->Insert();
    } else if (browsing(periods_->cdsInqPaci->State())) {
        periods_->cdsInqPaci->Insert();
    }
}

void TfrmInquerito::sbtAlterarClick() {
    TfrmPadraoGrid::sbtAlterarClick();
    if (browsing(items_->cdsProdPrat->State())) items_->cdsProdPrat->Edit();
    items_->cdsProdPrat->FieldByName("CDMEDICASE")->FocusControl();
}

void TfrmInquerito::sbtExcluirClick() {
    if (itemsPageShowing()) {
        TfrmPadraoGrid::sbtExcluirClick();
        return;
    }
    if (msgPadrao->ShowMsg("Excl", mtConfirmation, mbYes | mbNo) != mrYes) return;
    periods_->cdsInqPaci->Delete();
    dtsInqPaciStateChange();
}

void TfrmInquerito::sbtConfirmarClick() {
    if (itemsPageShowing()) {
        if (items_->cdsProdPrat->Editing()) items_->cdsProdPrat->Post();
    } else if (periods_->cdsInqPaci->Editing()) {
        periods_->cdsInqPaci->Post();
    }
}

void TfrmInquerito::sbtProcurarClick() {
    if (itemsPageShowing())
        TfrmPadraoGrid::sbtProcurarClick();
    else
        Procurar::Procura(periods_->cdsInqPaci);
}

void TfrmInquerito::sbtVerificarClick() {
    Showavi::Scope busy(6, mainWindow());
    if (itemsPageShowing()) items_->LoadItems();
}

void TfrmInquerito::sbtImprimirClick() {
    pmnInquNutr->popup(sbtImprimir->mapToGlobal(QPoint(0, sbtImprimir->height())));
}

void TfrmInquerito::dbnPadraoClick() {
    if (itemsPageShowing()) items_->depInquerito->SetDate(periods_->cdsInqPaciDTINIINQU->AsDate());
    Showavi::Scope busy(6, mainWindow());
    items_->LoadItems();
    if (!itemsPageShowing()) dtsInqPaciStateChange();
}

void TfrmInquerito::mnuPaciClick() {
    if (pgcPadrao->currentWidget() == periods_) return;
    showPage(periods_);
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

void TfrmInquerito::tshPadraoEnter() { items_->showDayName(); }

void TfrmInquerito::dtsInqPaciStateChange() {
    const TDataSetState s = periods_->cdsInqPaci->State();
    if (Consiste::EmptyString(header_->edtCdPaciente->Text()) && editing(s)) {
        header_->edtCdPaciente->setFocus();
        Consiste::MensErro(msgPadrao->Msg("Paciente_Inf"));
    }
    const bool rows = hasRows(periods_->cdsInqPaci);
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
    header_->setEditable(!editing(s));
}

void TfrmInquerito::dtsPadraoStateChange() {
    TfrmPadraoGrid::dtsPadraoStateChange();
    const TDataSetState t = dtsPadrao->State();
    const TDataSetState p = items_->cdsProdPrat->State();
    for (QAction* a : {mnuCalculo, mnuCopiarInq, mnuImprimir}) SetCommand(a, browsing(t));
    if (itemsPageShowing()) {
        mnuPaci->setEnabled(!editing(p));
        setPageEnabled(periods_, mnuPaci->isEnabled());
        // The navigator moves the period under the row being typed.
        dbnPadrao->setEnabled(!editing(p) && browsing(periods_->cdsInqPaci->State()));
    }
    items_->showColumnButtons(p);
    header_->setEditable(!editing(p));
    items_->setServiceEditable(!editing(p));
}

void TfrmInquerito::pgcPadraoChange() {
    items_->dropItems();
    const bool items = itemsPageShowing();
    mnuPaci->setChecked(!items);
    mnuPadrao->setChecked(items);
    SetCommand(mnuAlterar, items);
    SetCommand(mnuCalculo, items);
    SetCommand(mnuCopiarInq, items);
    if (items) {
        items_->edtCdServico->setFocus();
        items_->depInquerito->SetDate(periods_->cdsInqPaciDTINIINQU->AsDate());
        items_->showDay();  // day totals: another patient or period
        dtsPadraoStateChange();
    } else {
        dtsInqPaciStateChange();
    }
}

void TfrmInquerito::panPacienteEnter() {
    showPage(periods_);
    pgcPadraoChange();
    header_->forgetPatient();
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
}

void TfrmInquerito::sbtCancelarClick() {
    if (!itemsPageShowing()) {
        if (periods_->cdsInqPaci->Active()) {
            if (periods_->cdsInqPaci->Editing()) periods_->cdsInqPaci->Cancel();
            dtsInqPaciStateChange();
        }
    } else if (msgPadrao->ShowMsg("Canc", mtConfirmation, mbYes | mbNo) == mrYes && periods_->cdsInqPaci->Active()) {
        if (items_->cdsProdPrat->Editing()) items_->cdsProdPrat->Cancel();
        dtsPadraoStateChange();
    }
    resetCommandsAfterCancel();
}

void TfrmInquerito::cancelEditing() {
    if (!itemsPageShowing()) {
        if (periods_->cdsInqPaci->Active()) {
            if (periods_->cdsInqPaci->Editing()) periods_->cdsInqPaci->Cancel();
            dtsInqPaciStateChange();
        }
    } else if (periods_->cdsInqPaci->Active()) {
        if (items_->cdsProdPrat->Editing()) items_->cdsProdPrat->Cancel();
        dtsPadraoStateChange();
    }
}

void TfrmInquerito::resetCommandsAfterCancel() {
    const bool items = itemsPageShowing();
    TClientDataSet* ds = items ? items_->cdsProdPrat : periods_->cdsInqPaci;
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

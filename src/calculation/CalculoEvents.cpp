// Creation, closing and the user events of the calculation screen.
#include "calculation/Cli_Zep12610.h"
#include "calculation/EnergyChart.h"

#include "host/connection/ADOIBQuery.h"
#include "host/connection/NetConnection.h"
#include "host/controls/BtnPesquisa.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/controls/Lookups.h"
#include "host/routines/Consiste.h"
#include "host/core/Failures.h"
#include "host/core/Session.h"
#include "host/routines/Vorlane.h"
#include "host/data/DBGrid.h"
#include "host/data/DataSet.h"

#include <QApplication>

using namespace hostfw;

void TfrmCalculo::FormCreate() {
    TfrmRotiGeral::FormCreate();
    netCalculo->Open();
    depPerIni->SetDate(context_.periodStart);
    depPerFim->SetDate(context_.periodEnd);
    cdsParaDieto->SetData(Consiste::CheckResultServ(netCalculo->AppServer("GetParaDieto", {})));
    // The server answers one row per branch: the survey's branch decides.
    const bool located = cdsParaDieto->FindField(QStringLiteral("CDFILIAL")) &&
                         cdsParaDieto->Locate(QStringLiteral("CDFILIAL"), {context_.branch});
    panVct->setVisible(located && cdsParaDieto->FieldByName(QStringLiteral("IDVCTCALCNUT"))->AsString() == "S");
    stListaServico.clear();
    stListaNutriente.clear();
}

void TfrmCalculo::netCalculoBeforeConnect() {
    netCalculo->Host = Vorlane::WebURL();
    netCalculo->Port = Vorlane::WebPort();
}

void TfrmCalculo::FormActivate() { update(); }

void TfrmCalculo::FormClose() {
    TfrmRotiGeral::FormClose();
    netCalculo->Close();
}

void TfrmCalculo::depPerIniExit() { depPerIni->CheckValidDate(); }

void TfrmCalculo::depPerFimExit() { depPerFim->CheckValidDate(); }

void TfrmCalculo::rbtTodosClick() {
    btnServ->setEnabled(rbtLista->isChecked());
    stListaServico.clear();
}

void TfrmCalculo::btnServClick() {
    cdsServico->SetData(Consiste::CheckResultServ(netCalculo->AppServer("GetServico", {"T", branch()})));
    Pesqlista::PesquisaLista(dtsServico, QStringLiteral("CDSERVFILI"),
                             msgPadrao->Msg("SERV") + "|" + msgPadrao->Msg("Serv_Cad"), false, stListaServico);
    depPerIni->setFocus(Qt::OtherFocusReason);
}

void TfrmCalculo::rbtTNutriClick() {
    stListaNutriente.clear();
    btnNutriente->setEnabled(rbtLNutri->isChecked());
}

void TfrmCalculo::btnNutrienteClick() {
    cdsNutriente->Close();
    const bool noGroup = Consiste::EmptyString(medCdGrupo->Text());
    // Working copies: the server may change them, the screen does not read them back.
    QString group = noGroup ? QStringLiteral("T") : medCdGrupo->Text();
    QString all = noGroup ? QStringLiteral("T") : QStringLiteral(" ");
    {
        Showavi::Scope busy(6, session().mainWindow);
        cdsNutriente->SetData(Consiste::CheckResultServ(
            netCalculo->AppServer("getNutriente", {NetArg::ref(group), NetArg::ref(all)})));
    }
    Pesqlista::PesquisaLista(dtsNutriente, QStringLiteral("CDNUTRIENTE"),
                             msgPadrao->Msg("Nutriente") + "|" + msgPadrao->Msg("Nutriente_NCad"), false,
                             stListaNutriente);
    if (stListaNutriente.isEmpty()) return;
    Calc_Macro();
    Calcular();
    dbgMicro->setFocus(Qt::OtherFocusReason);
}

void TfrmCalculo::medCdGrupoChange() {
    edtNmGrupo->Clear();
    if (!rbtTNutri->isChecked()) {
        rbtTNutri->setChecked(true);
        rbtTNutriClick();
    }
}

void TfrmCalculo::medCdGrupoExit() { Vd_Grupo(); }

void TfrmCalculo::Vd_Grupo() {
    if (Consiste::EmptyString(medCdGrupo->Text())) return;
    try {
        const QString code = Consiste::Ajusta(medCdGrupo->Text(), 2);
        if (code != medCdGrupo->Text()) medCdGrupo->SetText(code);
        qryGrupo->Close();
        qryGrupo->ParamByName(QStringLiteral("P_CDGRUPO")).SetAsString(code);
        qryGrupo->Open();
        if (qryGrupo->IsEmpty()) Consiste::MensErro(msgPadrao->Msg("Grupo_NCad"), true);
        edtNmGrupo->SetText(qryGrupo->FieldByName(QStringLiteral("NMGRUPNUTR"))->AsString());
    } catch (...) {
        medCdGrupo->setFocus(Qt::OtherFocusReason);
        throw;
    }
}

void TfrmCalculo::btpGrupoBeforePesq(bool&) {
    qryGrupo->Close();
    qryGrupo->ParamByName(QStringLiteral("P_CDGRUPO")).Clear();
    qryGrupo->Open();
}

void TfrmCalculo::btpGrupoAfterPesq() {
    medCdGrupo->SetText(qryGrupo->FieldByName(QStringLiteral("CDGRUPNUTR"))->AsString());
    edtNmGrupo->SetText(qryGrupo->FieldByName(QStringLiteral("NMGRUPNUTR"))->AsString());
}

void TfrmCalculo::panDataEnter() {
    if (cdsCalc->Active()) cdsCalc->EmptyDataSet();
    if (cdsMacro->Active()) cdsMacro->EmptyDataSet();
    // The energy split belongs to the period and services about to change.
    clearEnergy();
}

void TfrmCalculo::panGrupoEnter() {
    if (cdsCalc->Active()) cdsCalc->EmptyDataSet();
}

void TfrmCalculo::dbgNutrienteEnter() { Calc_Macro(); }

void TfrmCalculo::dbgMicroEnter() {
    Calc_Macro();
    Calcular();
}

void TfrmCalculo::sbtConfirmaClick() {
    Calc_Macro();
    Calcular();
    dbgMicro->setFocus(Qt::OtherFocusReason);
}

int CriaCalculo(const survey::SurveyContext& context) {
    frmCalculo = new TfrmCalculo(context, session().mainWindow);
    try {
        frmCalculo->FormCreate();
    } catch (...) {
        // A screen that could not reach the server is not shown.
        delete frmCalculo;
        throw;
    }
    return frmCalculo->exec();
}

// Events of the spreadsheet screen: creation, filter checks and lookups,
// confirm, the rules that discard a shown spreadsheet, print and export.
#include "reports/Cli_Zep12640.h"

#include "host/connection/ADOIBQuery.h"
#include "host/connection/NetConnection.h"
#include "host/controls/BtnPesquisa.h"
#include "host/controls/Buttons.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/controls/Lookups.h"
#include "host/routines/Consiste.h"
#include "host/core/Failures.h"
#include "host/routines/Vorlane.h"
#include "host/data/DataSet.h"
#include "host/pivot/HierCube.h"
#include "host/pivot/HierCubeExport.h"
#include "host/pivot/HierCubeGrid.h"
#include "host/pivot/HierCubeGridPrint.h"

#include <QApplication>
#include <QRadioButton>

using namespace hostfw;

namespace {

QWidget* hostWindow() { return QApplication::activeWindow(); }

bool focused(QWidget* w) { return w->hasFocus() || w->isAncestorOf(QApplication::focusWidget()); }

}  // namespace

void TfrmPlaInqNutr::FormCreate() {
    {
        Showavi::Scope busy(0, hostWindow());
        netPlaInqNutr->SetConnected(true);
    }
    // Setting the dates runs their change handlers: the sheet starts closed.
    depIni->SetDate(context_.periodStart);
    depFim->SetDate(context_.periodEnd);
    depIniChange();
    depFimChange();
}

void TfrmPlaInqNutr::FormActivate() { update(); }

void TfrmPlaInqNutr::FormClose() { netPlaInqNutr->SetConnected(false); }

bool TfrmPlaInqNutr::sheetLoaded() const { return cdsInquNutr->Active() && hcbInquNutr->Active() && !cdsInquNutr->IsEmpty(); }

void TfrmPlaInqNutr::closeSheet(bool unbindCube) {
    cdsInquNutr->Close();
    if (unbindCube) hcbInquNutr->SeDataSet(nullptr);
}

// --- Filter ---------------------------------------------------------------

void TfrmPlaInqNutr::edtGrupoChange() {
    edtNmGrupo->Clear();
    closeSheet(true);
}

void TfrmPlaInqNutr::edtGrupoExit() {
    if (Consiste::EmptyString(edtGrupo->Text())) return;
    edtGrupo->SetText(Consiste::Ajusta(edtGrupo->Text(), 2));
    qryVerifGrup->Close();
    qryVerifGrup->ParamByName(QStringLiteral("P_CDGRUPNUTR")) = edtGrupo->Text();
    qryVerifGrup->Open();
    if (qryVerifGrup->IsEmpty()) {
        edtGrupo->setFocus();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("Grupo_NCad")));
    }
    edtNmGrupo->SetText(qryVerifGrup->FieldByName(QStringLiteral("NMGRUPNUTR"))->AsString());
}

void TfrmPlaInqNutr::BtnPesquisa2BeforePesq(bool&) { qryGrupo->Close(); }

void TfrmPlaInqNutr::BtnPesquisa2AfterPesq() {
    edtGrupo->SetText(qryGrupo->FieldByName(QStringLiteral("CDGRUPNUTR"))->AsString());
    edtNmGrupo->SetText(qryGrupo->FieldByName(QStringLiteral("NMGRUPNUTR"))->AsString());
    cdsInquNutr->Close();
}

void TfrmPlaInqNutr::depIniChange() { closeSheet(true); }
void TfrmPlaInqNutr::depFimChange() { closeSheet(true); }

void TfrmPlaInqNutr::rbtTNutriClick() {
    btnNutriente->setEnabled(rbtLNutri->isChecked());
    stListaNutriente.clear();
    cdsInquNutr->Close();
}

void TfrmPlaInqNutr::rbtTServClick() {
    btnServico->setEnabled(rbtLServ->isChecked());
    stListaServico.clear();
    cdsInquNutr->Close();
}

void TfrmPlaInqNutr::rbtLNutriKeyDown(int key) {
    if (key == Qt::Key_F9) btnNutrienteClick();
}

void TfrmPlaInqNutr::rbtLServKeyDown(int key) {
    if (key == Qt::Key_F9) btnServicoClick();
}

void TfrmPlaInqNutr::btnNutrienteClick() {
    cdsInquNutr->Close();
    qryNutriente->Close();
    qryNutriente->ParamByName(QStringLiteral("P_CDGRUPO")) = edtGrupo->Text();
    Pesqlista::PesquisaLista(dtsNutriente, QStringLiteral("CDNUTRIENTE"),
                             msgPadrao->Msg(QStringLiteral("Nutriente")) + '|' +
                                 msgPadrao->Msg(QStringLiteral("Nutriente_NCad")),
                             false, stListaNutriente);
}

void TfrmPlaInqNutr::btnServicoClick() {
    cdsInquNutr->Close();
    qryServico->Close();
    qryServico->ParamByName(QStringLiteral("P_CDFILIAL")) = context_.branch;
    Pesqlista::PesquisaLista(dtsServico, QStringLiteral("CDSERVFILI"),
                             msgPadrao->Msg(QStringLiteral("Servico")) + '|' +
                                 msgPadrao->Msg(QStringLiteral("Servico_NCad")),
                             false, stListaServico);
}

void TfrmPlaInqNutr::panFiltroEnter() {
    if (cdsInquNutr->Active()) cdsInquNutr->EmptyDataSet();
}

void TfrmPlaInqNutr::panFiltroExit() { hcbInquNutr->SeDataSet(cdsInquNutr); }

void TfrmPlaInqNutr::panDadosGridExit() { closeSheet(true); }

// --- Confirm --------------------------------------------------------------

QString TfrmPlaInqNutr::codeListOfQuery(TADOIBQuery* query, const QString& keyField) {
    query->Open();
    const QString list = codeListOfRows(query, keyField);
    query->Close();
    return list;
}

void TfrmPlaInqNutr::sbtConfirmaClick() {
    hcbInquNutr->SeDataSet(cdsInquNutr);
    if (focused(edtGrupo)) edtGrupoExit();
    if (depIni->IsEmpty()) {
        depIni->setFocus();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("DtIni_Inf")));
    }
    if (depFim->IsEmpty()) {
        depFim->setFocus();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("DtFim_Inf")));
    }
    if (depFim->Date() < depIni->Date()) {
        depIni->setFocus();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("DtIni>DtFim")));
    }
    if (!rbtLNutri->isChecked()) {
        qryNutriente->Close();
        qryNutriente->ParamByName(QStringLiteral("P_CDGRUPO")) = edtGrupo->Text();
        stListaNutriente = codeListOfQuery(qryNutriente, QStringLiteral("CDNUTRIENTE"));
    } else if (stListaNutriente.isEmpty()) {
        rbtLNutri->setFocus();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("Nutriente_Inf")));
    }
    if (!rbtLServ->isChecked()) {
        qryServico->Close();
        qryServico->ParamByName(QStringLiteral("P_CDFILIAL")) = context_.branch;
        stListaServico = codeListOfQuery(qryServico, QStringLiteral("CDSERVFILI"));
    } else if (stListaServico.isEmpty()) {
        rbtLServ->setFocus();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("Serv_Inf")));
    }

    bool loaded = false;
    try {
        Showavi::Scope busy(6, hostWindow());
        loadAndShow();
        loaded = true;
    } catch (...) {
        // Whatever failed (server, empty reply, a cube too large for memory),
        // the user learns only that there is nothing to build.
    }
    if (!loaded) Consiste::MensErro(msgPadrao->Msg(QStringLiteral("NDados_Plani")));
}

void TfrmPlaInqNutr::loadAndShow() {
    const survey::SurveyContext& context = context_;
    const protocol::json packet = Consiste::CheckResultServ(netPlaInqNutr->AppServer(
        "GetInquNutr", {depIni->Date(), depFim->Date(), context.patient, context.branch,
                        NetArg::ref(stListaServico), edtGrupo->Text(), NetArg::ref(stListaNutriente)}));
    cdsInquNutr->SetData(packet);
    cdsInquNutr->SetIndexFieldNames(
        QStringLiteral("DTINQUERITO;NMSERVICO;NMPRODUTO;NMNUTRIENTE;NMMEDICASE;QTALIMINQUER;TOTAL"));
    if (cdsInquNutr->IsEmpty()) Abort();
    hcbInquNutr->SeDataSet(cdsInquNutr);
    hcbInquNutr->SetActive(true);
    for (const char* f : {"DTINQUERITO", "NMSERVICO", "NMPRODUTO", "NMMEDICASE", "QTALIMINQUER", "NMNUTRIENTE"})
        if (auto* state = hcgInquNutri->GetDimensionStates()->FindFieldName(QString::fromLatin1(f)))
            state->ExpandAllNodes();
    hcgInquNutri->setFocus();
}

// --- Print and export ----------------------------------------------------

void TfrmPlaInqNutr::sbtImprimirClick() {
    if (!sheetLoaded()) Consiste::MensErro(msgPadrao->Msg(QStringLiteral("NDados_Plani")));
    PrintGrid->HeaderLines = {
        QStringLiteral("Paciente: %1 - %2").arg(context_.patient, context_.patientName),
        QStringLiteral("Período: %1 a %2").arg(depIni->Text(), depFim->Text()),
    };
    PrintGrid->Preview();
}

void TfrmPlaInqNutr::sbtExportarClick() {
    if (!sheetLoaded()) Consiste::MensErro(msgPadrao->Msg(QStringLiteral("NDados_Plani")));
    const QString suggested = QStringLiteral("inquerito-nutrientes-%1.xlsx").arg(context_.patient);
    const QString path = AskExportFile(suggested);
    if (path.isEmpty()) return;
    if (path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        ExportCubeGridCsv(*hcgInquNutri, path);
    else
        ExportCubeGridXlsx(*hcgInquNutri, path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive) ? path : path + ".xlsx",
                           QStringLiteral("Inquérito por Nutriente"));
}

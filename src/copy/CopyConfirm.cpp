// The copy screen's checks and the copy itself.
#include "copy/Cli_Zep12630.h"

#include "host/connection/ADOIBQuery.h"
#include "host/connection/NetConnection.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/MaskEdit.h"
#include "host/routines/Consiste.h"
#include "host/core/Failures.h"
#include "host/core/Session.h"
#include "host/routines/Vorlane.h"

#include <QApplication>
#include <QCheckBox>

using namespace hostfw;

namespace {

bool holdsFocus(QWidget* w) {
    QWidget* focused = QApplication::focusWidget();
    return focused && (focused == w || w->isAncestorOf(focused));
}

// Puts the focus on w; when the exit check of the focused field refuses to
// let it go, that check has already told the user why, so stop silently.
void focusOrAbort(QWidget* w) {
    w->setFocus();
    if (!holdsFocus(w)) Abort();
}

}  // namespace

void TfrmCopiarInq::Vd_Servico(TMaskEdit* code, TMaskEdit* name, bool required) {
    const bool blank = Consiste::EmptyString(code->Text());
    code->SetText(Consiste::Ajusta(code->Text(), 5));
    if (required && blank) {
        focusOrAbort(code);
        Consiste::MensErro(msgPadrao->Msg(code == medCdServOrig ? "ServOrig_Inf" : "ServDest_Inf"));
    }
    if (blank) return;
    openServices(code->Text());
    if (qryServico->IsEmpty()) {
        focusOrAbort(code);
        Consiste::MensErro(msgPadrao->Msg("Serv_Cad"));
    }
    name->SetText(qryServico->FieldByName("NMSERVICO")->AsString());
}

void TfrmCopiarInq::ValidaCopia() {
    auto fail = [this](QWidget* control, const char* key) {
        focusOrAbort(control);
        Consiste::MensErro(msgPadrao->Msg(key));
    };
    if (depOrigem->IsEmpty()) fail(depOrigem, "DataOrig_Inf");
    if (depDestino->IsEmpty()) fail(depDestino, "DataDest_Inf");
    Vd_Servico(medCdServOrig, medNmServOrig, true);
    Vd_Servico(medCdServDest, medNmServDest, true);

    const survey::SurveyContext context = surveyContext();
    const QDate origin = depOrigem->Date();
    const QDate destination = depDestino->Date();
    if (medCdServOrig->Text() == medCdServDest->Text() && origin == destination) fail(medCdServOrig, "Serv_Dif");
    if (origin > context.periodEnd || origin < context.periodStart) fail(depOrigem, "DtOrigem_Per");
    if (destination < origin) fail(depOrigem, "DtOrigem_Meno");
    if (destination > context.periodEnd || destination < context.periodStart) fail(depDestino, "DtDetino_Per");
    if (!chkPrato->isChecked() && !chkProduto->isChecked()) fail(chkProduto, "Opcao_Inf");
}

QString TfrmCopiarInq::copyOption() const {
    if (chkProduto->isChecked() && chkPrato->isChecked()) return QString();
    return chkPrato->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

void TfrmCopiarInq::sbtConfirmaClick() {
    if (holdsFocus(depOrigem)) depOrigem->CheckValidDate();
    if (holdsFocus(depDestino)) depDestino->CheckValidDate();
    ValidaCopia();
    QString option = copyOption();
    const survey::SurveyContext context = surveyContext();
    try {
        {
            Showavi::Scope busy(6, session().mainWindow);
            Consiste::CheckResultServ(netCopiarInq->AppServer(
                QStringLiteral("SetConfirmar"),
                {context.patient, context.periodStart, context.periodEnd, depOrigem->Date(), context.branch,
                 medCdServOrig->Text(), NetArg::ref(option), depDestino->Date(), medCdServDest->Text()}));
        }
        msgPadrao->ShowMsg(QStringLiteral("Cop_Sucesso"), mtInformation, mbOK);
    } catch (const EHostError& e) {
        // The server names an empty origin by the key; the user reads its text.
        if (e.message() != QLatin1String("Inq_NCad")) throw;
        focusOrAbort(medCdServOrig);
        Consiste::MensErro(msgPadrao->Msg("Inq_NCad"));
    }
}

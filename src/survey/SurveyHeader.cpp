// Branch, patient and service selection on the survey screen.
#include "host/controls/BtnPesquisa.h"
#include "host/routines/Consiste.h"
#include "host/data/DBGrid.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/core/Failures.h"
#include "host/controls/MaskEdit.h"
#include "host/core/Session.h"
#include "host/routines/Vorlane.h"
#include "survey/Cli_Zep12600.h"

#include <QDir>
#include <QFileInfo>

using namespace hostfw;

namespace {

// Runs a step; on any failure puts the focus on the control and lets the failure go on.
template <typename F>
void refocusOnFailure(QWidget* control, F step) {
    try {
        step();
    } catch (...) {
        if (control && control->isEnabled()) control->setFocus();
        throw;
    }
}

}  // namespace

void TfrmInquerito::FiltroPaci() {
    auto presetFromHost = [this] {
        medFilial->SetText(Vorlane::FiliProc());
        edtNmFilial->SetText(Vorlane::NomeFiliProc());
        if (medFilial->isEnabled())
            medFilial->setFocus();
        else
            edtCdPaciente->setFocus();
    };
    const int module = Geral::ModuloAtiv();
    if (module != 10 && module != 11) {
        presetFromHost();
        return;
    }
    QWidget* host = mainWindow();
    TClientDataSet* filtro = host ? host->findChild<TClientDataSet*>(QStringLiteral("cdsFiltro")) : nullptr;
    if (!filtro) filtro = new TClientDataSet(host ? static_cast<QObject*>(host) : this, QStringLiteral("cdsFiltro"));
    if (filtro->Active())
        filtro->EmptyDataSet();
    else
        filtro->CreateDataSet();
    stPath = QDir(session().executableFolder).filePath(QStringLiteral("FILPACI.cds"));
    if (!QFileInfo::exists(stPath)) {
        presetFromHost();
        return;
    }
    try {
        filtro->LoadFromFile(stPath);
    } catch (const EHostError&) {
        // A damaged or unreadable filter file is ignored: the host's branch is used.
        presetFromHost();
        return;
    }
    TField* branch = filtro->FindField(QStringLiteral("CDFILIAL"));
    TField* patient = filtro->FindField(QStringLiteral("CDPACIENTE"));
    if (!branch || !patient || filtro->IsEmpty()) {
        presetFromHost();
        return;
    }
    filtro->First();
    medFilial->SetText(branch->AsString());
    medFilialExit();
    edtCdPaciente->SetText(patient->AsString());
    panPacienteExit();
    dbgInquerito->setFocus();
}

void TfrmInquerito::medFilialChange() {
    edtNmFilial->Clear();
    edtCdPaciente->Clear();
    edtNmPaciente->Clear();
}

void TfrmInquerito::medFilialKeyPress(QChar& key) {
    const ushort c = key.unicode();
    const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!allowed) key = QChar();
}

void TfrmInquerito::medFilialExit() {
    refocusOnFailure(medFilial, [this] {
        medFilial->SetText(Consiste::Ajusta(medFilial->Text(), 4));
        edtNmFilial->SetText(Consiste::ValidaFilial(medFilial->Text(), Vorlane::Operador(), false));
    });
}

void TfrmInquerito::btpPesqFilialBeforePesq(bool&) {
    qryFilial->Close();
    qryFilial->ParamByName("P_CDFILIAL").Clear();
    qryFilial->Open();
}

void TfrmInquerito::btpPesqFilialAfterPesq() {
    medFilial->SetText(qryFilial->FieldByName("CDFILIAL")->AsString());
    edtNmFilial->SetText(qryFilial->FieldByName("NMFILIAL")->AsString());
}

void TfrmInquerito::edtCdPacienteChange() { edtNmPaciente->Clear(); }

void TfrmInquerito::edtCdPacienteKeyPress(QChar& key) { key = key.toUpper(); }

void TfrmInquerito::edtCdPacienteExit() { Vd_Paciente(false); }

void TfrmInquerito::btnPesqPacienteClick() {
    const QString params = Vorlane::SQLParams({QStringLiteral("P_CDFILIAL"), medFilial->Text()});
    const QString title = msgPadrao->Msg("Paciente") + "|" + btnPesqPaciente->EmptyError;
    if (!Pesquisa::Pesquisar_Serv(dtsPaciente, title, qryPesqPaci->SQL, params, true)) return;
    edtCdPaciente->SetText(cdsPesqPaci->FieldByName("CDPACIENTE")->AsString());
    edtNmPaciente->SetText(cdsPesqPaci->FieldByName("NMPACIENTE")->AsString());
    panPacienteExit();
}

void TfrmInquerito::Vd_Paciente(bool required) {
    refocusOnFailure(edtCdPaciente, [&] {
        if (Consiste::EmptyString(edtCdPaciente->Text())) {
            if (required) Consiste::MensErro(msgPadrao->Msg("Paciente_Inf"));
            return;
        }
        qryParaDiet->Close();
        qryParaDiet->ParamByName("P_CDFILIAL").SetAsString(medFilial->Text());
        qryParaDiet->Open();
        if (!qryParaDiet->IsEmpty() && qryParaDiet->FieldByName("IDAJUSTAPACI")->AsString() == QLatin1String("S"))
            edtCdPaciente->SetText(Consiste::Ajusta(edtCdPaciente->Text(), 12));
        cdsPaciente->SetData(Consiste::CheckResultServ(
            netInquerito->AppServer("GetPaciente", surveyContext().patientArgs())));
        edtNmPaciente->SetText(cdsPaciente->IsEmpty() ? QString()
                                                      : cdsPaciente->FieldByName("NMPACIENTE")->AsString());
        if (cdsPaciente->IsEmpty()) Consiste::MensErro(msgPadrao->Msg("Paciente_Cad"));
    });
}

void TfrmInquerito::panPacienteExit() {
    refocusOnFailure(medFilial, [this] {
        medFilial->SetText(Consiste::Ajusta(medFilial->Text(), 4));
        edtNmFilial->SetText(Consiste::ValidaFilial(medFilial->Text(), Vorlane::Operador(), true));
    });
    Vd_Paciente(true);
    Showavi::Scope busy(6, mainWindow());
    cdsInqPaci->SetData(Consiste::CheckResultServ(
        netInquerito->AppServer("GetInqPaci", surveyContext().patientArgs())));
}

void TfrmInquerito::edtCdServicoChange() {
    edtNmServico->Clear();
    medHorario->SetText(QString());
}

void TfrmInquerito::edtCdServicoExit() {
    Vd_Servico(false);
    GetHora(true);
}

void TfrmInquerito::BtnPesquisa2BeforePesq(bool&) {
    qryServico->Close();
    qryServico->ParamByName("P_CDSERVFILI").SetAsString(QString());
    qryServico->ParamByName("P_TCDSERVFILI").SetAsString(QStringLiteral("T"));
    qryServico->ParamByName("P_CDFILIAL").SetAsString(medFilial->Text());
    qryServico->Open();
}

void TfrmInquerito::BtnPesquisa2AfterPesq() {
    const QString start = qryServico->FieldByName("HRINICSERV")->AsString();
    edtCdServico->SetText(qryServico->FieldByName("CDSERVFILI")->AsString());
    edtNmServico->SetText(qryServico->FieldByName("NMSERVICO")->AsString());
    GetHora(false);
    if (Consiste::EmptyString(storedMealTime())) showMealTime(start);
}

void TfrmInquerito::Vd_Servico(bool required) {
    refocusOnFailure(edtCdServico, [&] {
        edtCdServico->SetText(Consiste::Ajusta(edtCdServico->Text(), 5));
        if (Consiste::EmptyString(edtCdServico->Text())) {
            if (required) Consiste::MensErro(msgPadrao->Msg("Serv_Inf"));
            return;
        }
        if (required && !edtCdServico->hasFocus()) return;
        qryServico->Close();
        qryServico->ParamByName("P_CDSERVFILI").SetAsString(edtCdServico->Text());
        qryServico->ParamByName("P_TCDSERVFILI").SetAsString(QString());
        qryServico->ParamByName("P_CDFILIAL").SetAsString(medFilial->Text());
        qryServico->Open();
        edtNmServico->SetText(qryServico->IsEmpty() ? QString() : qryServico->FieldByName("NMSERVICO")->AsString());
        GetHora(false);
        if (!qryServico->IsEmpty() && Consiste::EmptyString(storedMealTime()) && strippedMealTime().isEmpty())
            showMealTime(qryServico->FieldByName("HRINICSERV")->AsString());
        if (qryServico->IsEmpty()) Consiste::MensErro(msgPadrao->Msg("Serv_Cad"));
    });
}

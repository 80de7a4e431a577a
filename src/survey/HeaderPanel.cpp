// Branch and patient selection on the survey screen.
#include "survey/HeaderPanel.h"

#include "catalog/CatalogQueries.h"
#include "host/controls/BtnPesquisa.h"
#include "host/controls/Edits.h"
#include "host/controls/Lookups.h"
#include "host/controls/MaskEdit.h"
#include "host/core/Failures.h"
#include "host/core/Focus.h"
#include "host/core/Messages.h"
#include "host/core/Session.h"
#include "host/connection/NetConnection.h"
#include "host/routines/Consiste.h"
#include "host/routines/Vorlane.h"
#include "survey/Cli_Zep12600.h"
#include "survey/PanelParts.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>

using namespace hostfw;
using namespace survey::parts;

namespace survey {

namespace {

using FT = TFieldType;

}  // namespace

HeaderPanel::HeaderPanel(QWidget* parent, const PanelServices& services) : QFrame(parent), services_(services) {
    setObjectName("panPaciente");
    setFrameShape(QFrame::StyledPanel);
    buildDataSets();
    buildWidgets();
    connectHandlers();
}

void HeaderPanel::buildDataSets() {
    cdsPaciente = dataSet(this, "cdsPaciente");
    field(cdsPaciente, "CDPACIENTE", FT::ftString, 12, QStringLiteral("Código"))->Origin =
        QStringLiteral("PACIENTE.CDPACIENTE");
    field(cdsPaciente, "NMPACIENTE", FT::ftString, 80, QStringLiteral("Nome"))->Origin =
        QStringLiteral("PACIENTE.NMPACIENTE");

    cdsPesqPaci = dataSet(this, "cdsPesqPaci");
    field(cdsPesqPaci, "CDPACIENTE", FT::ftString, 12, QStringLiteral("Código"))->DisplayWidth = 15;
    field(cdsPesqPaci, "NMPACIENTE", FT::ftString, 80)->Visible = false;
    field(cdsPesqPaci, "NMPACIUPPER", FT::ftString, 80, QStringLiteral("Nome"));
    // The search query returns more columns than the list shows: code and name only.
    field(cdsPesqPaci, "NMSOBRNOME", FT::ftString, 80)->Visible = false;
    field(cdsPesqPaci, "IDSEXOPACI", FT::ftString, 1)->Visible = false;
    field(cdsPesqPaci, "DTNASCPACI", FT::ftDateTime)->Visible = false;
    field(cdsPesqPaci, "IDTIPOPACI", FT::ftString, 1)->Visible = false;
    dtsPaciente = new TDataSource(this, "dtsPaciente", cdsPesqPaci);

    qryFilial = query(this, "qryFilial", catalog::qryFilial);
    qryFilial->SQL_ORACLE = qryFilial->SQL;
    qryFilial->SQL_MSSQL = QString::fromUtf8(catalog::qryFilial).replace("NVL(", "ISNULL(").split('\n');
    qryFilial->SQL_IB = QStringLiteral(
                            "SELECT\n  CDFILIAL,\n  NMFILIAL\nFROM\n   FILIAL,\n   PARAM(:P_CDFILIAL) P_CDFILIAL\n"
                            "WHERE\n  (CDFILIAL  = NVLSTR(P_CDFILIAL.PARAM, CDFILIAL))\nORDER BY\n  CDFILIAL")
                            .split('\n');
    field(qryFilial, "CDFILIAL", FT::ftString, 4, QStringLiteral("Código"))->Required = true;
    field(qryFilial, "NMFILIAL", FT::ftString, 30, QStringLiteral("Nome"));
    dtsFilial = new TDataSource(this, "dtsFilial", qryFilial);

    qryPesqPaci = query(this, "qryPesqPaci", catalog::qryPesqPaci);
    qryParaDiet = query(this, "qryParaDiet", catalog::qryParaDiet);
    field(qryParaDiet, "IDAJUSTAPACI", FT::ftString, 1);
}

void HeaderPanel::buildWidgets() {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(4);

    lblFilial = label(this, "lblFilial", QStringLiteral("Filial"), true);
    medFilial = new TMaskEdit(this, "medFilial");
    medFilial->SetEditMask(QStringLiteral(">aaaa;0; "));
    medFilial->setFixedWidth(60);
    edtNmFilial = edit(this, "edtNmFilial", 30, true);
    btpPesqFilial = searchButton(this, "btpPesqFilial", medFilial, QStringLiteral("Filial"), dtsFilial,
                                 QStringLiteral("Não há filial cadastrada."));
    lblPaciente = label(this, "lblPaciente", QStringLiteral("Paciente"), true);
    edtCdPaciente = edit(this, "edtCdPaciente", 12);
    edtCdPaciente->SetCharCase(TEditCharCase::ecUpperCase);
    edtCdPaciente->setFixedWidth(110);
    edtNmPaciente = edit(this, "edtNmPaciente", 80, true);
    btnPesqPaciente = searchButton(this, "btnPesqPaciente", edtCdPaciente, QStringLiteral("Paciente"), dtsPaciente,
                                   QStringLiteral("Não há paciente cadastrado."));

    grid->addWidget(lblFilial, 0, 0);
    grid->addWidget(medFilial, 0, 1);
    grid->addWidget(btpPesqFilial, 0, 2);
    grid->addWidget(edtNmFilial, 0, 3);
    grid->addWidget(lblPaciente, 1, 0);
    grid->addWidget(edtCdPaciente, 1, 1);
    grid->addWidget(btnPesqPaciente, 1, 2);
    grid->addWidget(edtNmPaciente, 1, 3);
    grid->setColumnStretch(3, 1);
    setTabOrder(medFilial, edtCdPaciente);
}

void HeaderPanel::connectHandlers() {
    Focus& focus = Focus::instance();
    focus.setOnExit(this, [this] { panPacienteExit(); });
    medFilial->OnChange = [this] { medFilialChange(); };
    medFilial->OnKeyPress = [this](QChar& key) { medFilialKeyPress(key); };
    focus.setOnExit(medFilial, [this] { medFilialExit(); });
    btpPesqFilial->OnBeforePesq = [this](bool& cancel) { btpPesqFilialBeforePesq(cancel); };
    btpPesqFilial->OnAfterPesq = [this] { btpPesqFilialAfterPesq(); };
    edtCdPaciente->OnChange = [this] { edtCdPacienteChange(); };
    edtCdPaciente->OnKeyPress = [this](QChar& key) { edtCdPacienteKeyPress(key); };
    focus.setOnExit(edtCdPaciente, [this] { edtCdPacienteExit(); });
    btnPesqPaciente->OnClick = [this] { btnPesqPacienteClick(); };
}

bool HeaderPanel::FiltroPaci() {
    auto presetFromHost = [this] {
        medFilial->SetText(Vorlane::FiliProc());
        edtNmFilial->SetText(Vorlane::NomeFiliProc());
        if (medFilial->isEnabled())
            medFilial->setFocus();
        else
            edtCdPaciente->setFocus();
        return false;
    };
    const int module = Geral::ModuloAtiv();
    if (module != 10 && module != 11) return presetFromHost();
    QWidget* host = session().mainWindow;
    TClientDataSet* filtro = host ? host->findChild<TClientDataSet*>(QStringLiteral("cdsFiltro")) : nullptr;
    if (!filtro) filtro = new TClientDataSet(host ? static_cast<QObject*>(host) : this, QStringLiteral("cdsFiltro"));
    if (filtro->Active())
        filtro->EmptyDataSet();
    else
        filtro->CreateDataSet();
    stPath = QDir(session().executableFolder).filePath(QStringLiteral("FILPACI.cds"));
    if (!QFileInfo::exists(stPath)) return presetFromHost();
    try {
        filtro->LoadFromFile(stPath);
    } catch (const EHostError&) {
        // A damaged or unreadable filter file is ignored: the host's branch is used.
        return presetFromHost();
    }
    TField* branch = filtro->FindField(QStringLiteral("CDFILIAL"));
    TField* patient = filtro->FindField(QStringLiteral("CDPACIENTE"));
    if (!branch || !patient || filtro->IsEmpty()) return presetFromHost();
    filtro->First();
    medFilial->SetText(branch->AsString());
    medFilialExit();
    edtCdPaciente->SetText(patient->AsString());
    panPacienteExit();
    return true;
}

void HeaderPanel::setEditable(bool editable) {
    Consiste::SetChildEnabled(this, editable);
    if (!editable || !Vorlane::ModuFili()) return;
    medFilial->setEnabled(false);
    btpPesqFilial->setEnabled(false);
    lblFilial->setEnabled(false);
}

void HeaderPanel::lockBranchForModule() {
    lblFilial->setEnabled(!Vorlane::ModuFili());
    medFilial->setEnabled(lblFilial->isEnabled());
    btpPesqFilial->setEnabled(lblFilial->isEnabled());
}

void HeaderPanel::medFilialChange() {
    edtNmFilial->Clear();
    edtCdPaciente->Clear();
    edtNmPaciente->Clear();
}

void HeaderPanel::medFilialKeyPress(QChar& key) {
    const ushort c = key.unicode();
    const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!allowed) key = QChar();
}

void HeaderPanel::medFilialExit() {
    refocusOnFailure(medFilial, [this] {
        medFilial->SetText(Consiste::Ajusta(medFilial->Text(), 4));
        edtNmFilial->SetText(Consiste::ValidaFilial(medFilial->Text(), Vorlane::Operador(), false));
    });
}

void HeaderPanel::btpPesqFilialBeforePesq(bool&) {
    qryFilial->Close();
    qryFilial->ParamByName("P_CDFILIAL").Clear();
    qryFilial->Open();
}

void HeaderPanel::btpPesqFilialAfterPesq() {
    medFilial->SetText(qryFilial->FieldByName("CDFILIAL")->AsString());
    edtNmFilial->SetText(qryFilial->FieldByName("NMFILIAL")->AsString());
}

void HeaderPanel::edtCdPacienteChange() { edtNmPaciente->Clear(); }

void HeaderPanel::edtCdPacienteKeyPress(QChar& key) { key = key.toUpper(); }

void HeaderPanel::edtCdPacienteExit() { Vd_Paciente(false); }

void HeaderPanel::btnPesqPacienteClick() {
    const QString params = Vorlane::SQLParams({QStringLiteral("P_CDFILIAL"), medFilial->Text()});
    const QString title = services_.messages->Msg("Paciente") + "|" + btnPesqPaciente->EmptyError;
    if (!Pesquisa::Pesquisar_Serv(dtsPaciente, title, qryPesqPaci->SQL, params, true)) return;
    edtCdPaciente->SetText(cdsPesqPaci->FieldByName("CDPACIENTE")->AsString());
    edtNmPaciente->SetText(cdsPesqPaci->FieldByName("NMPACIENTE")->AsString());
    panPacienteExit();
}

void HeaderPanel::Vd_Paciente(bool required) {
    refocusOnFailure(edtCdPaciente, [&] {
        if (Consiste::EmptyString(edtCdPaciente->Text())) {
            if (required) Consiste::MensErro(services_.messages->Msg("Paciente_Inf"));
            return;
        }
        qryParaDiet->Close();
        qryParaDiet->ParamByName("P_CDFILIAL").SetAsString(medFilial->Text());
        qryParaDiet->Open();
        if (!qryParaDiet->IsEmpty() && qryParaDiet->FieldByName("IDAJUSTAPACI")->AsString() == QLatin1String("S"))
            edtCdPaciente->SetText(Consiste::Ajusta(edtCdPaciente->Text(), 12));
        SurveyContext typed;
        typed.branch = medFilial->Text();
        typed.patient = edtCdPaciente->Text();
        cdsPaciente->SetData(
            Consiste::CheckResultServ(services_.net->AppServer("GetPaciente", typed.patientArgs())));
        edtNmPaciente->SetText(cdsPaciente->IsEmpty() ? QString()
                                                      : cdsPaciente->FieldByName("NMPACIENTE")->AsString());
        if (cdsPaciente->IsEmpty()) Consiste::MensErro(services_.messages->Msg("Paciente_Cad"));
    });
}

void HeaderPanel::panPacienteExit() {
    refocusOnFailure(medFilial, [this] {
        medFilial->SetText(Consiste::Ajusta(medFilial->Text(), 4));
        edtNmFilial->SetText(Consiste::ValidaFilial(medFilial->Text(), Vorlane::Operador(), true));
    });
    Vd_Paciente(true);
    // The periods page reads the patient's periods when it hears of them.
    services_.context->setPatient(medFilial->Text(), edtCdPaciente->Text(), edtNmPaciente->Text());
}

void HeaderPanel::forgetPatient() { services_.context->setPatient(QString(), QString(), QString()); }

}  // namespace survey

// Binds the survey screen's controls, data sets and focus handlers to its handlers.
#include "host/controls/BtnPesquisa.h"
#include "host/routines/Consiste.h"
#include "host/data/DBGrid.h"
#include "host/data/DataSet.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/core/Failures.h"
#include "host/core/Focus.h"
#include "host/controls/MaskEdit.h"
#include "survey/Cli_Zep12600.h"

#include <QMenu>

using namespace hostfw;

void TfrmInquerito::connectHandlers() {
    Focus& focus = Focus::instance();
    auto onEnter = [&](QWidget* w, void (TfrmInquerito::*handler)()) {
        focus.setOnEnter(w, [this, handler] { (this->*handler)(); });
    };
    auto onExit = [&](QWidget* w, void (TfrmInquerito::*handler)()) {
        focus.setOnExit(w, [this, handler] { (this->*handler)(); });
    };

    // Header.
    onEnter(panPaciente, &TfrmInquerito::panPacienteEnter);
    onExit(panPaciente, &TfrmInquerito::panPacienteExit);
    medFilial->OnChange = [this] { medFilialChange(); };
    medFilial->OnKeyPress = [this](QChar& key) { medFilialKeyPress(key); };
    onExit(medFilial, &TfrmInquerito::medFilialExit);
    btpPesqFilial->OnBeforePesq = [this](bool& cancel) { btpPesqFilialBeforePesq(cancel); };
    btpPesqFilial->OnAfterPesq = [this] { btpPesqFilialAfterPesq(); };
    edtCdPaciente->OnChange = [this] { edtCdPacienteChange(); };
    edtCdPaciente->OnKeyPress = [this](QChar& key) { edtCdPacienteKeyPress(key); };
    onExit(edtCdPaciente, &TfrmInquerito::edtCdPacienteExit);
    btnPesqPaciente->OnClick = [this] { btnPesqPacienteClick(); };

    // Pages.
    connect(pgcPadrao, &QTabWidget::currentChanged, this, guarded([this](int) {
                if (!settingPage_) pgcPadraoChange();
            }));
    onEnter(tshPadrao, &TfrmInquerito::tshPadraoEnter);
    onEnter(panInq, &TfrmInquerito::panInqEnter);
    edtCdServico->OnChange = [this] { edtCdServicoChange(); };
    onExit(edtCdServico, &TfrmInquerito::edtCdServicoExit);
    BtnPesquisa2->OnBeforePesq = [this](bool& cancel) { BtnPesquisa2BeforePesq(cancel); };
    BtnPesquisa2->OnAfterPesq = [this] { BtnPesquisa2AfterPesq(); };
    onExit(medHorario, &TfrmInquerito::medHorarioExit);
    depInquerito->OnChange = [this] { depInqueritoChange(); };
    depInquerito->OnDateChange = [this] { depInqueritoDateChange(); };
    onExit(depInquerito, &TfrmInquerito::depInqueritoExit);
    connect(sbtOntem, &QToolButton::clicked, this, guarded([this] { sbtOntemClick(); }));
    connect(sbtAmanha, &QToolButton::clicked, this, guarded([this] { sbtAmanhaClick(); }));
    onEnter(dbgProdPrat, &TfrmInquerito::dbgProdPratEnter);
    dbgProdPrat->OnDblClick = [this] { dbgProdPratDblClick(); };
    setupWarnings();
    bindItemEvents();

    // Menus.
    connect(mnuPaci, &QAction::triggered, this, guarded([this] { mnuPaciClick(); }));
    connect(mnuPadrao, &QAction::triggered, this, guarded([this] { mnuPadraoClick(); }));
    connect(mnuCalculo, &QAction::triggered, this, guarded([this] { sbtCalculoClick(); }));
    connect(mnuCopiarInq, &QAction::triggered, this, guarded([this] { sbtCopiarInqClick(); }));
    connect(mnuNecesNutr, &QAction::triggered, this, guarded([this] { mnuNecesNutrClick(); }));
    // The needs belong to a period: available where the calculation is, once a period is current.
    const auto updateNeeds = [this] { mnuNecesNutr->setEnabled(mnuCalculo->isEnabled() && surveyContext().hasPeriod()); };
    connect(mnuCalculo, &QAction::changed, this, updateNeeds);
    connect(cdsInqPaci, &hostfw::TClientDataSet::rowsChanged, this, updateNeeds);
    connect(mnuRelInquerito, &QAction::triggered, this, guarded([this] { mnuRelInqueritoClick(); }));
    connect(mnuPlaInqNutr, &QAction::triggered, this, guarded([this] { mnuPlaInqNutrClick(); }));
    // The navigator moves through the periods; the items follow the period.
    dbnPadrao->DataSource = dtsInqPaci;
    dbnPadrao->OnClick = [this](int) { dbnPadraoClick(); };

    // Periods.
    dtsInqPaci->OnStateChange = [this](TDataSource*) { dtsInqPaciStateChange(); };
    dtsPadrao->OnStateChange = [this](TDataSource*) { dtsPadraoStateChange(); };
    cdsInqPaci->OnNewRecord = [this](TClientDataSet*) { cdsInqPaciNewRecord(); };
    cdsInqPaci->BeforeEdit = [this](TClientDataSet*) { cdsInqPaciBeforeEdit(); };
    cdsInqPaci->BeforePost = [this](TClientDataSet*) { cdsInqPaciBeforePost(); };
    cdsInqPaci->AfterPost = [this](TClientDataSet*) { cdsInqPaciAfterPostOrDelete(); };
    cdsInqPaci->AfterDelete = [this](TClientDataSet*) { cdsInqPaciAfterPostOrDelete(); };
    cdsInqPaci->AfterCancel = [this](TClientDataSet*) { cdsInqPaciAfterCancel(); };
    cdsInqPaci->OnCalcFields = [this](TClientDataSet*) { cdsInqPaciCalcFields(); };
    auto dateText = [](TField* field, const QString& typed) {
        QString bare = typed;
        bare.remove('/');
        bare.remove('-');
        if (bare.trimmed().isEmpty())
            field->Clear();
        else
            Consiste::DateSetText(field, typed);
    };
    cdsInqPaciDTINIINQU->OnSetText = dateText;
    cdsInqPaciDTFININQU->OnSetText = dateText;
    // The navigator panel shows the current period.
    auto showPeriod = [this] {
        dbtNome->setText(cdsInqPaci->Active() && !cdsInqPaci->IsEmpty() ? cdsInqPaciDTNAVIGATOR->AsString()
                                                                         : QString());
    };
    connect(cdsInqPaci, &TClientDataSet::scrolled, this, showPeriod);
    connect(cdsInqPaci, &hostfw::TClientDataSet::rowsChanged, this, showPeriod);
    connect(cdsInqPaci, &TClientDataSet::dataChanged, this, showPeriod);
    connect(cdsInqPaci, &TClientDataSet::stateChanged, this, showPeriod);
}

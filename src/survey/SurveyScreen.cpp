// Composition, menus, wiring, creation, activation and closing of the survey screen.
#include "host/controls/Buttons.h"
#include "host/controls/MaskEdit.h"
#include "host/core/Failures.h"
#include "host/core/Focus.h"
#include "host/core/Session.h"
#include "host/data/DBGrid.h"
#include "host/routines/Vorlane.h"
#include "survey/Cli_Zep12600.h"
#include "survey/HeaderPanel.h"
#include "survey/ItemsPage.h"
#include "survey/MarkImages.h"
#include "survey/PeriodsPage.h"
#include "survey/SurveyContextHolder.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QStyle>
#include <QVBoxLayout>

using namespace hostfw;

TfrmInquerito::TfrmInquerito(QWidget* parent) : TfrmPadraoGrid(parent) {
    setObjectName("frmInquerito");
    setWindowTitle(QStringLiteral("Inquérito do Paciente"));
    resize(720, 560);  // room for the day totals under the items grid
    HelpFile = QStringLiteral("zephelp.hlp");
    HelpContext = 11112600;
    lblCodTela->setText(QStringLiteral("ZEP12600"));

    buildMessages();
    netInquerito = new TNetConnection(this, "netInquerito");
    netInquerito->ServerName = QStringLiteral("Zep12600.rdmInquerito");
    netInquerito->ThrowException = false;
    netInquerito->BeforeConnect = [](TNetConnection* c) {
        c->Host = Vorlane::WebURL();
        c->Port = Vorlane::WebPort();
    };
    context_ = new survey::SurveyContextHolder(this);
    buildMenus();
    buildPanels();
    connectHandlers();
    FormCreate();
}

// A screen deleted without being closed must not be reused by CriaInquerito.
TfrmInquerito::~TfrmInquerito() {
    if (frmInquerito != this) return;
    frmInquerito = nullptr;
    boStCriado = false;
}

void TfrmInquerito::buildMenus() {
    mnuPaci = new QAction(QStringLiteral("&Período do Inquérito"), this);
    mnuPaci->setObjectName("mnuPaci");
    mnuPaci->setCheckable(true);
    mnuPaci->setChecked(true);
    mnuPadrao = new QAction(QStringLiteral("I&nquérito"), this);
    mnuPadrao->setObjectName("mnuPadrao");
    mnuPadrao->setCheckable(true);
    N1 = new QAction(this);
    N1->setObjectName("N1");
    N1->setSeparator(true);
    QAction* first = mnuOperacao->actions().value(0);
    mnuOperacao->insertAction(first, mnuPaci);
    mnuOperacao->insertAction(first, mnuPadrao);
    mnuOperacao->insertAction(first, N1);

    N2 = mnuManutencao->addSeparator();
    N2->setObjectName("N2");
    mnuCalculo = new QAction(QStringLiteral("Calc&ular Inquérito"), this);
    mnuCalculo->setObjectName("mnuCalculo");
    mnuCalculo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    mnuCalculo->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    mnuCalculo->setEnabled(false);
    mnuCalculo->setToolTip(QStringLiteral("Calcular Inquérito"));
    mnuCalculo->setIcon(commandIcon(QStringLiteral("accessories-calculator"), QStyle::SP_FileDialogInfoView));
    mnuManutencao->addAction(mnuCalculo);
    mnuCopiarInq = new QAction(QStringLiteral("Copiar In&quérito"), this);
    mnuCopiarInq->setObjectName("mnuCopiarInq");
    mnuCopiarInq->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    mnuCopiarInq->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    mnuCopiarInq->setEnabled(false);
    mnuCopiarInq->setToolTip(QStringLiteral("Copiar Inquérito"));
    mnuCopiarInq->setIcon(commandIcon(QStringLiteral("edit-copy"), QStyle::SP_FileDialogNewFolder, QColor(40, 110, 200)));
    mnuManutencao->addAction(mnuCopiarInq);
    mnuNecesNutr = new QAction(QStringLiteral("&Necessidades Nutricionais"), this);
    mnuNecesNutr->setObjectName("mnuNecesNutr");
    mnuNecesNutr->setEnabled(false);
    mnuNecesNutr->setToolTip(QStringLiteral("Necessidades Nutricionais"));
    mnuNecesNutr->setIcon(commandIcon(QStringLiteral("x-office-spreadsheet"), QStyle::SP_FileDialogContentsView, QColor(30, 140, 70)));
    mnuManutencao->addAction(mnuNecesNutr);
    addAction(mnuCalculo);
    addAction(mnuCopiarInq);

    sbtCalculo = addCommand("sbtCalculo", mnuCalculo, QStringLiteral("Calcular Inquérito"));
    QFont bold = sbtCalculo->font();
    bold.setBold(true);
    sbtCalculo->setFont(bold);
    sbtCopiarInq = addCommand("sbtCopiarInq", mnuCopiarInq, QStringLiteral("Copiar Inquérito"));
    // Keep the screen code at the right end of the toolbar.
    auto* bar = static_cast<QHBoxLayout*>(panMenu->layout());
    bar->removeWidget(sbtCalculo);
    bar->removeWidget(sbtCopiarInq);
    const int stretchAt = bar->count() - 2;
    bar->insertWidget(stretchAt, sbtCalculo);
    bar->insertWidget(stretchAt + 1, sbtCopiarInq);
    sbtNecesNutr = addCommand("sbtNecesNutr", mnuNecesNutr, QStringLiteral("Necessidades Nutricionais"));
    bar->removeWidget(sbtNecesNutr);
    bar->insertWidget(stretchAt + 2, sbtNecesNutr);

    pmnInquNutr = new QMenu(this);
    pmnInquNutr->setObjectName("pmnInquNutr");
    mnuRelInquerito = pmnInquNutr->addAction(QStringLiteral("Relatório Inquérito"));
    mnuRelInquerito->setObjectName("mnuRelInquerito");
    mnuPlaInqNutr = pmnInquNutr->addAction(QStringLiteral("Planilha Inquérito por Nutriente"));
    mnuPlaInqNutr->setObjectName("mnuPlaInqNutr");

    img6 = new QLabel(panMenu);
    img6->setObjectName("img6");
    img6->setPixmap(survey::restrictionMark());
    img6->hide();
    img5 = new QLabel(panMenu);
    img5->setObjectName("img5");
    img5->setPixmap(survey::intoleranceMark());
    img5->hide();
    imgMed = new QLabel(panMenu);
    imgMed->setObjectName("imgMed");
    imgMed->setPixmap(survey::interactionMark());
    imgMed->hide();
}

void TfrmInquerito::buildPanels() {
    const survey::PanelServices services{context_, netInquerito, msgPadrao};
    header_ = new survey::HeaderPanel(body(), services);
    static_cast<QVBoxLayout*>(body()->layout())->insertWidget(0, header_);

    periods_ = new survey::PeriodsPage(nullptr, services);
    pgcPadrao->insertTab(0, periods_, QStringLiteral("Período do Inquérito"));
    pgcPadrao->setTabText(1, QStringLiteral("Inquérito"));

    // The items page over the base grid, which is a strip.
    items_ = new survey::ItemsPage(tshPadrao, services, dtsPadrao);
    auto* page = static_cast<QVBoxLayout*>(tshPadrao->layout());
    page->insertWidget(0, items_, 1);
    // Same spacing between service panel, grid and legend as between the
    // page's own parts.
    static_cast<QVBoxLayout*>(items_->layout())->setSpacing(page->spacing());
    // The strip shows no items: bound to them, it would also answer the items'
    // requests for the focus (a field's FocusControl) and take it from dbgProdPrat.
    dbgPadrao->SetDataSource(nullptr);
    dbgPadrao->setFixedSize(65, 2);
    dbgPadrao->setFocusPolicy(Qt::NoFocus);
    page->setAlignment(dbgPadrao, Qt::AlignLeft);
}

void TfrmInquerito::FormCreate() {
    TfrmPadraoGrid::FormCreate();
    firstActivation_ = true;
    boPrimeira = true;
    dtsInqPaciStateChange();
}

QWidget* TfrmInquerito::mainWindow() const { return session().mainWindow; }

void TfrmInquerito::FormActivate() {
    update();
    if (!firstActivation_) return;
    firstActivation_ = false;
    Showavi::ActiveShowAvi(mainWindow(), 0);
    try {
        netInquerito->SetConnected(true);
        if (header_->FiltroPaci()) periods_->dbgInquerito->setFocus();
        header_->lockBranchForModule();
        Showavi::DeactiveShowAvi(mainWindow());
    } catch (...) {
        Showavi::DeactiveShowAvi(mainWindow());
        if (header_->medFilial->isEnabled()) header_->medFilial->setFocus();
        throw;
    }
}

void TfrmInquerito::FormCloseQuery() { items_->settlePendingItem(); }

void TfrmInquerito::FormClose() {
    boStCriado = false;
    netInquerito->SetConnected(false);
    TfrmPadraoGrid::FormClose();
}

bool TfrmInquerito::itemsPageShowing() const { return pgcPadrao->currentWidget() == tshPadrao; }

survey::SurveyContext TfrmInquerito::surveyContext() const { return context_->context(); }

void TfrmInquerito::connectHandlers() {
    Focus& focus = Focus::instance();
    // Entering the header: no patient is chosen until it is left again.
    focus.setOnEnter(header_, [this] { panPacienteEnter(); });

    // Pages.
    connect(pgcPadrao, &QTabWidget::currentChanged, this, guarded([this](int) {
                if (!settingPage_) pgcPadraoChange();
            }));
    focus.setOnEnter(tshPadrao, [this] { tshPadraoEnter(); });
    connect(items_, &survey::ItemsPage::serviceEntered, this, [this] { panInqEnter(); });

    // Menus.
    connect(mnuPaci, &QAction::triggered, this, guarded([this] { mnuPaciClick(); }));
    connect(mnuPadrao, &QAction::triggered, this, guarded([this] { mnuPadraoClick(); }));
    connect(mnuCalculo, &QAction::triggered, this, guarded([this] { sbtCalculoClick(); }));
    connect(mnuCopiarInq, &QAction::triggered, this, guarded([this] { sbtCopiarInqClick(); }));
    connect(mnuNecesNutr, &QAction::triggered, this, guarded([this] { mnuNecesNutrClick(); }));
    // The needs belong to a period: available where the calculation is, once a period is current.
    const auto updateNeeds = [this] { mnuNecesNutr->setEnabled(mnuCalculo->isEnabled() && surveyContext().hasPeriod()); };
    connect(mnuCalculo, &QAction::changed, this, updateNeeds);
    connect(context_, &survey::SurveyContextHolder::contextChanged, this, updateNeeds);
    connect(mnuRelInquerito, &QAction::triggered, this, guarded([this] { mnuRelInqueritoClick(); }));
    connect(mnuPlaInqNutr, &QAction::triggered, this, guarded([this] { mnuPlaInqNutrClick(); }));
    // The navigator moves through the periods; the items follow the period.
    dbnPadrao->DataSource = periods_->dtsInqPaci;
    dbnPadrao->OnClick = [this](int) { dbnPadraoClick(); };

    // Command rules follow the periods' and the items' state.
    periods_->OnStateChange = [this] { dtsInqPaciStateChange(); };
    dtsPadrao->OnStateChange = [this](TDataSource*) { dtsPadraoStateChange(); };
    // The navigator panel shows the current period.
    hostfw::TClientDataSet* periods = periods_->cdsInqPaci;
    auto showPeriod = [this, periods] {
        dbtNome->setText(periods->Active() && !periods->IsEmpty() ? periods_->cdsInqPaciDTNAVIGATOR->AsString()
                                                                  : QString());
    };
    connect(periods, &TClientDataSet::scrolled, this, showPeriod);
    connect(periods, &TClientDataSet::rowsChanged, this, showPeriod);
    connect(periods, &TClientDataSet::dataChanged, this, showPeriod);
    connect(periods, &TClientDataSet::stateChanged, this, showPeriod);
}

#include "hostapp/MainWindow.h"

#include "host/controls/Buttons.h"
#include "host/data/DataSet.h"
#include "host/core/Failures.h"
#include "host/core/Session.h"
#include "hostapp/AuditScreen.h"
#include "hostapp/InteractionScreen.h"
#include "hostapp/OperatorsScreen.h"
#include "hostapp/PatientFilter.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include <algorithm>
#include <memory>

namespace hostapp {

MainWindow::MainWindow(SurveyOpener opener, QWidget* parent) : QMainWindow(parent), opener_(std::move(opener)) {
    setObjectName(QStringLiteral("frmPrincipal"));
    setWindowTitle(QStringLiteral("Nutrição e Dietética"));
    mdi_ = new QMdiArea(this);
    mdi_->setObjectName(QStringLiteral("mdiArea"));
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);
    filter_ = createFilterDataSet(this);
    buildMenus();
    refreshStatus();
    resize(1100, 720);

    auto& s = hostfw::session();
    s.mainWindow = this;
    s.mdiArea = mdi_;
    s.openScreen = [this](const QString& code, const QVariantList& values) { openHostScreen(code, values, this); };
}

MainWindow::~MainWindow() {
    auto& s = hostfw::session();
    if (s.mainWindow == this) {
        s.mainWindow = nullptr;
        s.mdiArea = nullptr;
        s.openScreen = nullptr;
    }
}

void MainWindow::buildMenus() {
    QMenu* records = menuBar()->addMenu(QStringLiteral("&Cadastros"));
    records->setObjectName(QStringLiteral("mnuCadastros"));
    QAction* patients = records->addAction(QStringLiteral("&Pacientes"));
    patients->setObjectName(QStringLiteral("mnuPacientes"));
    patients->setIcon(hostfw::commandIcon(QStringLiteral("system-users"), QStyle::SP_FileDialogDetailedView));
    patients->setToolTip(QStringLiteral("Pacientes da filial"));
    patientsAction_ = patients;
    connect(patients, &QAction::triggered, this, [this] { hostfw::guard([this] { openPatients(); }); });

    QMenu* operations = menuBar()->addMenu(QStringLiteral("&Movimentação"));
    operations->setObjectName(QStringLiteral("mnuMovimentacao"));
    surveyAction_ = operations->addAction(QStringLiteral("&Inquérito do Paciente"));
    surveyAction_->setObjectName(QStringLiteral("mnuInquerito"));
    surveyAction_->setEnabled(bool(opener_));
    surveyAction_->setIcon(hostfw::commandIcon(QStringLiteral("x-office-calendar"), QStyle::SP_FileDialogContentsView));
    surveyAction_->setToolTip(opener_ ? QStringLiteral("Inquérito do Paciente")
                                      : QStringLiteral("Módulo do inquérito não carregado"));
    connect(surveyAction_, &QAction::triggered, this, [this] { hostfw::guard([this] { openSurveyFromMenu(); }); });

    // Operators and the audit trail: administrators only (the server checks it too).
    if (hostfw::session().operatorIsAdministrator) {
        QMenu* admin = menuBar()->addMenu(QStringLiteral("A&dministração"));
        admin->setObjectName(QStringLiteral("mnuAdministracao"));
        operatorsAction_ = admin->addAction(QStringLiteral("&Operadores"));
        operatorsAction_->setObjectName(QStringLiteral("mnuOperadores"));
        connect(operatorsAction_, &QAction::triggered, this,
                [this] { hostfw::guard([this] { openAdminScreen<OperatorsScreen>(); }); });
        auditAction_ = admin->addAction(QStringLiteral("&Auditoria"));
        auditAction_->setObjectName(QStringLiteral("mnuAuditoria"));
        connect(auditAction_, &QAction::triggered, this,
                [this] { hostfw::guard([this] { openAdminScreen<AuditScreen>(); }); });
    }

    QMenu* window = menuBar()->addMenu(QStringLiteral("&Janela"));
    window->setObjectName(QStringLiteral("mnuJanela"));
    QAction* cascade = window->addAction(QStringLiteral("&Cascata"));
    cascade->setObjectName(QStringLiteral("mnuCascata"));
    connect(cascade, &QAction::triggered, mdi_, &QMdiArea::cascadeSubWindows);
    QAction* tile = window->addAction(QStringLiteral("&Lado a Lado"));
    tile->setObjectName(QStringLiteral("mnuLadoALado"));
    connect(tile, &QAction::triggered, mdi_, &QMdiArea::tileSubWindows);

    QAction* quit = menuBar()->addAction(QStringLiteral("&Sair"));
    quit->setObjectName(QStringLiteral("mnuSair"));
    connect(quit, &QAction::triggered, this, &QWidget::close);
    // A menu bar shows an action's icon instead of its text: the toolbar has its own.
    auto* quitTool = new QAction(hostfw::commandIcon(QStringLiteral("application-exit"), QStyle::SP_DialogCloseButton),
                                 QStringLiteral("Sair"), this);
    quitTool->setObjectName(QStringLiteral("actSair"));
    quitTool->setToolTip(QStringLiteral("Sair do sistema"));
    connect(quitTool, &QAction::triggered, this, &QWidget::close);

    QToolBar* bar = addToolBar(QStringLiteral("Principal"));
    bar->setObjectName(QStringLiteral("tlbPrincipal"));
    bar->setMovable(false);
    bar->setIconSize(QSize(32, 32));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->addAction(surveyAction_);
    bar->addAction(patients);
    bar->addSeparator();
    bar->addAction(quitTool);
}

void MainWindow::refreshStatus() {
    const auto& s = hostfw::session();
    statusBar()->setObjectName(QStringLiteral("stbPrincipal"));
    auto label = [this](const char* name) {
        auto* l = findChild<QLabel*>(QString::fromLatin1(name));
        if (!l) {
            l = new QLabel(this);
            l->setObjectName(QString::fromLatin1(name));
            l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            l->setContentsMargins(4, 0, 4, 0);
            statusBar()->addPermanentWidget(l);
        }
        return l;
    };
    label("lblOperador")->setText(QStringLiteral("Operador: %1 - %2").arg(s.operatorCode, s.operatorName));
    label("lblFilial")->setText(QStringLiteral("Filial: %1 - %2").arg(s.branchCode, s.branchName));
    label("lblServidor")->setText(QStringLiteral("Servidor: %1:%2").arg(s.serverHost).arg(s.serverPort));
    setWindowTitle(s.branchCode.isEmpty()
                       ? QStringLiteral("Nutrição e Dietética")
                       : QStringLiteral("Nutrição e Dietética - Filial %1 - %2").arg(s.branchCode, s.branchName));
}

PatientsWindow* MainWindow::openPatients() {
    if (patients_) {
        mdi_->setActiveSubWindow(patients_);
        patients_->showNormal();
        return static_cast<PatientsWindow*>(patients_->widget());
    }
    auto owned = std::make_unique<PatientsWindow>(opener_);
    owned->reload();
    auto* window = owned.release();
    patients_ = mdi_->addSubWindow(window);
    patients_->setAttribute(Qt::WA_DeleteOnClose);
    patients_->setWindowIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    connect(patients_, &QObject::destroyed, this, [this] { patients_ = nullptr; });
    patients_->resize(680, 460);
    patients_->show();
    return window;
}

void MainWindow::openStartWindows() { openPatients(); }

template <class Screen>
Screen* MainWindow::openAdminScreen() {
    for (QMdiSubWindow* sub : mdi_->subWindowList())
        if (auto* open = qobject_cast<Screen*>(sub->widget())) {
            mdi_->setActiveSubWindow(sub);
            return open;
        }
    auto owned = std::make_unique<Screen>();
    if constexpr (std::is_same_v<Screen, OperatorsScreen>) owned->Load();
    auto* screen = owned.release();
    QMdiSubWindow* sub = mdi_->addSubWindow(screen);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->resize(screen->size());
    sub->show();
    return screen;
}

template OperatorsScreen* MainWindow::openAdminScreen<OperatorsScreen>();
template AuditScreen* MainWindow::openAdminScreen<AuditScreen>();

void MainWindow::openSurveyFromMenu() {
    if (opener_) opener_(QVariant());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A module screen may refuse to close (unsaved work); then the host stays.
    mdi_->closeAllSubWindows();
    const auto open = mdi_->subWindowList();
    if (std::any_of(open.begin(), open.end(), [](QMdiSubWindow* w) { return w->isVisible(); })) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace hostapp

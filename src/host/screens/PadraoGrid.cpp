#include "host/screens/PadraoGrid.h"

#include "host/data/DBGrid.h"
#include "host/core/Dialogs.h"
#include "host/core/Failures.h"
#include "host/core/Focus.h"
#include "host/controls/Buttons.h"
#include "host/controls/Lookups.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>

namespace hostfw {

namespace {

// A bold arrow for the navigator (0 first, 1 prior, 2 next, 3 last): the
// theme's and the style's arrows are too pale to tell enabled from disabled.
QIcon navigatorIcon(int button) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 70, 140));
    const bool back = button < 2;
    const QPolygonF arrow = back ? QPolygonF{{11.5, 3}, {11.5, 13}, {4.5, 8}} : QPolygonF{{4.5, 3}, {4.5, 13}, {11.5, 8}};
    p.drawPolygon(arrow);
    if (button == 0) p.drawRect(QRectF(2, 3, 2, 10));
    if (button == 3) p.drawRect(QRectF(12, 3, 2, 10));
    p.end();
    return commandIcon(QString(), QIcon(pixmap));
}

}  // namespace

TDBNavigator::TDBNavigator(QWidget* parent, const QString& name) : QWidget(parent) {
    setObjectName(name);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    const char* hints[] = {"Primeiro", "Anterior", "Próximo", "Último"};
    const char* names[] = {"nbFirst", "nbPrior", "nbNext", "nbLast"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(names[i]);
        b->setIcon(navigatorIcon(i));
        b->setToolTip(QString::fromUtf8(hints[i]));
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(b);
        connect(b, &QToolButton::clicked, this, guarded([this, i] { move(i); }));
    }
}

void TDBNavigator::move(int button) {
    if (!DataSource || !DataSource->DataSet() || !DataSource->DataSet()->Active()) return;
    TClientDataSet* ds = DataSource->DataSet();
    switch (button) {
    case 0: ds->First(); break;
    case 1: ds->Prior(); break;
    case 2: ds->Next(); break;
    default: ds->Last(); break;
    }
    if (OnClick) OnClick(button);
}

TfrmPadraoGrid::TfrmPadraoGrid(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    Focus::instance();  // clicks on the toolbar leave the focus where it was
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    mnuMenu = new QMenuBar(this);
    mnuMenu->setObjectName("mnuMenu");
    mnuMenu->setNativeMenuBar(false);
    root->setMenuBar(mnuMenu);
    mnuOperacao = mnuMenu->addMenu(QStringLiteral("&Operação"));
    mnuOperacao->setObjectName("mnuOperacao");
    mnuManutencao = mnuMenu->addMenu(QStringLiteral("&Manutenção"));
    mnuManutencao->setObjectName("mnuManutencao");

    panMenu = new QFrame(this);
    panMenu->setObjectName("panMenu");
    panMenu->setFrameShape(QFrame::StyledPanel);
    auto* toolbar = new QHBoxLayout(panMenu);
    toolbar->setContentsMargins(2, 2, 2, 2);
    toolbar->setSpacing(1);
    root->addWidget(panMenu);

    auto action = [this](QMenu* menu, const char* name, const QString& text) {
        auto* a = new QAction(text, this);
        a->setObjectName(name);
        menu->addAction(a);
        return a;
    };
    mnuIncluir = action(mnuManutencao, "mnuIncluir", QStringLiteral("&Incluir"));
    mnuAlterar = action(mnuManutencao, "mnuAlterar", QStringLiteral("&Alterar"));
    mnuExcluir = action(mnuManutencao, "mnuExcluir", QStringLiteral("&Excluir"));
    mnuProcurar = action(mnuManutencao, "mnuProcurar", QStringLiteral("&Procurar"));
    mnuVerificar = action(mnuManutencao, "mnuVerificar", QStringLiteral("&Verificar"));
    mnuConfirmar = action(mnuManutencao, "mnuConfirmar", QStringLiteral("C&onfirmar"));
    mnuCancelar = action(mnuManutencao, "mnuCancelar", QStringLiteral("Ca&ncelar"));
    mnuImprimir = action(mnuManutencao, "mnuImprimir", QStringLiteral("Imp&rimir"));
    mnuAjuda = action(mnuOperacao, "mnuAjuda", QStringLiteral("Aj&uda"));
    mnuFechar = action(mnuOperacao, "mnuFechar", QStringLiteral("&Fechar"));

    sbtIncluir = addCommand("sbtIncluir", mnuIncluir, QStringLiteral("Incluir"));
    sbtAlterar = addCommand("sbtAlterar", mnuAlterar, QStringLiteral("Alterar"));
    sbtExcluir = addCommand("sbtExcluir", mnuExcluir, QStringLiteral("Excluir"));
    sbtProcurar = addCommand("sbtProcurar", mnuProcurar, QStringLiteral("Procurar"));
    sbtVerificar = addCommand("sbtVerificar", mnuVerificar, QStringLiteral("Verificar"));
    sbtConfirmar = addCommand("sbtConfirmar", mnuConfirmar, QStringLiteral("Confirmar"));
    sbtCancelar = addCommand("sbtCancelar", mnuCancelar, QStringLiteral("Cancelar"));
    sbtImprimir = addCommand("sbtImprimir", mnuImprimir, QStringLiteral("Imprimir"));
    sbtAjuda = addCommand("sbtAjuda", mnuAjuda, QStringLiteral("Ajuda"));
    sbtFechar = addCommand("sbtFechar", mnuFechar, QStringLiteral("Fechar"));
    const struct {
        QAction* action;
        const char* theme;
        QStyle::StandardPixmap fallback;
        QColor tint = QColor();
    } icons[] = {{mnuIncluir, "document-new", QStyle::SP_FileIcon},
                 {mnuAlterar, "accessories-text-editor", QStyle::SP_FileDialogDetailedView},
                 {mnuExcluir, "edit-delete", QStyle::SP_TrashIcon},
                 {mnuProcurar, "edit-find", QStyle::SP_FileDialogContentsView},
                 {mnuVerificar, "view-refresh", QStyle::SP_BrowserReload, QColor(40, 110, 200)},
                 {mnuConfirmar, "emblem-default", QStyle::SP_DialogApplyButton},
                 {mnuCancelar, "process-stop", QStyle::SP_DialogCancelButton},
                 {mnuImprimir, "document-print", QStyle::SP_FileDialogListView},
                 {mnuAjuda, "help-browser", QStyle::SP_DialogHelpButton},
                 {mnuFechar, "window-close", QStyle::SP_DialogCloseButton}};
    for (const auto& i : icons) i.action->setIcon(commandIcon(QString::fromLatin1(i.theme), i.fallback, i.tint));

    connect(mnuIncluir, &QAction::triggered, this, guarded([this] { sbtIncluirClick(); }));
    connect(mnuAlterar, &QAction::triggered, this, guarded([this] { sbtAlterarClick(); }));
    connect(mnuExcluir, &QAction::triggered, this, guarded([this] { sbtExcluirClick(); }));
    connect(mnuProcurar, &QAction::triggered, this, guarded([this] { sbtProcurarClick(); }));
    connect(mnuVerificar, &QAction::triggered, this, guarded([this] { sbtVerificarClick(); }));
    connect(mnuConfirmar, &QAction::triggered, this, guarded([this] { sbtConfirmarClick(); }));
    connect(mnuCancelar, &QAction::triggered, this, guarded([this] { sbtCancelarClick(); }));
    connect(mnuImprimir, &QAction::triggered, this, guarded([this] { sbtImprimirClick(); }));
    connect(mnuAjuda, &QAction::triggered, this, guarded([this] { sbtAjudaClick(); }));
    connect(mnuFechar, &QAction::triggered, this, [this] { close(); });

    toolbar->addStretch(1);
    lblCodTela = new QLabel(panMenu);
    lblCodTela->setObjectName("lblCodTela");
    toolbar->addWidget(lblCodTela);

    body_ = new QWidget(this);
    body_->setObjectName("body");
    auto* bodyLayout = new QVBoxLayout(body_);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->setSpacing(0);
    root->addWidget(body_, 1);

    pgcPadrao = new QTabWidget(body_);
    pgcPadrao->setObjectName("pgcPadrao");
    tshPadrao = new QWidget();
    tshPadrao->setObjectName("tshPadrao");
    pgcPadrao->addTab(tshPadrao, QString());
    bodyLayout->addWidget(pgcPadrao, 1);

    dtsPadrao = new TDataSource(this, "dtsPadrao");
    dbgPadrao = new TDBGrid(tshPadrao);
    dbgPadrao->setObjectName("dbgPadrao");
    dbgPadrao->SetDataSource(dtsPadrao);
    auto* pageLayout = new QVBoxLayout(tshPadrao);
    pageLayout->setContentsMargins(2, 2, 2, 2);
    pageLayout->addWidget(dbgPadrao);

    panNavigator = new QFrame(this);
    panNavigator->setObjectName("panNavigator");
    panNavigator->setFrameShape(QFrame::StyledPanel);
    auto* nav = new QHBoxLayout(panNavigator);
    nav->setContentsMargins(4, 2, 4, 2);
    dbtNome = new QLabel(panNavigator);
    dbtNome->setObjectName("dbtNome");
    nav->addWidget(dbtNome, 1);
    dbnPadrao = new TDBNavigator(panNavigator, "dbnPadrao");
    dbnPadrao->DataSource = dtsPadrao;
    nav->addWidget(dbnPadrao);
    root->addWidget(panNavigator);

    msgPadrao = new TMessages(this, "msgPadrao");
    msgMensagensPadroes = new TMessages(this, "msgMensagensPadroes");
    msgMensagensPadroes->Lines << QStringLiteral("Excl|Confirma exclusão?")
                               << QStringLiteral("Canc|Cancelar operação?");
}

TfrmPadraoGrid::~TfrmPadraoGrid() = default;

QToolButton* TfrmPadraoGrid::addCommand(const QString& buttonName, QAction* action, const QString& hint) {
    auto* b = new QToolButton(panMenu);
    b->setObjectName(buttonName);
    b->setDefaultAction(action);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    b->setIconSize(QSize(22, 22));
    action->setToolTip(hint);
    static_cast<QHBoxLayout*>(panMenu->layout())->addWidget(b);
    return b;
}

void TfrmPadraoGrid::FormCreate() { dtsPadraoStateChange(); }

void TfrmPadraoGrid::FormClose() {}

void TfrmPadraoGrid::dtsPadraoStateChange() {
    TClientDataSet* ds = dtsPadrao->DataSet();
    const bool editing = ds && ds->Editing();
    const bool browsing = ds && ds->State() == TDataSetState::dsBrowse;
    const bool rows = ds && ds->Active() && !ds->IsEmpty();
    SetCommand(mnuConfirmar, editing);
    SetCommand(mnuCancelar, editing);
    SetCommand(mnuIncluir, browsing);
    SetCommand(mnuAlterar, browsing && rows);
    SetCommand(mnuExcluir, browsing && rows);
    SetCommand(mnuProcurar, browsing && rows);
    SetCommand(mnuVerificar, browsing && rows);
    SetCommand(mnuImprimir, browsing);
}

// Screens decide where a new or changed record is typed; the base only
// stops a command on a data set that is not open.
void TfrmPadraoGrid::sbtIncluirClick() {}

void TfrmPadraoGrid::sbtAlterarClick() {}

void TfrmPadraoGrid::sbtExcluirClick() {
    TClientDataSet* ds = dtsPadrao->DataSet();
    if (!ds || !ds->Active() || ds->IsEmpty()) return;
    if (msgMensagensPadroes->ShowMsg("Excl", mtConfirmation, mbYes | mbNo) != mrYes) return;
    ds->Delete();
}

void TfrmPadraoGrid::sbtProcurarClick() {
    if (dtsPadrao->DataSet() && dtsPadrao->DataSet()->Active()) Procurar::Procura(dtsPadrao->DataSet());
}

void TfrmPadraoGrid::sbtConfirmarClick() {
    if (dtsPadrao->DataSet() && dtsPadrao->DataSet()->Editing()) dtsPadrao->DataSet()->Post();
}

void TfrmPadraoGrid::sbtCancelarClick() {
    if (dtsPadrao->DataSet() && dtsPadrao->DataSet()->Editing()) dtsPadrao->DataSet()->Cancel();
}

void TfrmPadraoGrid::sbtAjudaClick() {
    dialogs().message(DialogKind::Information,
                      QStringLiteral("Ajuda: %1, contexto %2.").arg(HelpFile).arg(HelpContext));
}

bool TfrmPadraoGrid::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) guard([this] { FormActivate(); });
    return QWidget::event(e);
}

void TfrmPadraoGrid::closeEvent(QCloseEvent* e) {
    if (!closing_) {
        if (!guard([this] { FormCloseQuery(); })) {
            e->ignore();
            return;
        }
        closing_ = true;
        guard([this] { FormClose(); });
    }
    QWidget::closeEvent(e);
}

} // namespace hostfw

// Layout, creation, activation and closing of the survey screen.
#include "host/controls/BtnPesquisa.h"
#include "host/controls/Buttons.h"
#include "host/routines/Consiste.h"
#include "host/data/DBGrid.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/core/Failures.h"
#include "host/core/Focus.h"
#include "host/controls/MaskEdit.h"
#include "host/core/Session.h"
#include "host/routines/Vorlane.h"
#include "survey/Cli_Zep12600.h"
#include "survey/DayPanel.h"
#include "survey/MarkImages.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QStyle>
#include <QVBoxLayout>

using namespace hostfw;

namespace {

QLabel* label(QWidget* parent, const char* name, const QString& text, bool bold = false) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    if (bold) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    return l;
}

TEdit* edit(QWidget* parent, const char* name, int maxLength, bool displayOnly = false) {
    auto* e = new TEdit(parent, QString::fromLatin1(name));
    if (maxLength > 0) e->SetMaxLength(maxLength);
    if (displayOnly) e->SetDisplayOnly(true);
    return e;
}

TBtnPesquisa* searchButton(QWidget* parent, const char* name, QWidget* associate, const QString& title,
                           TDataSource* source, const QString& emptyError) {
    auto* b = new TBtnPesquisa(parent, QString::fromLatin1(name));
    b->SetAssociate(associate);
    b->Title = title;
    b->DataSource = source;
    b->EmptyError = emptyError;
    return b;
}

// The period columns share the grid's width, each at least its set width,
// until the user drags a column edge.
class ShareGridWidth : public QObject {
public:
    explicit ShareGridWidth(TDBGrid* grid) : QObject(grid), grid_(grid) {
        grid->viewport()->installEventFilter(this);
        grid->horizontalHeader()->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == grid_->horizontalHeader()->viewport()) {
            if (event->type() == QEvent::MouseButtonPress) userSized_ = true;
        } else if (event->type() == QEvent::Resize && !userSized_) {
            share();
        }
        return false;
    }

private:
    void share() {
        const int columns = grid_->horizontalHeader()->count();
        if (columns == 0) return;
        int left = grid_->viewport()->width() - 1;
        for (int c = 0; c < columns; ++c) {
            TColumn* column = grid_->Columns().value(c);
            if (!column) continue;
            const int width = std::max(column->Width(), left / (columns - c));
            grid_->setColumnWidth(c, width);
            left -= width;
        }
    }
    TDBGrid* grid_;
    bool userSized_ = false;
};

}  // namespace

TfrmInquerito::TfrmInquerito(QWidget* parent) : TfrmPadraoGrid(parent) {
    setObjectName("frmInquerito");
    setWindowTitle(QStringLiteral("Inquérito do Paciente"));
    resize(720, 560);  // room for the day totals under the items grid
    HelpFile = QStringLiteral("zephelp.hlp");
    HelpContext = 11112600;
    lblCodTela->setText(QStringLiteral("ZEP12600"));

    buildMessages();
    buildDataSets();
    buildMenus();
    buildHeader();
    buildPages();
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

void TfrmInquerito::buildHeader() {
    panPaciente = new QFrame(body());
    panPaciente->setObjectName("panPaciente");
    panPaciente->setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(panPaciente);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(4);

    lblFilial = label(panPaciente, "lblFilial", QStringLiteral("Filial"), true);
    medFilial = new TMaskEdit(panPaciente, "medFilial");
    medFilial->SetEditMask(QStringLiteral(">aaaa;0; "));
    medFilial->setFixedWidth(60);
    edtNmFilial = edit(panPaciente, "edtNmFilial", 30, true);
    btpPesqFilial = searchButton(panPaciente, "btpPesqFilial", medFilial, QStringLiteral("Filial"), dtsFilial,
                                 QStringLiteral("Não há filial cadastrada."));
    lblPaciente = label(panPaciente, "lblPaciente", QStringLiteral("Paciente"), true);
    edtCdPaciente = edit(panPaciente, "edtCdPaciente", 12);
    edtCdPaciente->SetCharCase(TEditCharCase::ecUpperCase);
    edtCdPaciente->setFixedWidth(110);
    edtNmPaciente = edit(panPaciente, "edtNmPaciente", 80, true);
    btnPesqPaciente = searchButton(panPaciente, "btnPesqPaciente", edtCdPaciente, QStringLiteral("Paciente"),
                                   dtsPaciente, QStringLiteral("Não há paciente cadastrado."));

    grid->addWidget(lblFilial, 0, 0);
    grid->addWidget(medFilial, 0, 1);
    grid->addWidget(btpPesqFilial, 0, 2);
    grid->addWidget(edtNmFilial, 0, 3);
    grid->addWidget(lblPaciente, 1, 0);
    grid->addWidget(edtCdPaciente, 1, 1);
    grid->addWidget(btnPesqPaciente, 1, 2);
    grid->addWidget(edtNmPaciente, 1, 3);
    grid->setColumnStretch(3, 1);
    static_cast<QVBoxLayout*>(body()->layout())->insertWidget(0, panPaciente);
    setTabOrder(medFilial, edtCdPaciente);
}

void TfrmInquerito::buildPages() {
    // Periods page, first.
    tshPaci = new QWidget();
    tshPaci->setObjectName("tshPaci");
    pgcPadrao->insertTab(0, tshPaci, QStringLiteral("Período do Inquérito"));
    pgcPadrao->setTabText(1, QStringLiteral("Inquérito"));
    dbgInquerito = new TDBGrid(tshPaci);
    dbgInquerito->setObjectName("dbgInquerito");
    dbgInquerito->SetDataSource(dtsInqPaci);
    dbgInquerito->SetOptions(dgEditing | dgTitles | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                             dgAlwaysShowSelection | dgConfirmDelete);
    dbgInquerito->AddColumn("DTINIINQU")->SetWidth(100);
    dbgInquerito->AddColumn("DTFININQU")->SetWidth(100);
    new ShareGridWidth(dbgInquerito);
    auto* paciLayout = new QVBoxLayout(tshPaci);
    paciLayout->setContentsMargins(2, 2, 2, 2);
    paciLayout->addWidget(dbgInquerito);

    // Items page: service panel over the items grid; the base grid is a strip.
    panInq = new QFrame(tshPadrao);
    panInq->setObjectName("panInq");
    panInq->setFrameShape(QFrame::StyledPanel);
    // Two lines, so that every label, the service name and the date stay
    // readable at the screen's default size.
    auto* lines = new QVBoxLayout(panInq);
    lines->setContentsMargins(6, 4, 6, 4);
    lines->setSpacing(4);
    auto* serviceLine = new QHBoxLayout();
    auto* dayLine = new QHBoxLayout();
    serviceLine->setSpacing(4);
    dayLine->setSpacing(4);
    lines->addLayout(serviceLine);
    lines->addLayout(dayLine);
    lblServico = label(panInq, "lblServico", QStringLiteral("Serviço"), true);
    edtCdServico = edit(panInq, "edtCdServico", 5);
    edtCdServico->setFixedWidth(55);
    BtnPesquisa2 = searchButton(panInq, "BtnPesquisa2", edtCdServico, QStringLiteral("Serviço"), dtsServico,
                                QStringLiteral("Não há serviço cadastrado para a filial informada."));
    edtNmServico = edit(panInq, "edtNmServico", 40, true);
    edtNmServico->setMinimumWidth(110);
    lblHorario = label(panInq, "lblHorario", QStringLiteral("Horário"), true);
    medHorario = new TMaskEdit(panInq, "medHorario");
    medHorario->SetEditMask(QStringLiteral("99:99;1; "));
    medHorario->SetMaxLength(5);
    medHorario->setFixedWidth(50);
    lblDataInquerito = label(panInq, "lblDataInquerito", QStringLiteral("Data do Inquérito"), true);
    sbtOntem = new QToolButton(panInq);
    sbtOntem->setObjectName("sbtOntem");
    sbtOntem->setToolTip(QStringLiteral("Dia Anterior"));
    sbtOntem->setArrowType(Qt::LeftArrow);
    sbtOntem->setAutoRaise(true);
    sbtOntem->setFocusPolicy(Qt::NoFocus);
    depInquerito = new TDateEditPlus(panInq, "depInquerito");
    sbtAmanha = new QToolButton(panInq);
    sbtAmanha->setObjectName("sbtAmanha");
    sbtAmanha->setToolTip(QStringLiteral("Dia Posterior"));
    sbtAmanha->setArrowType(Qt::RightArrow);
    sbtAmanha->setAutoRaise(true);
    sbtAmanha->setFocusPolicy(Qt::NoFocus);
    edtDiaSemana = edit(panInq, "edtDiaSemana", 0, true);
    edtDiaSemana->setFocusPolicy(Qt::NoFocus);
    const QFontMetrics metrics(edtDiaSemana->font());
    int dayWidth = 0;
    for (const char* day : {"Domingo", "Segunda", "Terça", "Quarta", "Quinta", "Sexta", "Sábado"})
        dayWidth = std::max(dayWidth, metrics.horizontalAdvance(QString::fromUtf8(day)));
    edtDiaSemana->setFixedWidth(dayWidth + 16);
    depInquerito->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("00/00/00000")) + 40);
    medHorario->setFixedWidth(std::max(50, metrics.horizontalAdvance(QStringLiteral("00:000")) + 12));
    for (QWidget* w : std::initializer_list<QWidget*>{lblServico, edtCdServico, BtnPesquisa2, edtNmServico})
        serviceLine->addWidget(w, w == edtNmServico ? 1 : 0);
    for (QWidget* w : std::initializer_list<QWidget*>{lblHorario, medHorario, lblDataInquerito, sbtOntem, depInquerito,
                                                      sbtAmanha, edtDiaSemana})
        dayLine->addWidget(w);
    dayLine->addStretch(1);
    // The labels of both lines share one width, so the fields line up.
    const int labelWidth = std::max(lblServico->sizeHint().width(), lblHorario->sizeHint().width());
    lblServico->setMinimumWidth(labelWidth);
    lblHorario->setMinimumWidth(labelWidth);
    setTabOrder(edtCdServico, medHorario);
    setTabOrder(medHorario, depInquerito);

    dbgProdPrat = new TDBGrid(tshPadrao);
    dbgProdPrat->setObjectName("dbgProdPrat");
    dbgProdPrat->SetDataSource(dtsPadrao);
    setupItemsGrid();
    auto* page = static_cast<QVBoxLayout*>(tshPadrao->layout());
    page->insertWidget(0, panInq);
    page->insertWidget(1, dbgProdPrat, 1);
    // Day totals: under the items grid.
    page->insertWidget(2, new survey::DayPanel(netInquerito, tshPadrao));
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
    qryProduto->FieldByName("CDARVPROD")->EditMask = Vorlane::DBPict(0);
    qryPrato->FieldByName("CDPRATO")->EditMask = Vorlane::DBPict(1);
    cdsInqPaciDTFININQU->EditMask = Consiste::DateMask();
    cdsInqPaciDTINIINQU->EditMask = Consiste::DateMask();
    cdsProdPrat->FieldByName("CDPRATPROD")->Tag = 1;
    cdsProdPrat->FieldByName("CDPRATPRODAUX")->Tag = 1;
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
        FiltroPaci();
        lblFilial->setEnabled(!Vorlane::ModuFili());
        medFilial->setEnabled(lblFilial->isEnabled());
        btpPesqFilial->setEnabled(lblFilial->isEnabled());
        Showavi::DeactiveShowAvi(mainWindow());
    } catch (...) {
        Showavi::DeactiveShowAvi(mainWindow());
        if (medFilial->isEnabled()) medFilial->setFocus();
        throw;
    }
}

void TfrmInquerito::FormCloseQuery() { settlePendingItem(); }

void TfrmInquerito::FormClose() {
    boStCriado = false;
    netInquerito->SetConnected(false);
    TfrmPadraoGrid::FormClose();
}

bool TfrmInquerito::itemsPageShowing() const { return pgcPadrao->currentWidget() == tshPadrao; }

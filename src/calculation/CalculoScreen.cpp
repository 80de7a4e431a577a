// Layout of the calculation screen and the binding of its handlers.
#include "calculation/Cli_Zep12610.h"
#include "calculation/DayChart.h"
#include "calculation/EnergyChart.h"

#include "host/controls/BtnPesquisa.h"
#include "host/controls/Buttons.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/controls/NumberEdit.h"
#include "host/core/Failures.h"
#include "host/core/Focus.h"
#include "host/data/DBGrid.h"
#include "host/data/DataSet.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolTip>
#include <QVBoxLayout>

using namespace hostfw;

namespace {

const QString DailyAverageTip = QStringLiteral(
    "Quantidade total dividida pelo número de dias do período que têm ao menos um item registrado nos serviços "
    "escolhidos.");

QLabel* label(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

QFrame* panel(QWidget* parent, const char* name) {
    auto* p = new QFrame(parent);
    p->setObjectName(QString::fromLatin1(name));
    return p;
}

QGroupBox* group(QWidget* parent, const char* name, const QString& title) {
    auto* g = new QGroupBox(title, parent);
    g->setObjectName(QString::fromLatin1(name));
    return g;
}

QRadioButton* radio(QWidget* parent, const char* name, const QString& text) {
    auto* r = new QRadioButton(text, parent);
    r->setObjectName(QString::fromLatin1(name));
    return r;
}

TBtnPesquisa* searchButton(QWidget* parent, const char* name, const QString& title, const QString& emptyError) {
    auto* b = new TBtnPesquisa(parent, QString::fromLatin1(name));
    b->SetHint(QStringLiteral("Pesquisar"));
    b->Title = title;
    b->EmptyError = emptyError;
    return b;
}

// A result: read-only and in the text colour (a disabled field would grey it
// out), out of the tab order.
TNumberEdit* numberField(QWidget* parent, const char* name) {
    auto* n = new TNumberEdit(parent, QString::fromLatin1(name));
    n->SetDecimals(3);
    n->SetReadOnly(true);
    n->setFocusPolicy(Qt::NoFocus);
    n->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    n->setFixedWidth(n->fontMetrics().horizontalAdvance(QStringLiteral("000.000,000")) + 16);
    return n;
}

// The caption strip over a grid.
QLabel* band(QWidget* parent, const char* name, const QString& caption) {
    QLabel* l = label(parent, name, caption);
    l->setAutoFillBackground(true);
    l->setBackgroundRole(QPalette::Mid);
    l->setForegroundRole(QPalette::BrightText);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

TDBGrid* resultGrid(QWidget* parent, const char* name, TDataSource* source, const QStringList& columns) {
    auto* g = new TDBGrid(parent, QString::fromLatin1(name));
    g->SetDataSource(source);
    g->SetOptions(dgTitles | dgColumnResize | dgColLines | dgRowLines | dgRowSelect | dgAlwaysShowSelection);
    g->SetReadOnly(true);
    for (const QString& c : columns) g->AddColumn(c);
    return g;
}

// Shows how the daily average is computed when the pointer rests on its title.
class AverageTip : public QObject {
public:
    AverageTip(TDBGrid* grid) : QObject(grid), grid_(grid) { grid->horizontalHeader()->viewport()->installEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != QEvent::ToolTip) return false;
        auto* help = static_cast<QHelpEvent*>(e);
        const int column = grid_->horizontalHeader()->logicalIndexAt(help->pos());
        if (column < 0 || column != grid_->ColumnIndex(QStringLiteral("QTMEDIADIA"))) {
            QToolTip::hideText();
            return true;
        }
        QToolTip::showText(help->globalPos(), DailyAverageTip, grid_->horizontalHeader());
        return true;
    }

private:
    TDBGrid* grid_;
};

}  // namespace

TfrmCalculo* frmCalculo = nullptr;

TfrmCalculo::TfrmCalculo(const survey::SurveyContext& context, QWidget* parent)
    : TfrmRotiGeral(parent), context_(context) {
    setObjectName("frmCalculo");
    setWindowTitle(QStringLiteral("Cálculo de Inquérito do Paciente"));
    HelpContext = 11112610;
    lblCodTela->setText(QStringLiteral("ZEP12610"));
    resize(820, 720);

    buildMessages();
    buildDataSets();
    buildLayout();
    connectHandlers();
}

TfrmCalculo::~TfrmCalculo() {
    if (frmCalculo == this) frmCalculo = nullptr;
}

void TfrmCalculo::buildLayout() {
    const QColor required = palette().color(QPalette::ToolTipBase);
    auto* top = new QVBoxLayout(grbDadosRel);

    // Period and services.
    panData = panel(grbDadosRel, "panData");
    auto* dataRow = new QHBoxLayout(panData);
    dataRow->setContentsMargins(0, 0, 0, 0);
    grbPeriodo = group(panData, "grbPeriodo", QStringLiteral("Período"));
    auto* period = new QHBoxLayout(grbPeriodo);
    depPerIni = new TDateEditPlus(grbPeriodo, "depPerIni");
    depPerFim = new TDateEditPlus(grbPeriodo, "depPerFim");
    for (TDateEditPlus* d : {depPerIni, depPerFim}) d->SetColor(required);
    period->addWidget(label(grbPeriodo, "lblPerIni", QStringLiteral("De")));
    period->addWidget(depPerIni);
    period->addSpacing(8);
    period->addWidget(label(grbPeriodo, "lblPerFim", QStringLiteral("Até")));
    period->addWidget(depPerFim);
    period->addStretch(1);
    grbServico = group(panData, "grbServico", QStringLiteral("Serviço"));
    auto* services = new QHBoxLayout(grbServico);
    rbtTodos = radio(grbServico, "rbtTodos", QStringLiteral("Todos"));
    rbtTodos->setChecked(true);
    rbtLista = radio(grbServico, "rbtLista", QStringLiteral("Lista"));
    btnServ = searchButton(grbServico, "btnServ", QStringLiteral("Serviço"), QStringLiteral("Não há serviço cadastrado."));
    btnServ->setEnabled(false);
    services->addWidget(rbtTodos);
    services->addWidget(rbtLista);
    services->addWidget(btnServ);
    services->addStretch(1);
    dataRow->addWidget(grbPeriodo, 3);
    dataRow->addWidget(grbServico, 2);
    top->addWidget(panData);

    // Macronutrients.
    lblMacro = band(grbDadosRel, "lblMacro", QStringLiteral("  Macronutriente"));
    top->addWidget(lblMacro);
    dbgNutriente = resultGrid(grbDadosRel, "dbgNutriente", dtsMacro,
                              {"NUTRIENTE", "QTCALOTOT", "TOTAL", "SGUNIDADE", "CDNUTRIENTE", "QTMEDIADIA"});
    dbgNutriente->ColumnByField(QStringLiteral("CDNUTRIENTE"))->SetVisible(false);
    // Always the four macronutrients: no more room than they need.
    dbgNutriente->setFixedHeight(dbgNutriente->horizontalHeader()->sizeHint().height() +
                                 4 * dbgNutriente->verticalHeader()->defaultSectionSize() +
                                 2 * dbgNutriente->frameWidth() + 2);
    top->addWidget(dbgNutriente);

    // Total energy and its split, with the chart beside.
    auto* energyRow = new QHBoxLayout();
    auto* energy = new QGridLayout();
    panVct = panel(grbDadosRel, "panVct");
    auto* vctRow = new QHBoxLayout(panVct);
    vctRow->setContentsMargins(0, 0, 0, 0);
    nedVct = numberField(panVct, "nedVct");
    vctRow->addWidget(label(panVct, "lblVct", QStringLiteral("VCT")));
    vctRow->addStretch(1);
    vctRow->addWidget(nedVct);
    vctRow->addWidget(label(panVct, "lblVctUnidade", QStringLiteral("kcal")));
    energy->addWidget(panVct, 0, 0, 1, 2);
    nedProt = numberField(grbDadosRel, "nedProt");
    nedLipidio = numberField(grbDadosRel, "nedLipidio");
    nedCarbo = numberField(grbDadosRel, "nedCarbo");
    nedAlcool = numberField(grbDadosRel, "nedAlcool");
    struct Share {
        TNumberEdit* edit;
        const char* label;
        const char* percent;
        QString text;
        int row, column;
    };
    const Share shares[] = {{nedProt, "lblProt", "lblProtPerc", QStringLiteral("Proteína"), 1, 0},
                            {nedLipidio, "lblLipidio", "lblLipidioPerc", QStringLiteral("Lipídio"), 1, 1},
                            {nedCarbo, "lblCarbo", "lblCarboPerc", QStringLiteral("Carboidrato"), 2, 0},
                            {nedAlcool, "lblAlcool", "lblAlcoolPerc", QStringLiteral("Álcool"), 2, 1}};
    for (const Share& s : shares) {
        auto* cell = new QHBoxLayout();
        cell->addWidget(label(grbDadosRel, s.label, s.text));
        cell->addStretch(1);
        cell->addWidget(s.edit);
        cell->addWidget(label(grbDadosRel, s.percent, QStringLiteral("%")));
        cell->addSpacing(10);
        energy->addLayout(cell, s.row, s.column);
    }
    energy->setRowStretch(3, 1);
    energyRow->addLayout(energy);
    // The split and the days share the room beside the numbers, so the
    // window does not grow by a chart's height.
    pgcGraficos = new QTabWidget(grbDadosRel);
    pgcGraficos->setObjectName(QStringLiteral("pgcGraficos"));
    pgcGraficos->setFocusPolicy(Qt::NoFocus);
    chtEnergia = new calculation::EnergyChart(pgcGraficos, "chtEnergia");
    chtDias = new calculation::DayChart(pgcGraficos, "chtDias");
    pgcGraficos->addTab(chtEnergia, QStringLiteral("Distribuição energética"));
    pgcGraficos->addTab(chtDias, QStringLiteral("Energia e proteína por dia"));
    energyRow->addWidget(pgcGraficos, 1);
    top->addLayout(energyRow);

    // Group, nutrients and micronutrients, in a second group box.
    grbNutriente = group(this, "grbNutriente", QString());
    auto* bottom = new QVBoxLayout(grbNutriente);
    panGrupo = panel(grbNutriente, "panGrupo");
    auto* groupRow = new QHBoxLayout(panGrupo);
    groupRow->setContentsMargins(0, 0, 0, 0);
    auto* groupBox = new QHBoxLayout();
    groupBox->addWidget(label(panGrupo, "lblGrupo", QStringLiteral("Grupo de Nutriente")));
    medCdGrupo = new TEdit(panGrupo, "medCdGrupo");
    medCdGrupo->SetMaxLength(2);
    medCdGrupo->setFixedWidth(medCdGrupo->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 14);
    btpGrupo = searchButton(panGrupo, "btpGrupo", QStringLiteral("Grupo de Nutriente"),
                            QStringLiteral("Não há grupo de nutriente cadastrado."));
    btpGrupo->SetAssociate(medCdGrupo);
    btpGrupo->DataSource = dtsGrupo;
    edtNmGrupo = new TEdit(panGrupo, "edtNmGrupo");
    edtNmGrupo->setEnabled(false);
    edtNmGrupo->setMinimumWidth(edtNmGrupo->fontMetrics().horizontalAdvance(QStringLiteral("Outros componentes")) + 16);
    groupBox->addWidget(medCdGrupo);
    groupBox->addWidget(btpGrupo);
    groupBox->addWidget(edtNmGrupo, 1);
    groupRow->addLayout(groupBox, 3);
    grbNutri = group(panGrupo, "grbNutri", QStringLiteral("Nutriente"));
    auto* nutrients = new QHBoxLayout(grbNutri);
    rbtTNutri = radio(grbNutri, "rbtTNutri", QStringLiteral("Todos"));
    rbtTNutri->setChecked(true);
    rbtLNutri = radio(grbNutri, "rbtLNutri", QStringLiteral("Lista"));
    btnNutriente = searchButton(grbNutri, "btnNutriente", QStringLiteral("Nutriente"),
                                QStringLiteral("Não há nutriente cadastrado para o grupo informado."));
    btnNutriente->setEnabled(false);
    nutrients->addWidget(rbtTNutri);
    nutrients->addWidget(rbtLNutri);
    nutrients->addWidget(btnNutriente);
    nutrients->addStretch(1);
    groupRow->addWidget(grbNutri, 2);
    bottom->addWidget(panGrupo);
    lblMicro = band(grbNutriente, "lblMicro", QStringLiteral("  Micronutriente"));
    bottom->addWidget(lblMicro);
    dbgMicro = resultGrid(grbNutriente, "dbgMicro", dtsCalc,
                          {"NUTRIENTE", "TOTAL", "SGUNIDADE", "QTMEDIADIA", "PCRECOMEND"});
    dbgMicro->setMinimumHeight(180);
    bottom->addWidget(dbgMicro, 1);
    setupAdequacy();
    bottom->addWidget(panLegendaDri);
    leftColumn()->insertWidget(1, grbNutriente, 1);

    for (TDBGrid* g : {dbgNutriente, dbgMicro}) {
        g->ColumnByField(QStringLiteral("NUTRIENTE"))->SetWidth(220);
        new AverageTip(g);
    }

    // Focus order; search buttons, disabled fields and the confirm button take none.
    QWidget* order[] = {depPerIni, depPerFim, rbtTodos, rbtLista, dbgNutriente,
                        medCdGrupo, rbtTNutri, rbtLNutri, dbgMicro};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void TfrmCalculo::connectHandlers() {
    Focus& focus = Focus::instance();
    auto onEnter = [&](QWidget* w, void (TfrmCalculo::*handler)()) {
        focus.setOnEnter(w, [this, handler] { (this->*handler)(); });
    };
    auto onExit = [&](QWidget* w, void (TfrmCalculo::*handler)()) {
        focus.setOnExit(w, [this, handler] { (this->*handler)(); });
    };
    onEnter(panData, &TfrmCalculo::panDataEnter);
    onExit(depPerIni, &TfrmCalculo::depPerIniExit);
    onExit(depPerFim, &TfrmCalculo::depPerFimExit);
    // Tab reaches only the selected radio button of each choice.
    for (QRadioButton* r : {rbtTodos, rbtLista, rbtTNutri, rbtLNutri}) {
        auto follow = [r] { r->setFocusPolicy(r->isChecked() ? Qt::StrongFocus : Qt::ClickFocus); };
        connect(r, &QRadioButton::toggled, this, follow);
        follow();
    }
    for (QRadioButton* r : {rbtTodos, rbtLista})
        connect(r, &QRadioButton::clicked, this, guarded([this] { rbtTodosClick(); }));
    btnServ->OnClick = [this] { btnServClick(); };
    onEnter(dbgNutriente, &TfrmCalculo::dbgNutrienteEnter);
    onEnter(panGrupo, &TfrmCalculo::panGrupoEnter);
    medCdGrupo->OnChange = [this] { medCdGrupoChange(); };
    onExit(medCdGrupo, &TfrmCalculo::medCdGrupoExit);
    btpGrupo->OnBeforePesq = [this](bool& cancel) { btpGrupoBeforePesq(cancel); };
    btpGrupo->OnAfterPesq = [this] { btpGrupoAfterPesq(); };
    for (QRadioButton* r : {rbtTNutri, rbtLNutri})
        connect(r, &QRadioButton::clicked, this, guarded([this] { rbtTNutriClick(); }));
    btnNutriente->OnClick = [this] { btnNutrienteClick(); };
    onEnter(dbgMicro, &TfrmCalculo::dbgMicroEnter);
}

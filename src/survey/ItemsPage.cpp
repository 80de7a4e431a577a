// The items page: service, meal time and day, the intake items of that day
// and service (their events, loading, the post check and saving), the items
// grid (columns, keys, the checks and completions run when a column is left,
// the lookups behind the column buttons) and the restriction, intolerance and
// interaction marks with their tooltips and legend.
#include "survey/ItemsPage.h"
#include "survey/DayPanel.h"

#include "catalog/CatalogQueries.h"
#include "host/controls/PointToolTips.h"
#include "host/connection/ADOIBQuery.h"
#include "host/connection/NetConnection.h"
#include "host/controls/BtnPesquisa.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/controls/Lookups.h"
#include "host/controls/MaskEdit.h"
#include "host/core/BrNumber.h"
#include "host/core/Failures.h"
#include "host/core/Focus.h"
#include "host/core/Messages.h"
#include "host/core/Session.h"
#include "host/routines/Consiste.h"
#include "host/routines/Vorlane.h"
#include "protocol/ItemRecord.h"
#include "survey/MarkImages.h"
#include "survey/PanelParts.h"
#include "survey/SendChanges.h"
#include "survey/SurveyNotice.h"
#include "survey/RecentFoods.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

using namespace hostfw;
using namespace survey::parts;

namespace survey {

namespace {

using FT = TFieldType;

FT fieldType(protocol::FieldType type) {
    switch (type) {
    case protocol::FieldType::Date: return FT::ftDateTime;
    case protocol::FieldType::Float: return FT::ftFloat;
    case protocol::FieldType::Integer: return FT::ftInteger;
    case protocol::FieldType::String: break;
    }
    return FT::ftString;
}

// The one validation option the screen passes to Tabvalid::ValidEx.
constexpr int kValidOption = 0;

const QString kType = QStringLiteral("IDTIPOINQUER");
const QString kCode = QStringLiteral("CDPRATPROD");
const QString kMeasure = QStringLiteral("CDMEDICASE");
const QString kPortions = QStringLiteral("QTALIMMEDCAS");
const QString kInteraction = QStringLiteral("IDVERMEDICA");

// Runs a step; on any failure puts the focus on the field's column and lets the failure go on.
template <typename F>
void refocusOnFailure(TField* field, F step) {
    try {
        step();
    } catch (...) {
        field->FocusControl();
        throw;
    }
}


template <typename F>
void refocusOnFailure(QWidget* control, F step) {
    try {
        step();
    } catch (...) {
        if (control && control->isEnabled()) control->setFocus();
        throw;
    }
}
const QString kName = QStringLiteral("NMPRATPROD");

// Rows of a warning set whose code field equals the code, whatever the letter case.
QList<int> rowsOf(TClientDataSet* set, const char* field, const QString& code) {
    QList<int> rows;
    if (!set->Active() || Consiste::EmptyString(code)) return rows;
    const int index = set->FieldByName(QString::fromLatin1(field))->Index();
    const QString wanted = code.trimmed();
    for (int r = 0; r < set->RecordCount(); ++r)
        if (set->ValueAt(r, index).toString().trimmed().compare(wanted, Qt::CaseInsensitive) == 0) rows.append(r);
    return rows;
}

}  // namespace

ItemsPage::ItemsPage(QWidget* parent, const PanelServices& services, TDataSource* itemsSource)
    : QWidget(parent), services_(services) {
    setObjectName("pagItens");
    buildDataSets();
    itemsSource->SetDataSet(cdsProdPrat);
    buildWidgets();
    dbgProdPrat->SetDataSource(itemsSource);
    setupItemsGrid();
    connectHandlers();
    // Day totals under the grid: they follow the day and every stored change.
    dayPanel_ = new DayPanel(services_.net, this);
    addBelowGrid(dayPanel_);
    connect(this, &ItemsPage::itemPosted, this, [this] { dayPanel_->refresh(this->context()); });
    connect(this, &ItemsPage::itemDeleted, this, [this] { dayPanel_->refresh(this->context()); });
}

QString ItemsPage::msg(const char* key) const { return services_.messages->Msg(key); }

void ItemsPage::buildDataSets() {
    qryServico = query(this, "qryServico", catalog::qryServico);
    field(qryServico, "CDSERVFILI", FT::ftString, 5, QStringLiteral("Código"))->DisplayWidth = 7;
    field(qryServico, "NMSERVICO", FT::ftString, 40, QStringLiteral("Nome"))->DisplayWidth = 50;
    TField* start = field(qryServico, "HRINICSERV", FT::ftString, 4, QStringLiteral("Hora Inicial"));
    start->Visible = false;
    dtsServico = new TDataSource(this, "dtsServico", qryServico);

    cdsProdPrat = dataSet(this, "cdsProdPrat");
    for (const protocol::Field& f : protocol::item::fields())
        field(cdsProdPrat, f.name.c_str(), fieldType(f.type), f.size);
    cdsProdPrat->FieldByName("CDPRATPROD")->DisplayLabel = QStringLiteral("Código");
    cdsProdPrat->FieldByName("NMPRATPROD")->DisplayLabel = QStringLiteral("Nome");
    cdsProdPrat->FieldByName("CDMEDICASE")->DisplayLabel = QStringLiteral("Medida de Porcionamento");
    cdsProdPrat->FieldByName("IDTIPOINQUER")->DisplayLabel = QStringLiteral("Tipo");
    cdsProdPrat->FieldByName("IDTIPOINQUER")->DisplayWidth = 10;
    // Code columns are typed only in a new row.
    cdsProdPrat->FieldByName("CDPRATPROD")->Tag = 1;
    cdsProdPrat->FieldByName("CDPRATPRODAUX")->Tag = 1;

    cdsSeqInquer = dataSet(this, "cdsSeqInquer");
    field(cdsSeqInquer, "NRSEQUINQUER", FT::ftString, 3);
    cdsPesqProd = dataSet(this, "cdsPesqProd");
    field(cdsPesqProd, "CDPRODUTO", FT::ftString, 10);
    cdsPesqPrato = dataSet(this, "cdsPesqPrato");
    field(cdsPesqPrato, "CDPRATO", FT::ftString, 10);

    qryProduto = query(this, "qryProduto", catalog::qryProduto);
    field(qryProduto, "CDARVPROD", FT::ftString, 20, QStringLiteral("Código"))->EditMask = Vorlane::DBPict(0);
    field(qryProduto, "CDPRODUTO", FT::ftString, 10)->Visible = false;
    field(qryProduto, "NMPRODUTO", FT::ftString, 50, QStringLiteral("Nome"));
    field(qryProduto, "SGUNIDADE", FT::ftString, 10, QStringLiteral("UN"))->Visible = false;
    survey::showRecentMark(field(qryProduto, "IDRECENTE", FT::ftString, 1));
    dtsProduto = new TDataSource(this, "dtsProduto", qryProduto);
    qryValidaProduto = query(this, "qryValidaProduto", catalog::qryValidaProduto);
    field(qryValidaProduto, "CDARVPROD", FT::ftString, 20);
    field(qryValidaProduto, "CDPRODUTO", FT::ftString, 10);
    field(qryValidaProduto, "NMPRODUTO", FT::ftString, 50);
    field(qryValidaProduto, "SGUNIDADE", FT::ftString, 10);
    qryPrato = query(this, "qryPrato", catalog::qryPrato);
    TField* dishCode = field(qryPrato, "CDPRATO", FT::ftString, 10, QStringLiteral("Código"));
    dishCode->DisplayWidth = 15;
    dishCode->EditMask = Vorlane::DBPict(1);
    field(qryPrato, "NMPRATO", FT::ftString, 40, QStringLiteral("Nome"));
    field(qryPrato, "SGUNIDADE", FT::ftString, 10)->Visible = false;
    field(qryPrato, "CDFILAUXPRAT", FT::ftString, 4)->Visible = false;
    survey::showRecentMark(field(qryPrato, "IDRECENTE", FT::ftString, 1));
    dtsPrato = new TDataSource(this, "dtsPrato", qryPrato);
    qryValidaPrato = query(this, "qryValidaPrato", catalog::qryValidaPrato);
    field(qryValidaPrato, "CDPRATO", FT::ftString, 10);
    field(qryValidaPrato, "NMPRATO", FT::ftString, 40);
    field(qryValidaPrato, "SGUNIDADE", FT::ftString, 10);
    field(qryValidaPrato, "CDFILAUXPRAT", FT::ftString, 4);
    // Measures of an item and the weight of one portion, one pair per kind.
    auto measures = [this](const char* name, const char* sql, const char* sourceName, TDataSource** source,
                           const char* grams) {
        TADOIBQuery* q = query(this, name, sql);
        field(q, "CDMEDICASE", FT::ftString, 5, QStringLiteral("Código"));
        TField* measure = field(q, "NMMEDICASE", FT::ftString, 40, QStringLiteral("Nome"));
        // The lookup shows "Fatia (25 g)"; the name itself stays "Fatia".
        TField* weight = field(q, grams, FT::ftFloat);
        weight->Visible = false;
        ShowAmountWithName(measure, weight, QStringLiteral("g"));
        *source = new TDataSource(this, sourceName, q);
        return q;
    };
    qryMedicaseProd =
        measures("qryMedicaseProd", catalog::qryMedicaseProd, "dtsMediCaseProd", &dtsMediCaseProd, "VRPESOMEDI");
    qryMedicasePrato =
        measures("qryMedicasePrato", catalog::qryMedicasePrato, "dtsMediCasePrato", &dtsMediCasePrato, "VRPESOMED");
    // The generic and Oracle dialects read a null weight as 0 with NVL, SQL
    // Server with ISNULL; InterBase selects the bare column.
    auto weight = [this](const char* name, const char* sql, const char* column) {
        TADOIBQuery* q = query(this, name, sql);
        field(q, column, FT::ftFloat);
        const QString text = QString::fromUtf8(sql);
        const QString nvl = QStringLiteral("NVL(%1, 0) AS %1").arg(QString::fromLatin1(column));
        q->SQL_ORACLE = q->SQL;
        q->SQL_MSSQL = QString(text).replace("NVL(", "ISNULL(").split('\n');
        q->SQL_IB = QString(text).replace(nvl, QString::fromLatin1(column)).split('\n');
        return q;
    };
    qryQuantProd = weight("qryQuantProd", catalog::qryQuantProd, "VRPESOMEDI");
    qryQuantPrato = weight("qryQuantPrato", catalog::qryQuantPrato, "VRPESOMED");
    qryQuantPrato->FieldByName("VRPESOMED")->ReadOnly = true;

    // Meal time.
    cdsHorario = dataSet(this, "cdsHorario");
    field(cdsHorario, "HRSERVINQ", FT::ftString, 4);
    field(cdsHorario, "IDTIPOINQUER", FT::ftString, 1);

    // Warning sets: string fields with their sizes.
    using Spec = std::initializer_list<std::pair<const char*, int>>;
    auto warningSet = [this](const char* name, Spec fields) {
        TClientDataSet* ds = dataSet(this, name);
        for (const auto& [field, size] : fields) ds->AddField(QString::fromLatin1(field), FT::ftString, size);
        return ds;
    };
    // Products are named by their tree code (CDARVPROD), up to 20 characters.
    const std::pair<const char*, int> product{"CDPRODUTO", 20}, dish{"CDPRATO", 10}, drug{"NMMEDICAMENT", 150},
        nutrient{"NMNUTRIENTE", 20};
    cdsPratoRest = warningSet("cdsPratoRest", {product, dish});
    cdsPratoIntol = warningSet("cdsPratoIntol", {product, dish});
    cdsVerMedicaPrato = warningSet("cdsVerMedicaPrato", {drug, nutrient, dish});
    cdsProdutoRest = warningSet("cdsProdutoRest", {{"CDSUBGRPROD", 10}, product});
    cdsProdutoIntol = warningSet("cdsProdutoIntol", {product});
    cdsVerMedica = warningSet("cdsVerMedica", {drug, nutrient, product});
    cdsPratoVerMedica = warningSet("cdsPratoVerMedica", {drug, nutrient});
    cdsProdVerMedica = warningSet("cdsProdVerMedica", {drug, nutrient});
}

void ItemsPage::buildWidgets() {
    // Service panel over the items grid.
    panInq = new QFrame(this);
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

    dbgProdPrat = new TDBGrid(this);
    dbgProdPrat->setObjectName("dbgProdPrat");

    // Service panel, the grid with room beside it, the legend, room below.
    pageLayout_ = new QVBoxLayout(this);
    pageLayout_->setContentsMargins(0, 0, 0, 0);
    pageLayout_->addWidget(panInq);
    gridRow_ = new QHBoxLayout();
    gridRow_->setContentsMargins(0, 0, 0, 0);
    gridRow_->addWidget(dbgProdPrat, 1);
    pageLayout_->addLayout(gridRow_, 1);
}

void ItemsPage::addBesideGrid(QWidget* panel) {
    panel->setParent(this);
    gridRow_->addWidget(panel);
}

void ItemsPage::showDay() { dayPanel_->showDay(context()); }

void ItemsPage::refreshDay() { dayPanel_->refresh(context()); }

void ItemsPage::addBelowGrid(QWidget* panel) {
    panel->setParent(this);
    pageLayout_->addWidget(panel);
}

void ItemsPage::connectHandlers() {
    Focus& focus = Focus::instance();
    focus.setOnEnter(panInq, [this] {
        emit serviceEntered();
        dropItems();
    });
    edtCdServico->OnChange = [this] { edtCdServicoChange(); };
    focus.setOnExit(edtCdServico, [this] { edtCdServicoExit(); });
    BtnPesquisa2->OnBeforePesq = [this](bool& cancel) { BtnPesquisa2BeforePesq(cancel); };
    BtnPesquisa2->OnAfterPesq = [this] { BtnPesquisa2AfterPesq(); };
    focus.setOnExit(medHorario, [this] { medHorarioExit(); });
    depInquerito->OnChange = [this] { depInqueritoChange(); };
    depInquerito->OnDateChange = [this] { depInqueritoDateChange(); };
    focus.setOnExit(depInquerito, [this] { depInqueritoExit(); });
    connect(sbtOntem, &QToolButton::clicked, this, guarded([this] { sbtOntemClick(); }));
    connect(sbtAmanha, &QToolButton::clicked, this, guarded([this] { sbtAmanhaClick(); }));
    focus.setOnEnter(dbgProdPrat, [this] { dbgProdPratEnter(); });
    dbgProdPrat->OnDblClick = [this] { dbgProdPratDblClick(); };
    setupWarnings();
    pageLayout_->addWidget(panLegenda);
    pageLayout_->addWidget(survey::makeItemNotice(this));  // a clashing item named when posted
    bindItemEvents();
    connect(services_.context, &SurveyContextHolder::contextChanged, this,
            [this](const SurveyContext& context) { contextChanged(context); });
}

void ItemsPage::contextChanged(const SurveyContext& context) {
    if (dayPanel_) dayPanel_->showDay(context);
    const bool same = context.branch == itemsOf_.branch && context.patient == itemsOf_.patient &&
                      context.periodStart == itemsOf_.periodStart && context.periodEnd == itemsOf_.periodEnd;
    if (same) return;
    // The items shown belong to another patient or period.
    if (cdsProdPrat->Active() && !cdsProdPrat->IsEmpty()) dropItems();
    itemsOf_ = context;
}

void ItemsPage::dropItems() {
    settlePendingItem();
    if (cdsProdPrat->Active()) cdsProdPrat->EmptyDataSet();
}

void ItemsPage::setServiceEditable(bool editable) { Consiste::SetChildEnabled(panInq, editable); }

void ItemsPage::showColumnButtons(TDataSetState state) {
    if (TColumn* type = dbgProdPrat->ColumnByField("IDTIPOINQUER"))
        type->SetButtonStyle(state == TDataSetState::dsInsert ? TColumnButtonStyle::cbsAuto
                                                              : TColumnButtonStyle::cbsNone);
    const bool rows = cdsProdPrat->Active() && !cdsProdPrat->IsEmpty();
    if (TColumn* code = dbgProdPrat->ColumnByField("CDPRATPROD"))
        code->SetButtonStyle(state == TDataSetState::dsInsert && rows ? TColumnButtonStyle::cbsEllipsis
                                                                      : TColumnButtonStyle::cbsNone);
}

void ItemsPage::showDayName() { edtDiaSemana->SetText(Consiste::NomeSemana(depInquerito->Date())); }

void ItemsPage::checkSurveyDateIfFocused() {
    if (depInquerito->isAncestorOf(QApplication::focusWidget()) || depInquerito->hasFocus())
        depInquerito->CheckValidDate();
}

TField* ItemsPage::item(const char* fieldName) const {
    return cdsProdPrat->FieldByName(QString::fromLatin1(fieldName));
}

survey::ItemKind ItemsPage::itemKind() const { return survey::itemKindOf(item("IDTIPOINQUER")->AsString()); }

void ItemsPage::stopAt(const char* fieldName, const QString& text) {
    item(fieldName)->FocusControl();
    Consiste::MensErro(text);
}

void ItemsPage::postStopAt(const char* fieldName, const char* key) {
    // Moving the cursor leaves a column like any move: its completions and
    // its duplicate check run first, and their stop comes first.
    if (itemColumn() != QLatin1String(fieldName)) dbgProdPratColExit();
    stopAt(fieldName, msg(key));
}

void ItemsPage::settlePendingItem() {
    if (!cdsProdPrat->Active() || !cdsProdPrat->Editing()) return;
    dbgProdPrat->UpdateData();
    if (cdsProdPrat->InsertedRowUntouched()) {
        dbgProdPrat->SetEditorMode(false);
        cdsProdPrat->Cancel();
        return;
    }
    cdsProdPrat->Post();
}

void ItemsPage::bindItemEvents() {
    cdsProdPrat->BeforeInsert = [this](TClientDataSet*) { cdsProdPratBeforeInsert(); };
    // The stamp is a default of the new row, so a row the user left untouched
    // is still dropped when the focus leaves the grid.
    cdsProdPrat->OnNewRecord = [this](TClientDataSet*) { cdsProdPratAfterInsert(); };
    cdsProdPrat->BeforePost = [this](TClientDataSet*) { cdsProdPratBeforePost(); };
    cdsProdPrat->AfterPost = [this](TClientDataSet*) { cdsProdPratAfterPost(); };
    cdsProdPrat->AfterDelete = [this](TClientDataSet*) { cdsProdPratAfterDelete(); };
    cdsProdPrat->AfterCancel = [this](TClientDataSet*) { cdsProdPratAfterCancel(); };
    item("IDTIPOINQUER")->OnGetText = [this](TField* f, QString& text, bool) {
        cdsProdPratIDTIPOINQUERGetText(f, text);
    };
    item("IDTIPOINQUER")->OnSetText = [this](TField* f, const QString& text) {
        cdsProdPratIDTIPOINQUERSetText(f, text);
    };
    item("CDPRATPROD")->OnGetText = [this](TField* f, QString& text, bool display) {
        cdsProdPratCDPRATPRODGetText(f, text, display);
    };
    item("CDPRATPROD")->OnChange = [this](TField*) { cdsProdPratCDPRATPRODChange(); };
}

void ItemsPage::cdsProdPratIDTIPOINQUERGetText(TField* field, QString& text) {
    const QString value = field->AsString();
    if (value.startsWith(QLatin1Char('0')))
        text = msg("Produto");
    else if (value.startsWith(QLatin1Char('1')))
        text = msg("Prato");
    else
        text.clear();
}

void ItemsPage::cdsProdPratIDTIPOINQUERSetText(TField* field, const QString& text) {
    if (text == msg("Produto"))
        field->SetAsString(QStringLiteral("0"));
    else if (text == msg("Prato"))
        field->SetAsString(QStringLiteral("1"));
}

void ItemsPage::cdsProdPratCDPRATPRODGetText(TField* field, QString& text, bool display) {
    const QString type = item("IDTIPOINQUER")->AsString();
    const QString code = field->AsString();
    if (type != QLatin1String("0") && type != QLatin1String("1")) {
        text.clear();
        return;
    }
    // The editor holds the bare code the user types; the cell shows it through the picture.
    text = display ? FormatMaskText(Vorlane::DBPict(type == QLatin1String("1") ? 1 : 0), code.trimmed()) : code;
}

void ItemsPage::cdsProdPratCDPRATPRODChange() {
    if (!cdsProdPrat->Editing()) return;
    TField* code = item("CDPRATPROD");
    const QVariant saved = code->OldValue();
    const bool same = !saved.isNull() && !code->IsNull() && saved.toString() == code->AsString();
    if (same) return;
    item("NMMEDICASE")->Clear();
    item("CDMEDICASE")->Clear();
}

void ItemsPage::Vd_Tipo() {
    if (!cdsProdPrat->Editing() || !Consiste::EmptyString(item("IDTIPOINQUER")->AsString())) return;
    item("CDMEDICASE")->Clear();
    stopAt("IDTIPOINQUER", msg("tp_Inf"));
}

void ItemsPage::cdsProdPratBeforeInsert() { item("IDTIPOINQUER")->FocusControl(); }

void ItemsPage::cdsProdPratAfterInsert() { item("HRSERVINQ")->SetAsString(strippedMealTime()); }

void ItemsPage::cdsProdPratBeforePost() {
    Vd_Tipo();
    const survey::ItemEntry entry{item("IDTIPOINQUER")->AsString(), item("CDPRATPROD")->AsString(),
                                  item("CDMEDICASE")->AsString(), item("QTALIMMEDCAS")->Text()};
    if (const auto missing = survey::firstMissing(entry)) postStopAt(missing->field, missing->key);
    dbgProdPratColExit();
    // The stored total always belongs to the measure the row holds, whichever
    // column the row is posted from.
    storeTotalQuantity(true);

    const SurveyContext context = this->context();
    item("CDFILIAL")->SetAsString(context.branch);
    item("CDPACIENTE")->SetAsString(context.patient);
    item("DTINIINQU")->SetAsDate(context.periodStart);
    item("DTFININQU")->SetAsDate(context.periodEnd);
    item("CDSERVFILI")->SetAsString(context.service);
    item("DTINQUERITO")->SetAsDate(context.day);

    cdsSeqInquer->SetData(Consiste::CheckResultServ(services_.net->AppServer(
        "GetSeqInquer", {item("CDFILIAL")->AsString(), item("CDPACIENTE")->AsString(), item("DTINIINQU")->AsDate(),
                         item("DTFININQU")->AsDate(), item("CDSERVFILI")->AsString(), item("DTINQUERITO")->AsDate()})));
    const QString highest =
        cdsSeqInquer->IsEmpty() ? QString() : cdsSeqInquer->FieldByName("NRSEQUINQUER")->AsString().trimmed();
    bool ok = false;
    const int number = highest.toInt(&ok);
    if (!ok) throw EHostError(QStringLiteral("'%1' não é um valor inteiro válido.").arg(highest));
    item("NRSEQUINQUER")->SetAsString(Consiste::Ajusta(QString::number(number + 1), 3));
}

void ItemsPage::sendItems() {
    const protocol::json stored = survey::sendChanges(services_.net, "SetItemPrato", cdsProdPrat, session().mainWindow);
    // The server may have stored the row under another number than the one
    // proposed (another client took it meanwhile): the row takes the server's.
    if (stored.is_object()) cdsProdPrat->AdoptSavedRow(stored);
}

void ItemsPage::cdsProdPratAfterPost() {
    sendItems();
    survey::noticePostedItem(*this);
    emit itemPosted();
}

void ItemsPage::cdsProdPratAfterDelete() {
    sendItems();
    emit itemDeleted();
}

void ItemsPage::cdsProdPratAfterCancel() { cdsProdPrat->CancelUpdates(); }

void ItemsPage::LoadItems() {
    settlePendingItem();
    const SurveyContext context = this->context();
    dayPanel_->refresh(context);  // read with the items
    // Items belong to a service and a day; without both there is nothing to show.
    if (!context.hasDay()) {
        forgetWarnings();
        if (cdsProdPrat->Active()) cdsProdPrat->EmptyDataSet();
        return;
    }
    // The marks follow the values the items are read for.
    forgetWarnings();
    // Every caller has the busy indicator (kind 6) on.
    const RemoteResult items = services_.net->AppServer("GetItemProd", context.dayArgs());
    // The user hears of a failed read once: the repaint that asks for the
    // marks again keeps quiet when it fails too.
    if (!items.ok) warningFailureShown_ = true;
    cdsProdPrat->SetData(Consiste::CheckResultServ(items));
}




void ItemsPage::setupItemsGrid() {
    dbgProdPrat->SetOptions(dgEditing | dgTitles | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                            dgConfirmDelete | dgCancelOnExit | dgEnterNextRow);
    dbgProdPrat->SetColor(palette().color(QPalette::ToolTipBase));
    dbgProdPrat->SetTitleFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    struct Col {
        const char* field;
        const char* title;
        int width;
        bool readOnly;
    };
    const Col cols[] = {{"IDTIPOINQUER", "Tipo", 56, false},
                        {"CDPRATPROD", "Código", 94, false},
                        {"NMPRATPROD", "Nome", 153, true},
                        {"SGUNIDADE", "UN", 34, true},
                        {"CDMEDICASE", "Medida de Porcionamento", 130, false},
                        {"QTALIMMEDCAS", "Quantidade", -1, false},
                        {"QTALIMINQUER", "Quantidade Total", 90, true},
                        {"IDVERMEDICA", "  ", 21, true}};
    // The widths are a minimum: a heading is never cut, whatever the font.
    const QFontMetrics titles(dbgProdPrat->TitleFont());
    const int margin = 2 * dbgProdPrat->horizontalHeader()->style()->pixelMetric(QStyle::PM_HeaderMargin) + 2;
    for (const Col& c : cols) {
        TColumn* column = dbgProdPrat->AddColumn(QString::fromLatin1(c.field));
        column->SetTitle(QString::fromUtf8(c.title));
        const int needed = titles.horizontalAdvance(column->Title()) + margin;
        // Without a width of its own, a column is as wide as a quantity of thousands.
        const int own = c.width > 0 ? c.width : dbgProdPrat->fontMetrics().horizontalAdvance(QStringLiteral("99.999,999")) + 8;
        column->SetWidth(std::max(own, needed));
        column->SetReadOnly(c.readOnly);
    }
    dbgProdPrat->ColumnByField(QStringLiteral("NMPRATPROD"))->SetStretch(true);
    TColumn* type = dbgProdPrat->ColumnByField(kType);
    type->SetPickList({msg("Produto"), msg("Prato")});
    type->SetButtonStyle(TColumnButtonStyle::cbsNone);
    dbgProdPrat->ColumnByField(kCode)->SetButtonStyle(TColumnButtonStyle::cbsNone);
    // Letters typed as a code or measure search by name; Enter's next row keeps the type.
    dbgProdPrat->ColumnByField(kCode)->SetSearchOnLetters(true);
    dbgProdPrat->ColumnByField(kMeasure)->SetSearchOnLetters(true);
    type->SetKeepOnNewRow(true);
    dbgProdPrat->ColumnByField(kMeasure)->SetButtonStyle(TColumnButtonStyle::cbsEllipsis);
    for (const char* hidden : {"CDPACIENTE", "DTINIINQU", "DTFININQU", "DTINQUERITO", "CDFILIAL", "CDSERVFILI",
                               "CDFILAUXPRAT", "NRSEQUINQUER", "HRSERVINQ", "NMMEDICASE", "CDPRATPRODAUX"})
        item(hidden)->Visible = false;
    // Quantities shown with three decimals, typed as plain numbers.
    auto threeDecimals = [](TField* f, QString& text, bool display) {
        if (f->IsNull())
            text.clear();
        else
            text = display ? FormatFixed(f->AsFloat(), 3)
                           : f->AsString();
    };
    item("QTALIMMEDCAS")->OnGetText = threeDecimals;
    item("QTALIMINQUER")->OnGetText = threeDecimals;
    // The interaction column shows a mark, never the server's flag itself.
    item("IDVERMEDICA")->OnGetText = [](TField*, QString& text, bool) { text.clear(); };

    dbgProdPrat->OnColEnter = [this] { dbgProdPratColEnter(); };
    dbgProdPrat->OnColExit = [this] { dbgProdPratColExit(); };
    dbgProdPrat->OnKeyDown = [this](int& key, Qt::KeyboardModifiers shift) { dbgProdPratKeyDown(key, shift); };
    dbgProdPrat->OnKeyPress = [this](QChar& key) { dbgProdPratKeyPress(key); };
    dbgProdPrat->OnEditButtonClick = [this] { dbgProdPratEditButtonClick(); };
}

QString ItemsPage::itemColumn() const {
    TField* f = dbgProdPrat->SelectedField();
    return f ? f->FieldName() : QString();
}

// ---------------------------------------------------------------- entry

void ItemsPage::dbgProdPratEnter() {
    Vd_Servico(true);
    if (depInquerito->IsEmpty()) {
        depInquerito->setFocus();
        Consiste::MensErro(msg("Data_Inf"));
    }
    Showavi::Scope busy(6, session().mainWindow);
    GetHora(false);
    saveMealTime();
    LoadItems();
}

// ---------------------------------------------------------------- column moves

void ItemsPage::dbgProdPratColEnter() {
    const TGridOptions options = dbgProdPrat->Options();
    dbgProdPrat->SetOptions(itemColumn() == kInteraction ? options & ~TGridOptions(dgEditing) : options | dgEditing);
}

void ItemsPage::dbgProdPratColExit() {
    // A new row that got nothing yet may be left freely; the grid drops it.
    if (cdsProdPrat->InsertedRowUntouched()) return;
    Vd_Tipo();
    const QString column = itemColumn();
    if (column == kType && cdsProdPrat->State() == TDataSetState::dsInsert) {
        item("CDPRATPROD")->Clear();
        item("NMPRATPROD")->Clear();
        item("SGUNIDADE")->Clear();
    }
    if (!cdsProdPrat->Editing()) return;
    if (column == kCode)
        codeExit(itemKind());
    else if (column == kMeasure)
        measureExit(itemKind());
    else if (column == kPortions)
        storeTotalQuantity(false);
}

TADOIBQuery* ItemsPage::codeQuery(ItemKind kind) const {
    return kind == ItemKind::Dish ? qryValidaPrato : qryValidaProduto;
}

void ItemsPage::runCodeQuery(ItemKind kind, const QString& code) {
    TADOIBQuery* q = codeQuery(kind);
    q->Close();
    if (kind == ItemKind::Dish) {
        q->ParamByName("P_CDPRATO").SetAsString(code);
        q->ParamByName("P_CDFILIAL").SetAsString(context().branch);
    } else {
        q->ParamByName("P_CDARVPROD").SetAsString(code);
    }
    q->Open();
}

void ItemsPage::codeExit(ItemKind kind) {
    TField* code = item("CDPRATPROD");
    if (Consiste::EmptyString(code->AsString())) {
        item("NMPRATPROD")->Clear();
        item("SGUNIDADE")->Clear();
        return;
    }
    const bool dish = kind == ItemKind::Dish;
    const survey::KindRules& rules = survey::rulesOf(kind);
    refocusOnFailure(code, [&] {
        const QString held = code->AsString();
        runCodeQuery(kind, held);
        QString fitted = held;
        Tabvalid::ValidEx(dish ? dtsPrato : dtsProduto, dish ? 1 : 0, fitted, kValidOption, QString(), true);
        // A code typed with the picture's separators is looked up in its bare form.
        if (fitted != held) {
            runCodeQuery(kind, fitted);
            if (dish) code->SetAsString(fitted);
        }
        TADOIBQuery* found = codeQuery(kind);
        if (found->IsEmpty()) Consiste::MensErro(msg(rules.unknownCode));
        // A product is completed before its duplicate check, a dish after it.
        if (!dish) {
            item("NMPRATPROD")->SetAsString(found->FieldByName("NMPRODUTO")->AsString());
            item("SGUNIDADE")->SetAsString(found->FieldByName("SGUNIDADE")->AsString());
            code->SetAsString(found->FieldByName("CDARVPROD")->AsString());
            item("CDPRATPRODAUX")->SetAsString(found->FieldByName("CDPRODUTO")->AsString());
        }
        const QString owner = dish ? found->FieldByName("CDFILAUXPRAT")->AsString() : QString();
        std::vector<NetArg> args = context().dayArgs();
        if (dish) {
            args.emplace_back(code->AsString());
            args.emplace_back(owner);
        } else {
            args.emplace_back(item("CDPRATPRODAUX")->AsString());
        }
        TClientDataSet* meal = dish ? cdsPesqPrato : cdsPesqProd;
        meal->SetData(Consiste::CheckResultServ(
            services_.net->AppServer(dish ? "GetPesqPrato" : "GetPesqProd", std::move(args))));
        if (survey::refusedAsDuplicate(cdsProdPrat->State() == TDataSetState::dsInsert, !meal->IsEmpty()))
            Consiste::MensErro(msg(rules.duplicate));
        if (dish) {
            item("NMPRATPROD")->SetAsString(found->FieldByName("NMPRATO")->AsString());
            item("SGUNIDADE")->SetAsString(found->FieldByName("SGUNIDADE")->AsString());
            item("CDFILAUXPRAT")->SetAsString(owner);
        }
    });
}

TADOIBQuery* ItemsPage::measureQuery(ItemKind kind, const QString& measure, bool all) {
    const bool dish = kind == ItemKind::Dish;
    TADOIBQuery* q = dish ? qryMedicasePrato : qryMedicaseProd;
    q->Close();
    if (dish)
        q->ParamByName("P_CDPRATO").SetAsString(item("CDPRATPROD")->AsString());
    else
        q->ParamByName("P_CDPRODUTO").SetAsString(item("CDPRATPRODAUX")->AsString());
    q->ParamByName("P_CDMEDICASE").SetAsString(measure);
    q->ParamByName("P_TCDMEDICASE").SetAsString(all ? QStringLiteral("T") : QString());
    q->Open();
    return q;
}

void ItemsPage::measureExit(ItemKind kind) {
    TField* measure = item("CDMEDICASE");
    if (Consiste::EmptyString(measure->AsString())) return;
    measure->SetAsString(survey::fittedMeasure(measure->AsString()));
    TADOIBQuery* q = measureQuery(kind, measure->AsString(), false);
    if (q->IsEmpty()) {
        item("NMMEDICASE")->Clear();
        stopAt("CDMEDICASE", msg(survey::rulesOf(kind).unknownMeasure));
    }
    item("NMMEDICASE")->SetAsString(q->FieldByName("NMMEDICASE")->AsString());
}

void ItemsPage::storeTotalQuantity(bool posting) {
    const ItemKind kind = itemKind();
    const bool dish = kind == ItemKind::Dish;
    TADOIBQuery* q = dish ? qryQuantPrato : qryQuantProd;
    q->Close();
    if (dish)
        q->ParamByName("P_CDPRATO").SetAsString(item("CDPRATPROD")->AsString());
    else
        q->ParamByName("P_CDPRODUTO").SetAsString(item("CDPRATPRODAUX")->AsString());
    q->ParamByName("P_CDMEDICASE").SetAsString(item("CDMEDICASE")->AsString());
    q->Open();
    if (Consiste::GridText(dbgProdPrat, kPortions, false).isEmpty()) return;
    const double weight = q->IsEmpty() ? 0.0 : q->FieldByName(survey::rulesOf(kind).weightField)->AsFloat();
    const survey::TotalQuantity total = survey::totalQuantity(kind, item("QTALIMMEDCAS")->AsFloat(), weight);
    if (total.stop) {
        // Leaving the quantity keeps the cursor there; a post may stand elsewhere.
        const bool stays = !posting && QLatin1String(total.stop->field) == kPortions;
        if (!stays) item(total.stop->field)->FocusControl();
        Consiste::MensErro(msg(total.stop->key));
    }
    item("QTALIMINQUER")->SetAsFloat(total.total);
}

// ---------------------------------------------------------------- keys

void ItemsPage::dbgProdPratKeyDown(int& key, Qt::KeyboardModifiers shift) {
    if (key == Qt::Key_Delete) {
        key = 0;
        return;
    }
    const QString column = itemColumn();
    if (column == kInteraction) {
        if (key == Qt::Key_Space) {
            key = 0;
            dbgProdPratDblClick();
            return;
        }
        const TGridOptions options = dbgProdPrat->Options();
        const bool on = key == Qt::Key_Down || key == Qt::Key_Tab;
        dbgProdPrat->SetOptions(on ? options | dgEditing : options & ~TGridOptions(dgEditing));
        return;
    }
    // The type is chosen from its list: Alt+Down or F4 opens it from the keyboard.
    const bool openList = key == Qt::Key_F4 || (key == Qt::Key_Down && (shift & Qt::AltModifier));
    if (column == kType && openList && !dbgProdPrat->EditorMode() && cdsProdPrat->State() == TDataSetState::dsInsert) {
        dbgProdPrat->SetEditorMode(true);
        if (QComboBox* list = dbgProdPrat->InplacePickList()) {
            key = 0;
            list->showPopup();
        }
    }
}

void ItemsPage::dbgProdPratKeyPress(QChar& key) {
    TField* field = dbgProdPrat->SelectedField();
    if (!field) return;
    const bool protectedCell = field->Tag == 1 && cdsProdPrat->State() != TDataSetState::dsInsert;
    if (protectedCell && key != QLatin1Char('\t') && key != QLatin1Char('\r')) {
        key = QChar();
        return;
    }
    const QString column = field->FieldName();
    if (column == kPortions) {
        if (QStringLiteral("*+-/").contains(key)) {
            key = QChar();
            return;
        }
        if (key == QLatin1Char(',')) {
            const QString text = Consiste::GridText(dbgProdPrat, kPortions, false);
            if (text.isEmpty() || text.contains(QLatin1Char(','))) {
                key = QChar();
                return;
            }
        }
    }
    if (column == kType || key == QLatin1Char('-')) key = QChar();
}

// ---------------------------------------------------------------- lookups

void ItemsPage::dbgProdPratEditButtonClick() {
    const QString type = item("IDTIPOINQUER")->AsString();
    if (Consiste::EmptyString(type)) return;
    const ItemKind kind = survey::itemKindOf(type);
    const QString column = itemColumn();
    bool chosen = false;
    if (column == kCode) {
        if (cdsProdPrat->State() != TDataSetState::dsInsert) return;
        chosen = kind == ItemKind::Dish ? lookUpDish() : lookUpProduct();
    } else if (column == kMeasure) {
        chosen = lookUpMeasure(kind);
    }
    if (chosen && dbgProdPrat->EditorMode()) {
        // The editor shows the choice, not what was typed before the lookup.
        dbgProdPrat->SetEditorMode(false);
        dbgProdPrat->SetEditorMode(true);
    }
}

bool ItemsPage::lookUpProduct() {
    qryProduto->Close();
    qryProduto->ParamByName("P_NVPRODUTO").SetAsString(QString::number(Vorlane::DBPictObj(0).GetTtNiveis()));
    survey::setRecentFoodParams(qryProduto, context());
    qryProduto->Open();
    if (!Pesquisa::Pesquisar_Plus(dtsProduto, msg("Produto") + "|" + msg("NProduto"), false, true,
                                  dbgProdPrat->SearchText()))
        return false;
    item("CDPRATPROD")->SetAsString(qryProduto->FieldByName("CDARVPROD")->AsString());
    item("CDPRATPRODAUX")->SetAsString(qryProduto->FieldByName("CDPRODUTO")->AsString());
    item("NMPRATPROD")->SetAsString(qryProduto->FieldByName("NMPRODUTO")->AsString());
    item("SGUNIDADE")->SetAsString(qryProduto->FieldByName("SGUNIDADE")->AsString());
    return true;
}

bool ItemsPage::lookUpDish() {
    qryPrato->Close();
    qryPrato->ParamByName("P_CDFILIAL").SetAsString(context().branch);
    qryPrato->ParamByName("P_NVPRATO").SetAsString(QString::number(Vorlane::DBPictObj(1).GetTtNiveis()));
    survey::setRecentFoodParams(qryPrato, context());
    qryPrato->Open();
    if (!Pesquisa::Pesquisar_Plus(dtsPrato, msg("Prato") + "|" + msg("NPrato"), false, true,
                                  dbgProdPrat->SearchText()))
        return false;
    item("CDPRATPROD")->SetAsString(qryPrato->FieldByName("CDPRATO")->AsString());
    item("NMPRATPROD")->SetAsString(qryPrato->FieldByName("NMPRATO")->AsString());
    item("SGUNIDADE")->SetAsString(qryPrato->FieldByName("SGUNIDADE")->AsString());
    item("CDFILAUXPRAT")->SetAsString(qryPrato->FieldByName("CDFILAUXPRAT")->AsString());
    item("CDPRATPRODAUX")->SetAsString(qryPrato->FieldByName("CDPRATO")->AsString());
    return true;
}

bool ItemsPage::lookUpMeasure(ItemKind kind) {
    if (cdsProdPrat->State() == TDataSetState::dsBrowse) cdsProdPrat->Edit();
    TADOIBQuery* q = measureQuery(kind, QString(), true);
    const QString caption = msg("Med") + "|" + msg(survey::rulesOf(kind).measureList);
    if (!Pesquisa::Pesquisar(kind == ItemKind::Dish ? dtsMediCasePrato : dtsMediCaseProd, caption, false, true,
                             dbgProdPrat->SearchText()))
        return false;
    if (cdsProdPrat->State() == TDataSetState::dsBrowse) cdsProdPrat->Edit();
    item("NMMEDICASE")->SetAsString(q->FieldByName("NMMEDICASE")->AsString());
    item("CDMEDICASE")->SetAsString(q->FieldByName("CDMEDICASE")->AsString());
    return true;
}

QString ItemsPage::strippedMealTime() const {
    QString t = medHorario->Text();
    t.remove(':');
    t.remove(' ');
    return t;
}

QString ItemsPage::storedMealTime() const {
    if (!cdsHorario->Active() || cdsHorario->IsEmpty()) return {};
    return cdsHorario->FieldByName("HRSERVINQ")->AsString();
}

void ItemsPage::showMealTime(const QString& hhmm) {
    const QString mask = medHorario->EditMask();
    medHorario->ClearMask();
    medHorario->SetText(hhmm);
    medHorario->SetEditMask(mask);
}

void ItemsPage::GetHora(bool fill) {
    const QString stripped = strippedMealTime();
    if (Consiste::EmptyString(edtCdServico->Text()) || depInquerito->IsEmpty() || !depInquerito->Date().isValid() ||
        !stripped.isEmpty() || !context().hasPeriod())
        return;
    cdsHorario->SetData(Consiste::CheckResultServ(services_.net->AppServer("GetHoraItem", context().dayArgs())));
    if (!Consiste::EmptyString(storedMealTime()) && fill) showMealTime(storedMealTime());
}

void ItemsPage::medHorarioExit() {
    const QString shown = medHorario->Text();
    QString withoutColon = shown;
    withoutColon.remove(':');
    if (Consiste::EmptyString(withoutColon)) return;
    const int colon = shown.indexOf(':');
    const QString hourText = colon < 0 ? shown : shown.left(colon);
    const QString minuteText = colon < 0 ? QString() : shown.mid(colon + 1, 2);
    const QString hour = Consiste::Ajusta(Consiste::PadL(Consiste::AllTrim(hourText), 2), 2);
    QString minute = Consiste::Ajusta(Consiste::AllTrim(minuteText), 2);
    if (minute.isEmpty() && !hour.isEmpty()) minute = QStringLiteral("00");
    if (hour.toInt() > 23 || minute.toInt() > 59) {
        medHorario->setFocus();
        Consiste::MensErro("'" + shown + "' " + msg("HOR_INV"));
    }
    medHorario->SetText(hour + ":" + minute);
}

void ItemsPage::saveMealTime() {
    const QString typed = strippedMealTime();
    if (storedMealTime() == typed) return;
    QString time = typed;
    const SurveyContext context = this->context();
    std::vector<NetArg> args = context.dayArgs();
    args.push_back(NetArg::ref(time));
    Consiste::CheckResultServ(services_.net->AppServer("SetHoraItem", std::move(args)));
    // What is stored now is what the edit shows: entering again sends nothing.
    cdsHorario->SetData(Consiste::CheckResultServ(services_.net->AppServer("GetHoraItem", context.dayArgs())));
}




QString ItemsPage::itemValue(int row, const char* fieldName) const {
    TField* f = item(fieldName);
    // The row being edited holds values the saved rows do not.
    if (row == cdsProdPrat->CurrentRow()) return f->AsString();
    return cdsProdPrat->ValueAt(row, f->Index()).toString();
}

void ItemsPage::setupWarnings() {
    dbgProdPrat->OnDrawColumnCell = [this](QPainter*, const QRect& rect, int, TColumn* column, TGridDrawState state) {
        dbgProdPratDrawColumnCell(rect, column, state);
    };
    new hostfw::PointToolTips(dbgProdPrat->viewport(), [this](const QPoint& pos) { return markToolTip(pos); });

    // A legend under the grid says what each mark means.
    auto* legend = new QWidget(this);
    legend->setObjectName("panLegenda");
    auto* line = new QHBoxLayout(legend);
    line->setContentsMargins(4, 0, 4, 0);
    line->setSpacing(4);
    const int size = fontMetrics().height();
    auto entry = [&](const QPixmap& image, const QString& text) {
        auto* picture = new QLabel(legend);
        picture->setPixmap(image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        line->addWidget(picture);
        auto* caption = new QLabel(text, legend);
        line->addWidget(caption);
        line->addSpacing(12);
    };
    entry(restrictionMark(), QStringLiteral("Restrição alimentar da dieta"));
    entry(intoleranceMark(), QStringLiteral("Intolerância do paciente"));
    entry(interactionMark(), QStringLiteral("Interação com medicamento"));
    legend->setToolTip(QStringLiteral("Duplo clique ou Espaço sobre a marca de interação mostra os detalhes."));
    line->addStretch(1);
    panLegenda = legend;
}

void ItemsPage::forgetWarnings() {
    for (TClientDataSet* set :
         {cdsPratoRest, cdsPratoIntol, cdsVerMedicaPrato, cdsProdutoRest, cdsProdutoIntol, cdsVerMedica})
        set->Close();
    warningFailureShown_ = false;
    if (auto* notice = findChild<QLabel*>(QStringLiteral("lblAvisoItem"))) notice->hide();  // another day's items
}

bool ItemsPage::fetchWarnings(int paintedRow) {
    const SurveyContext& c = context();
    try {
        if (!cdsPratoRest->Active()) {
            const protocol::json sets = Consiste::CheckResultServ(services_.net->AppServer(
                "GetPratoRest", {c.patient, itemValue(paintedRow, "CDFILAUXPRAT"), c.branch, c.service, c.periodStart,
                                 c.periodEnd, c.day}));
            cdsPratoIntol->SetData(sets.at(1));
            cdsVerMedicaPrato->SetData(sets.at(2));
            cdsPratoRest->SetData(sets.at(0));
        }
        if (!cdsProdutoRest->Active()) {
            const protocol::json sets = Consiste::CheckResultServ(services_.net->AppServer(
                "GetProdutoRest", {c.patient, c.branch, c.periodStart, c.periodEnd, c.day}));
            cdsProdutoIntol->SetData(sets.at(1));
            cdsVerMedica->SetData(sets.at(2));
            cdsProdutoRest->SetData(sets.at(0));
        }
    } catch (...) {
        // Nothing half loaded stays; the next paint asks again, but the user
        // hears of the failure once, not at every paint.
        for (TClientDataSet* set :
             {cdsPratoRest, cdsPratoIntol, cdsVerMedicaPrato, cdsProdutoRest, cdsProdutoIntol, cdsVerMedica})
            set->Close();
        if (warningFailureShown_) return false;
        warningFailureShown_ = true;
        throw;
    }
    return true;
}

ItemsPage::ItemMark ItemsPage::itemMark(int row) const {
    const QString code = itemValue(row, "CDPRATPROD");
    const bool dish = itemValue(row, "IDTIPOINQUER") == QLatin1String("1");
    const char* field = dish ? "CDPRATO" : "CDPRODUTO";
    if (!rowsOf(dish ? cdsPratoRest : cdsProdutoRest, field, code).isEmpty()) return ItemMark::Restriction;
    if (!rowsOf(dish ? cdsPratoIntol : cdsProdutoIntol, field, code).isEmpty()) return ItemMark::Intolerance;
    return ItemMark::None;
}

QStringList ItemsPage::itemInteractions(int row) const {
    const bool dish = itemValue(row, "IDTIPOINQUER") == QLatin1String("1");
    TClientDataSet* set = dish ? cdsVerMedicaPrato : cdsVerMedica;
    QStringList out;
    for (int r : rowsOf(set, dish ? "CDPRATO" : "CDPRODUTO", itemValue(row, "CDPRATPROD"))) {
        const QString drug = set->ValueAt(r, set->FieldByName("NMMEDICAMENT")->Index()).toString().trimmed();
        const QString nutrient = set->ValueAt(r, set->FieldByName("NMNUTRIENTE")->Index()).toString().trimmed();
        const QString text = drug + QStringLiteral(" – ") + nutrient;
        if (!out.contains(text)) out.append(text);
    }
    return out;
}

void ItemsPage::dbgProdPratDrawColumnCell(const QRect& rect, TColumn* column, TGridDrawState state) {
    const int row = dbgProdPrat->PaintRow();
    if (row < 0 || !fetchWarnings(row)) return;
    TGridCanvas& canvas = dbgProdPrat->Canvas();
    const QString name = column->FieldName();
    if (name == kMeasure) {
        const QString measure = itemValue(row, "CDMEDICASE");
        if (Consiste::EmptyString(measure)) return;
        const bool underEditor = dbgProdPrat->EditorMode() && state == TGridDrawState(gdSelected);
        canvas.TextRect(rect, rect.left() + 3, rect.top() + 3, underEditor ? measure : itemValue(row, "NMMEDICASE"));
    } else if (name == kName) {
        const QString text = itemValue(row, "NMPRATPROD");
        if (text.isEmpty()) return;
        canvas.FillRect(rect);
        QWidget* focused = QApplication::focusWidget();
        const bool gridActive = focused && (focused == dbgProdPrat || dbgProdPrat->isAncestorOf(focused));
        if (state & gdSelected) {
            canvas.BrushColor = palette().color(QPalette::Highlight);
            canvas.FontColor = palette().color(QPalette::HighlightedText);
        } else if (gridActive) {
            canvas.BrushColor = palette().color(QPalette::ToolTipBase);
            canvas.FontColor = palette().color(QPalette::WindowText);
        }
        canvas.TextRect(rect, rect.left() + 20, rect.top() + 2, text);
        const ItemMark mark = itemMark(row);
        if (mark == ItemMark::None) return;
        const QPixmap picture = (mark == ItemMark::Restriction ? restrictionMark() : intoleranceMark());
        canvas.StretchDraw(QRect(rect.left() + 2, rect.top(), picture.width(), rect.height()), picture);
    } else if (name == kInteraction) {
        if (itemInteractions(row).isEmpty()) return;
        canvas.FillRect(rect);
        const QPixmap picture = interactionMark();
        canvas.StretchDraw(QRect(rect.left() + 5, rect.top(), picture.width(), rect.height()), picture);
    }
}

QString ItemsPage::markToolTip(const QPoint& pos) const {
    const QModelIndex index = dbgProdPrat->indexAt(pos);
    TColumn* column = index.isValid() ? dbgProdPrat->Columns().value(index.column()) : nullptr;
    if (!column || !cdsProdPrat->Active() || !cdsPratoRest->Active() || !cdsProdutoRest->Active()) return {};
    const QRect cell = dbgProdPrat->visualRect(index);
    // The reasons, not only the mark's meaning (WarningReasons.h).
    const auto reasons = [this](int row) {
        return survey::itemWarnings(survey::warningSetsOf(*this), survey::itemKindOf(itemValue(row, "IDTIPOINQUER")),
                                    itemValue(row, "CDPRATPROD"));
    };
    if (column->FieldName() == kName && pos.x() < cell.left() + 20 && !itemValue(index.row(), "NMPRATPROD").isEmpty()) {
        const survey::ItemWarnings w = reasons(index.row());
        return (w.restrictions + w.intolerances).join(QLatin1Char('\n'));
    }
    if (column->FieldName() == kInteraction) return reasons(index.row()).interactions.join(QLatin1Char('\n'));
    return {};
}

void ItemsPage::dbgProdPratDblClick() {
    if (itemColumn() != kInteraction || !cdsProdPrat->Active() || cdsProdPrat->IsEmpty()) return;
    const SurveyContext context = this->context();
    const QString code = item("CDPRATPROD")->AsString();
    const QDateTime day(context.day, QTime(0, 0));
    if (itemKind() == survey::ItemKind::Dish) {
        const QString owner = item("CDFILAUXPRAT")->AsString();
        cdsPratoVerMedica->SetData(Consiste::CheckResultServ(services_.net->AppServer(
            "GetVerMedicaPrato", {context.patient, context.day, code, owner, context.branch})));
        if (!cdsPratoVerMedica->IsEmpty())
            Vorlane::LoadBPL(QStringLiteral("ZEP12650"), {context.patient, code, owner, context.branch, day});
    } else {
        cdsProdVerMedica->SetData(Consiste::CheckResultServ(
            services_.net->AppServer("GetVerMedica", {context.patient, context.branch, context.day, code})));
        if (!cdsProdVerMedica->IsEmpty())
            Vorlane::LoadBPL(QStringLiteral("ZEP12650"), {context.patient, code, QString(), context.branch, day});
    }
}

void ItemsPage::edtCdServicoChange() {
    edtNmServico->Clear();
    medHorario->SetText(QString());
    services_.context->setService(edtCdServico->Text());
}

void ItemsPage::edtCdServicoExit() {
    Vd_Servico(false);
    GetHora(true);
}

void ItemsPage::BtnPesquisa2BeforePesq(bool&) {
    qryServico->Close();
    qryServico->ParamByName("P_CDSERVFILI").SetAsString(QString());
    qryServico->ParamByName("P_TCDSERVFILI").SetAsString(QStringLiteral("T"));
    qryServico->ParamByName("P_CDFILIAL").SetAsString(context().branch);
    qryServico->Open();
}

void ItemsPage::BtnPesquisa2AfterPesq() {
    const QString start = qryServico->FieldByName("HRINICSERV")->AsString();
    edtCdServico->SetText(qryServico->FieldByName("CDSERVFILI")->AsString());
    edtNmServico->SetText(qryServico->FieldByName("NMSERVICO")->AsString());
    GetHora(false);
    if (Consiste::EmptyString(storedMealTime())) showMealTime(start);
}

void ItemsPage::Vd_Servico(bool required) {
    refocusOnFailure(edtCdServico, [&] {
        edtCdServico->SetText(Consiste::Ajusta(edtCdServico->Text(), 5));
        if (Consiste::EmptyString(edtCdServico->Text())) {
            if (required) Consiste::MensErro(msg("Serv_Inf"));
            return;
        }
        if (required && !edtCdServico->hasFocus()) return;
        qryServico->Close();
        qryServico->ParamByName("P_CDSERVFILI").SetAsString(edtCdServico->Text());
        qryServico->ParamByName("P_TCDSERVFILI").SetAsString(QString());
        qryServico->ParamByName("P_CDFILIAL").SetAsString(context().branch);
        qryServico->Open();
        edtNmServico->SetText(qryServico->IsEmpty() ? QString() : qryServico->FieldByName("NMSERVICO")->AsString());
        GetHora(false);
        if (!qryServico->IsEmpty() && Consiste::EmptyString(storedMealTime()) && strippedMealTime().isEmpty())
            showMealTime(qryServico->FieldByName("HRINICSERV")->AsString());
        if (qryServico->IsEmpty()) Consiste::MensErro(msg("Serv_Cad"));
    });
}

void ItemsPage::sbtOntemClick() {
    depInquerito->SetDate(depInquerito->Date().addDays(-1));
    depInquerito->setFocus();
}

void ItemsPage::sbtAmanhaClick() {
    depInquerito->SetDate(depInquerito->Date().addDays(1));
    depInquerito->setFocus();
}

void ItemsPage::depInqueritoChange() {
    edtDiaSemana->Clear();
    medHorario->SetText(QString());
    services_.context->setDay(depInquerito->Date().isValid() ? depInquerito->Date() : QDate());
}

void ItemsPage::depInqueritoDateChange() { edtDiaSemana->SetText(Consiste::NomeSemana(depInquerito->Date())); }

void ItemsPage::depInqueritoExit() {
    depInquerito->CheckValidDate();
    if (!depInquerito->IsEmpty() && context().hasPeriod()) {
        const QDate start = context().periodStart;
        const QDate end = context().periodEnd;
        const QDate day = depInquerito->Date();
        if (day > end || day < start) {
            depInquerito->SetDate(start);
            depInquerito->setFocus();
            Consiste::MensErro(msg("DtPeriodo"));
        }
    }
    GetHora(true);
}

}  // namespace survey

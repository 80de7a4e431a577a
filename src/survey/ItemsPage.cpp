// The items page: its data sets and widgets, the survey context it follows,
// the service and the day. The items themselves, the grid, the meal time and
// the warning marks are in the ItemsPage*.cpp files beside this one.
#include "survey/ItemsPage.h"
#include "survey/DayPanel.h"

#include "catalog/CatalogQueries.h"
#include "host/connection/ADOIBQuery.h"
#include "host/connection/NetConnection.h"
#include "host/controls/BtnPesquisa.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/controls/Lookups.h"
#include "host/controls/MaskEdit.h"
#include "host/core/Failures.h"
#include "host/core/Focus.h"
#include "host/core/Messages.h"
#include "host/routines/Consiste.h"
#include "host/routines/Vorlane.h"
#include "protocol/ItemRecord.h"
#include "survey/ItemsPageParts.h"
#include "survey/PanelParts.h"
#include "survey/SurveyNotice.h"
#include "survey/RecentFoods.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

using namespace hostfw;
using namespace survey::parts;
using namespace survey::itemspage;

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

}  // namespace

ItemsPage::ItemsPage(QWidget* parent, const PanelServices& services, TDataSource* itemsSource)
    : QWidget(parent), services_(services), recentFoods_(services.net) {
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
    // A food just recorded (or no longer recorded) changes the recent ones.
    connect(this, &ItemsPage::itemPosted, this, [this] { recentFoods_.forget(); });
    connect(this, &ItemsPage::itemDeleted, this, [this] { recentFoods_.forget(); });
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

#include "reports/Cli_Zep12620.h"

#include "catalog/CatalogQueries.h"
#include "catalog/FoodWarnings.h"
#include "host/connection/ADOIBQuery.h"
#include "host/controls/BtnPesquisa.h"
#include "host/controls/Buttons.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/controls/Lookups.h"
#include "host/routines/Consiste.h"
#include "host/core/Failures.h"
#include "host/core/Focus.h"
#include "host/reports/ReportParams.h"
#include "host/core/Session.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace hostfw;

TfrmRelInquerito* frmRelInquerito = nullptr;

namespace {

using FT = TFieldType;

// Dialect texts other than the generic one (which the catalogue shares).
const char* const kGrupoOracle =
    "SELECT\n   CDGRUPNUTR,\n   NMGRUPNUTR\nFROM\n   GRUPNUTR\nWHERE\n   (CDGRUPNUTR = NVL(:P_CDGRUPO, CDGRUPNUTR))\n"
    "ORDER BY\n   CDGRUPNUTR";
const char* const kNutrienteOracle =
    "SELECT\n   CDNUTRIENTE, NMNUTRIENTE\nFROM\n   NUTRIENTE\nWHERE\n   (CDGRUPNUTR = NVL(:P_CDGRUPO, CDGRUPNUTR))\n"
    "ORDER BY\n   CDNUTRIENTE";

QStringList lines(const char* text) { return QString::fromUtf8(text).split('\n'); }
QStringList mssql(const char* oracle) { return QString::fromUtf8(oracle).replace("NVL(", "ISNULL(").split('\n'); }

TADOIBQuery* query(QObject* owner, const char* name, const char* generic, const char* oracle) {
    auto* q = new TADOIBQuery(owner, QString::fromLatin1(name));
    q->SQL = lines(generic);
    q->SQL_IB = q->SQL;
    q->SQL_ORACLE = lines(oracle);
    q->SQL_MSSQL = mssql(oracle);
    return q;
}

TField* field(TClientDataSet* ds, const char* name, int size, const QString& label, bool required = false) {
    TField* f = ds->AddField(QString::fromLatin1(name), FT::ftString, size);
    f->DisplayLabel = label;
    f->Required = required;
    return f;
}

QRadioButton* radio(QWidget* parent, const char* name, const QString& text) {
    auto* r = new QRadioButton(text, parent);
    r->setObjectName(QString::fromLatin1(name));
    return r;
}

TButtonFlat* lookupButton(QWidget* parent, const char* name) {
    auto* b = new TButtonFlat(parent, QString::fromLatin1(name));
    b->SetGlyph(searchIcon());
    b->SetHint(QStringLiteral("Pesquisar"));
    b->setEnabled(false);
    return b;
}

}  // namespace

TfrmRelInquerito::TfrmRelInquerito(const survey::SurveyContext& context, QWidget* parent)
    : TfrmDadosGerRel(parent), context_(context) {
    setObjectName("frmRelInquerito");
    setWindowTitle(QStringLiteral("Inquérito do Paciente"));
    HelpContext = 11112620;
    lblCodTela->setText(QStringLiteral("ZEP12620"));
    lblCodRel->setText(QStringLiteral("ZEP126"));
    msgPadrao->Lines << QStringLiteral("DtIni_Inf|Data inicial do período deve ser informada.")
                     << QStringLiteral("DtFim_Inf|Data final do perído deve ser informada.")
                     << QStringLiteral("Dt_Inv|Data inicial do período deve ser menor ou igual a data final do período.")
                     << QStringLiteral("N_Grupo|Não há grupo de nutriente cadastrado.")
                     << QStringLiteral("Grupo|Grupo de Nutriente")
                     << QStringLiteral("Grupo_Inf|Grupo de nutriente deve ser informado.")
                     << QStringLiteral("Grupo_Cad|Grupo não cadastrado.")
                     << QStringLiteral("Nutriente|Nutriente")
                     << QStringLiteral("N_Nutriente|Não há nutriente cadastrado para o grupo informado.")
                     << QStringLiteral("Servico|Serviço")
                     << QStringLiteral("N_Servico|Não há serviço hospitalar cadastrado.")
                     << QStringLiteral("Serv_Inf|Serviço deve ser informado.")
                     << QStringLiteral("Nutri_Inf|Nutriente deve ser informado.");
    buildQueries();
    buildControls();
    connectHandlers();
    resize(QSize(385, 179).expandedTo(sizeHint()));
    guard([this] { FormCreate(); });
}

void TfrmRelInquerito::buildQueries() {
    qryGrupo = query(this, "qryGrupo", catalog::reportQryGrupo, kGrupoOracle);
    field(qryGrupo, "CDGRUPNUTR", 2, QStringLiteral("Código"), true);
    field(qryGrupo, "NMGRUPNUTR", 20, QStringLiteral("Nome"));
    dtsGrupo = new TDataSource(this, "dtsGrupo", qryGrupo);

    qryNutriente = query(this, "qryNutriente", catalog::reportQryNutriente, kNutrienteOracle);
    field(qryNutriente, "CDNUTRIENTE", 3, QStringLiteral("Código"), true);
    field(qryNutriente, "NMNUTRIENTE", 20, QStringLiteral("Nome"));
    dtsNutriente = new TDataSource(this, "dtsNutriente", qryNutriente);

    qryServico = query(this, "qryServico", catalog::reportQryServico, catalog::reportQryServico);
    field(qryServico, "CDSERVFILI", 5, QStringLiteral("Código"), true)->DisplayWidth = 8;
    field(qryServico, "NMSERVICO", 40, QStringLiteral("Nome"))->DisplayWidth = 46;
    dtsServico = new TDataSource(this, "dtsServico", qryServico);
}

void TfrmRelInquerito::buildControls() {
    auto* data = new QVBoxLayout(grbDadosRel);

    auto* groupRow = new QHBoxLayout();
    Label1 = new QLabel(QStringLiteral("Grupo de Nutriente"), grbDadosRel);
    Label1->setObjectName("Label1");
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    edtGrupo = new TEdit(grbDadosRel, "edtGrupo");
    edtGrupo->SetMaxLength(2);
    edtGrupo->setFixedWidth(edtGrupo->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    BtnPesquisa2 = new TBtnPesquisa(grbDadosRel, "BtnPesquisa2");
    BtnPesquisa2->SetAssociate(edtGrupo);
    BtnPesquisa2->SetHint(QStringLiteral("Pesquisar"));
    BtnPesquisa2->Title = QStringLiteral("Grupo de Nutriente");
    BtnPesquisa2->DataSource = dtsGrupo;
    BtnPesquisa2->EmptyError = QStringLiteral("Não há grupo de nutriente cadastrado.");
    edtNmGrupo = new TEdit(grbDadosRel, "edtNmGrupo");
    edtNmGrupo->SetDisplayOnly(true);
    edtNmGrupo->setEnabled(false);
    groupRow->addWidget(Label1);
    groupRow->addWidget(edtGrupo);
    groupRow->addWidget(BtnPesquisa2);
    groupRow->addWidget(edtNmGrupo, 1);
    data->addLayout(groupRow);

    grbInq = new QGroupBox(QStringLiteral("Período"), grbDadosRel);
    grbInq->setObjectName("grbInq");
    auto* period = new QHBoxLayout(grbInq);
    lblDe = new QLabel(QStringLiteral("De"), grbInq);
    lblDe->setObjectName("lblDe");
    depIni = new TDateEditPlus(grbInq, "depIni");
    lblAte = new QLabel(QStringLiteral("Até"), grbInq);
    lblAte->setObjectName("lblAte");
    depFim = new TDateEditPlus(grbInq, "depFim");
    period->addWidget(lblDe);
    period->addWidget(depIni);
    period->addSpacing(8);
    period->addWidget(lblAte);
    period->addWidget(depFim);
    period->addStretch(1);
    data->addWidget(grbInq);

    auto* choices = new QHBoxLayout();
    auto choice = [&](QGroupBox*& box, const char* name, const QString& title, QRadioButton*& all, const char* allName,
                      QRadioButton*& list, const char* listName, TButtonFlat*& button, const char* buttonName) {
        box = new QGroupBox(title, grbDadosRel);
        box->setObjectName(QString::fromLatin1(name));
        auto* row = new QHBoxLayout(box);
        all = radio(box, allName, QStringLiteral("Todos"));
        list = radio(box, listName, QStringLiteral("Lista"));
        button = lookupButton(box, buttonName);
        all->setChecked(true);
        row->addWidget(all);
        row->addWidget(list);
        row->addWidget(button);
        row->addStretch(1);
        choices->addWidget(box);
    };
    choice(grbNutriente, "grbNutriente", QStringLiteral("Nutriente"), rbtTNutri, "rbtTNutri", rbtLNutri, "rbtLNutri",
           btnNutriente, "btnNutriente");
    choice(grbServico, "grbServico", QStringLiteral("Serviço"), rbtTServ, "rbtTServ", rbtLServ, "rbtLServ", btnServico,
           "btnServico");
    data->addLayout(choices);

    // Tab order: edtGrupo, grbInq, grbNutriente, grbServico, panRelat, edtNmGrupo.
    QWidget* order[] = {edtGrupo, depIni, depFim, rbtTNutri, rbtLNutri, rbtTServ, rbtLServ, cbbReportNames, edtNmGrupo};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void TfrmRelInquerito::connectHandlers() {
    Focus& focus = Focus::instance();
    edtGrupo->OnChange = [this] { edtGrupoChange(); };
    focus.setOnExit(edtGrupo, [this] { edtGrupoExit(); });
    focus.setOnExit(depIni, [this] { depIniExit(); });
    focus.setOnExit(depFim, [this] { depFimExit(); });
    BtnPesquisa2->OnBeforePesq = [this](bool& cancel) { BtnPesquisa2BeforePesq(cancel); };
    BtnPesquisa2->OnAfterPesq = [this] { BtnPesquisa2AfterPesq(); };
    for (QRadioButton* r : {rbtTNutri, rbtLNutri})
        connect(r, &QAbstractButton::clicked, this, guarded([this] { rbtTNutriClick(); }));
    for (QRadioButton* r : {rbtTServ, rbtLServ})
        connect(r, &QAbstractButton::clicked, this, guarded([this] { rbtTServClick(); }));
    rbtLNutri->installEventFilter(this);
    btnNutriente->OnClick = [this] { btnNutrienteClick(); };
    btnServico->OnClick = [this] { btnServicoClick(); };
    rpddPadrao->BeforeGetQueryParams = [this](TReportParams& params) { rpddPadraoBeforeGetQueryParams(params); };
    // The marks of a recorded item I on its day: the warning rules of the items grid.
    rpddPadrao->SqlFragments[QStringLiteral("AVISO_ITEM")] = QString::fromStdString(catalog::itemWarningMarks("I"));
}

bool TfrmRelInquerito::eventFilter(QObject* watched, QEvent* event) {
    if (watched == rbtLNutri && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        guard([&] { rbtLNutriKeyDown(key); });
        if (key == Qt::Key_F9) return true;
    }
    return TfrmDadosGerRel::eventFilter(watched, event);
}

void TfrmRelInquerito::FormCreate() {
    TfrmDadosGerRel::FormCreate();
    depIni->SetDate(context_.periodStart);
    depFim->SetDate(context_.periodEnd);
}

void TfrmRelInquerito::FormActivate() {
    TfrmDadosGerRel::FormActivate();
    repaint();
}

void TfrmRelInquerito::sbtPrintClick() {
    Valid();
    TfrmDadosGerRel::sbtPrintClick();
}

void TfrmRelInquerito::sbtPreviewClick() {
    Valid();
    TfrmDadosGerRel::sbtPreviewClick();
}

void TfrmRelInquerito::sbtSalvarComoClick() {
    Valid();
    TfrmDadosGerRel::sbtSalvarComoClick();
}

void TfrmRelInquerito::failAt(QWidget* control, const QString& key) {
    control->setFocus();
    Consiste::MensErro(msgPadrao->Msg(key));
}

void TfrmRelInquerito::Valid() {
    if (depIni->IsEmpty()) failAt(depIni, QStringLiteral("DtIni_Inf"));
    if (depFim->IsEmpty()) failAt(depFim, QStringLiteral("DtFim_Inf"));
    // A half-typed date would reach the layouts as no date at all.
    for (TDateEditPlus* d : {depIni, depFim})
        if (!d->Date().isValid()) {
            d->setFocus();
            d->CheckValidDate();
        }
    if (depFim->Date() < depIni->Date()) failAt(depIni, QStringLiteral("Dt_Inv"));

    if (!rbtLNutri->isChecked()) {
        qryNutriente->Close();
        qryNutriente->ParamByName(QStringLiteral("P_CDGRUPO")).SetAsString(edtGrupo->Text());
        qryNutriente->Open();
        stListaNutriente = codeListOfRows(qryNutriente, QStringLiteral("CDNUTRIENTE"));
    } else if (stListaNutriente.isEmpty()) {
        failAt(rbtLNutri, QStringLiteral("Nutri_Inf"));
    }

    if (!rbtLServ->isChecked()) {
        qryServico->Close();
        qryServico->ParamByName(QStringLiteral("P_CDFILIAL")).SetAsString(branchCode());
        qryServico->Open();
        stListaServico = codeListOfRows(qryServico, QStringLiteral("CDSERVFILI"));
    } else if (stListaServico.isEmpty()) {
        failAt(rbtLServ, QStringLiteral("Serv_Inf"));
    }
}

void TfrmRelInquerito::Vd_Grupo() {
    if (Consiste::EmptyString(edtGrupo->Text())) return;
    edtGrupo->SetText(Consiste::Ajusta(edtGrupo->Text(), 2));
    qryGrupo->Close();
    qryGrupo->ParamByName(QStringLiteral("P_CDGRUPO")).SetAsString(edtGrupo->Text());
    qryGrupo->Open();
    if (qryGrupo->IsEmpty()) failAt(edtGrupo, QStringLiteral("Grupo_Cad"));
    edtNmGrupo->SetText(qryGrupo->FieldByName(QStringLiteral("NMGRUPNUTR"))->AsString());
}

void TfrmRelInquerito::edtGrupoChange() { edtNmGrupo->Clear(); }

void TfrmRelInquerito::edtGrupoExit() { Vd_Grupo(); }

void TfrmRelInquerito::depIniExit() { depIni->CheckValidDate(); }

void TfrmRelInquerito::depFimExit() { depFim->CheckValidDate(); }

void TfrmRelInquerito::BtnPesquisa2BeforePesq(bool&) {
    qryGrupo->Close();
    qryGrupo->ParamByName(QStringLiteral("P_CDGRUPO")).Clear();
    qryGrupo->Open();
}

void TfrmRelInquerito::BtnPesquisa2AfterPesq() {
    edtGrupo->SetText(qryGrupo->FieldByName(QStringLiteral("CDGRUPNUTR"))->AsString());
    edtNmGrupo->SetText(qryGrupo->FieldByName(QStringLiteral("NMGRUPNUTR"))->AsString());
}

void TfrmRelInquerito::rbtTNutriClick() {
    btnNutriente->setEnabled(rbtLNutri->isChecked());
    stListaNutriente.clear();
}

void TfrmRelInquerito::rbtTServClick() {
    btnServico->setEnabled(rbtLServ->isChecked());
    stListaServico.clear();
}

void TfrmRelInquerito::rbtLNutriKeyDown(int key) {
    if (key == Qt::Key_F9) btnNutrienteClick();
}

void TfrmRelInquerito::btnNutrienteClick() {
    Vd_Grupo();
    qryNutriente->Close();
    qryNutriente->ParamByName(QStringLiteral("P_CDGRUPO")).SetAsString(edtGrupo->Text());
    qryNutriente->Open();
    Pesqlista::PesquisaLista(dtsNutriente, QStringLiteral("CDNUTRIENTE"),
                             msgPadrao->Msg(QStringLiteral("Nutriente")) + '|' + msgPadrao->Msg(QStringLiteral("N_Nutriente")),
                             false, stListaNutriente);
}

void TfrmRelInquerito::btnServicoClick() {
    qryServico->Close();
    qryServico->ParamByName(QStringLiteral("P_CDFILIAL")).SetAsString(branchCode());
    Pesqlista::PesquisaLista(dtsServico, QStringLiteral("CDSERVFILI"),
                             msgPadrao->Msg(QStringLiteral("Servico")) + '|' + msgPadrao->Msg(QStringLiteral("N_Servico")),
                             false, stListaServico);
}

void TfrmRelInquerito::rpddPadraoBeforeGetQueryParams(TReportParams& params) {
    const survey::SurveyContext& context = context_;
    auto set = [&](const char* name, auto&& fill) {
        if (params.ExistParam(QString::fromLatin1(name))) fill(params.ParamByName(QString::fromLatin1(name)));
    };
    set("P_CDFILIAL", [&](TReportParam& p) { p.SetAsString(context.branch); });
    set("P_CDPACIENTE", [&](TReportParam& p) { p.SetAsString(context.patient); });
    set("P_DTINI", [&](TReportParam& p) { p.SetAsDateTime(QDateTime(depIni->Date(), QTime(0, 0))); });
    set("P_DTFIM", [&](TReportParam& p) { p.SetAsDateTime(QDateTime(depFim->Date(), QTime(0, 0))); });
    set("P_CDGRUPO", [&](TReportParam& p) { p.SetAsString(edtGrupo->Text()); });
    set("P_CDNUTRIENTE", [&](TReportParam& p) { p.SetAsString(stListaNutriente); });
    set("P_CDSERVFILI", [&](TReportParam& p) { p.SetAsString(stListaServico); });
}

int CriaRelInquerito(const survey::SurveyContext& context) {
    frmRelInquerito = new TfrmRelInquerito(context, hostfw::session().mainWindow);
    const int result = frmRelInquerito->exec();
    frmRelInquerito = nullptr;  // the screen deletes itself on close
    return result;
}

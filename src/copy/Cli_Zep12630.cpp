// The copy screen: creation, layout, wiring, activation and closing.
#include "copy/Cli_Zep12630.h"

#include "catalog/CatalogQueries.h"
#include "host/connection/ADOIBQuery.h"
#include "host/connection/NetConnection.h"
#include "host/controls/BtnPesquisa.h"
#include "host/controls/Buttons.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/MaskEdit.h"
#include "host/routines/Consiste.h"
#include "host/core/Focus.h"
#include "host/core/Session.h"
#include "host/routines/Vorlane.h"
#include "survey/Cli_Zep12600.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace hostfw;

TfrmCopiarInq* frmCopiarInq = nullptr;

int CriaCopiaInquerito(const survey::SurveyContext& context) {
    // Owned by the host's main window, so it opens centred over it; exec()
    // deletes it when it closes (WA_DeleteOnClose).
    frmCopiarInq = new TfrmCopiarInq(context, session().mainWindow);
    return frmCopiarInq->exec();
}

int CriaCopiaInquerito() {
    return CriaCopiaInquerito(frmInquerito ? frmInquerito->surveyContext() : survey::SurveyContext());
}

namespace {

QLabel* label(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

// A service code edit: mask "ccccc;0; ", five characters, required colour.
TMaskEdit* serviceCode(QWidget* parent, const char* name, const QColor& required) {
    auto* e = new TMaskEdit(parent, QString::fromLatin1(name));
    e->SetEditMask(QStringLiteral("ccccc;0; "));
    e->SetMaxLength(5);
    e->SetColor(required);
    e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("WWWWW")) + 16);
    return e;
}

TMaskEdit* serviceName(QWidget* parent, const char* name) {
    auto* e = new TMaskEdit(parent, QString::fromLatin1(name));
    e->SetMaxLength(40);
    e->setEnabled(false);
    e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 34);
    return e;
}

TDateEditPlus* dateEdit(QWidget* parent, const char* name, const QColor& required) {
    auto* d = new TDateEditPlus(parent, QString::fromLatin1(name));
    d->SetColor(required);
    return d;
}

TEdit* weekDay(QWidget* parent, const char* name) {
    auto* e = new TEdit(parent, QString::fromLatin1(name));
    e->SetDisplayOnly(true);
    e->setEnabled(false);
    e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("Segunda")) + 24);
    return e;
}

QGroupBox* group(QWidget* parent, const char* name, const QString& title) {
    auto* g = new QGroupBox(title, parent);
    g->setObjectName(QString::fromLatin1(name));
    return g;
}

// One side of the copy: label, date and week day on the first line; label,
// service code, search button and service name on the second.
void layOutSide(QGroupBox* side, std::initializer_list<QWidget*> dateLine,
                std::initializer_list<QWidget*> serviceLine) {
    auto* grid = new QGridLayout(side);
    int row = 0;
    for (const auto& line : {dateLine, serviceLine}) {
        auto* widgets = new QHBoxLayout();
        widgets->setSpacing(row == 0 ? 6 : 2);
        for (auto it = line.begin() + 1; it != line.end(); ++it) widgets->addWidget(*it);
        if (row == 0) widgets->addStretch(1);
        grid->addWidget(*line.begin(), row, 0);
        grid->addLayout(widgets, row, 1);
        ++row;
    }
    grid->setColumnStretch(1, 1);
}

TBtnPesquisa* searchButton(QWidget* parent, const char* name, QWidget* associate, TDataSource* source) {
    auto* b = new TBtnPesquisa(parent, QString::fromLatin1(name));
    b->SetAssociate(associate);
    b->SetHint(QStringLiteral("Pesquisar"));
    b->Title = QStringLiteral("Serviço");
    b->DataSource = source;
    b->EmptyError = QStringLiteral("Não há serviço cadastrado para a filial informada.");
    return b;
}

}  // namespace

TfrmCopiarInq::TfrmCopiarInq(const survey::SurveyContext& context, QWidget* parent)
    : TfrmRotiGeral(parent), context_(context) {
    setObjectName("frmCopiarInq");
    setWindowTitle(QStringLiteral("Copiar Inquérito"));
    lblCodTela->setText(QStringLiteral("ZEP12630"));
    buildMessages();
    buildData();
    buildControls();
    connectHandlers();
    FormCreate();
}

TfrmCopiarInq::~TfrmCopiarInq() {
    if (frmCopiarInq == this) frmCopiarInq = nullptr;
}

void TfrmCopiarInq::buildMessages() {
    msgPadrao->Lines = {
        QStringLiteral("ServOrig_Inf|Serviço de origem deve ser informado."),
        QStringLiteral("Serv_Cad|Serviço não cadastrado."),
        QStringLiteral("DataOrig_Inf|Data de origem deve ser informada."),
        QStringLiteral("DataDest_Inf|Data de destino deve ser informada."),
        QStringLiteral("ServDest_Inf|Serviço de destino deve ser informado."),
        QStringLiteral("DtOrigem_Per|Data de origem deve estar dentro do período de inquérito."),
        QStringLiteral("DtDetino_Per|Data de destino deve estar dentro do período de inquérito."),
        QStringLiteral("Opcao_Inf|Opção deve ser informada."),
        QStringLiteral("Inq_NCad|Não existe inquérito de origem cadastrado."),
        QStringLiteral("Cop_Sucesso|A cópia do inquérito foi realizada com sucesso."),
        QStringLiteral("Serv_Dif|Data/serviço origem deve ser diferente da data/serviço destino."),
        QStringLiteral("DtOrigem_Meno|Data de Origem deve ser menor ou igual a data de destino."),
    };
}

void TfrmCopiarInq::buildData() {
    netCopiarInq = new TNetConnection(this, "netCopiarInq");
    netCopiarInq->ServerName = QStringLiteral("Zep12630.rdmCopiarInq");
    netCopiarInq->BeforeConnect = [this](TNetConnection*) { netCopiarInqBeforeConnect(); };

    qryServico = new TADOIBQuery(this, "qryServico");
    qryServico->SQL = QString::fromUtf8(catalog::copyQryServico).split('\n');
    qryServico->SQL_IB = qryServico->SQL;
    qryServico->SQL_ORACLE = QStringList{
        "SELECT",
        "   CDSERVFILI, NMSERVICO",
        "FROM",
        "   SERVICO",
        "WHERE",
        "   (CDFILIAL   = :P_CDFILIAL) AND",
        "   (CDSERVFILI = NVL(:P_CDSERVFILI, CDSERVFILI))",
        "ORDER BY",
        "   CDSERVFILI"};
    qryServico->SQL_MSSQL = qryServico->SQL_ORACLE;
    qryServico->SQL_MSSQL[6] = "   (CDSERVFILI = ISNULL(:P_CDSERVFILI, CDSERVFILI))";
    TField* code = qryServico->AddField("CDSERVFILI", TFieldType::ftString, 5);
    code->DisplayLabel = QStringLiteral("Código");
    code->Required = true;
    code->DisplayWidth = 7;
    TField* name = qryServico->AddField("NMSERVICO", TFieldType::ftString, 40);
    name->DisplayLabel = QStringLiteral("Nome");
    name->DisplayWidth = 50;
    dtsServico = new TDataSource(this, "dtsServico", qryServico);
}

void TfrmCopiarInq::buildControls() {
    const QColor required = palette().color(QPalette::ToolTipBase);
    auto* body = new QVBoxLayout(grbDadosRel);

    grbOrigem = group(grbDadosRel, "grbOrigem", QStringLiteral("Origem"));
    lblDataOrigem = label(grbOrigem, "lblDataOrigem", QStringLiteral("Data"));
    depOrigem = dateEdit(grbOrigem, "depOrigem", required);
    edtDiaOrigem = weekDay(grbOrigem, "edtDiaOrigem");
    lblServOrig = label(grbOrigem, "lblServOrig", QStringLiteral("Serviço"));
    medCdServOrig = serviceCode(grbOrigem, "medCdServOrig", required);
    btnServicoOrig = searchButton(grbOrigem, "btnServicoOrig", medCdServOrig, dtsServico);
    medNmServOrig = serviceName(grbOrigem, "medNmServOrig");
    layOutSide(grbOrigem, {lblDataOrigem, depOrigem, edtDiaOrigem},
               {lblServOrig, medCdServOrig, btnServicoOrig, medNmServOrig});
    body->addWidget(grbOrigem);

    grbDestino = group(grbDadosRel, "grbDestino", QStringLiteral("Destino"));
    lblDataDestino = label(grbDestino, "lblDataDestino", QStringLiteral("Data"));
    depDestino = dateEdit(grbDestino, "depDestino", required);
    edtDiaDestino = weekDay(grbDestino, "edtDiaDestino");
    lblServDest = label(grbDestino, "lblServDest", QStringLiteral("Serviço"));
    medCdServDest = serviceCode(grbDestino, "medCdServDest", required);
    btnDestino = searchButton(grbDestino, "btnDestino", medCdServDest, dtsServico);
    medNmServDest = serviceName(grbDestino, "medNmServDest");
    layOutSide(grbDestino, {lblDataDestino, depDestino, edtDiaDestino},
               {lblServDest, medCdServDest, btnDestino, medNmServDest});
    body->addWidget(grbDestino);

    grbOpcao = group(grbDadosRel, "grbOpcao", QStringLiteral("Opção"));
    auto* options = new QHBoxLayout(grbOpcao);
    chkProduto = new QCheckBox(QStringLiteral("Produto"), grbOpcao);
    chkProduto->setObjectName("chkProduto");
    chkProduto->setChecked(true);
    chkPrato = new QCheckBox(QStringLiteral("Prato"), grbOpcao);
    chkPrato->setObjectName("chkPrato");
    chkPrato->setChecked(true);
    options->addWidget(chkProduto);
    options->addSpacing(24);
    options->addWidget(chkPrato);
    options->addStretch(1);
    body->addWidget(grbOpcao);
    body->addStretch(1);

    setTabOrder(depOrigem, medCdServOrig);
    setTabOrder(medCdServOrig, depDestino);
    setTabOrder(depDestino, medCdServDest);
    setTabOrder(medCdServDest, chkProduto);
    setTabOrder(chkProduto, chkPrato);
}

void TfrmCopiarInq::connectHandlers() {
    Focus& focus = Focus::instance();
    depOrigem->OnDateChange = [this] { depOrigemDateChange(); };
    depDestino->OnDateChange = [this] { depDestinoDateChange(); };
    focus.setOnExit(depOrigem, [this] { depOrigemExit(); });
    focus.setOnExit(depDestino, [this] { depDestinoExit(); });
    medCdServOrig->OnChange = [this] { medCdServOrigChange(); };
    medCdServDest->OnChange = [this] { medCdServDestChange(); };
    focus.setOnExit(medCdServOrig, [this] { medCdServOrigExit(); });
    focus.setOnExit(medCdServDest, [this] { medCdServDestExit(); });
    btnServicoOrig->OnBeforePesq = [this](bool& cancel) { btnServicoOrigBeforePesq(cancel); };
    btnServicoOrig->OnAfterPesq = [this] { btnServicoOrigAfterPesq(); };
    btnDestino->OnBeforePesq = [this](bool& cancel) { btnDestinoBeforePesq(cancel); };
    btnDestino->OnAfterPesq = [this] { btnDestinoAfterPesq(); };
}

void TfrmCopiarInq::FormCreate() {
    TfrmRotiGeral::FormCreate();
    netCopiarInq->SetConnected(true);
    const QDate start = surveyContext().periodStart;
    depOrigem->SetDate(start);
    depDestino->SetDate(start);
}

void TfrmCopiarInq::netCopiarInqBeforeConnect() {
    netCopiarInq->Host = Vorlane::WebURL();
    netCopiarInq->Port = Vorlane::WebPort();
}

void TfrmCopiarInq::FormActivate() {
    TfrmRotiGeral::FormActivate();
    edtDiaOrigem->SetText(Consiste::NomeSemana(depOrigem->Date()));
    edtDiaDestino->SetText(Consiste::NomeSemana(depDestino->Date()));
}

void TfrmCopiarInq::FormClose() {
    TfrmRotiGeral::FormClose();
    netCopiarInq->SetConnected(false);
}

void TfrmCopiarInq::depOrigemDateChange() { edtDiaOrigem->SetText(Consiste::NomeSemana(depOrigem->Date())); }

void TfrmCopiarInq::depDestinoDateChange() { edtDiaDestino->SetText(Consiste::NomeSemana(depDestino->Date())); }

void TfrmCopiarInq::depOrigemExit() { depOrigem->CheckValidDate(); }

void TfrmCopiarInq::depDestinoExit() { depDestino->CheckValidDate(); }

void TfrmCopiarInq::medCdServOrigChange() { medNmServOrig->Clear(); }

void TfrmCopiarInq::medCdServDestChange() { medNmServDest->Clear(); }

void TfrmCopiarInq::medCdServOrigExit() { Vd_Servico(medCdServOrig, medNmServOrig, false); }

void TfrmCopiarInq::medCdServDestExit() { Vd_Servico(medCdServDest, medNmServDest, false); }

void TfrmCopiarInq::btnServicoOrigBeforePesq(bool&) { openServices(QString()); }

void TfrmCopiarInq::btnServicoOrigAfterPesq() {
    medCdServOrig->SetText(qryServico->FieldByName("CDSERVFILI")->AsString());
    medNmServOrig->SetText(qryServico->FieldByName("NMSERVICO")->AsString());
}

void TfrmCopiarInq::btnDestinoBeforePesq(bool&) { openServices(QString()); }

void TfrmCopiarInq::btnDestinoAfterPesq() {
    medCdServDest->SetText(qryServico->FieldByName("CDSERVFILI")->AsString());
    medNmServDest->SetText(qryServico->FieldByName("NMSERVICO")->AsString());
}

void TfrmCopiarInq::openServices(const QString& code) {
    qryServico->Close();
    qryServico->ParamByName("P_CDFILIAL").SetAsString(surveyContext().branch);
    if (code.isNull())
        qryServico->ParamByName("P_CDSERVFILI").Clear();
    else
        qryServico->ParamByName("P_CDSERVFILI").SetAsString(code);
    qryServico->Open();
}

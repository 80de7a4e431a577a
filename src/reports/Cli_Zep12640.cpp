// Unit Cli_Zep12640: building of the spreadsheet screen, its data and the creator.
#include "reports/Cli_Zep12640.h"

#include "catalog/CatalogQueries.h"
#include "host/connection/ADOIBQuery.h"
#include "host/connection/NetConnection.h"
#include "host/controls/BtnPesquisa.h"
#include "host/controls/Buttons.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/core/Failures.h"
#include "host/core/Focus.h"
#include "host/routines/Vorlane.h"
#include "host/data/DataSet.h"
#include "host/pivot/HierCube.h"
#include "host/pivot/HierCubeGrid.h"
#include "host/pivot/HierCubeGridPrint.h"
#include "survey/Cli_Zep12600.h"

#include <QApplication>
#include <QDate>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QRadioButton>
#include <QStandardPaths>
#include <QStyle>
#include <QVBoxLayout>

using namespace hostfw;

TfrmPlaInqNutr* frmPlaInqNutr = nullptr;

int CriaInquNutr(const survey::SurveyContext& context) {
    frmPlaInqNutr = new TfrmPlaInqNutr(context, QApplication::activeWindow());
    QPointer<TfrmPlaInqNutr> screen = frmPlaInqNutr;
    int result = 0;
    guard([&] {
        screen->FormCreate();
        result = screen->exec();
    });
    // A creation that failed leaves a screen that was never shown.
    if (screen) screen->deleteLater();
    frmPlaInqNutr = nullptr;
    return result;
}

int CriaInquNutr() { return CriaInquNutr(frmInquerito ? frmInquerito->surveyContext() : survey::SurveyContext()); }

namespace {

using FT = TFieldType;

TADOIBQuery* query(QObject* owner, const char* name, const char* sql) {
    auto* q = new TADOIBQuery(owner, QString::fromLatin1(name));
    q->SQL = QString::fromUtf8(sql).split('\n');
    return q;
}

TField* field(TClientDataSet* ds, const char* name, FT type, int size, const QString& label = QString()) {
    TField* f = ds->AddField(QString::fromLatin1(name), type, size);
    if (!label.isEmpty()) f->DisplayLabel = label;
    return f;
}

// Survey dates come as "YYYY-MM-DD" (ordered as text); a reader expects 30/11/2026.
QString shownDate(const QString& member) {
    const QDate d = QDate::fromString(member, Qt::ISODate);
    return d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy")) : member;
}

QLabel* label(QWidget* parent, const QString& text, bool bold = false) {
    auto* l = new QLabel(text, parent);
    if (bold) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    return l;
}

}  // namespace

TfrmPlaInqNutr::TfrmPlaInqNutr(const survey::SurveyContext& context, QWidget* parent)
    : TfrmRotiGeral(parent), context_(context) {
    setObjectName("frmPlaInqNutr");
    setWindowTitle(QStringLiteral("Planilha Inquérito por Nutriente"));
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowTitleHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    lblCodTela->setText(QStringLiteral("ZEP12640"));
    // Room for a readable pivot: the client area is a minimum.
    resize(1000, 560);
    setMinimumSize(732, 369);

    msgPadrao->Lines = QStringList{
        QStringLiteral("Grupo_NCad|Grupo de nutriente não cadastrado."),
        QStringLiteral("Nutriente_NCad|Não há nutriente cadastrado."),
        QStringLiteral("Nutriente|Nutriente"),
        QStringLiteral("Servico_NCad|Não há serviço cadastrado."),
        QStringLiteral("Servico|Serviço"),
        QStringLiteral("DtIni_Inf|Data inicial deve ser informada."),
        QStringLiteral("DtFim_Inf|Data final deve ser informada."),
        QStringLiteral("DtIni>DtFim|Data inicial deve ser menor ou igual a data final."),
        QStringLiteral("Nutriente_Inf|Nutriente deve ser informado."),
        QStringLiteral("Serv_Inf|Serviço deve ser informado."),
        QStringLiteral("Total|Total"),
        QStringLiteral("NDados_Plani|Não existem dados suficientes para construção da planilha."),
    };

    buildData();
    buildFilter();
    buildGrid();

    // Side panel, top to bottom: Confirmar, Imprimir, Exportar, Fechar.
    sbtImprimir = addSideButton("sbtImprimir", QStringLiteral("Imprimir"),
                                QIcon::fromTheme(QStringLiteral("document-print"),
                                                 style()->standardIcon(QStyle::SP_FileDialogDetailedView)),
                                [this] { sbtImprimirClick(); });
    sbtExportar = addSideButton("sbtExportar", QStringLiteral("Exportar"),
                                QIcon::fromTheme(QStringLiteral("document-save-as"),
                                                 style()->standardIcon(QStyle::SP_DialogSaveButton)),
                                [this] { sbtExportarClick(); });
    auto* side = static_cast<QVBoxLayout*>(panBotoes->layout());
    side->removeWidget(sbtCancel);
    side->addWidget(sbtCancel);

    AskExportFile = [this](const QString& suggested) {
        const QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        return QFileDialog::getSaveFileName(
            this, QStringLiteral("Exportar planilha"), dir + '/' + suggested,
            QStringLiteral("Pasta de trabalho do Excel (*.xlsx);;Texto separado por ponto e vírgula (*.csv)"));
    };
    wire();
}

TfrmPlaInqNutr::~TfrmPlaInqNutr() {
    if (frmPlaInqNutr == this) frmPlaInqNutr = nullptr;
}

void TfrmPlaInqNutr::buildData() {
    netPlaInqNutr = new TNetConnection(this, "netPlaInqNutr");
    netPlaInqNutr->ServerName = QStringLiteral("Zep12640.rdmPlaInqNutr");
    netPlaInqNutr->ThrowException = false;
    netPlaInqNutr->BeforeConnect = [](TNetConnection* c) {
        c->Host = Vorlane::WebURL();
        c->Port = Vorlane::WebPort();
    };

    cdsInquNutr = new TClientDataSet(this, "cdsInquNutr");
    field(cdsInquNutr, "DTINQUERITO", FT::ftString, 10);
    field(cdsInquNutr, "NMSERVICO", FT::ftString, 40);
    field(cdsInquNutr, "NMPRODUTO", FT::ftString, 50);
    field(cdsInquNutr, "NMNUTRIENTE", FT::ftString, 20, QStringLiteral("Nutriente"));
    field(cdsInquNutr, "NMMEDICASE", FT::ftString, 40);
    field(cdsInquNutr, "QTALIMINQUER", FT::ftFloat, 0)->DisplayFormat = QStringLiteral("#,##0.000");
    field(cdsInquNutr, "TOTAL", FT::ftFloat, 0)->DisplayFormat = QStringLiteral("#,##0.000");
    field(cdsInquNutr, "CDSERVFILI", FT::ftString, 5);
    field(cdsInquNutr, "CDPRODUTO", FT::ftString, 10);
    field(cdsInquNutr, "CDNUTRIENTE", FT::ftString, 3);

    hcbInquNutr = new THierCube(this, "hcbInquNutr");
    using R = TCubeRole;
    using A = TCubeAxis;
    using O = TMemberOrder;
    hcbInquNutr->DimensionMap = {
        {"DTINQUERITO", QStringLiteral("Data"), R::Dimension, A::Rows, O::ByName, false, shownDate},
        {"NMSERVICO", QStringLiteral("Serviço"), R::Dimension, A::Rows, O::ByName, false},
        {"NMPRODUTO", QStringLiteral("Produto/Prato"), R::Dimension, A::Rows, O::ByName, false},
        {"NMMEDICASE", QStringLiteral("Medida de Porcionamento"), R::Dimension, A::Rows, O::ByName, false},
        {"QTALIMINQUER", QStringLiteral("Quantidade"), R::Dimension, A::Rows, O::DataSetOrder, true},
        {"NMNUTRIENTE", QStringLiteral("Nutriente"), R::Dimension, A::Columns, O::ByName, false},
        {"TOTAL", QStringLiteral("TOTAL"), R::Summary, A::None, O::ByName, false},
        {"QTALIMINQUER", QStringLiteral("Quantidade"), R::None, A::None, O::ByName, false},
    };

    qryGrupo = query(this, "qryGrupo", catalog::sheetQryGrupo);
    field(qryGrupo, "CDGRUPNUTR", FT::ftString, 2, QStringLiteral("Código"))->Required = true;
    field(qryGrupo, "NMGRUPNUTR", FT::ftString, 40, QStringLiteral("Nome"));
    dtsGrupo = new TDataSource(this, "dtsGrupo", qryGrupo);
    qryVerifGrup = query(this, "qryVerifGrup", catalog::sheetQryVerifGrup);
    field(qryVerifGrup, "CDGRUPNUTR", FT::ftString, 2, QStringLiteral("Código"))->Required = true;
    field(qryVerifGrup, "NMGRUPNUTR", FT::ftString, 40, QStringLiteral("Nome"));
    qryNutriente = query(this, "qryNutriente", catalog::reportQryNutriente);
    field(qryNutriente, "CDNUTRIENTE", FT::ftString, 3, QStringLiteral("Código"))->Required = true;
    field(qryNutriente, "NMNUTRIENTE", FT::ftString, 20, QStringLiteral("Nome"));
    dtsNutriente = new TDataSource(this, "dtsNutriente", qryNutriente);
    qryServico = query(this, "qryServico", catalog::reportQryServico);
    TField* code = field(qryServico, "CDSERVFILI", FT::ftString, 5, QStringLiteral("Código"));
    code->Required = true;
    code->DisplayWidth = 8;
    field(qryServico, "NMSERVICO", FT::ftString, 40, QStringLiteral("Nome"))->DisplayWidth = 42;
    dtsServico = new TDataSource(this, "dtsServico", qryServico);

    PrintGrid = new THierCubeGridPrint(this, "PrintGrid");
    PrintGrid->Title = QStringLiteral("Inquérito por Nutriente");
    PrintGrid->Orientation = QPageLayout::Landscape;
    PrintGrid->PageSize = QPageSize::A4;
    PrintGrid->MarginRight = 24;
    PrintGrid->HeaderMargin = 10;
    PrintGrid->ShowHeader = true;
    PrintGrid->ShowFooter = true;
    PrintGrid->DecimalSeparator = QLatin1Char(',');
}

void TfrmPlaInqNutr::buildFilter() {
    auto* body = new QVBoxLayout(grbDadosRel);
    body->setContentsMargins(6, 6, 6, 6);
    panFiltro = new QFrame(grbDadosRel);
    panFiltro->setObjectName("panFiltro");
    auto* filter = new QGridLayout(panFiltro);
    filter->setContentsMargins(0, 0, 0, 0);

    edtGrupo = new TEdit(panFiltro, "edtGrupo");
    edtGrupo->SetMaxLength(2);
    edtGrupo->setFixedWidth(44);
    BtnPesquisa2 = new TBtnPesquisa(panFiltro, "BtnPesquisa2");
    BtnPesquisa2->SetHint(QStringLiteral("Pesquisar"));
    BtnPesquisa2->SetAssociate(edtGrupo);
    BtnPesquisa2->Title = QStringLiteral("Grupo de Nutriente");
    BtnPesquisa2->DataSource = dtsGrupo;
    BtnPesquisa2->EmptyError = QStringLiteral("Não há grupo de nutriente cadastrado.");
    edtNmGrupo = new TEdit(panFiltro, "edtNmGrupo");
    edtNmGrupo->setEnabled(false);
    Label1 = label(panFiltro, QStringLiteral("Grupo de Nutriente"), true);
    Label1->setObjectName("Label1");
    Label1->setBuddy(edtGrupo);
    auto* groupRow = new QHBoxLayout();
    groupRow->addWidget(Label1);
    groupRow->addWidget(edtGrupo);
    groupRow->addWidget(BtnPesquisa2);
    groupRow->addWidget(edtNmGrupo, 1);

    grbInq = new QGroupBox(QStringLiteral("Período"), panFiltro);
    grbInq->setObjectName("grbInq");
    auto* period = new QHBoxLayout(grbInq);
    depIni = new TDateEditPlus(grbInq, "depIni");
    depFim = new TDateEditPlus(grbInq, "depFim");
    period->addWidget(label(grbInq, QStringLiteral("de")));
    period->addWidget(depIni);
    period->addWidget(label(grbInq, QStringLiteral("até")));
    period->addWidget(depFim);
    period->addStretch(1);

    auto choice = [this](const char* box, const QString& title, QRadioButton*& all, const char* allName,
                         QRadioButton*& list, const char* listName, TButtonFlat*& button, const char* buttonName) {
        auto* g = new QGroupBox(title, panFiltro);
        g->setObjectName(QString::fromLatin1(box));
        auto* l = new QHBoxLayout(g);
        all = new QRadioButton(QStringLiteral("Todos"), g);
        all->setObjectName(QString::fromLatin1(allName));
        all->setChecked(true);
        list = new QRadioButton(QStringLiteral("Lista"), g);
        list->setObjectName(QString::fromLatin1(listName));
        button = new TButtonFlat(g, QString::fromLatin1(buttonName));
        button->SetGlyph(searchIcon());
        button->SetHint(QStringLiteral("Pesquisar"));
        button->setEnabled(false);
        l->addWidget(all);
        l->addWidget(list);
        l->addWidget(button);
        l->addStretch(1);
        return g;
    };
    grbNutriente = choice("grbNutriente", QStringLiteral("Nutriente"), rbtTNutri, "rbtTNutri", rbtLNutri, "rbtLNutri",
                          btnNutriente, "btnNutriente");
    grbServico = choice("grbServico", QStringLiteral("Serviço"), rbtTServ, "rbtTServ", rbtLServ, "rbtLServ",
                        btnServico, "btnServico");

    filter->addLayout(groupRow, 0, 0, 1, 3);
    filter->addWidget(grbInq, 1, 0, 1, 1);
    filter->addWidget(grbNutriente, 1, 1);
    filter->addWidget(grbServico, 1, 2);
    filter->setColumnStretch(0, 2);
    filter->setColumnStretch(1, 1);
    filter->setColumnStretch(2, 1);
    body->addWidget(panFiltro);

    // Tab order: group, period, nutrients, services; the group name last.
    setTabOrder(edtGrupo, depIni);
    setTabOrder(depIni, depFim);
    setTabOrder(depFim, rbtTNutri);
    setTabOrder(rbtTNutri, rbtLNutri);
    setTabOrder(rbtLNutri, rbtTServ);
    setTabOrder(rbtTServ, rbtLServ);
}

void TfrmPlaInqNutr::buildGrid() {
    panDadosGrid = new QFrame(grbDadosRel);
    panDadosGrid->setObjectName("panDadosGrid");
    auto* l = new QVBoxLayout(panDadosGrid);
    l->setContentsMargins(0, 0, 0, 0);
    hcgInquNutri = new THierCubeGrid(panDadosGrid, "hcgInquNutri");
    hcgInquNutri->SetCube(hcbInquNutr);
    l->addWidget(hcgInquNutri);
    static_cast<QVBoxLayout*>(grbDadosRel->layout())->addWidget(panDadosGrid, 1);
    PrintGrid->Grid = hcgInquNutri;
}

void TfrmPlaInqNutr::wire() {
    edtGrupo->OnChange = [this] { edtGrupoChange(); };
    auto& focus = Focus::instance();
    focus.setOnExit(edtGrupo, [this] { edtGrupoExit(); });
    focus.setOnEnter(panFiltro, [this] { panFiltroEnter(); });
    focus.setOnExit(panFiltro, [this] { panFiltroExit(); });
    focus.setOnExit(panDadosGrid, [this] { panDadosGridExit(); });
    BtnPesquisa2->OnBeforePesq = [this](bool& cancel) { BtnPesquisa2BeforePesq(cancel); };
    BtnPesquisa2->OnAfterPesq = [this] { BtnPesquisa2AfterPesq(); };
    depIni->OnChange = [this] { depIniChange(); };
    depFim->OnChange = [this] { depFimChange(); };
    for (auto* r : {rbtTNutri, rbtLNutri})
        connect(r, &QRadioButton::clicked, this, guarded([this] { rbtTNutriClick(); }));
    for (auto* r : {rbtTServ, rbtLServ})
        connect(r, &QRadioButton::clicked, this, guarded([this] { rbtTServClick(); }));
    rbtLNutri->installEventFilter(this);
    rbtLServ->installEventFilter(this);
    btnNutriente->OnClick = [this] { btnNutrienteClick(); };
    btnServico->OnClick = [this] { btnServicoClick(); };
}

bool TfrmPlaInqNutr::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == rbtLNutri || watched == rbtLServ)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        guard([&] {
            if (watched == rbtLNutri) rbtLNutriKeyDown(key);
            else rbtLServKeyDown(key);
        });
        if (key == Qt::Key_F9) return true;
    }
    return TfrmRotiGeral::eventFilter(watched, event);
}

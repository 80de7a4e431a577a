// The report engine and the base report screen: layout files, query
// parameters, rendering over the demo data, PDF output and the screen's list
// and commands.
#include "host/controls/Buttons.h"
#include "host/reports/DadosGerRel.h"
#include "host/core/Dialogs.h"
#include "host/core/Failures.h"
#include "host/connection/HostDatabase.h"
#include "host/reports/ReportDesigner.h"
#include "host/reports/ReportLayout.h"
#include "host/reports/ReportParams.h"
#include "host/core/BrNumber.h"
#include "host/reports/ReportRender.h"
#include "host/core/Session.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextDocument>

#include <map>

using namespace hostfw;

namespace {

// Items of a patient per meal service over a date range, summed per service.
const char* const kItemsPerService = R"j({
  "title": "Itens por serviço",
  "orientation": "landscape",
  "query": {
    "sql": [
      "SELECT S.NMSERVICO, I.DTINQUERITO, I.NRSEQUINQUER, I.QTALIMINQUER",
      "FROM ITINQUERPACI I, SERVICO S",
      "WHERE I.CDFILIAL = :P_CDFILIAL AND I.CDPACIENTE = :P_CDPACIENTE",
      "  AND I.DTINQUERITO BETWEEN :P_DTINI AND :P_DTFIM",
      "  AND S.CDFILIAL = I.CDFILIAL AND S.CDSERVFILI = I.CDSERVFILI",
      "ORDER BY I.CDSERVFILI, I.DTINQUERITO, I.NRSEQUINQUER"
    ],
    "params": [
      {"name": "P_CDFILIAL", "type": "string"},
      {"name": "P_CDPACIENTE", "type": "string"},
      {"name": "P_DTINI", "type": "date"},
      {"name": "P_DTFIM", "type": "date"},
      {"name": "P_CDGRUPO", "type": "string"}
    ]
  },
  "columns": [
    {"field": "DTINQUERITO", "caption": "Data", "width": 25, "format": "date"},
    {"field": "NRSEQUINQUER", "caption": "Item", "width": 15, "align": "center"},
    {"field": "QTALIMINQUER", "caption": "Quantidade (g)", "width": 30, "align": "right",
     "format": "number", "decimals": 3}
  ],
  "group": {"field": "NMSERVICO", "caption": "Serviço"},
  "sums": ["QTALIMINQUER"]
})j";

const char* const kServices = R"({
  "title": "Serviços da filial",
  "query": {"sql": "SELECT CDSERVFILI, NMSERVICO FROM SERVICO WHERE CDFILIAL = :P_CDFILIAL ORDER BY CDSERVFILI",
            "params": [{"name": "P_CDFILIAL"}]},
  "columns": [{"field": "CDSERVFILI", "caption": "Código"}, {"field": "NMSERVICO", "caption": "Nome"}]
})";

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qputenv("INQUERITO_REPORTS_DIR", dir.path().toUtf8());
        dialogs = &useScriptedDialogs();
        dialogs->clear();
    }
    void TearDown() override {
        qunsetenv("INQUERITO_REPORTS_DIR");
        if (db) {
            session() = HostSession();
            closeHostDatabase();
        }
    }
    QString write(const QString& name, const QByteArray& content) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return file.fileName();
    }
    void useDemoDatabase() {
        db = testsupport::TestDatabase::create(db::Engine::SQLite);
        session().databaseUrl = QString::fromStdString(db->url().toString());
        closeHostDatabase();
    }
    // Fills the parameters the demo patient's report knows, as a report screen does.
    static void fillDemoParams(TReportParams& p, const QDate& from, const QDate& to) {
        if (p.ExistParam("P_CDFILIAL")) p.ParamByName("P_CDFILIAL").SetAsString("0001");
        if (p.ExistParam("P_CDPACIENTE")) p.ParamByName("P_CDPACIENTE").SetAsString("000000000001");
        if (p.ExistParam("P_DTINI")) p.ParamByName("P_DTINI").SetAsDate(from);
        if (p.ExistParam("P_DTFIM")) p.ParamByName("P_DTFIM").SetAsDate(to);
    }

    QTemporaryDir dir;
    ScriptedDialogs* dialogs = nullptr;
    std::unique_ptr<testsupport::TestDatabase> db;
};

// The cell that follows a label in the plain text (one line per table cell).
QString cellAfter(const QString& text, qsizetype labelAt, qsizetype labelSize) {
    return text.mid(labelAt + labelSize).trimmed().section('\n', 0, 0).trimmed();
}

bool isPdf(const QString& fileName, qint64* size = nullptr) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return false;
    if (size) *size = file.size();
    return file.read(4) == "%PDF";
}

}  // namespace

TEST_F(ReportTest, LayoutFileIsReadWithAllItsParts) {
    const auto layout = TReportLayout::load(write("ZEP126_itens.json", kItemsPerService));
    EXPECT_EQ(layout.title, QString("Itens por serviço"));
    EXPECT_TRUE(layout.landscape);
    EXPECT_TRUE(layout.sql.contains("FROM ITINQUERPACI I, SERVICO S\nWHERE")) << "SQL lines are joined";
    ASSERT_EQ(layout.params.size(), 5u);
    EXPECT_EQ(layout.params[2].name, QString("P_DTINI"));
    EXPECT_EQ(layout.params[2].type, TReportParamType::Date);
    EXPECT_EQ(layout.params[0].type, TReportParamType::String);
    ASSERT_EQ(layout.columns.size(), 3u);
    EXPECT_EQ(layout.columns[2].alignment, Qt::AlignRight);
    EXPECT_EQ(layout.columns[2].decimals, 3);
    EXPECT_EQ(layout.columns[2].widthMm, 30);
    EXPECT_EQ(layout.columns[1].alignment, Qt::AlignHCenter);
    EXPECT_EQ(layout.groupField, QString("NMSERVICO"));
    EXPECT_EQ(layout.sums, QStringList{"QTALIMINQUER"});

    const auto plain = TReportLayout::load(write("ZEP126_serv.json", kServices));
    EXPECT_FALSE(plain.landscape);
    EXPECT_EQ(plain.params[0].type, TReportParamType::String) << "the type defaults to string";
    EXPECT_TRUE(plain.groupField.isEmpty());
}

TEST_F(ReportTest, MissingOrDamagedLayoutsGiveClearMessages) {
    try {
        TReportLayout::load(dir.filePath("ZEP999.json"));
        FAIL() << "a missing file must fail";
    } catch (const EHostError& e) {
        EXPECT_EQ(e.message(), QString("O arquivo contendo a definição do relatório de código 'ZEP999' não foi "
                                       "encontrado no diretório '%1'.").arg(QDir::toNativeSeparators(dir.path())));
    }
    const std::pair<const char*, const char*> damaged[] = {
        {"{\"title\": \"Sem fim\", ", "JSON inválido"},
        {"[1, 2]", "objeto"},
        {R"({"title": "X", "columns": [{"field": "A"}]})", "consulta"},
        {R"({"title": "X", "query": {"sql": "SELECT 1 A"}, "columns": []})", "nenhuma coluna"},
        {R"({"title": "X", "query": {"sql": "SELECT 1 A"}, "columns": [{"field": "A"}], "sums": ["A"]})", "numérica"},
        {R"({"title": "X", "query": {"sql": "SELECT 1 A", "params": [{"name": "P_A", "type": "blob"}]},
             "columns": [{"field": "A"}]})", "tipo 'blob'"},
        {R"({"title": 5, "query": {"sql": "SELECT 1 A"}, "columns": [{"field": "A"}]})", "\"title\""},
    };
    for (const auto& [content, reason] : damaged) {
        try {
            TReportLayout::load(write("ZEP126_ruim.json", content));
            ADD_FAILURE() << "accepted: " << content;
        } catch (const EHostError& e) {
            EXPECT_TRUE(e.message().contains("ZEP126_ruim.json") && e.message().contains("danificado"))
                << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(reason))) << e.message().toStdString();
        }
    }
}

TEST_F(ReportTest, LayoutFilesAreFoundByReportCodeInTheConfiguredFolder) {
    write("ZEP126_b.json", kServices);
    write("ZEP126_a.json", kServices);
    write("ZEP127_a.json", kServices);
    write("ZEP126_notas.txt", "x");
    EXPECT_EQ(reportsFolder(), QDir(dir.path()).absolutePath());
    const QStringList files = reportLayoutFiles("ZEP126");
    ASSERT_EQ(files.size(), 2);
    EXPECT_TRUE(files[0].endsWith("ZEP126_a.json"));
    EXPECT_TRUE(files[1].endsWith("ZEP126_b.json"));
    EXPECT_TRUE(reportLayoutFiles("ZEP126", dir.filePath("nao_existe")).isEmpty());
    EXPECT_TRUE(reportLayoutFiles("").isEmpty()) << "an empty code would match every layout";

    qunsetenv("INQUERITO_REPORTS_DIR");
    session().executableFolder = "/opt/hospital";
    EXPECT_EQ(reportsFolder(), QString("/opt/hospital/reports"));
    session() = HostSession();
}

TEST_F(ReportTest, ParametersAreFoundByNameAndBoundAsTheQueryExpects) {
    TReportParams params({{"P_CDFILIAL", TReportParamType::String}, {"P_DTINI", TReportParamType::Date}});
    EXPECT_TRUE(params.ExistParam("p_cdfilial"));
    EXPECT_TRUE(params.ExistParam(":P_DTINI"));
    EXPECT_FALSE(params.ExistParam("P_CDPACIENTE"));
    EXPECT_THROW(params.ParamByName("P_CDPACIENTE"), EHostError);

    TReportParam& date = params.ParamByName("P_DTINI");
    EXPECT_EQ(date.boundText(), std::nullopt) << "an unfilled parameter is null";
    date.SetAsDate(QDate(2026, 12, 1));
    EXPECT_EQ(date.boundText(), std::optional<std::string>("2026-12-01"));
    date.SetAsDateTime(QDateTime(QDate(2026, 12, 1), QTime(0, 0)));
    EXPECT_EQ(date.boundText(), std::optional<std::string>("2026-12-01")) << "midnight binds as the bare date";
    date.SetAsString("01/12/2026");
    EXPECT_EQ(date.boundText(), std::optional<std::string>("2026-12-01"));
    date.SetAsString("31/02/2026");
    EXPECT_THROW(date.boundText(), EHostError);
    date.SetAsDate(QDate());
    EXPECT_TRUE(date.IsNull());

    TReportParam& branch = params.ParamByName("P_CDFILIAL");
    branch.SetAsString("");
    EXPECT_EQ(branch.boundText(), std::optional<std::string>("")) << "an empty text is not null";
}

TEST_F(ReportTest, QueryGetsOnlyDeclaredParametersAndRendersGroupsAndSums) {
    useDemoDatabase();
    const auto layout = TReportLayout::load(write("ZEP126_itens.json", kItemsPerService));
    TReportDesignerDialog designer(nullptr);
    EXPECT_EQ(designer.objectName(), QString("rpddPadrao"));
    QStringList offered;
    designer.BeforeGetQueryParams = [&](TReportParams& p) {
        for (int i = 0; i < p.Count(); ++i) offered << p[i].Name();
        EXPECT_FALSE(p.ExistParam("P_CDNUTRIENTE"));
        fillDemoParams(p, QDate(2026, 12, 1), QDate(2026, 12, 1));
        p.ParamByName("P_CDGRUPO").SetAsString("01");  // declared, unused by the SQL: not bound
    };
    auto document = designer.BuildDocument(layout);
    EXPECT_EQ(offered, (QStringList{"P_CDFILIAL", "P_CDPACIENTE", "P_DTINI", "P_DTFIM", "P_CDGRUPO"}));

    // The demo patient on 2026-12-01: 13 items in five services.
    const QString text = document->toPlainText();
    EXPECT_TRUE(text.contains("Itens por serviço"));
    EXPECT_TRUE(text.contains("Impresso em " + QDate::currentDate().toString("dd/MM/yyyy")));
    EXPECT_TRUE(text.contains("Registros: 13"));
    const std::pair<const char*, const char*> groups[] = {
        {"Desjejum", "280,000"}, {"Colação", "65,000"}, {"Almoço", "655,000"}, {"Lanche", "210,000"}, {"Jantar", "400,000"}};
    qsizetype last = -1;
    for (const auto& [service, sum] : groups) {
        const QString header = QString("Serviço: ") + QString::fromUtf8(service);
        const qsizetype at = text.indexOf(header);
        EXPECT_GT(at, last) << service << ": groups follow the query's order";
        const QString footer = QString("Total de %1").arg(QString::fromUtf8(service));
        const qsizetype total = text.indexOf(footer, at);
        ASSERT_GE(total, 0) << service;
        EXPECT_EQ(cellAfter(text, total, footer.size()), QString::fromUtf8(sum));
        last = total;
    }
    EXPECT_FALSE(text.contains("Ceia")) << "no item of that service on the day";
    EXPECT_TRUE(text.contains("01/12/2026")) << "dates shown as dd/MM/yyyy";
    const qsizetype grand = text.indexOf("Total geral");
    ASSERT_GT(grand, last);
    EXPECT_EQ(cellAfter(text, grand, 11), QString("1.610,000"));
}

TEST_F(ReportTest, WholeWeekAndUnfilledParameters) {
    useDemoDatabase();
    const auto layout = TReportLayout::load(write("ZEP126_itens.json", kItemsPerService));
    TReportDesignerDialog designer(nullptr);
    designer.BeforeGetQueryParams = [](TReportParams& p) { fillDemoParams(p, QDate(2026, 11, 30), QDate(2026, 12, 6)); };
    const QString week = designer.BuildDocument(layout)->toPlainText();
    EXPECT_TRUE(week.contains("Registros: 96"));
    EXPECT_TRUE(week.contains("Ceia"));
    EXPECT_EQ(cellAfter(week, week.indexOf("Total geral"), 11), QString("11.295,000"));

    designer.BeforeGetQueryParams = nullptr;  // every parameter null: no rows, and no failure
    const QString none = designer.BuildDocument(layout)->toPlainText();
    EXPECT_TRUE(none.contains("Nenhum registro encontrado."));
    EXPECT_FALSE(none.contains("Total geral"));
}

TEST_F(ReportTest, FailingQueryOrMissingFieldIsAClearError) {
    useDemoDatabase();
    TReportDesignerDialog designer(nullptr);
    auto broken = TReportLayout::parse(R"({"title": "Quebrado", "query": {"sql": "SELECT X FROM TABELA_INEXISTENTE"},
                                          "columns": [{"field": "X"}]})", "ZEP126_q.json");
    try {
        designer.BuildDocument(broken);
        FAIL();
    } catch (const EHostError& e) {
        EXPECT_TRUE(e.message().startsWith("Erro ao executar a consulta do relatório 'Quebrado'")) << e.message().toStdString();
    }
    auto wrongField = TReportLayout::parse(R"({"title": "Campos", "query": {"sql": "SELECT CDFILIAL FROM FILIAL"},
                                              "columns": [{"field": "NMFILIAL"}]})", "ZEP126_c.json");
    EXPECT_THROW(designer.BuildDocument(wrongField), EHostError);
}

TEST_F(ReportTest, SaveAsAndPrintWriteRealPdfFiles) {
    useDemoDatabase();
    const auto layout = TReportLayout::load(write("ZEP126_itens.json", kItemsPerService));
    TReportDesignerDialog designer(nullptr);
    designer.BeforeGetQueryParams = [](TReportParams& p) { fillDemoParams(p, QDate(2026, 11, 30), QDate(2026, 12, 6)); };
    QString suggested;
    designer.AskSaveFileName = [&](const QString& s) { suggested = s; return dir.filePath("saida"); };
    const QString saved = designer.SaveAs(layout);
    EXPECT_EQ(suggested, QString("ZEP126_itens.pdf"));
    EXPECT_EQ(saved, dir.filePath("saida.pdf")) << "the extension is added";
    qint64 size = 0;
    EXPECT_TRUE(isPdf(saved, &size));
    EXPECT_GT(size, 5000) << "96 rows over several pages";

    designer.AskSaveFileName = [](const QString&) { return QString(); };
    EXPECT_TRUE(designer.SaveAs(layout).isEmpty()) << "cancelled: nothing written";

    bool landscape = false;
    designer.AskPrinter = [&](QPrinter& printer) {
        landscape = printer.pageLayout().orientation() == QPageLayout::Landscape;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("impresso.pdf"));
        return true;
    };
    designer.Print(layout);
    EXPECT_TRUE(landscape) << "the layout's orientation reaches the printer";
    EXPECT_TRUE(isPdf(dir.filePath("impresso.pdf")));

    designer.AskPrinter = [&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("cancelado.pdf"));
        return false;
    };
    designer.Print(layout);
    EXPECT_FALSE(QFile::exists(dir.filePath("cancelado.pdf")));

    designer.AskSaveFileName = [&](const QString&) { return dir.filePath("sem/pasta/saida.pdf"); };
    EXPECT_THROW(designer.SaveAs(layout), EHostError);
}

TEST_F(ReportTest, BaseScreenListsItsLayoutsAndRunsTheSelectedOne) {
    useDemoDatabase();
    write("ZEP126_1.json", kItemsPerService);
    write("ZEP126_2.json", kServices);
    write("ZEP126_3.json", "{ quebrado");
    write("ZEP127_1.json", kServices);
    TfrmDadosGerRel screen;
    screen.lblCodRel->setText("ZEP126");
    screen.FormCreate();
    ASSERT_EQ(screen.cbbReportNames->count(), 3);
    EXPECT_EQ(screen.cbbReportNames->itemText(0), QString("Itens por serviço"));
    EXPECT_EQ(screen.cbbReportNames->itemText(1), QString("Serviços da filial"));
    EXPECT_EQ(screen.cbbReportNames->itemText(2), QString("ZEP126_3")) << "a damaged layout shows its file name";
    EXPECT_EQ(screen.msgPadrao->Msg("NovoCaption"), QString("Título do relatório"));
    EXPECT_EQ(screen.msgPadrao->Msg("NovoPrompt"), QString("Informe o título do relatório:"));

    QString previewed;
    screen.rpddPadrao->BeforeGetQueryParams = [](TReportParams& p) { p.ParamByName("P_CDFILIAL").SetAsString("0002"); };
    screen.rpddPadrao->ShowPreview = [&](QTextDocument& d) { previewed = d.toPlainText(); };
    screen.cbbReportNames->setCurrentIndex(1);
    screen.sbtPreview->Click();
    EXPECT_TRUE(previewed.contains("Desjejum pós-exame")) << "the branch filled by the screen reached the query";
    EXPECT_TRUE(dialogs->shown.empty());

    screen.cbbReportNames->setCurrentIndex(2);
    screen.sbtPrintClick();
    ASSERT_EQ(dialogs->shown.size(), 1u) << "a damaged layout is shown, not thrown";
    EXPECT_TRUE(dialogs->lastText().contains("danificado"));
}

TEST_F(ReportTest, BaseScreenWithoutLayoutsShowsTheNotFoundMessage) {
    TfrmDadosGerRel screen;
    screen.lblCodRel->setText("ZEP126");
    screen.FormCreate();
    EXPECT_EQ(screen.cbbReportNames->count(), 0);
    const QString expected = QString("O arquivo contendo a definição do relatório de código 'ZEP126' não foi encontrado "
                                     "no diretório '%1'.").arg(QDir::toNativeSeparators(dir.path()));
    for (TButtonFlat* command : {screen.sbtPrint, screen.sbtPreview, screen.sbtSalvarComo}) {
        dialogs->clear();
        command->Click();
        ASSERT_EQ(dialogs->shown.size(), 1u) << command->objectName().toStdString();
        EXPECT_EQ(dialogs->shown[0].kind, DialogKind::Error);
        EXPECT_EQ(dialogs->shown[0].text, expected);
    }
}

TEST(ReportEngine, ExpressionsOfComputedColumnsAndTemplatesOfHeaders) {
    const std::map<QString, std::optional<double>> values = {{"A", 6}, {"B", 0}, {"N", std::nullopt}};
    auto value = [&](const QString& name) -> std::optional<double> {
        const auto it = values.find(name);
        if (it == values.end()) throw EHostError("unknown " + name);
        return it->second;
    };
    auto sum = [](const QString& name) { return name == "A" ? 24.0 : 0.0; };
    auto eval = [&](const char* text) { return evaluateReportExpression(text, value, sum); };
    EXPECT_EQ(eval("2 + 3 * 4"), 14.0);
    EXPECT_EQ(eval("(2 + 3) * 4"), 20.0);
    EXPECT_EQ(eval("-A / 4 + 0.5"), -1.0);
    EXPECT_EQ(eval("A * 100 / SUM(A)"), 25.0);
    EXPECT_EQ(eval("A / B"), std::nullopt) << "a division by zero is no number";
    EXPECT_EQ(eval("A + N"), std::nullopt) << "a null operand makes the result null";
    for (const char* bad : {"A +", "A B", "(A", "SUM(2)", "", "A $ 2"})
        EXPECT_THROW(eval(bad), EHostError) << bad;

    TReportParams params({{"P_DTINI", TReportParamType::Date}, {"P_DTFIM", TReportParamType::Date}});
    params.ParamByName("P_DTINI").SetAsDateTime(QDateTime(QDate(2026, 11, 30), QTime(0, 0)));
    params.ParamByName("P_DTFIM").SetAsDate(QDate(2026, 12, 6));
    const auto days = evaluateReportExpression(
        "P_DTFIM - P_DTINI + 1", [&](const QString& n) { return reportParamNumber(params.ParamByName(n)); }, sum);
    EXPECT_EQ(days, 7.0) << "dates count as day numbers";

    const std::map<QString, QString> fields = {{"D", "2026-11-30"}, {"H", "0730"}, {"Q", "1234.5"}, {"G", ""}, {"R", "2.675"}};
    auto field = [&](const QString& n) -> std::optional<QString> {
        const auto it = fields.find(n);
        return it == fields.end() ? std::nullopt : std::optional<QString>(it->second);
    };
    EXPECT_EQ(fillReportTemplate("{D:date} - {D:weekday}, {H:time}", field), "30/11/2026 - Segunda, 07:30");
    EXPECT_EQ(fillReportTemplate("Grupo: {G|Todos}; {X|-}; {Q:number2} g", field), "Grupo: Todos; -; 1.234,50 g");
    EXPECT_EQ(fillReportTemplate("{sem fim", field), "{sem fim");
    EXPECT_EQ(fillReportTemplate("{R:number2}", field), "2,68") << "the decimal half rounds up, as in the grid";
    EXPECT_EQ(FormatFixed(-0.001, 2), "0,00") << "no negative zero";
    EXPECT_EQ(FormatFixed(1234567.891, 1), "1.234.567,9");
}

namespace {

// Days, services and items with two amounts per item (key A twice for the
// first item: two sources of one nutrient).
protocol::DataPacket crossTabRows() {
    using protocol::FieldType;
    protocol::DataPacket p;
    p.fields = {{"DIA", FieldType::Date, 0},   {"SERV", FieldType::String, 5}, {"SEQ", FieldType::String, 3},
                {"NOME", FieldType::String, 20}, {"QT", FieldType::Float, 0},   {"K", FieldType::String, 3},
                {"NMK", FieldType::String, 10}, {"UN", FieldType::String, 3},  {"V", FieldType::Float, 0}};
    auto row = [&](const char* day, const char* serv, const char* seq, const char* name, double qt, const char* k, double v) {
        protocol::Row r = {day, serv, seq, name, qt, nullptr, nullptr, nullptr, nullptr};
        if (k) r[5] = k, r[6] = std::string("Nutr ") + k, r[7] = "mg", r[8] = v;
        p.rows.push_back(r);
    };
    row("2026-11-30", "S1", "001", "Arroz", 100, "A", 1);
    row("2026-11-30", "S1", "001", "Arroz", 100, "A", 2);
    row("2026-11-30", "S1", "001", "Arroz", 100, "B", 5);
    row("2026-11-30", "S1", "002", "Água", 200, nullptr, 0);
    row("2026-11-30", "S2", "001", "Pão", 50, "A", 1);
    row("2026-12-01", "S1", "001", "Maçã", 130, "B", 2);
    return p;
}

const char* const kCrossTab = R"j({
  "title": "Cruzado",
  "query": {"sql": "SELECT 1", "params": [{"name": "P_DTINI", "type": "date"}, {"name": "P_DTFIM", "type": "date"}]},
  "pivot": {"key": "K", "caption": "NMK", "unit": "UN", "value": "V", "rowKey": ["DIA", "SERV", "SEQ"], "width": %1},
  "computed": [{"field": "METADE", "expression": "QT / 2"}],
  "columns": [{"field": "NOME", "width": 40}, {"field": "QT", "format": "number", "decimals": 1, "width": 20},
              {"field": "METADE", "format": "number", "decimals": 1, "width": 20}],
  "groups": [{"field": "DIA", "header": "Dia {DIA:date}", "footer": "Total do dia {DIA:date}"},
             {"field": "SERV", "footer": "Total {SERV}"}],
  "sums": ["QT"],
  "totalCaption": "Total do período",
  "endLines": [{"caption": "Média diária", "expressions": ["QT / (P_DTFIM - P_DTINI + 1)"], "pivot": "VALUE / (P_DTFIM - P_DTINI + 1)"}]
})j";

QStringList renderedLines(double pivotWidth) {
    const auto layout = TReportLayout::parse(QString(kCrossTab).arg(pivotWidth).toUtf8(), "ZEP126_x.json");
    TReportData data;
    data.tables = {crossTabRows()};
    data.params.emplace_back(layout.params);
    data.params[0].ParamByName("P_DTINI").SetAsDate(QDate(2026, 11, 30));
    data.params[0].ParamByName("P_DTFIM").SetAsDate(QDate(2026, 12, 1));
    auto document = makeReportDocument(layout, data);
    QStringList lines = document->toPlainText().split('\n');
    for (QString& l : lines) l = l.trimmed();
    lines.removeAll(QString());
    return lines.mid(2);  // after the title and the printing time
}

}  // namespace

TEST(ReportEngine, CrossTabFoldsLinesIntoRowsUnderNestedGroups) {
    const QStringList c = renderedLines(17);  // two keys fit as columns
    const QStringList expected = {
        "NOME", "QT", "METADE", "Nutr A (mg)", "Nutr B (mg)",
        "Dia 30/11/2026", "S1",
        "Arroz", "100,0", "50,0", "3,00", "5,00",
        "Água", "200,0", "100,0",
        "Total S1", "300,0", "3,00", "5,00",
        "S2", "Pão", "50,0", "25,0", "1,00",
        "Total S2", "50,0", "1,00", "0,00",
        "Total do dia 30/11/2026", "350,0", "4,00", "5,00",
        "NOME", "QT", "METADE", "Nutr A (mg)", "Nutr B (mg)",  // each day a table with its headers
        "Dia 01/12/2026", "S1", "Maçã", "130,0", "65,0", "2,00",
        "Total S1", "130,0", "0,00", "2,00",
        "Total do dia 01/12/2026", "130,0", "0,00", "2,00",
        "Total do período", "480,0", "4,00", "7,00",
        "Média diária", "240,0", "2,00", "3,50",
        "Registros: 4"};
    EXPECT_EQ(c.join('|').toStdString(), expected.join('|').toStdString());

    // Keys that do not fit go to a band of columns under each row and each
    // sum, titled in the table's head under the columns' titles.
    const QString lines = renderedLines(200).join('\n');
    EXPECT_TRUE(lines.startsWith("NOME\nQT\nMETADE\nNutr A (mg)\nNutr B (mg)\nDia 30/11/2026")) << lines.toStdString();
    EXPECT_TRUE(lines.contains("Arroz\n100,0\n50,0\n3,00\n5,00\nÁgua"));
    EXPECT_TRUE(lines.contains("Média diária\n240,0\n2,00\n3,50")) << "the daily averages of the keys";
    EXPECT_EQ(lines.count("Nutr A (mg)"), 2) << "once per table (one per day)";
}

// A cell taller than a page runs on to the next: each of its lines is printed
// on one page only, none drawn again (clipped) under the next page's header.
TEST(ReportEngine, NothingOfAPageIsDrawnAgainOnTheNext) {
    const auto layout = TReportLayout::parse(R"j({"title": "Notas", "query": {"sql": "SELECT 1"},
        "columns": [{"field": "NOTA", "caption": "Nota", "width": 40}]})j", "ZEP126_n.json");
    protocol::DataPacket p;
    p.fields = {{"NOTA", protocol::FieldType::String, 0}};
    int word = 0;
    for (int r = 0; r < 3; ++r) {
        QStringList words;
        for (int w = 0; w < 1500; ++w) words << QString("p%1").arg(++word, 4, 10, QChar('0'));
        p.rows.push_back({words.join(' ').toStdString()});
    }
    TReportData data;
    data.tables = {p};
    data.header = {"Cabeçalho da página"};
    const auto document = makeReportDocument(layout, data);
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    setupReportPrinter(printer, *document);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("notas.pdf"));
    printReportDocument(*document, printer);

    QProcess extract;
    extract.start("pdftotext", {dir.filePath("notas.pdf"), "-"});
    ASSERT_TRUE(extract.waitForFinished(30000));
    const QStringList pages = QString::fromUtf8(extract.readAllStandardOutput()).split('\f', Qt::SkipEmptyParts);
    ASSERT_GT(pages.size(), 2) << "the cells run over pages";
    std::map<QString, int> printed;
    static const QRegularExpression token("p\\d{4}");
    for (const QString& page : pages)
        for (auto it = token.globalMatch(page); it.hasNext();) ++printed[it.next().captured()];
    EXPECT_EQ(printed.size(), static_cast<size_t>(word)) << "every word is printed";
    int twice = 0;
    for (const auto& [w, n] : printed) twice += n > 1;
    EXPECT_EQ(twice, 0) << "words printed more than once";
}

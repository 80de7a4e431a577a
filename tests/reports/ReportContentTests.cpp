// The shipped layouts of report code ZEP126 over the demo week, on SQLite and
// PostgreSQL: the printed values against values worked out by hand, and the
// nutrient totals against the calculation server's.
#include "ServerFixture.h"

#include "catalog/FoodWarnings.h"
#include "db/Query.h"

#include "host/connection/HostDatabase.h"
#include "host/connection/NetConnection.h"
#include "host/routines/Consiste.h"
#include "host/core/Failures.h"
#include "host/core/Session.h"
#include "host/reports/ReportDesigner.h"
#include "host/reports/ReportLayout.h"
#include "host/core/BrNumber.h"
#include "host/reports/ReportRender.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocument>

#include <map>

using namespace hostfw;

namespace {

const char* const kAllServices = "_00001_00002_00003_00004_00005_00006_";
const QDate kWeekStart(2026, 11, 30), kWeekEnd(2026, 12, 6);

QString allNutrients() {
    QString list = "_";
    for (int i = 1; i <= 27; ++i) list += QString("%1_").arg(i, 3, 10, QChar('0'));
    return list;
}

TReportLayout shipped(int number) {
    return TReportLayout::load(QString("%1/ZEP126_%2.json").arg(INQUERITO_LAYOUTS_DIR).arg(number));
}

// Runs a program and answers its standard output; fails the test when it cannot run.
QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " failed: " << p.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

// A number of a packet, whatever type the engine reported for the expression.
double num(const protocol::Value& v) { return v.is_string() ? std::stod(v.get<std::string>()) : v.get<double>(); }

// The line of the text holding `label`, blanks collapsed.
QString lineWith(const QString& text, const QString& label) {
    for (const QString& line : text.split('\n'))
        if (line.simplified().contains(label)) return line.simplified();
    return {};
}

class ReportContentTest : public testsupport::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (IsSkipped()) return;
        server_ = std::make_unique<testsupport::RunningServer>(db_->url());
        closeHostDatabase();
        session() = HostSession();
        session().databaseUrl = QString::fromStdString(db_->url().toString());
        session().operatorCode = "DEMO";
        session().operatorName = "Operador Demonstração";
        session().serverPort = server_->port();
        // As the report screen hands it in.
        designer_.SqlFragments["AVISO_ITEM"] = QString::fromStdString(catalog::itemWarningMarks("I"));
    }
    void TearDown() override {
        closeHostDatabase();
        session() = HostSession();
        server_.reset();
    }

    // The seven parameters as the report screen fills them.
    void choose(const QString& nutrients, const QString& services, QDate from = kWeekStart, QDate to = kWeekEnd,
                const QString& group = QString()) {
        designer_.BeforeGetQueryParams = [=](TReportParams& p) {
            const std::pair<const char*, QString> texts[] = {{"P_CDFILIAL", "0001"},
                                                             {"P_CDPACIENTE", "000000000001"},
                                                             {"P_CDGRUPO", group},
                                                             {"P_CDNUTRIENTE", nutrients},
                                                             {"P_CDSERVFILI", services}};
            for (const auto& [name, value] : texts)
                if (p.ExistParam(name)) p.ParamByName(name).SetAsString(value);
            if (p.ExistParam("P_DTINI")) p.ParamByName("P_DTINI").SetAsDateTime(QDateTime(from, QTime(0, 0)));
            if (p.ExistParam("P_DTFIM")) p.ParamByName("P_DTFIM").SetAsDateTime(QDateTime(to, QTime(0, 0)));
        };
    }

    // A remote call as the calculation screen makes it.
    protocol::DataPacket calc(const QString& operation, std::vector<NetArg> args) {
        TNetConnection net(nullptr);
        net.ServerName = "Zep12610.rdmCalcular";
        net.Host = "127.0.0.1";
        net.Port = server_->port();
        net.Open();
        return protocol::DataPacket::fromJson(Consiste::CheckResultServ(net.AppServer(operation, std::move(args))));
    }

    std::unique_ptr<testsupport::RunningServer> server_;
    TReportDesignerDialog designer_{nullptr};
};

}  // namespace

// Demo week of patient 000000000001, energy (002), protein (004) and iron
// (014). By hand from the demo tables, e.g. "Pão, trigo, francês": 50 g of
// 300 kcal, 8 g protein and 1 mg iron per 100 g gives 150,00 kcal, 4,00 g and
// 0,50 mg. Monday 30/11: 1.840,0 g, 1.270,50 kcal, 73,47 g, 4,84 mg. The week:
// 11.295,0 g, 9.975,25 kcal, 542,14 g and 51,09 mg; per day (/7) 1.613,6 g,
// 1.425,04 kcal, 77,45 g and 7,30 mg.
TEST_P(ReportContentTest, MealLayoutPrintsTheWeekWithHandWorkedValues) {
    choose("_002_004_014_", kAllServices);
    QTemporaryDir dir;
    designer_.AskSaveFileName = [&](const QString&) { return dir.filePath("semana.pdf"); };
    const QString pdf = designer_.SaveAs(shipped(1));
    ASSERT_EQ(pdf, dir.filePath("semana.pdf"));
    const QString text = run("pdftotext", {"-layout", pdf, "-"});

    EXPECT_TRUE(text.contains("Inquérito do paciente por refeição"));
    EXPECT_TRUE(lineWith(text, "Paciente:").contains("000000000001 - Maria Aparecida Nogueira Campos"));
    EXPECT_TRUE(lineWith(text, "Filial:").contains("0001 - Hospital Central"));
    EXPECT_TRUE(lineWith(text, "Período:").contains("30/11/2026 a 06/12/2026"));
    EXPECT_TRUE(lineWith(text, "Grupo de nutriente:").contains("Todos"));
    EXPECT_TRUE(lineWith(text, "Operador:").contains("Operador Demonstração"));
    EXPECT_TRUE(QRegularExpression("Página 1 de [2-9]").match(text).hasMatch()) << "the week spans pages";
    EXPECT_TRUE(text.contains("Impresso em " + QDate::currentDate().toString("dd/MM/yyyy")));

    for (const char* day : {"30/11/2026 - Segunda", "01/12/2026 - Terça", "06/12/2026 - Domingo"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(day))) << day;
    EXPECT_TRUE(text.contains("Desjejum - 07:00"));
    EXPECT_TRUE(text.contains("Almoço - 12:00"));
    EXPECT_EQ(lineWith(text, "Pão, trigo, francês"), "Pão, trigo, francês Produto Unidade 1,00 50,0 150,00 4,00 0,50");
    EXPECT_TRUE(lineWith(text, "Frango grelhado com legumes").startsWith("Frango grelhado com legumes M Prato Porção 1,00 270,0"));
    EXPECT_EQ(lineWith(text, "Total do dia 30/11/2026"), "Total do dia 30/11/2026 1.840,0 1.270,50 73,47 4,84");
    EXPECT_EQ(lineWith(text, "Total do período"), "Total do período 11.295,0 9.975,25 542,14 51,09");
    EXPECT_EQ(lineWith(text, "Média diária 1."), "Média diária 1.613,6 1.425,04 77,45 7,30");
    // The closing table repeats the totals per nutrient with the same numbers.
    EXPECT_EQ(lineWith(text, "Energia (kcal) 9.975,25"), "002 Energia (kcal) 9.975,25 1.425,04 kcal");
    EXPECT_EQ(lineWith(text, "Ferro 51,09"), "014 Ferro 51,09 7,30 mg");

    if (GetParam() == db::Engine::SQLite) {  // the first page as an image, to be looked at
        const QString shots = QCoreApplication::applicationDirPath() + "/screenshots";
        QDir().mkpath(shots);
        run("pdftoppm", {"-f", "1", "-l", "1", "-r", "80", "-png", "-singlefile", pdf, shots + "/report_zep126_1_page1"});
        EXPECT_TRUE(QFile::exists(shots + "/report_zep126_1_page1.png"));
        QFile::remove(shots + "/report_zep126_1.pdf");
        QFile::copy(pdf, shots + "/report_zep126_1.pdf");
    }
}

// The marks of the items grid, by the same rules, on each item's own day:
// patient 1 does not tolerate milk and takes levothyroxine (calcium); her
// diabetes restricts sugars. Spironolactone (potassium) starts on 20/11.
TEST_P(ReportContentTest, MealLayoutMarksClashingItemsWithTheirLegend) {
    choose("_002_", kAllServices);
    QTemporaryDir dir;
    designer_.AskSaveFileName = [&](const QString&) { return dir.filePath("avisos.pdf"); };
    const QString text = run("pdftotext", {"-layout", designer_.SaveAs(shipped(1)), "-"});
    // pdftotext may close the narrow gap between marks ("I M" reads "IM").
    EXPECT_TRUE(QRegularExpression("^Leite, de vaca, integral I ?M Produto ").match(lineWith(text, "Leite, de vaca, integral")).hasMatch())
        << lineWith(text, "Leite, de vaca, integral").toStdString();
    EXPECT_TRUE(lineWith(text, "Pão, trigo, francês").startsWith("Pão, trigo, francês Produto"));
    EXPECT_TRUE(lineWith(text, "Frango grelhado com legumes").startsWith("Frango grelhado com legumes M Prato"));
    EXPECT_TRUE(text.simplified().contains(
        "Aviso: R = restrição alimentar da dieta (diagnóstico do paciente no dia); I = intolerância do paciente; "
        "M = interação com medicamento em uso no dia."));

    // Restricted items are marked while the diagnoses hold, and not once they start after the week.
    const auto restricted = [](const QString& report) {
        static const QRegularExpression mark(" R( ?I)?( ?M)? (Produto|Prato) ");
        int n = 0;
        for (const QString& line : report.split('\n')) n += mark.match(line.simplified() + ' ').hasMatch();
        return n;
    };
    EXPECT_GT(restricted(text), 0);
    db::execute(sql(), "UPDATE PACIDIAG SET DTINIDIAG = '2026-12-07' WHERE CDPACIENTE = '000000000001'", {});
    EXPECT_EQ(restricted(run("pdftotext", {"-layout", designer_.SaveAs(shipped(1)), "-"})), 0);

    // A screen that does not hand the rules in gets a clear refusal, no report.
    designer_.SqlFragments.clear();
    try {
        designer_.SaveAs(shipped(1));
        ADD_FAILURE() << "a layout needing {{AVISO_ITEM}} ran without it";
    } catch (const EHostError& e) {
        EXPECT_EQ(e.message(), "A consulta do relatório 'Inquérito do paciente por refeição' usa o trecho {{AVISO_ITEM}}, "
                               "que esta tela não fornece.");
    }
}

TEST_P(ReportContentTest, EveryNutrientChosenGoesUnderEachItemAndServicesFilter) {
    choose(allNutrients(), "_00003_", kWeekStart, kWeekStart);
    const QString text = designer_.BuildDocument(shipped(1))->toPlainText();
    EXPECT_TRUE(text.contains("Almoço - 12:00"));
    EXPECT_FALSE(text.contains("Desjejum")) << "only the chosen service";
    EXPECT_FALSE(text.contains("01/12/2026")) << "only the chosen days";
    // 27 nutrients do not fit as columns: they go in bands of columns under
    // each item, titled once in the table's head.
    EXPECT_EQ(text.count("Energia (kJ)"), 2) << "the item table's head and the closing table";
    EXPECT_TRUE(text.contains("Energia (kcal)\nEnergia (kJ)")) << "side by side in one band";
    EXPECT_TRUE(text.contains("\n274,50\n")) << "the item's energy under its title";

    if (GetParam() == db::Engine::SQLite) {  // to be looked at
        const QString shots = QCoreApplication::applicationDirPath() + "/screenshots";
        QDir().mkpath(shots);
        designer_.AskSaveFileName = [&](const QString&) { return shots + "/report_zep126_1_all_nutrients.pdf"; };
        designer_.SaveAs(shipped(1));
    }

    choose("_", kAllServices);  // "Todos" over an empty query: items without amounts
    const QString none = designer_.BuildDocument(shipped(1))->toPlainText();
    EXPECT_TRUE(none.contains("Pão, trigo, francês"));
    EXPECT_FALSE(none.contains("Energia"));
}

// The report and the calculation screen read the same amounts.
TEST_P(ReportContentTest, NutrientTotalsEqualTheCalculationServer) {
    struct Choice {
        QString services;
        QDate from, to;
    };
    // The last choice runs a week past the recorded one: its empty days do not
    // lower the daily average.
    for (const Choice& c : {Choice{kAllServices, kWeekStart, kWeekEnd}, Choice{"_00003_00005_", kWeekStart.addDays(1), kWeekStart.addDays(3)},
                            Choice{"_00006_", kWeekStart, kWeekEnd.addDays(7)}}) {
        SCOPED_TRACE(c.services.toStdString());
        choose(allNutrients(), c.services, c.from, c.to);
        const TReportData data = designer_.Generate(shipped(2));
        ASSERT_EQ(data.tables.size(), 2u);
        std::map<std::string, double> report;
        const auto& totals = data.tables[0];
        for (size_t r = 0; r < totals.rows.size(); ++r)
            report[totals.at(r, "CDNUTRIENTE").get<std::string>()] = num(totals.at(r, "QTTOTAL"));
        ASSERT_EQ(report.size(), 27u);

        QString nutrients = allNutrients(), services = c.services;
        const auto calc = this->calc("GetCalc", {"000000000001", c.from, c.to, "0001", "", NetArg::ref(nutrients),
                                                 NetArg::ref(services)});
        ASSERT_GT(calc.rows.size(), 15u);
        for (size_t r = 0; r < calc.rows.size(); ++r) {
            const std::string code = calc.at(r, "CDNUTRIENTE").get<std::string>();
            const double expected = calc.at(r, "TOTAL").get<double>();
            EXPECT_NEAR(report[code], expected, 1e-9 * std::max(1.0, expected)) << code;
        }
        // One daily average: over the days holding an item, as the calculation screen divides.
        QString daysServices = c.services;
        const auto days = this->calc("GetDiasInq", {"000000000001", c.from, c.to, "0001", NetArg::ref(daysServices)});
        const int recorded = days.at(0, "NRDIAS").get<int>();
        ASSERT_GT(recorded, 0);
        if (c.to > kWeekEnd)
            EXPECT_LT(recorded, c.from.daysTo(c.to) + 1) << "a period with empty days tells the two definitions apart";
        for (size_t r = 0; r < totals.rows.size(); ++r)
            EXPECT_EQ(num(totals.at(r, "NRDIAS")), recorded);
        const QString shown = makeReportDocument(shipped(2), data)->toPlainText();
        const qsizetype energyRow = shown.indexOf("Energia (kcal)");
        ASSERT_GE(energyRow, 0);
        const QStringList energyCells = shown.mid(energyRow).split('\n', Qt::SkipEmptyParts);
        ASSERT_GE(energyCells.size(), 3);
        EXPECT_EQ(energyCells[2].trimmed(), FormatFixed(report["002"] / recorded, 2)) << "energy per day";

        const auto macro = this->calc("getMacro", {"000000000001", c.from, c.to, "0001", NetArg::ref(services)});
        ASSERT_EQ(macro.rows.size(), 4u);
        const auto& energy = data.tables[1];
        ASSERT_EQ(energy.rows.size(), 4u);
        double kcal = 0;
        for (size_t r = 0; r < 4; ++r) {
            EXPECT_EQ(energy.at(r, "CDNUTRIENTE"), macro.at(r, "CDNUTRIENTE")) << "carbohydrate, protein, lipid, alcohol";
            EXPECT_NEAR(num(energy.at(r, "QTTOTAL")), macro.at(r, "TOTAL").get<double>(), 1e-9 * 1e4);
            kcal += macro.at(r, "QTCALOTOT").get<double>();
        }
        const QString text = makeReportDocument(shipped(2), data)->toPlainText();
        const qsizetype at = text.indexOf("Valor energético total");
        ASSERT_GE(at, 0);
        const QStringList cells = text.mid(at).split('\n', Qt::SkipEmptyParts);
        ASSERT_GE(cells.size(), 4);
        EXPECT_EQ(cells[1].trimmed(), FormatFixed(kcal, 2)) << "total energy equals the server's 4/4/9/7 sum";
        EXPECT_EQ(cells[3].trimmed(), "100,0") << "the percentages add up";
    }
}

TEST_P(ReportContentTest, TotalsLayoutFitsOnePageWithTheEnergySplit) {
    choose("_002_004_005_007_008_", kAllServices, kWeekStart, kWeekEnd, "01");
    QTemporaryDir dir;
    designer_.AskSaveFileName = [&](const QString&) { return dir.filePath("totais.pdf"); };
    const QString pdf = designer_.SaveAs(shipped(2));
    const QString text = run("pdftotext", {"-layout", pdf, "-"});
    EXPECT_TRUE(lineWith(text, "Grupo de nutriente:").contains("Macronutrientes"));
    EXPECT_TRUE(text.contains("Página 1 de 1"));
    EXPECT_EQ(lineWith(text, "Energia (kcal) 9"), "002 Energia (kcal) 9.975,25 1.425,04 kcal");
    EXPECT_EQ(lineWith(text, "Proteína 542"), "004 Proteína 542,14 77,45 g");
    EXPECT_TRUE(lineWith(text, "Valor energético total").endsWith(" 100,0"));
    for (const char* macro : {"Carboidrato", "Proteína", "Lipídeos", "Álcool"})
        EXPECT_FALSE(lineWith(text, QString::fromUtf8(macro) + " ").isEmpty()) << macro;
    if (GetParam() == db::Engine::SQLite) {
        const QString shots = QCoreApplication::applicationDirPath() + "/screenshots";
        QDir().mkpath(shots);
        run("pdftoppm", {"-f", "1", "-l", "1", "-r", "80", "-png", "-singlefile", pdf, shots + "/report_zep126_2_page1"});
        EXPECT_TRUE(QFile::exists(shots + "/report_zep126_2_page1.png"));
    }
}

// Titles once per table, and again at the top of each page a table runs on to;
// never broken inside a word; nothing of a page drawn again on the next one;
// one day with every nutrient on a page or two.
TEST_P(ReportContentTest, TablesPrintTheirTitlesOncePerPageAndNothingTwice) {
    choose(allNutrients(), kAllServices);
    const auto totals = designer_.BuildDocument(shipped(2))->toPlainText();
    EXPECT_EQ(totals.count("Código"), 1) << "the 27-row nutrient table has one title line";
    EXPECT_EQ(totals.count("Macronutriente"), 1) << "the energy table has one title line";
    EXPECT_EQ(totals.count("Média diária"), 3) << "two column titles and the footnote";
    EXPECT_TRUE(totals.contains("Média diária: total do período dividido pelo número de dias do período que têm ao "
                                "menos um item registrado nos serviços escolhidos."));
    const auto meals = designer_.BuildDocument(shipped(1))->toPlainText();
    EXPECT_EQ(meals.count("Código"), 1) << "\"Totais e médias diárias do período\" has one title line";

    // The long week with every nutrient, printed.
    QTemporaryDir dir;
    designer_.AskSaveFileName = [&](const QString&) { return dir.filePath("longo.pdf"); };
    const QString pdf = designer_.SaveAs(shipped(1));
    const QStringList pages = run("pdftotext", {pdf, "-"}).split('\f', Qt::SkipEmptyParts);
    ASSERT_GT(pages.size(), 2);
    // The last line of a page is not drawn again, clipped, on the next one.
    const QStringList laidOut = run("pdftotext", {"-layout", pdf, "-"}).split('\f', Qt::SkipEmptyParts);
    for (int p = 1; p < laidOut.size(); ++p) {
        QStringList before = laidOut[p - 1].split('\n');
        for (QString& l : before) l = l.simplified();
        before.removeAll(QString());
        ASSERT_GE(before.size(), 2);
        const QString last = before[before.size() - 2];  // the line above the footer
        // Lines of amounts alone may repeat (a meal of one item totals its amounts).
        if (!last.contains(QRegularExpression("[A-Za-zÀ-ú]"))) continue;
        for (const QString& line : laidOut[p].split('\n'))
            EXPECT_NE(line.simplified(), last) << "page " << p + 1 << " repeats the end of page " << p;
    }
    QStringList seen;
    for (int p = 0; p < pages.size(); ++p) {
        const QStringList lines = pages[p].split('\n', Qt::SkipEmptyParts);
        // Each page but the last continues or starts a table of items: its titles are on it.
        if (p + 1 < pages.size()) EXPECT_TRUE(lines.contains("Porções")) << "page " << p + 1;
        // Items are listed once: a line of an item drawn twice would show here.
        for (const QString& line : lines)
            if (line.contains("Pão, trigo, francês")) seen << QString("%1").arg(p + 1);
    }
    const TReportData data = designer_.Generate(shipped(1));
    int eaten = 0;
    for (size_t r = 0; r < data.tables[0].rows.size(); ++r)
        eaten += data.tables[0].at(r, "NMITEM") == "Pão, trigo, francês";
    ASSERT_GT(eaten, 1);
    EXPECT_EQ(seen.size(), eaten) << "bread printed on pages " << seen.join(' ').toStdString();

    // Column titles in one piece: the seven nutrients with the longest words,
    // as many as the page's width takes as columns.
    choose("_006_007_011_012_016_023_024_", kAllServices);
    designer_.AskSaveFileName = [&](const QString&) { return dir.filePath("titulos.pdf"); };
    // NFKC turns the PDF's ligatures ("ﬂ") back into letters.
    const QString titles =
        run("pdftotext", {"-layout", designer_.SaveAs(shipped(1)), "-"}).normalized(QString::NormalizationForm_KC);
    for (const QString word : {"Colesterol", "Carboidrato", "Magnésio", "Manganês", "Potássio", "Riboflavina", "Piridoxina",
                               "Quantidade", "Porções"}) {
        EXPECT_TRUE(titles.contains(word)) << word.toStdString();
        for (qsizetype n = 4; n < word.size(); ++n)
            EXPECT_FALSE(QRegularExpression("(?<!\\w)" + word.left(n) + "(?!\\w)", QRegularExpression::UseUnicodePropertiesOption)
                             .match(titles)
                             .hasMatch())
                << word.toStdString() << " broken after " << n << " letters";
    }

    // One day with every nutrient: three pages (five as one paragraph of amounts per item).
    choose(allNutrients(), kAllServices, kWeekStart, kWeekStart);
    designer_.AskSaveFileName = [&](const QString&) { return dir.filePath("dia.pdf"); };
    const QString day = designer_.SaveAs(shipped(1));
    const QString dayText = run("pdftotext", {"-layout", day, "-"});
    EXPECT_TRUE(QRegularExpression("Página 1 de [1-3]\\b").match(dayText).hasMatch()) << lineWith(dayText, "Página 1").toStdString();
    if (GetParam() == db::Engine::SQLite) {
        const QString shots = QCoreApplication::applicationDirPath() + "/screenshots";
        QDir().mkpath(shots);
        run("pdftoppm", {"-r", "70", "-png", day, shots + "/report_zep126_1_one_day"});
        run("pdftoppm", {"-f", "2", "-l", "3", "-r", "70", "-png", pdf, shots + "/report_zep126_1_long"});
    }
}

INQUERITO_ENGINES(ReportContentTest);

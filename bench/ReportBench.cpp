// Measures the survey report on this machine: a 31-day survey period with the
// six meal services a day filled from the demo week (the days repeat), on a
// scratch SQLite database; the time from the parameters to the document the
// preview shows (queries and rendering), for both shipped layouts, and the
// time the preview then takes to paint every page. Wall and CPU times: on a
// busy machine the CPU time says more.
// Usage: report_bench [runs]
#include "db/Database.h"
#include "db/Query.h"
#include "db/Schema.h"
#include "host/connection/HostDatabase.h"
#include "host/core/Session.h"
#include "host/reports/ReportDesigner.h"
#include "host/reports/ReportLayout.h"
#include "host/reports/ReportRender.h"

#include <QApplication>
#include <QDate>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextDocument>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

const QDate kStart(2027, 1, 1), kEnd(2027, 1, 31);
const char* const kPatient = "000000000003";

// The demo week of patient 000000000001, day by day, copied over 31 days of a new period of patient 3.
int fillMonth(soci::session& s) {
    db::execute(s, "INSERT INTO INQUERPACI (CDFILIAL, CDPACIENTE, DTINIINQU, DTFININQU) VALUES ('0001', :P, :I, :F)",
                {{"P", kPatient}, {"I", kStart.toString(Qt::ISODate).toStdString()}, {"F", kEnd.toString(Qt::ISODate).toStdString()}});
    int items = 0;
    soci::transaction tx(s);
    for (QDate day = kStart; day <= kEnd; day = day.addDays(1)) {
        const QDate source = QDate(2026, 11, 30).addDays(kStart.daysTo(day) % 7);
        items += static_cast<int>(db::execute(
            s,
            "INSERT INTO ITINQUERPACI (CDFILIAL, CDPACIENTE, DTINIINQU, DTFININQU, CDSERVFILI, DTINQUERITO, NRSEQUINQUER, "
            "IDTIPOINQUER, CDPRODUTO, CDPRATO, CDFILAUXPRAT, CDMEDICASE, QTALIMMEDCAS, QTALIMINQUER, HRSERVINQ) "
            "SELECT CDFILIAL, :P, :I, :F, CDSERVFILI, :D, NRSEQUINQUER, IDTIPOINQUER, CDPRODUTO, CDPRATO, CDFILAUXPRAT, "
            "CDMEDICASE, QTALIMMEDCAS, QTALIMINQUER, HRSERVINQ FROM ITINQUERPACI "
            "WHERE CDPACIENTE = '000000000001' AND DTINQUERITO = :S",
            {{"P", kPatient},
             {"I", kStart.toString(Qt::ISODate).toStdString()},
             {"F", kEnd.toString(Qt::ISODate).toStdString()},
             {"D", day.toString(Qt::ISODate).toStdString()},
             {"S", source.toString(Qt::ISODate).toStdString()}}));
    }
    tx.commit();
    return items;
}

QString everyNutrient() {
    QString list = "_";
    for (int i = 1; i <= 27; ++i) list += QString("%1_").arg(i, 3, 10, QChar('0'));
    return list;
}

double cpuMsSince(std::clock_t start) { return 1000.0 * double(std::clock() - start) / CLOCKS_PER_SEC; }

struct Timing {
    double generate, render, total, cpu;
};

Timing measure(const hostfw::TReportDesignerDialog& designer, const hostfw::TReportLayout& layout, int runs) {
    std::vector<Timing> all;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        const std::clock_t cpu = std::clock();
        const hostfw::TReportData data = designer.Generate(layout);
        const double generated = msSince(start);
        const auto document = hostfw::makeReportDocument(layout, data);
        const double total = msSince(start);
        all.push_back({generated, total - generated, total, cpuMsSince(cpu)});
    }
    std::sort(all.begin(), all.end(), [](const Timing& a, const Timing& b) { return a.total < b.total; });
    return all[all.size() / 2];  // the median run
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;

    QTemporaryDir dir;
    const auto url = db::DatabaseUrl::parse("sqlite:" + dir.filePath("report.db").toStdString());
    int items = 0;
    {
        auto s = db::openSession(url);
        db::initializeDatabase(*s);
        items = fillMonth(*s);
    }
    hostfw::session().databaseUrl = QString::fromStdString(url.toString());
    hostfw::session().operatorCode = "DEMO";

    hostfw::TReportDesignerDialog designer(nullptr);
    QString nutrients = everyNutrient();
    designer.BeforeGetQueryParams = [&](hostfw::TReportParams& p) {
        const std::pair<const char*, QString> texts[] = {{"P_CDFILIAL", "0001"},
                                                         {"P_CDPACIENTE", kPatient},
                                                         {"P_CDGRUPO", ""},
                                                         {"P_CDNUTRIENTE", nutrients},
                                                         {"P_CDSERVFILI", "_00001_00002_00003_00004_00005_00006_"}};
        for (const auto& [name, value] : texts)
            if (p.ExistParam(name)) p.ParamByName(name).SetAsString(value);
        if (p.ExistParam("P_DTINI")) p.ParamByName("P_DTINI").SetAsDate(kStart);
        if (p.ExistParam("P_DTFIM")) p.ParamByName("P_DTFIM").SetAsDate(kEnd);
    };

    std::printf("Survey report, 31 days x 6 meal services, %d items, median of %d runs (SQLite):\n", items, runs);
    for (const auto& [file, list, what] : {std::tuple{"ZEP126_1.json", everyNutrient(), "27 nutrients (lines)"},
                                           std::tuple{"ZEP126_1.json", QString("_002_004_007_"), "3 nutrients (columns)"},
                                           std::tuple{"ZEP126_2.json", everyNutrient(), "27 nutrients"}}) {
        nutrients = list;
        const auto layout = hostfw::TReportLayout::load(QString(INQUERITO_LAYOUTS_DIR) + "/" + file);
        const Timing t = measure(designer, layout, runs);
        // What the preview then does to show the pages: lay out and paint every page (here into a PDF).
        const auto document = designer.BuildDocument(layout);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("preview.pdf"));
        hostfw::setupReportPrinter(printer, *document);
        const auto start = Clock::now();
        const std::clock_t cpu = std::clock();
        hostfw::printReportDocument(*document, printer);
        std::printf("  %-14s %-22s queries %6.1f ms + document %6.1f ms = %6.1f ms (CPU %6.1f ms) before preview; "
                    "painting the pages %6.1f ms (CPU %6.1f ms)\n",
                    file, what, t.generate, t.render, t.total, t.cpu, msSince(start), cpuMsSince(cpu));
    }
    hostfw::closeHostDatabase();
    return 0;
}

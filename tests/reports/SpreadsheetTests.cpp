// The nutrient spreadsheet against the real server and demo database: the
// confirm checks and their order, the lists sent, the discard rules, the
// expanded pivot and its sums, export read back, printing, and opening it
// from the survey screen's print menu.
#include "SurveyFixture.h"
#include "survey/HeaderPanel.h"
#include "survey/ItemsPage.h"
#include "survey/PeriodsPage.h"

#include "db/Query.h"
#include "host/connection/HostDatabase.h"
#include "host/connection/NetConnection.h"
#include "host/controls/BtnPesquisa.h"
#include "host/controls/Buttons.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/core/Failures.h"
#include "host/data/DataSet.h"
#include "host/pivot/HierCube.h"
#include "host/pivot/HierCubeGrid.h"
#include "host/pivot/HierCubeGridPrint.h"
#include "host/pivot/HierCubeModel.h"
#include "reports/Cli_Zep12640.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <map>

using namespace hostfw;

namespace {

const QString kPatient = "000000000001";  // the demo patient with a recorded week

class SpreadsheetTest : public SurveyTest {
protected:
    void SetUp() override {
        SurveyTest::SetUp();
        openFor("0001", kPatient, "");
        ASSERT_TRUE(screen()->periods()->cdsInqPaci->Active());
        ASSERT_FALSE(screen()->periods()->cdsInqPaci->IsEmpty());
        ASSERT_TRUE(screen()->periods()->cdsInqPaci->Locate("DTINIINQU", {QDateTime(QDate(2026, 11, 30), QTime(0, 0))}));
    }
    void TearDown() override {
        delete sheet_;
        SurveyTest::TearDown();
    }
    // The screen as CriaInquNutr makes it for the survey screen's context,
    // shown without a modal loop.
    TfrmPlaInqNutr* openSheet() {
        sheet_ = new TfrmPlaInqNutr(screen()->surveyContext(), main_.get());
        guard([&] { sheet_->FormCreate(); });
        sheet_->show();
        sheet_->activateWindow();
        QApplication::setActiveWindow(sheet_);
        processEvents();
        return sheet_;
    }
    bool confirm() {
        dialogs_->clear();
        return guard([&] { sheet_->sbtConfirmaClick(); }) && dialogs_->shown.empty();
    }
    int shownRows() const { return sheet_->hcgInquNutri->Model()->rowCount(); }

    TfrmPlaInqNutr* sheet_ = nullptr;
};

}  // namespace

TEST_F(SpreadsheetTest, OpensOnThePeriodClosedAndConfirmsInOrder) {
    auto* s = openSheet();
    EXPECT_EQ(s->windowTitle(), "Planilha Inquérito por Nutriente");
    EXPECT_EQ(s->lblCodTela->text(), "ZEP12640");
    EXPECT_EQ(s->depIni->Date(), QDate(2026, 11, 30));
    EXPECT_EQ(s->depFim->Date(), QDate(2026, 12, 6));
    EXPECT_FALSE(s->cdsInquNutr->Active());
    EXPECT_FALSE(s->btnNutriente->isEnabled());

    // The focused group is checked before anything else, even bad dates.
    s->depFim->SetDate(QDate(2026, 11, 1));
    focus(s->edtGrupo);
    s->edtGrupo->SetText("9");
    EXPECT_FALSE(confirm());
    EXPECT_EQ(dialogs_->lastText(), "Grupo de nutriente não cadastrado.");
    EXPECT_EQ(s->edtGrupo->Text(), "09") << "the code is brought to two digits first";
    EXPECT_EQ(QApplication::focusWidget(), s->edtGrupo);

    s->edtGrupo->SetText("1");
    EXPECT_FALSE(confirm());
    EXPECT_EQ(s->edtGrupo->Text(), "01");
    EXPECT_EQ(s->edtNmGrupo->Text(), "Macronutrientes");
    EXPECT_EQ(dialogs_->lastText(), "Data inicial deve ser menor ou igual a data final.");
    EXPECT_TRUE(s->depIni->isAncestorOf(QApplication::focusWidget()) || s->depIni->hasFocus());

    s->depIni->Clear();
    EXPECT_FALSE(confirm());
    EXPECT_EQ(dialogs_->lastText(), "Data inicial deve ser informada.");
    s->depIni->SetDate(QDate(2026, 11, 30));
    s->depFim->Clear();
    EXPECT_FALSE(confirm());
    EXPECT_EQ(dialogs_->lastText(), "Data final deve ser informada.");

    // Equal dates pass.
    s->depFim->SetDate(QDate(2026, 11, 30));
    s->rbtLNutri->click();
    EXPECT_TRUE(s->btnNutriente->isEnabled());
    EXPECT_FALSE(confirm());
    EXPECT_EQ(dialogs_->lastText(), "Nutriente deve ser informado.");
    EXPECT_EQ(QApplication::focusWidget(), s->rbtLNutri);
    s->rbtTNutri->click();
    s->rbtLServ->click();
    EXPECT_FALSE(confirm());
    EXPECT_EQ(dialogs_->lastText(), "Serviço deve ser informado.");
    EXPECT_EQ(QApplication::focusWidget(), s->rbtLServ);
    s->rbtTServ->click();
    EXPECT_TRUE(confirm()) << dialogs_->lastText().toStdString();
    EXPECT_GT(shownRows(), 1);
}

TEST_F(SpreadsheetTest, AllListsHoldEveryCodeInCodeOrder) {
    auto* s = openSheet();
    s->edtGrupo->SetText("01");
    ASSERT_TRUE(confirm()) << dialogs_->lastText().toStdString();
    // The group's nutrients and every service of the branch, as sent.
    const auto codes = [](const QString& sql) {
        QStringList out;
        auto q = db::query(hostDatabase(), sql.toStdString(), {}, {{"C", protocol::FieldType::String, 5}});
        for (const auto& row : q.rows) out << QString::fromStdString(row[0].get<std::string>());
        return "_" + out.join('_') + "_";
    };
    EXPECT_EQ(s->stListaNutriente,
              codes("SELECT CDNUTRIENTE AS C FROM NUTRIENTE WHERE CDGRUPNUTR = '01' ORDER BY CDNUTRIENTE"));
    EXPECT_EQ(s->stListaServico, codes("SELECT CDSERVFILI AS C FROM SERVICO WHERE CDFILIAL = '0001' ORDER BY CDSERVFILI"));
    EXPECT_TRUE(s->stListaNutriente.startsWith("_0") && s->stListaNutriente.endsWith("_"));
}

TEST_F(SpreadsheetTest, ShowsEveryLevelOpenWithSumsEqualToTheCalculation) {
    auto* s = openSheet();
    ASSERT_TRUE(confirm()) << dialogs_->lastText().toStdString();
    auto* grid = s->hcgInquNutri;
    const auto& cube = s->hcbInquNutr->Result();
    // Every level open: the deepest rows (quantities) are on show.
    const auto rows = grid->visibleRows();
    int deepest = 0;
    for (const auto& r : rows) deepest = std::max(deepest, r.depth);
    EXPECT_EQ(deepest, 4);
    EXPECT_EQ(rows.back().label, "Total");
    EXPECT_EQ(QApplication::focusWidget(), grid);

    // Sums at every level equal the reply rows added by hand.
    std::map<QString, double> byNutrient;
    for (int i = 0; i < s->cdsInquNutr->RecordCount(); ++i)
        byNutrient[s->cdsInquNutr->ValueAt(i, s->cdsInquNutr->FieldByName("NMNUTRIENTE")->Index()).toString()] +=
            s->cdsInquNutr->ValueAt(i, s->cdsInquNutr->FieldByName("TOTAL")->Index()).toDouble();
    for (int c = 0; c < cube.columns.size(); ++c)
        EXPECT_NEAR(cube.nodes[0].sums[size_t(c)], byNutrient[cube.columns[c]], 1e-6) << cube.columns[c].toStdString();
    for (const auto& node : cube.nodes) {
        if (node.children.empty()) continue;
        for (size_t c = 0; c < node.sums.size(); ++c) {
            double sum = 0;
            for (int child : node.children)
                if (!std::isnan(cube.nodes[size_t(child)].sums[c])) sum += cube.nodes[size_t(child)].sums[c];
            EXPECT_NEAR(node.sums[c], sum, 1e-6);
        }
    }

    // The period totals per nutrient equal the calculation's for the same choices.
    auto client = server_->client();
    const auto reply = client->call("Zep12610.rdmCalcular.GetCalc",
                                    {kPatient.toStdString(), "2026-11-30", "2026-12-06", "0001", "",
                                     s->stListaNutriente.toStdString(), s->stListaServico.toStdString()});
    const auto calc = protocol::DataPacket::fromJson(reply.data);
    ASSERT_FALSE(calc.rows.empty());
    int compared = 0;
    for (size_t r = 0; r < calc.rows.size(); ++r) {
        const QString name = QString::fromStdString(calc.at(r, "NUTRIENTE").get<std::string>());
        const int column = cube.columns.indexOf(name);
        if (column < 0) continue;
        EXPECT_NEAR(cube.nodes[0].sums[size_t(column)], calc.at(r, "TOTAL").get<double>(), 1e-6) << name.toStdString();
        ++compared;
    }
    EXPECT_GT(compared, 5);
}

TEST_F(SpreadsheetTest, AnEmptyReplyAndEveryFilterChangeLeaveNothingShown) {
    auto* s = openSheet();
    s->depIni->SetDate(QDate(2025, 1, 1));
    s->depFim->SetDate(QDate(2025, 1, 2));
    EXPECT_FALSE(confirm());
    EXPECT_EQ(dialogs_->lastText(), "Não existem dados suficientes para construção da planilha.");
    EXPECT_EQ(shownRows(), 0);
    EXPECT_EQ(dialogs_->busyDepth, 0) << "the busy indicator is always removed";

    auto load = [&] {
        s->depIni->SetDate(QDate(2026, 11, 30));
        s->depFim->SetDate(QDate(2026, 12, 6));
        s->edtGrupo->SetText("");
        s->rbtTNutri->click();
        s->rbtTServ->click();
        ASSERT_TRUE(confirm()) << dialogs_->lastText().toStdString();
        ASSERT_GT(shownRows(), 0);
    };
    load();
    s->depIni->SetDate(QDate(2026, 12, 1));
    EXPECT_EQ(shownRows(), 0) << "a date change";
    load();
    s->edtGrupo->SetText("02");
    EXPECT_EQ(shownRows(), 0) << "a group change";
    EXPECT_TRUE(s->edtNmGrupo->Text().isEmpty());
    load();
    s->rbtLServ->click();
    EXPECT_EQ(shownRows(), 0) << "a radio button";
    load();
    // Leaving the grid panel closes it; the focus moves as the user moves it.
    ASSERT_EQ(QApplication::focusWidget(), s->hcgInquNutri);
    focus(s->rbtTServ);
    EXPECT_FALSE(s->cdsInquNutr->Active());
    EXPECT_EQ(shownRows(), 0) << "leaving the grid panel";
    // Printing or exporting with nothing loaded says so.
    dialogs_->clear();
    guard([&] { s->sbtImprimirClick(); });
    EXPECT_EQ(dialogs_->lastText(), "Não existem dados suficientes para construção da planilha.");
}

TEST_F(SpreadsheetTest, ExportsAndPrintsWhatTheGridShows) {
    auto* s = openSheet();
    ASSERT_TRUE(confirm()) << dialogs_->lastText().toStdString();
    const auto rows = s->hcgInquNutri->visibleRows();
    QTemporaryDir dir;

    const QString xlsx = dir.filePath("planilha.xlsx");
    s->AskExportFile = [&](const QString& suggested) {
        EXPECT_TRUE(suggested.contains(kPatient));
        return xlsx;
    };
    dialogs_->clear();
    ASSERT_TRUE(guard([&] { s->sbtExportarClick(); }));
    ASSERT_TRUE(QFile::exists(xlsx));
    // Read back with a real XLSX reader: label, outline level and numbers of every row.
    QProcess py;
    py.start("/usr/bin/python3", {"-c",
                         "import openpyxl,sys\n"
                         "ws=openpyxl.load_workbook(sys.argv[1]).active\n"
                         "print(ws.freeze_panes)\n"
                         "for r in ws.iter_rows(min_row=2):\n"
                         "  lvl=ws.row_dimensions[r[0].row].outline_level\n"
                         "  print('%d|%s|%s|%s' % (lvl, r[0].value, r[1].value, r[1].number_format))\n",
                         xlsx});
    ASSERT_TRUE(py.waitForFinished(60000));
    const QStringList lines = QString::fromUtf8(py.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), int(rows.size()) + 1) << QString::fromUtf8(py.readAllStandardError()).toStdString();
    EXPECT_EQ(lines[0], "B2");
    for (size_t i = 0; i < rows.size(); ++i) {
        const QStringList parts = lines[int(i) + 1].split('|');
        ASSERT_EQ(parts.size(), 4);
        EXPECT_EQ(parts[0].toInt(), rows[i].depth);
        EXPECT_EQ(parts[1], rows[i].label);
        if (std::isnan(rows[i].values[0])) EXPECT_EQ(parts[2], "None");
        else EXPECT_NEAR(parts[2].toDouble(), rows[i].values[0], 1e-9);
        if (!std::isnan(rows[i].values[0])) EXPECT_EQ(parts[3], "#,##0.000");
    }

    const QString csv = dir.filePath("planilha.csv");
    s->AskExportFile = [&](const QString&) { return csv; };
    ASSERT_TRUE(guard([&] { s->sbtExportarClick(); }));
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList csvLines = QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(csvLines.size(), int(rows.size()) + 1);
    const QStringList total = csvLines.last().split(';');
    EXPECT_EQ(total[0], "Total");
    EXPECT_EQ(total[1].toStdString(), QString::number(rows.back().values[0], 'f', 3).replace('.', ',').toStdString());

    // Print preview paints the grid; saved as PDF it reads back as text.
    int previews = 0;
    s->PrintGrid->ShowPreview = [&](QPrinter& printer, const std::function<void(QPrinter*)>&) {
        ++previews;
        EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
    };
    ASSERT_TRUE(guard([&] { s->sbtImprimirClick(); }));
    EXPECT_EQ(previews, 1);
    const QString pdf = dir.filePath("planilha.pdf");
    s->PrintGrid->SavePdf(pdf);
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(60000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(printed.contains("Inquérito por Nutriente"));
    EXPECT_TRUE(printed.contains("Paciente: " + kPatient));
    const QString name = screen()->header()->edtNmPaciente->Text();
    ASSERT_FALSE(name.isEmpty());
    EXPECT_TRUE(printed.contains(name)) << "the patient's name comes with the survey's context";
    EXPECT_TRUE(printed.contains("Página 1 de"));
    EXPECT_TRUE(printed.contains("30/11/2026")) << "dates shown as a reader expects";
}

TEST_F(SpreadsheetTest, OpensFromThePrintMenuAndShowsThePivot) {
    // Through the survey screen's print menu, as a user does; the modal
    // screen is driven from inside its own loop.
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* s = frmPlaInqNutr;
        ASSERT_NE(s, nullptr);
        QTest::mouseClick(s->sbtConfirma, Qt::LeftButton);
        processEvents();
        seen = s->hcgInquNutri->visibleRows().size() > 10;
        s->resize(1100, 620);
        processEvents();
        const QString dir = QCoreApplication::applicationDirPath() + "/screenshots";
        QDir().mkpath(dir);
        s->grab().save(QDir(dir).filePath("spreadsheet.png"));
        QTest::mouseClick(s->sbtCancel, Qt::LeftButton);
    });
    auto* item = screen()->findChild<QAction*>("mnuPlaInqNutr");
    ASSERT_NE(item, nullptr);
    item->trigger();
    EXPECT_TRUE(seen) << dialogs_->lastText().toStdString();
    EXPECT_EQ(frmPlaInqNutr, nullptr);
}

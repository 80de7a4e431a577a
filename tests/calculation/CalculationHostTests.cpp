// A new user, through the desktop host with the real module and server, opens
// the demo patient's recorded week, opens the calculation, narrows it to one
// day and confirms: totals, VCT, percentages and the chart are shown.
#include "RealModuleHost.h"
#include "ServerFixture.h"
#include "hostapp/MainWindow.h"
#include "hostapp/ModuleLoader.h"
#include "hostapp/PatientsWindow.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QLocale>
#include <QMdiArea>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <QChartView>
#include <QLineSeries>
#include <QPieSeries>

using namespace hostapp;

namespace {

class CalculationHostTest : public RealModuleHostTest {
protected:

};

double number(QWidget* screen, const char* name) {
    return screen->findChild<QLineEdit*>(name)->text().remove('.').replace(',', '.').toDouble();
}

}  // namespace

TEST_F(CalculationHostTest, ANewUserCalculatesTheDemoWeekAndSeesTheEnergySplit) {
    PatientsWindow* patients = main->openPatients();
    ASSERT_TRUE(patients->selectPatient("000000000001"));
    patients->findChild<QPushButton*>("btnAbrirInquerito")->click();
    QApplication::processEvents();
    QWidget* survey = main->mdiArea()->findChild<QWidget*>("frmInquerito");
    ASSERT_NE(survey, nullptr);
    auto* calculate = survey->findChild<QToolButton*>("sbtCalculo");
    ASSERT_TRUE(calculate && calculate->isEnabled());

    QStringList seen;
    double vct = 0, shares = 0, kcal = 0;
    int slices = 0;
    QString protein;
    QString calcium, calciumShare, shareTitle;
    int dayPoints = -1;
    double dayKcal = -1;
    QTimer::singleShot(0, [&] {
        QWidget* screen = QApplication::activeModalWidget();
        if (!screen || screen->objectName() != "frmCalculo") return;
        for (const char* field : {"depPerIni", "depPerFim"})
            seen << screen->findChild<QWidget*>(field)->findChild<QLineEdit*>()->text();
        // The user narrows the period to the first day by the keyboard.
        for (const char* field : {"depPerIni", "depPerFim"}) {
            auto* edit = screen->findChild<QWidget*>(field)->findChild<QLineEdit*>();
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, "30112026");
        }
        QTest::mouseClick(screen->findChild<QToolButton*>("sbtConfirma"), Qt::LeftButton);
        QApplication::processEvents();
        vct = number(screen, "nedVct");
        for (const char* share : {"nedProt", "nedLipidio", "nedCarbo", "nedAlcool"}) shares += number(screen, share);
        auto* macro = screen->findChild<QTableView*>("dbgNutriente");
        for (int row = 0; row < macro->model()->rowCount(); ++row) {
            kcal += macro->model()->index(row, 1).data().toString().remove('.').replace(',', '.').toDouble();
            if (macro->model()->index(row, 0).data().toString() == "Proteína")
                protein = macro->model()->index(row, 2).data().toString();
        }
        if (auto* chart = screen->findChild<QChartView*>("chvEnergia"))
            if (auto* pie = qobject_cast<QPieSeries*>(chart->chart()->series().value(0))) slices = pie->count();
        // The micronutrients with their share of the recommendation, and the day chart.
        auto* micro = screen->findChild<QTableView*>("dbgMicro");
        const int shareColumn = micro->model()->columnCount() - 1;
        shareTitle = micro->model()->headerData(shareColumn, Qt::Horizontal).toString();
        for (int row = 0; row < micro->model()->rowCount(); ++row)
            if (micro->model()->index(row, 0).data().toString() == "Cálcio") {
                calcium = micro->model()->index(row, 1).data().toString();
                calciumShare = micro->model()->index(row, shareColumn).data().toString();
            }
        // The day chart, on its tab beside the split.
        if (auto* tabs = screen->findChild<QTabWidget*>("pgcGraficos")) {
            QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
            QApplication::processEvents();
            QDir().mkpath(QStringLiteral(HOSTAPP_TEST_OUTPUT_DIR "/screenshots"));
            screen->grab().save(QStringLiteral(HOSTAPP_TEST_OUTPUT_DIR "/screenshots/host-calculo-dias.png"));
            QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(0).center());
            QApplication::processEvents();
        }
        if (auto* days = screen->findChild<QChartView*>("chtDias"))
            if (auto* energy = qobject_cast<QLineSeries*>(days->chart()->series().value(0))) {
                dayPoints = energy->count();
                if (dayPoints == 1) dayKcal = energy->at(0).y();
            }
        const QString dir = QStringLiteral(HOSTAPP_TEST_OUTPUT_DIR "/screenshots");
        QDir().mkpath(dir);
        screen->grab().save(dir + "/host-calculo.png");
        QTest::mouseClick(screen->findChild<QToolButton*>("sbtCancel"), Qt::LeftButton);
    });
    QTest::mouseClick(calculate, Qt::LeftButton);
    QApplication::processEvents();

    ASSERT_EQ(seen, (QStringList{"30/11/2026", "06/12/2026"})) << "the recorded week";
    EXPECT_TRUE(dialogs->shown.empty()) << dialogs->lastText().toStdString();
    // Protein of 30/11/2026, all services: 73.4729286 g (see the server's tests).
    EXPECT_EQ(protein, QString("73,473"));
    EXPECT_GT(vct, 1000);
    EXPECT_NEAR(vct, kcal, 0.01) << "the VCT adds up the calories of the four rows";
    EXPECT_NEAR(shares, 100, 0.01);
    EXPECT_EQ(slices, 4);
    // One day of a woman of 68: calcium against its RDA of 1200 mg.
    EXPECT_EQ(shareTitle, QString("% da recomendação"));
    const double calciumMg = calcium.remove('.').replace(',', '.').toDouble();
    ASSERT_GT(calciumMg, 0);
    EXPECT_EQ(calciumShare, QLocale(QLocale::Portuguese, QLocale::Brazil).toString(calciumMg * 100 / 1200, 'f', 1));
    EXPECT_EQ(dayPoints, 1);
    EXPECT_NEAR(dayKcal, vct, 0.01) << "the one day is the period";
}

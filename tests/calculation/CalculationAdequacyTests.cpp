// The "% da recomendação" column and the per-day chart of the calculation
// screen, through the real server, against intakes worked out by hand.
//
// Patient 000000000001 is a woman of 68 on 30/11/2026: calcium RDA 1200 mg,
// UL 2000 mg. Her breakfast 00001 of 30/11/2026 holds 292.48 mg of calcium
// (CalculationEnergyTests): 24.37 % of the RDA on the one day.
#include "CalculationFixture.h"

#include "InqueritoTestSupport.h"
#include "TestDatabase.h"
#include "calculation/Adequacy.h"
#include "calculation/DayChart.h"
#include "db/Query.h"
#include "host/connection/HostDatabase.h"
#include "host/core/BrNumber.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/NumberEdit.h"
#include "host/data/DBGrid.h"
#include "host/data/DataSet.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLineSeries>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolTip>

#include <numeric>

using Level = calculation::Adequacy::Level;

// On each engine: the references and the per-day totals come from its SQL.
class CalculationAdequacyTest : public CalculationTest, public ::testing::WithParamInterface<db::Engine> {
protected:
    db::Engine engine() const override { return GetParam(); }
    int rowOf(const QString& nutrient) {
        for (int r = 0; r < calc()->cdsCalc->RecordCount(); ++r)
            if (calc()->cdsCalc->ValueAt(r, calc()->cdsCalc->FieldByName("NUTRIENTE")->Index()).toString() == nutrient)
                return r;
        ADD_FAILURE() << "no row " << nutrient.toStdString();
        return -1;
    }
    QRect percentCell(const QString& nutrient) {
        hostfw::TDBGrid* grid = calc()->dbgMicro;
        const int row = rowOf(nutrient);
        grid->scrollTo(grid->model()->index(row, 0));
        processEvents();
        const int column = grid->ColumnIndex("PCRECOMEND");
        return grid->visualRect(grid->model()->index(row, column));
    }
    // The colour drawn at the left of the cell (the number sits on the right).
    QColor cellColour(const QString& nutrient) {
        const QRect rect = percentCell(nutrient);
        const QImage image = calc()->dbgMicro->viewport()->grab().toImage();
        return image.pixelColor(rect.left() + 3, rect.center().y());
    }
    // What the user reads when the pointer rests on the cell.
    QString tooltipOver(const QString& nutrient) {
        QWidget* viewport = calc()->dbgMicro->viewport();
        const QPoint at = percentCell(nutrient).center();
        QHelpEvent help(QEvent::ToolTip, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &help);
        const QString text = QToolTip::text();
        QToolTip::hideText();
        return text;
    }
    void calculate(const QString& from, const QString& to, const QStringList& services = {}) {
        setPeriod(from, to);
        if (!services.isEmpty()) chooseServices(services);
        dialogs_->clear();
        confirm();
        ASSERT_TRUE(dialogs_->shown.empty()) << shownText().toStdString();
    }
};

TEST_P(CalculationAdequacyTest, ThePercentOfTheReferenceIsColouredBelowSeventyAndAboveTheLimit) {
    openCalculation();
    calculate("30/11/2026", "30/11/2026", {"00001"});
    // The background of a cell without a level, on a row that is not the current one.
    ASSERT_NE(rowOf("Energia (kJ)"), calc()->cdsCalc->CurrentRow());
    const QColor plain = cellColour("Energia (kJ)");
    EXPECT_EQ(calc()->dbgMicro->model()->headerData(calc()->dbgMicro->ColumnIndex("PCRECOMEND"), Qt::Horizontal),
              QString("% da recomendação"));
    EXPECT_EQ(cell(calc()->cdsCalc, "Cálcio", "PCRECOMEND"), QString("24,4"));  // 292,48 / 1200
    EXPECT_EQ(calc()->adequacyAt(rowOf("Cálcio")).level, Level::Low);
    const QColor low = cellColour("Cálcio");
    EXPECT_NE(low, plain);
    const QString lowTip = tooltipOver("Cálcio");
    EXPECT_TRUE(lowTip.contains("24,4 % da RDA de 1.200 mg/dia (DRI, mulheres de 51 a 70 anos)")) << lowTip.toStdString();
    EXPECT_TRUE(lowTip.contains("Abaixo de 70 % da recomendação.")) << lowTip.toStdString();

    // A nutrient the reference tables leave out shows nothing, and says why.
    EXPECT_EQ(cell(calc()->cdsCalc, "Energia (kJ)", "PCRECOMEND"), QString());
    EXPECT_EQ(calc()->adequacyAt(rowOf("Energia (kJ)")).level, Level::None);
    EXPECT_EQ(tooltipOver("Energia (kJ)"), QString("Sem valor de referência (DRI) para este nutriente."));

    // 100 g of a food with 2500 mg of calcium per 100 g at that breakfast:
    // 2792,48 mg, 232,7 % of the RDA and above the UL of 2000 mg.
    addProduct("T00901", "0999901", {{"010", 2500}});
    writeItem("00001", "2026-11-30", "0999901", 100);
    confirm();
    EXPECT_EQ(cell(calc()->cdsCalc, "Cálcio", "PCRECOMEND"), QString("232,7"));
    EXPECT_EQ(calc()->adequacyAt(rowOf("Cálcio")).level, Level::AboveLimit);
    const QColor above = cellColour("Cálcio");
    EXPECT_NE(above, plain);
    EXPECT_NE(above, low) << "a colour of its own";
    const QString aboveTip = tooltipOver("Cálcio");
    EXPECT_TRUE(aboveTip.contains("Acima do UL (limite superior tolerável) de 2.000 mg/dia.")) << aboveTip.toStdString();

    // Two days of breakfast: the mean counts the days with an item (30/11 and 01/12).
    calculate("30/11/2026", "01/12/2026");
    const double total = calc()->cdsCalc->Locate("NUTRIENTE", {"Cálcio"})
                             ? calc()->cdsCalc->FieldByName("TOTAL")->AsFloat()
                             : -1;
    ASSERT_EQ(calc()->recordedDays(), 2);
    EXPECT_EQ(cell(calc()->cdsCalc, "Cálcio", "PCRECOMEND"), hostfw::FormatFixed(total / 2 * 100 / 1200, 1));
}

// Without the patient's sex the column stays empty and says why; the rest of
// the calculation is unchanged.
TEST_P(CalculationAdequacyTest, APatientWithoutSexGetsNoPercentAndTheReason) {
    db::execute(hostfw::hostDatabase(), "UPDATE PACIENTE SET IDSEXOPACI = NULL WHERE CDPACIENTE = '000000000001'", {});
    openCalculation();
    calculate("30/11/2026", "30/11/2026", {"00001"});
    ASSERT_EQ(calc()->cdsCalc->RecordCount(), 22);
    for (const char* nutrient : {"Cálcio", "Ferro", "Vitamina C"}) {
        EXPECT_EQ(cell(calc()->cdsCalc, nutrient, "PCRECOMEND"), QString()) << nutrient;
        EXPECT_EQ(calc()->adequacyAt(rowOf(nutrient)).level, Level::None) << nutrient;
        EXPECT_EQ(tooltipOver(nutrient), QString("Sexo do paciente não informado no cadastro: sem referência."))
            << nutrient;
    }
    EXPECT_EQ(cell(calc()->cdsCalc, "Cálcio", "TOTAL"), QString("292,480"));
}

// One point per day with an item, the day's energy as the VCT counts it and
// its protein; target lines once the needs are recorded; emptied with the
// other results when the period changes.
TEST_P(CalculationAdequacyTest, TheDayChartHasOnePointPerDayAndTheTargets) {
    openCalculation();
    const QSize opened = calc()->size();
    calculate("30/11/2026", "06/12/2026");
    auto* energy = calc()->chtDias->energySeries();
    auto* protein = calc()->chtDias->proteinSeries();
    ASSERT_EQ(energy->count(), 7);
    ASSERT_EQ(protein->count(), 7);
    EXPECT_EQ(calc()->chtDias->dayLabels(),
              (QStringList{"30/11", "01/12", "02/12", "03/12", "04/12", "05/12", "06/12"}));
    EXPECT_NEAR(protein->at(0).y(), 73.4729286, 1e-6);  // the protein of 30/11/2026, worked out in the server tests
    double kcal = 0;
    for (const QPointF& p : energy->points()) kcal += p.y();
    EXPECT_NEAR(kcal, calc()->nedVct->GetNumber(), 0.01) << "the days add up to the week's VCT";
    EXPECT_TRUE(calc()->chtDias->targetSeries().empty()) << "no needs recorded";
    // The chart shares its place with the energy split, on a tab of its own.
    QTabBar* tabs = calc()->pgcGraficos->tabBar();
    EXPECT_EQ(tabs->tabText(1), QString("Energia e proteína por dia"));
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    processEvents();
    EXPECT_TRUE(calc()->chtDias->isVisible());
    EXPECT_EQ(calc()->size(), opened);
    saveCalcScreenshot("calculo-dias");

    // The snack alone: the three days it was served.
    chooseServices({"00002"});
    confirm();
    EXPECT_EQ(calc()->chtDias->energySeries()->count(), 3);
    EXPECT_EQ(calc()->chtDias->dayLabels(), (QStringList{"01/12", "03/12", "06/12"}));

    // Needs of the period: 30 kcal/kg x 60 kg = 1800 kcal, 1,2 g/kg x 60 kg = 72 g.
    server_->client()->call(inqtest::op("SetNecesNutr"), protocol::json::array({"000000000001", "0001", "2026-11-30",
                                                                                60, 160, "K", 1, 1, 30, 1.2, 50, 30,
                                                                                30}));
    click(calc()->rbtTodos);
    confirm();
    const auto targets = calc()->chtDias->targetSeries();
    ASSERT_EQ(targets.size(), 2u);
    for (QLineSeries* t : targets) ASSERT_EQ(t->count(), 14);  // a step of two points per day, all level
    for (const QPointF& p : targets[0]->points()) EXPECT_NEAR(p.y(), 1800, 1e-9);
    for (const QPointF& p : targets[1]->points()) EXPECT_NEAR(p.y(), 72, 1e-9);
    EXPECT_EQ(targets[0]->name(), QString("Meta de energia"));
    EXPECT_EQ(calc()->size(), opened);
    expectNothingClipped();
    saveCalcScreenshot("calculo-dias-metas");

    // Going back to the dates empties the chart with the grids.
    QTest::mouseClick(calc()->depPerIni->Edit(), Qt::LeftButton);
    processEvents();
    ASSERT_TRUE(calc()->depPerIni->isAncestorOf(QApplication::focusWidget()));
    EXPECT_TRUE(calc()->cdsCalc->IsEmpty());
    EXPECT_EQ(calc()->chtDias->energySeries()->count(), 0);
    EXPECT_EQ(calc()->chtDias->proteinSeries()->count(), 0);
    EXPECT_TRUE(calc()->chtDias->targetSeries().empty());
    EXPECT_TRUE(calc()->chtDias->dayLabels().isEmpty());
}

INQUERITO_ENGINES(CalculationAdequacyTest);

TEST(Adequacy, ShareLevelsAndTexts) {
    calculation::Reference calcium{1200.0, "RDA", 2000.0, "UL", "mulheres de 51 a 70 anos", "mg"};
    const auto low = calculation::adequacyOf(1679.99 * 2, 4, calcium, {});  // 839,995 a day
    EXPECT_NEAR(*low.percent, 69.99958, 1e-4);
    EXPECT_EQ(low.level, Level::Low);
    EXPECT_EQ(calculation::adequacyOf(840 * 4, 4, calcium, {}).level, Level::Adequate) << "70 % is enough";
    EXPECT_EQ(calculation::adequacyOf(2000 * 3, 3, calcium, {}).level, Level::Adequate) << "at the UL is not above it";
    EXPECT_EQ(calculation::adequacyOf(2000.5 * 3, 3, calcium, {}).level, Level::AboveLimit);
    // Sodium's limit is named as what it is.
    calculation::Reference sodium{1500.0, "AI", 2300.0, "CDRR", "homens de 19 a 30 anos", "mg"};
    const auto salty = calculation::adequacyOf(3000, 1, sodium, {});
    EXPECT_EQ(salty.level, Level::AboveLimit);
    EXPECT_TRUE(salty.tip.contains("200,0 % da AI de 1.500 mg/dia")) << salty.tip.toStdString();
    EXPECT_TRUE(salty.tip.contains("Acima do CDRR (redução de risco de doença crônica) de 2.300 mg/dia."));
    // A limit only (retinol): no percent, but the excess is marked.
    calculation::Reference retinol{std::nullopt, "", 3000.0, "UL", "homens de 19 a 30 anos", "mcg"};
    const auto liver = calculation::adequacyOf(3500, 1, retinol, {});
    EXPECT_FALSE(liver.percent);
    EXPECT_EQ(liver.level, Level::AboveLimit);
    EXPECT_EQ(calculation::adequacyOf(100, 1, retinol, {}).level, Level::None);
    // No days, no reference.
    EXPECT_FALSE(calculation::adequacyOf(500, 0, calcium, {}).percent);
    EXPECT_EQ(calculation::adequacyOf(500, 2, std::nullopt, "Motivo.").tip, QString("Motivo."));
}

// Totals, daily averages, VCT, percentages and chart through the real server,
// from the demo data and from items written through the server, each worked
// out by hand.
#include "CalculationFixture.h"

#include "calculation/EnergyChart.h"
#include "db/Query.h"
#include "host/connection/HostDatabase.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/NumberEdit.h"
#include "host/data/DataSet.h"

#include <QLabel>

namespace {

struct Split {
    const char* vct;
    const char* protein;
    const char* lipid;
    const char* carbohydrate;
    const char* alcohol;
};

}  // namespace

class CalculationEnergyTest : public CalculationTest {
protected:
    void expectSplit(const Split& s, const std::string& context) {
        EXPECT_EQ(numberText("nedVct"), QString(s.vct)) << context;
        EXPECT_EQ(numberText("nedProt"), QString(s.protein)) << context;
        EXPECT_EQ(numberText("nedLipidio"), QString(s.lipid)) << context;
        EXPECT_EQ(numberText("nedCarbo"), QString(s.carbohydrate)) << context;
        EXPECT_EQ(numberText("nedAlcool"), QString(s.alcohol)) << context;
    }
    // One day, one service, computed by the confirm button.
    void calculateDay(const QString& day, const QString& service) {
        setPeriod(day, day);
        chooseServices({service});
        dialogs_->clear();
        confirm();
        EXPECT_TRUE(dialogs_->shown.empty()) << shownText().toStdString();
    }
};

// Breakfast 00001 of 30/11/2026 (bread 50 g, margarine 5 g, papaya 140 g, milk):
// carbohydrate 29.3 + 0 + 14.56 = 43.86 g -> 175.44 kcal; protein 4.0 + 0.7 = 4.7 g
// -> 18.8; lipid 1.55 + 3.37 + 0.14 = 5.06 g -> 45.54; no alcohol. VCT 239.78;
// protein 1880 / 239.78 = 7.8405 %, carbohydrate 73.1671 %, lipid 18.9924 %.
// Calcium 253.38 + 8 + 0.3 + 30.8 = 292.48 mg.
TEST_F(CalculationEnergyTest, DemoBreakfastOfOneDay) {
    openCalculation();
    calculateDay("30/11/2026", "00001");
    expectSplit({"239,780", "7,841", "18,992", "73,167", "0,000"}, "breakfast");
    EXPECT_EQ(cell(calc()->cdsMacro, "Carboidrato", "TOTAL"), QString("43,860"));
    EXPECT_EQ(cell(calc()->cdsMacro, "Carboidrato", "QTCALOTOT"), QString("175,440"));
    EXPECT_EQ(calc()->cdsCalc->RecordCount(), 22) << "no group and \"T\": every micronutrient";
    EXPECT_EQ(cell(calc()->cdsCalc, "Cálcio", "TOTAL"), QString("292,480"));
    EXPECT_EQ(cell(calc()->cdsCalc, "Cálcio", "QTMEDIADIA"), QString("292,480")) << "one day";
    const QStringList slices = calc()->chtEnergia->sliceTexts();
    ASSERT_EQ(slices.size(), 4);
    EXPECT_EQ(slices[0], QString("Proteína: 7,841 % (18,800 kcal)"));
    EXPECT_EQ(slices[2], QString("Carboidrato: 73,167 % (175,440 kcal)"));
    EXPECT_EQ(slices[3], QString("Álcool: 0,000 % (0,000 kcal)"));
    EXPECT_NEAR(calc()->chtEnergia->sliceShares()[1], 45.54 / 239.78, 1e-9);
}

// Snack 00002 over the week: banana 65 g (01/12), apple 130 g (03/12), coconut
// water 205 g (06/12), so 3 days. Carbohydrate 16.9 + 19.76 + 10.865 = 47.525 g,
// 15.842 a day; calcium 5.2 + 2.6 + 38.95 = 46.75 mg, 15.583 a day; protein
// 0.845 + 0.39 = 1.235 g; lipid 0.065 g. Energy 190.1 + 4.94 + 0.585 = 195.625.
TEST_F(CalculationEnergyTest, DemoWeekOfOneServiceWithDailyAverages) {
    openCalculation();
    chooseServices({"00002"});
    confirm();
    EXPECT_TRUE(dialogs_->shown.empty()) << shownText().toStdString();
    EXPECT_EQ(calc()->recordedDays(), 3);
    EXPECT_EQ(cell(calc()->cdsMacro, "Carboidrato", "TOTAL"), QString("47,525"));
    EXPECT_EQ(cell(calc()->cdsMacro, "Carboidrato", "QTMEDIADIA"), QString("15,842"));
    EXPECT_EQ(cell(calc()->cdsCalc, "Cálcio", "TOTAL"), QString("46,750"));
    EXPECT_EQ(cell(calc()->cdsCalc, "Cálcio", "QTMEDIADIA"), QString("15,583"));
    // 4.94 / 195.625 = 2.5252 %, 190.1 / 195.625 = 97.1757 %, 0.585 / 195.625 = 0.2990 %.
    expectSplit({"195,625", "2,525", "0,299", "97,176", "0,000"}, "snack week");

    // Every service: every day of the week holds an item.
    click(calc()->rbtTodos);
    confirm();
    EXPECT_EQ(calc()->recordedDays(), 7);
}

// Items of test products written through the server, one free day each at 00002.
TEST_F(CalculationEnergyTest, EnergySplitOfKnownTotals) {
    addProduct("T00001", "0999001", {{"007", 25}, {"004", 8}, {"005", 7}});
    addProduct("T00002", "0999002", {{"007", 25}, {"004", 10}, {"005", 5}, {"027", 2}});
    addProduct("T00003", "0999003", {{"004", 10.12345}});
    addProduct("T00004", "0999004", {{"027", 12.5}});
    writeItem("00002", "2026-11-30", "0999001", 1000);  // 250 / 80 / 70 / 0 g
    writeItem("00002", "2026-12-02", "0999002", 100);   // 25 / 10 / 5 / 2 g
    writeItem("00002", "2026-12-04", "0999003", 100);   // protein 10.12345 g
    writeItem("00002", "2026-12-05", "0999004", 100);   // alcohol 12.5 g
    openCalculation();

    // 1000 + 320 + 630 + 0 = 1950 kcal, grouped as in the grid and the chart.
    calculateDay("30/11/2026", "00002");
    expectSplit({"1.950,000", "16,410", "32,308", "51,282", "0,000"}, "250/80/70/0");
    EXPECT_EQ(calc()->findChild<QLabel*>("lblVctUnidade")->text(), QString("kcal"));
    expectNothingClipped();
    saveCalcScreenshot("calculo-1950kcal");
    EXPECT_EQ(cell(calc()->cdsMacro, "Carboidrato", "QTCALOTOT"), QString("1.000,000")) << "the grid groups thousands";
    EXPECT_EQ(calc()->chtEnergia->sliceTexts()[2], QString("Carboidrato: 51,282 % (1.000,000 kcal)"));

    // 100 + 40 + 45 + 14 = 199; carbohydrate 10000 / 199 = 50.2513 %.
    calculateDay("02/12/2026", "00002");
    expectSplit({"199,000", "20,101", "22,613", "50,251", "7,035"}, "25/10/5/2");

    // 10.12345 x 4 = 40.4938, rounded to 40.494.
    calculateDay("04/12/2026", "00002");
    expectSplit({"40,494", "100,000", "0,000", "0,000", "0,000"}, "protein only");

    // 12.5 x 7 = 87.5.
    calculateDay("05/12/2026", "00002");
    expectSplit({"87,500", "0,000", "0,000", "0,000", "100,000"}, "alcohol only");
}

TEST_F(CalculationEnergyTest, NoMacronutrientCodesGiveZeros) {
    db::execute(hostfw::hostDatabase(),
                "UPDATE PARAMGERAL SET CDCARBOHIDRA = NULL, CDPROTEINA = NULL, CDLIPIDIOS = NULL, CDALCOOL = NULL", {});
    openCalculation();
    confirm();
    EXPECT_TRUE(dialogs_->shown.empty()) << shownText().toStdString();
    expectSplit({"0,000", "0,000", "0,000", "0,000", "0,000"}, "no codes");
    EXPECT_FALSE(calc()->cdsCalc->IsEmpty());
}

// A server failure in the third GetNutrCalc (lipid): VCT and percentages go to
// 0, the failure is shown, the micronutrients loaded before it stay.
TEST_F(CalculationEnergyTest, AFailureInTheThirdNutrientCallZeroesTheSplitAndKeepsTheMicronutrients) {
    CalcServer& server = watchServer();
    openCalculation();
    calculateDay("30/11/2026", "00001");
    ASSERT_EQ(numberText("nedVct"), QString("239,780"));

    server.clearCalls();
    server.setFault([](const CalcServer::Call& call, int number) {
        return call.operation == "GetNutrCalc" && number == 3 ? std::string("Falha de teste no servidor.") : "";
    });
    dialogs_->clear();
    confirm();
    ASSERT_EQ(dialogs_->shown.size(), 1u);
    EXPECT_EQ(dialogs_->shown[0].kind, hostfw::DialogKind::Error);
    EXPECT_EQ(shownText(), QString("Falha de teste no servidor."));
    expectSplit({"0,000", "0,000", "0,000", "0,000", "0,000"}, "after the failure");
    EXPECT_TRUE(calc()->chtEnergia->sliceTexts().isEmpty());
    EXPECT_EQ(cell(calc()->cdsCalc, "Cálcio", "TOTAL"), QString("292,480"));
    const auto calls = server.calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().operation, "GetNutrCalc");
    EXPECT_EQ(calls.back().params[5], "005") << "the third call asks for the lipids";
}

// 1,0005 g is 1,000499… in binary: the daily average rounds its decimal half
// up, as the grid's total beside it and the chart's labels do.
TEST_F(CalculationEnergyTest, AveragesAndChartRoundHalvesAsTheGrid) {
    addProduct("T00005", "0999005", {{"007", 1.0005}});
    writeItem("00002", "2026-12-02", "0999005", 100);
    openCalculation();
    calculateDay("02/12/2026", "00002");
    EXPECT_EQ(cell(calc()->cdsMacro, "Carboidrato", "TOTAL"), QString("1,001"));
    EXPECT_EQ(cell(calc()->cdsMacro, "Carboidrato", "QTMEDIADIA"), QString("1,001")) << "one day: the total";

    calculation::EnergyChart chart;
    chart.showSplit({{QStringLiteral("Proteína"), 1.0005, 2.675}, {QStringLiteral("Lipídio"), 10079.8015, 97.325}});
    EXPECT_EQ(chart.sliceTexts(),
              (QStringList{"Proteína: 2,675 % (1,001 kcal)", "Lipídio: 97,325 % (10.079,802 kcal)"}));
}

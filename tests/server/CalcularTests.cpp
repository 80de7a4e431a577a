// Nutrient totals of the calculation object against sums worked out by hand
// from the demo data (patient 000000000001, branch 0001, 2026-11-30).
//
// Breakfast (service 00001), grams eaten x content per 100 g / 100:
//   bread 000017, 50 g:     protein 8 -> 4.0   energy 300 -> 150   carb 58.6 -> 29.3   lipid 3.1 -> 1.55
//   margarine 000296, 5 g:  protein 0 -> 0     energy 596 -> 29.8  carb 0 -> 0         lipid 67.4 -> 3.37
//   papaya 000210, 140 g:   protein 0.5 -> 0.7 energy 40 -> 56    carb 10.4 -> 14.56  lipid 0.1 -> 0.14
//   milk 000492, 206 g:     only calcium, 123 -> 253.38
//   protein 4.7, energy 235.8, carbohydrate 43.86, lipid 5.06, alcohol 0;
//   calcium 253.38 + 50x16/100 + 5x6/100 + 140x22/100 = 253.38 + 8 + 0.3 + 30.8 = 292.48.
// Dinner (00005): soup 03001 (dish, yield 2800 g) 300 g; toast 000019 20 g; cheese 000503 30 g.
//   soup recipe protein: 300x1.8 + 200x1.3 + 200x0.7 + 200x1.7 + 60x10 + 60x1.7 + 10x7 + 10x3.3 (all /100)
//     = 5.4 + 2.6 + 1.4 + 3.4 + 6 + 1.02 + 0.7 + 0.33 = 20.85 g in 2800 g -> 300 x 20.85 / 2800 = 2.2339286
//   dinner protein = 2.2339286 + 20x10.5/100 + 30x17.4/100 = 2.2339286 + 2.1 + 5.22 = 9.5539286
// Whole day protein: breakfast 4.7; lunch 6.34 (rice and beans 180 g of yield 180: 2.5 + 3.84)
//   + 40.4 (chicken 270 g of 270: 38.4 + 0.4 + 1.05 + 0.55) + 0.98 (salad 90 g of 180: 1.96 / 2)
//   + 1.4 (orange 140 g) = 49.12; snack 170x3.8/100 + 24x10.1/100 = 6.46 + 2.424 = 8.884;
//   dinner 9.5539286; supper 15x8.1/100 = 1.215 -> 73.4729286.
// Whole day energy: 235.8 + lunch (188.8 + 274.5 + 36.45 + 51.8 = 551.55) + snack (69.7 + 103.68 = 173.38)
//   + dinner (809.4 x 300/2800 = 86.7214286, + 75.4 + 79.2 = 241.3214286) + supper (2 + 66.45 = 68.45)
//   = 1270.5014286.
#include "ServerFixture.h"

#include "db/Query.h"

using namespace protocol;

namespace {

constexpr const char* Calc = "Zep12610.rdmCalcular.";
const json Patient = "000000000001";
const json Branch = "0001";
const json Day = "2026-11-30";

double number(const DataPacket& p, size_t row, const std::string& field) { return p.at(row, field).get<double>(); }

} // namespace

class Calcular : public testsupport::ServerTest {
protected:
    double nutrCalc(const json& from, const json& to, const json& services, const json& nutrient) {
        const auto p = packet(std::string(Calc) + "GetNutrCalc", {Patient, from, to, Branch, services, nutrient});
        EXPECT_EQ(p.rows.size(), 1u);
        return p.rows.empty() ? -1 : number(p, 0, "VRNUTRI");
    }
    // Micronutrient totals by code.
    std::map<std::string, double> calc(const json& from, const json& to, const json& group, const json& nutrients,
                                       const json& services) {
        const auto p = packet(std::string(Calc) + "GetCalc", {Patient, from, to, Branch, group, nutrients, services});
        std::map<std::string, double> out;
        for (size_t r = 0; r < p.rows.size(); ++r) out[p.at(r, "CDNUTRIENTE").get<std::string>()] = number(p, r, "TOTAL");
        return out;
    }
};

TEST_P(Calcular, MacronutrientsOfOneServiceWithTheirEnergy) {
    const auto p = packet(std::string(Calc) + "getMacro", {Patient, Day, Day, Branch, "_00001_"});
    ASSERT_EQ(p.rows.size(), 4u);
    const std::vector<std::string> codes = {"007", "004", "005", "027"};  // carbohydrate, protein, lipid, alcohol
    const std::vector<double> totals = {43.86, 4.7, 5.06, 0};
    const std::vector<double> kcal = {175.44, 18.8, 45.54, 0};  // x4, x4, x9, x7
    for (size_t r = 0; r < 4; ++r) {
        EXPECT_EQ(p.at(r, "CDNUTRIENTE"), codes[r]);
        EXPECT_NEAR(number(p, r, "TOTAL"), totals[r], 1e-9) << codes[r];
        EXPECT_NEAR(number(p, r, "QTCALOTOT"), kcal[r], 1e-9) << codes[r];
        EXPECT_EQ(p.at(r, "SGUNIDADE"), "g");
    }
    EXPECT_EQ(p.at(1, "NUTRIENTE"), "Proteína");
    EXPECT_EQ(p.at(0, "NUTRIENTE"), "Carboidrato");
}

TEST_P(Calcular, AlcoholCountsSevenKilocaloriesPerGram) {
    // 350 g of beer (000518, 3.63 g alcohol per 100 g) alone at supper of 2026-12-01: 12.705 g, 88.935 kcal.
    db::execute(sql(),
                "INSERT INTO ITINQUERPACI (CDFILIAL, CDPACIENTE, DTINIINQU, DTFININQU, CDSERVFILI, DTINQUERITO, "
                "NRSEQUINQUER, IDTIPOINQUER, CDPRODUTO, CDMEDICASE, QTALIMMEDCAS, QTALIMINQUER) VALUES ('0001', "
                "'000000000001', '2026-11-30', '2026-12-06', '00006', '2026-12-01', '001', '0', '000518', '00002', "
                "3.5, 350)",
                {});
    const auto p = packet(std::string(Calc) + "getMacro", {Patient, "2026-12-01", "2026-12-01", Branch, "_00006_"});
    ASSERT_EQ(p.rows.size(), 4u);
    EXPECT_EQ(p.at(3, "CDNUTRIENTE"), "027");
    EXPECT_NEAR(number(p, 3, "TOTAL"), 12.705, 1e-9);
    EXPECT_NEAR(number(p, 3, "QTCALOTOT"), 88.935, 1e-9);
    EXPECT_NEAR(number(p, 0, "TOTAL"), 11.55, 1e-9);  // carbohydrate 350 x 3.3 / 100
}

TEST_P(Calcular, DayTotalsOverAllOrSomeServices) {
    EXPECT_NEAR(nutrCalc(Day, Day, "T", "004"), 73.4729286, 1e-6);
    EXPECT_NEAR(nutrCalc(Day, Day, "T", "002"), 1270.5014286, 1e-6);
    EXPECT_NEAR(nutrCalc(Day, Day, "_00001_00002_00003_00004_00005_00006_", "004"), 73.4729286, 1e-6);
    // Nothing was eaten at 00002 that day, so the pair gives breakfast alone.
    EXPECT_NEAR(nutrCalc(Day, Day, "_00001_00002_", "004"), 4.7, 1e-9);
    EXPECT_NEAR(nutrCalc(Day, Day, "_00001_00002_", "002"), 235.8, 1e-9);
    EXPECT_NEAR(nutrCalc(Day, Day, "_00005_", "004"), 9.5539286, 1e-6);
    EXPECT_EQ(callFull(std::string(Calc) + "GetNutrCalc", {Patient, Day, Day, Branch, "_00001_", "004"}).byref.at(4),
              "_00001_");
}

TEST_P(Calcular, DishWithoutYieldCountsTheRawWeightOfItsRecipe) {
    // Soup 03001 without its 2800 g yield: the recipe weighs 300 + 3 x 200 + 2 x 60 + 2 x 10 + 20 + 2000 = 3060 g,
    // so dinner protein is 300 x 20.85 / 3060 + 2.1 + 5.22 = 2.0441176 + 7.32 = 9.3641176.
    db::execute(sql(), "UPDATE PRATO SET QTRENDPRATO = NULL WHERE CDPRATO = '03001'", {});
    EXPECT_NEAR(nutrCalc(Day, Day, "_00005_", "004"), 9.3641176, 1e-6);
}

TEST_P(Calcular, UnknownOrEmptyNutrientGivesNoRowAndNothingEatenGivesZero) {
    for (const json code : {"", "999"})
        EXPECT_TRUE(packet(std::string(Calc) + "GetNutrCalc", {Patient, Day, Day, Branch, "T", code}).rows.empty());
    EXPECT_EQ(nutrCalc("2027-01-01", "2027-01-31", "T", "004"), 0.0);
    EXPECT_EQ(nutrCalc(Day, Day, "_", "004"), 0.0);  // no service chosen

    const auto macro = packet(std::string(Calc) + "getMacro", {Patient, "2027-01-01", "2027-01-31", Branch, "T"});
    ASSERT_EQ(macro.rows.size(), 4u);
    for (size_t r = 0; r < 4; ++r) EXPECT_EQ(number(macro, r, "QTCALOTOT"), 0.0);
    const auto micro = calc("2027-01-01", "2027-01-31", "", "T", "T");
    EXPECT_EQ(micro.size(), 22u);
    for (const auto& [code, total] : micro) EXPECT_EQ(total, 0.0) << code;
}

TEST_P(Calcular, MicronutrientsByGroupAndList) {
    const auto minerals = calc(Day, Day, "02", "T", "_00001_");
    EXPECT_EQ(minerals.size(), 9u);  // 010 to 018
    EXPECT_NEAR(minerals.at("010"), 292.48, 1e-9);
    // Macronutrients of PARAMGERAL never show among the micronutrients, even when listed.
    const auto listed = calc(Day, Day, "", "_010_004_002_008_", "_00001_");
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_NEAR(listed.at("010"), 292.48, 1e-9);
    EXPECT_TRUE(listed.count("008"));
    EXPECT_TRUE(calc(Day, Day, "03", "_010_", "T").empty());  // group and list both apply

    const auto reply = callFull(std::string(Calc) + "GetCalc", {Patient, Day, Day, Branch, "02", "_015_010_", "_00001_"});
    const auto p = DataPacket::fromJson(reply.data);
    ASSERT_EQ(p.rows.size(), 2u);
    // Code order, whatever the list order; the reference intake follows (CalcularReferenceTests).
    EXPECT_EQ(Row(p.rows[0].begin(), p.rows[0].begin() + 4), (Row{"mg", "Cálcio", p.rows[0][2], "010"}));
    EXPECT_EQ(reply.byref.at(5), "_015_010_");
    EXPECT_EQ(reply.byref.at(6), "_00001_");
}

// The screen loads its tables before it checks its dates, so an open or
// inverted range must answer nothing rather than fail.
TEST_P(Calcular, NullOrInvertedRangesSelectNothing) {
    const json null = nullptr;
    const std::vector<std::pair<json, json>> ranges = {
        {"2026-12-02", "2026-12-01"}, {null, Day}, {Day, null}, {null, null}};
    for (const auto& [from, to] : ranges) {
        const auto macro = callFull(std::string(Calc) + "getMacro", {Patient, from, to, Branch, "_00001_"});
        EXPECT_TRUE(DataPacket::fromJson(macro.data).rows.empty()) << from << " " << to;
        EXPECT_EQ(DataPacket::fromJson(macro.data).fields.size(), 5u);
        EXPECT_EQ(macro.byref.at(4), "_00001_");
        const auto micro = callFull(std::string(Calc) + "GetCalc", {Patient, from, to, Branch, "", "T", "T"});
        EXPECT_TRUE(DataPacket::fromJson(micro.data).rows.empty());
        EXPECT_EQ(micro.byref.at(5), "T");
        EXPECT_TRUE(packet(std::string(Calc) + "GetNutrCalc", {Patient, from, to, Branch, "T", "004"}).rows.empty());
        const auto days = packet(std::string(Calc) + "GetDiasInq", {Patient, from, to, Branch, "T"});
        ASSERT_EQ(days.rows.size(), 1u);
        EXPECT_EQ(days.at(0, "NRDIAS"), 0);
    }
    // Equal dates are a one-day range.
    EXPECT_EQ(packet(std::string(Calc) + "getMacro", {Patient, Day, Day, Branch, "T"}).rows.size(), 4u);
    // A malformed list is still refused with an open range.
    EXPECT_NE(failure(std::string(Calc) + "getMacro", {Patient, null, Day, Branch, "00001"}), "");
}

// Days of the demo week with items: every day at some service; breakfast and
// snack 00002 on 01, 03 and 06/12; supper 00006 on 30/11, 02, 04 and 06/12.
TEST_P(Calcular, DaysWithRecordedItemsOfTheChosenServices) {
    auto days = [&](const json& from, const json& to, const json& services) {
        const auto p = packet(std::string(Calc) + "GetDiasInq", {Patient, from, to, Branch, services});
        return p.rows.empty() ? -1 : p.at(0, "NRDIAS").get<int>();
    };
    EXPECT_EQ(days("2026-11-30", "2026-12-06", "T"), 7);
    EXPECT_EQ(days("2026-11-01", "2026-12-31", "T"), 7);
    EXPECT_EQ(days("2026-11-30", "2026-12-06", "_00002_"), 3);
    EXPECT_EQ(days("2026-11-30", "2026-12-06", "_00002_00006_"), 6);
    EXPECT_EQ(days("2026-12-01", "2026-12-03", "_00002_"), 2);
    EXPECT_EQ(days("2026-11-30", "2026-12-06", "_"), 0);
    EXPECT_EQ(packet(std::string(Calc) + "GetDiasInq", {"ZN0001", "2026-11-23", "2026-11-24", "0002", "T"}).at(0, "NRDIAS"),
              1);
}

TEST_P(Calcular, DietParametersComeOnePerBranch) {
    const auto p = packet(std::string(Calc) + "GetParaDieto", json::array());
    ASSERT_EQ(p.rows.size(), 2u);
    EXPECT_EQ(p.at(0, "CDFILIAL"), "0001");
    EXPECT_EQ(p.at(0, "IDVCTCALCNUT"), "S");
    EXPECT_EQ(p.at(1, "CDFILIAL"), "0002");
    EXPECT_EQ(p.at(1, "IDVCTCALCNUT"), "N");
}

TEST_P(Calcular, BadListsAreRefused) {
    const std::string m = std::string(Calc) + "getMacro";
    for (const json services : {"00001", "_00001", "_000001_", "__", "_0'1_", "t"})
        EXPECT_NE(failure(m, {Patient, Day, Day, Branch, services}), "") << services;
    for (const json nutrients : {"010", "_0100_", "_010_'_"})
        EXPECT_NE(failure(std::string(Calc) + "GetCalc", {Patient, Day, Day, Branch, "", nutrients, "T"}), "");
    EXPECT_NE(failure(m, {Patient, "30/11/2026", Day, Branch, "T"}), "");
}

TEST_P(Calcular, NutrientChoiceLeavesOutTheMacronutrients) {
    const auto all = callFull(std::string(Calc) + "getNutriente", {"T", "T"});
    const auto nutrients = DataPacket::fromJson(all.data);
    EXPECT_EQ(nutrients.rows.size(), 22u);  // 27 less 002, 004, 005, 007, 027
    for (size_t r = 0; r < nutrients.rows.size(); ++r)
        for (const char* macro : {"002", "004", "005", "007", "027"}) EXPECT_NE(nutrients.at(r, "CDNUTRIENTE"), macro);
    EXPECT_EQ(all.byref.at(0), "T");

    const auto vitamins = callFull(std::string(Calc) + "getNutriente", {"03", " "});
    EXPECT_EQ(DataPacket::fromJson(vitamins.data).rows.size(), 8u);  // 019 to 026
    EXPECT_EQ(vitamins.byref.at(1), " ");
    EXPECT_EQ(packet(std::string(Calc) + "getNutriente", {"01", " "}).rows.size(), 2u);  // 003, 008
    // A service of another branch is not offered.
    EXPECT_TRUE(packet(std::string(Calc) + "GetServico", {"00007", "0001"}).rows.empty());
    EXPECT_EQ(packet(std::string(Calc) + "GetServico", {"T", "0001"}).rows.size(), 6u);
}

INQUERITO_ENGINES(Calcular);

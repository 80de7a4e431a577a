// Rows of the nutrient spreadsheet, checked by hand on the demo data and
// against the totals of the calculation object.
#include "ServerFixture.h"

#include <map>
#include <set>

using namespace protocol;

namespace {

constexpr const char* Sheet = "Zep12640.rdmPlaInqNutr.GetInquNutr";

json sheetArgs(const json& from, const json& to, const json& services, const json& group, const json& nutrients) {
    return {from, to, "000000000001", "0001", services, group, nutrients};
}

} // namespace

class Planilha : public testsupport::ServerTest {};

TEST_P(Planilha, OneRowPerItemAndNutrient) {
    // Dinner of 2026-11-30: soup 03001 (2 ladles, 300 g of a 2800 g yield), toast 000019 (2 units, 20 g),
    // cheese 000503 (30 g); group 01 holds seven nutrients, so 3 x 7 rows.
    const auto p = packet(Sheet, sheetArgs("2026-11-30", "2026-11-30", "_00005_", "01", "T"));
    ASSERT_EQ(p.rows.size(), 21u);
    std::map<std::string, const Row*> byKey;
    for (const auto& row : p.rows) {
        EXPECT_EQ(row[p.indexOf("DTINQUERITO")], "2026-11-30");
        EXPECT_EQ(row[p.indexOf("NMSERVICO")], "Jantar");
        EXPECT_EQ(row[p.indexOf("CDSERVFILI")], "00005");
        byKey[row[p.indexOf("CDPRODUTO")].get<std::string>() + "/" + row[p.indexOf("CDNUTRIENTE")].get<std::string>()] =
            &row;
    }
    ASSERT_EQ(byKey.size(), 21u);
    const Row& soupProtein = *byKey.at("03001/004");
    EXPECT_EQ(soupProtein[p.indexOf("NMPRODUTO")], "Sopa de legumes");
    EXPECT_EQ(soupProtein[p.indexOf("NMNUTRIENTE")], "Proteína");
    EXPECT_EQ(soupProtein[p.indexOf("NMMEDICASE")], "Concha média");
    EXPECT_EQ(soupProtein[p.indexOf("QTALIMINQUER")], 2.0);  // portions, not grams
    // Recipe protein 20.85 g in 2800 g (see CalcularTests): 300 x 20.85 / 2800.
    EXPECT_NEAR(soupProtein[p.indexOf("TOTAL")].get<double>(), 2.2339286, 1e-6);
    EXPECT_NEAR((*byKey.at("000019/004"))[p.indexOf("TOTAL")].get<double>(), 2.1, 1e-9);  // 20 x 10.5 / 100
    EXPECT_NEAR((*byKey.at("000503/002"))[p.indexOf("TOTAL")].get<double>(), 79.2, 1e-9);  // 30 x 264 / 100
    // The table has no alcohol for these foods: the cell is there, with 0.
    EXPECT_EQ((*byKey.at("000503/027"))[p.indexOf("TOTAL")], 0.0);
}

TEST_P(Planilha, ColumnSumsMatchTheCalculation) {
    const json from = "2026-11-30", to = "2026-12-06";
    const auto p = packet(Sheet, sheetArgs(from, to, "_00001_00003_00005_", "", "T"));
    std::map<std::string, double> sums;
    std::set<std::string> dates;
    for (const auto& row : p.rows) {
        sums[row[p.indexOf("CDNUTRIENTE")].get<std::string>()] += row[p.indexOf("TOTAL")].get<double>();
        dates.insert(row[p.indexOf("DTINQUERITO")].get<std::string>());
    }
    EXPECT_EQ(sums.size(), 27u);
    EXPECT_EQ(dates.size(), 7u);
    const auto calc = packet("Zep12610.rdmCalcular.GetCalc",
                             {"000000000001", from, to, "0001", "", "T", "_00001_00003_00005_"});
    ASSERT_EQ(calc.rows.size(), 22u);
    for (size_t r = 0; r < calc.rows.size(); ++r) {
        const auto code = calc.at(r, "CDNUTRIENTE").get<std::string>();
        EXPECT_NEAR(sums.at(code), calc.at(r, "TOTAL").get<double>(), 1e-6) << code;
    }
    for (const char* macro : {"002", "004", "005", "007"}) {
        const auto v = packet("Zep12610.rdmCalcular.GetNutrCalc",
                              {"000000000001", from, to, "0001", "_00001_00003_00005_", macro});
        EXPECT_NEAR(sums.at(macro), v.at(0, "VRNUTRI").get<double>(), 1e-6) << macro;
    }
}

TEST_P(Planilha, FiltersAndByReferenceLists) {
    const auto reply = callFull(Sheet, sheetArgs("2026-11-30", "2026-11-30", "_00001_00002_", "", "_010_004_"));
    const auto p = DataPacket::fromJson(reply.data);
    ASSERT_EQ(p.rows.size(), 8u);  // four breakfast items x two nutrients
    EXPECT_EQ(reply.byref.at(4), "_00001_00002_");
    EXPECT_EQ(reply.byref.at(6), "_010_004_");
    EXPECT_TRUE(packet(Sheet, sheetArgs("2026-11-30", "2026-11-30", "T", "03", "_010_")).rows.empty());
    EXPECT_TRUE(packet(Sheet, sheetArgs("2027-01-01", "2027-01-02", "T", "", "T")).rows.empty());
    EXPECT_EQ(failure(Sheet, sheetArgs("2026-12-01", "2026-11-30", "T", "", "T")),
              "Data inicial deve ser menor ou igual a data final.");
    EXPECT_NE(failure(Sheet, sheetArgs("2026-11-30", "2026-11-30", "_00001", "", "T")), "");
    EXPECT_NE(failure(Sheet, sheetArgs("2026-11-30", "2026-11-30", "T", "", "010_")), "");
}

INQUERITO_ENGINES(Planilha);

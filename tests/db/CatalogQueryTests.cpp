// Every catalogue query of the screens runs verbatim on both engines and
// returns what the demo data holds.
#include "TestDatabase.h"
#include "catalog/CatalogQueries.h"
#include "db/Query.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

using testsupport::TestDatabase;

class CatalogQueries : public testsupport::EngineTest {
protected:
    protocol::DataPacket run(const char* query, const db::Params& params) { return db::query(sql(), query, params); }
    static std::string text(const protocol::DataPacket& p, size_t row, const char* field) {
        return p.at(row, field).is_null() ? std::string("<null>") : p.at(row, field).get<std::string>();
    }
    // The recent codes of the product and dish lookups (as the server
    // answers them, comma separated; none: null), added to others.
    static db::Params recentOf(std::optional<std::string> codes, db::Params others) {
        others.push_back({"P_RECENTES", codes});
        return others;
    }

};

TEST_P(CatalogQueries, HeaderQueries) {
    auto all = run(catalog::qryFilial, {{"P_CDFILIAL", std::nullopt}});
    ASSERT_EQ(all.rows.size(), 2u);
    EXPECT_EQ(text(all, 0, "CDFILIAL"), "0001");
    EXPECT_EQ(run(catalog::qryFilial, {{"P_CDFILIAL", "0002"}}).rows.size(), 1u);

    auto lunch = run(catalog::qryServico, {{"P_CDFILIAL", "0001"}, {"P_CDSERVFILI", "00003"}, {"P_TCDSERVFILI", ""}});
    ASSERT_EQ(lunch.rows.size(), 1u);
    EXPECT_EQ(text(lunch, 0, "NMSERVICO"), "Almoço");
    EXPECT_EQ(text(lunch, 0, "HRINICSERV"), "1200");
    EXPECT_EQ(run(catalog::qryServico, {{"P_CDFILIAL", "0002"}, {"P_CDSERVFILI", ""}, {"P_TCDSERVFILI", "T"}}).rows.size(),
              7u);
    EXPECT_TRUE(
        run(catalog::qryServico, {{"P_CDFILIAL", "0001"}, {"P_CDSERVFILI", "00007"}, {"P_TCDSERVFILI", ""}}).rows.empty());

    EXPECT_EQ(text(run(catalog::qryParaDiet, {{"P_CDFILIAL", "0001"}}), 0, "IDAJUSTAPACI"), "S");
    EXPECT_EQ(text(run(catalog::qryParaDiet, {{"P_CDFILIAL", "0002"}}), 0, "IDAJUSTAPACI"), "N");

    auto patients = run(catalog::qryPesqPaci, {{"P_CDFILIAL", "0001"}});
    ASSERT_EQ(patients.rows.size(), 18u);
    for (size_t i = 1; i < patients.rows.size(); ++i)
        EXPECT_LE(text(patients, i - 1, "NMPACIENTE"), text(patients, i, "NMPACIENTE"));
}

TEST_P(CatalogQueries, ProductDishAndMeasureQueries) {
    auto leaves = run(catalog::qryProduto, recentOf(std::nullopt, {{"P_NVPRODUTO", "3"}}));
    EXPECT_EQ(leaves.rows.size(), 598u);
    auto rice = run(catalog::qryValidaProduto, {{"P_CDARVPROD", "0101003"}});
    ASSERT_EQ(rice.rows.size(), 1u);
    EXPECT_EQ(text(rice, 0, "CDPRODUTO"), "000005");
    EXPECT_EQ(text(rice, 0, "NMPRODUTO"), "Arroz, tipo 1, cozido");

    // Leaf dishes of branch 0001: its own five and the eighteen common ones.
    EXPECT_EQ(run(catalog::qryPrato, recentOf(std::nullopt, {{"P_CDFILIAL", "0001"}, {"P_NVPRATO", "2"}})).rows.size(), 23u);
    EXPECT_EQ(run(catalog::qryValidaPrato, {{"P_CDPRATO", "02001"}, {"P_CDFILIAL", "0001"}}).rows.size(), 1u);
    EXPECT_TRUE(run(catalog::qryValidaPrato, {{"P_CDPRATO", "01006"}, {"P_CDFILIAL", "0001"}}).rows.empty())
        << "a dish of another branch";

    EXPECT_EQ(run(catalog::qryMedicaseProd,
                  {{"P_CDPRODUTO", "000005"}, {"P_CDMEDICASE", ""}, {"P_TCDMEDICASE", "T"}})
                  .rows.size(),
              6u);
    auto scoop = run(catalog::qryMedicaseProd,
                     {{"P_CDPRODUTO", "000005"}, {"P_CDMEDICASE", "00009"}, {"P_TCDMEDICASE", ""}});
    ASSERT_EQ(scoop.rows.size(), 1u);
    // The grams of one portion come with each measure; null where unknown.
    auto grams = db::query(sql(), catalog::qryMedicaseProd,
                           {{"P_CDPRODUTO", "000005"}, {"P_CDMEDICASE", ""}, {"P_TCDMEDICASE", "T"}},
                           {{"CDMEDICASE", protocol::FieldType::String, 5},
                            {"VRPESOMEDI", protocol::FieldType::Float, 0}});
    std::map<std::string, std::string> weightOf;
    for (size_t r = 0; r < grams.rows.size(); ++r)
        weightOf[text(grams, r, "CDMEDICASE")] =
            grams.at(r, "VRPESOMEDI").is_null() ? "<null>" : std::to_string(grams.at(r, "VRPESOMEDI").get<double>());
    EXPECT_EQ(weightOf["00009"], "90.000000");
    EXPECT_EQ(weightOf["00003"], "<null>");
    auto dishGrams = db::query(sql(), catalog::qryMedicasePrato,
                               {{"P_CDPRATO", "02001"}, {"P_CDMEDICASE", "00025"}, {"P_TCDMEDICASE", ""}},
                               {{"VRPESOMED", protocol::FieldType::Float, 0}});
    ASSERT_EQ(dishGrams.rows.size(), 1u);
    EXPECT_DOUBLE_EQ(dishGrams.at(0, "VRPESOMED").get<double>(), 180);
    EXPECT_EQ(run(catalog::qryMedicasePrato, {{"P_CDPRATO", "02001"}, {"P_CDMEDICASE", ""}, {"P_TCDMEDICASE", "T"}})
                  .rows.size(),
              4u);

    // Read as the screens declare the field: a float (SQLite gives expressions no type).
    auto weight = [&](const char* query, const char* key, const char* code, const char* measure) {
        const std::string column = key == std::string("P_CDPRODUTO") ? "VRPESOMEDI" : "VRPESOMED";
        auto p = db::query(sql(), query, {{key, code}, {"P_CDMEDICASE", measure}},
                           {{column, protocol::FieldType::Float, 0}});
        return p.rows.empty() ? -1.0 : p.rows[0][0].get<double>();
    };
    EXPECT_DOUBLE_EQ(weight(catalog::qryQuantProd, "P_CDPRODUTO", "000005", "00009"), 90);
    EXPECT_DOUBLE_EQ(weight(catalog::qryQuantProd, "P_CDPRODUTO", "000005", "00003"), 0) << "a null weight reads as 0";
    EXPECT_DOUBLE_EQ(weight(catalog::qryQuantPrato, "P_CDPRATO", "02001", "00025"), 180);
    EXPECT_DOUBLE_EQ(weight(catalog::qryQuantPrato, "P_CDPRATO", "02001", "00003"), 0);
}

TEST_P(CatalogQueries, NutrientGroupAndServiceQueriesOfTheSecondaryScreens) {
    EXPECT_EQ(run(catalog::calcQryGrupo, {{"P_CDGRUPO", std::nullopt}}).rows.size(), 4u);
    EXPECT_EQ(run(catalog::calcQryGrupo, {{"P_CDGRUPO", "02"}}).rows.size(), 1u);
    EXPECT_EQ(run(catalog::calcQryNutriente, {{"P_CDGRUPO", "_01_"}, {"P_TCDGRUPO", ""}}).rows.size(), 7u);
    EXPECT_EQ(run(catalog::calcQryNutriente, {{"P_CDGRUPO", "_01_03_"}, {"P_TCDGRUPO", ""}}).rows.size(), 15u);
    EXPECT_EQ(run(catalog::calcQryNutriente, {{"P_CDGRUPO", std::nullopt}, {"P_TCDGRUPO", "T"}}).rows.size(), 27u);

    EXPECT_EQ(run(catalog::copyQryServico, {{"P_CDSERVFILI", std::nullopt}, {"P_CDFILIAL", "0001"}}).rows.size(), 6u);
    auto supper = run(catalog::copyQryServico, {{"P_CDSERVFILI", "00006"}, {"P_CDFILIAL", "0001"}});
    ASSERT_EQ(supper.rows.size(), 1u);
    EXPECT_EQ(text(supper, 0, "NMSERVICO"), "Ceia");

    EXPECT_EQ(run(catalog::reportQryGrupo, {{"P_CDGRUPO", std::nullopt}}).rows.size(), 4u);
    EXPECT_EQ(run(catalog::reportQryGrupo, {{"P_CDGRUPO", ""}}).rows.size(), 4u) << "an empty group is every group";
    EXPECT_EQ(run(catalog::reportQryNutriente, {{"P_CDGRUPO", "02"}}).rows.size(), 9u);
    EXPECT_EQ(run(catalog::reportQryNutriente, {{"P_CDGRUPO", std::nullopt}}).rows.size(), 27u);
    EXPECT_EQ(run(catalog::reportQryServico, {{"P_CDFILIAL", "0002"}}).rows.size(), 7u);

    EXPECT_EQ(run(catalog::sheetQryGrupo, {}).rows.size(), 4u);
    EXPECT_EQ(run(catalog::sheetQryVerifGrup, {{"P_CDGRUPNUTR", "03"}}).rows.size(), 1u);
    EXPECT_TRUE(run(catalog::sheetQryVerifGrup, {{"P_CDGRUPNUTR", "99"}}).rows.empty());
}

// The product and dish lookups list first the recent codes they are given
// (patient 2's meals of 2026-11-16, as GetAlimRecentes answers them), each
// part in code order. A code matches only whole: no prefix, no pattern.
TEST_P(CatalogQueries, LookupsListTheGivenRecentCodesFirst) {
    auto recent = [](const protocol::DataPacket& p, const char* code) {
        std::vector<std::string> out;
        for (size_t r = 0; r < p.rows.size() && text(p, r, "IDRECENTE") == "S"; ++r) out.push_back(text(p, r, code));
        return out;
    };
    auto products = run(catalog::qryProduto, recentOf("000356,000017,000208,000120", {{"P_NVPRODUTO", "3"}}));
    ASSERT_EQ(products.rows.size(), 598u) << "the recent ones are listed once, with the others";
    EXPECT_EQ(recent(products, "CDPRODUTO"), (std::vector<std::string>{"000017", "000120", "000208", "000356"}));
    EXPECT_EQ(text(products, 4, "IDRECENTE"), "N");
    EXPECT_EQ(text(products, 4, "CDARVPROD"), "0101001") << "then the rest as before";
    for (size_t r = 5; r < products.rows.size(); ++r)
        ASSERT_LE(text(products, r - 1, "CDARVPROD"), text(products, r, "CDARVPROD"));
    auto dishes = run(catalog::qryPrato, recentOf("02001,03001", {{"P_CDFILIAL", "0001"}, {"P_NVPRATO", "2"}}));
    ASSERT_EQ(dishes.rows.size(), 23u);
    EXPECT_EQ(recent(dishes, "CDPRATO"), (std::vector<std::string>{"02001", "03001"}));

    auto products3 = [&](std::optional<std::string> codes) {
        return recent(run(catalog::qryProduto, recentOf(codes, {{"P_NVPRODUTO", "3"}})), "CDPRODUTO");
    };
    // One code, at either end of the list or alone.
    EXPECT_EQ(products3("000017"), std::vector<std::string>{"000017"});
    EXPECT_EQ(products3("000017,ZZZZZZ"), std::vector<std::string>{"000017"});
    EXPECT_EQ(products3("ZZZZZZ,000017"), std::vector<std::string>{"000017"});
    // None: nothing is recent.
    EXPECT_TRUE(products3("").empty());
    EXPECT_TRUE(products3(std::nullopt).empty());
    // A part of a code, a code with more, and pattern characters match nothing.
    EXPECT_TRUE(products3("00001").empty());
    EXPECT_TRUE(products3("0000170").empty());
    EXPECT_TRUE(products3("00001_,0000%,%,_,%%").empty());
    EXPECT_TRUE(products3(",,").empty());
    EXPECT_TRUE(products3("'; DROP TABLE PRODUTO; --").empty());

    // Catalogue codes holding pattern characters match only themselves.
    for (const char* code : {"00001_", "0000%", "%"})
        db::execute(sql(), "INSERT INTO PRODUTO (CDPRODUTO, CDARVPROD, NMPRODUTO, CDNVPRODUTO) VALUES (:P_C, :P_A, 'X', 3)",
                    {{"P_C", std::string(code)}, {"P_A", "9" + std::string(code)}});
    EXPECT_EQ(products3("000017,000120"), (std::vector<std::string>{"000017", "000120"}));
    EXPECT_EQ(products3("00001_"), std::vector<std::string>{"00001_"});
    EXPECT_EQ(products3("%"), std::vector<std::string>{"%"});
}

INQUERITO_ENGINES(CatalogQueries);

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
    // The recent-food parameters of the product and dish lookups (branch
    // 0001): the days from .. day (none: no recent foods), added to others.
    static db::Params recentOf(const std::string& patient, std::optional<std::string> from,
                               std::optional<std::string> day, db::Params others) {
        others.push_back({"P_CDFILIAL", std::string("0001")});
        others.push_back({"P_CDPACIENTE", patient});
        others.push_back({"P_DTINICIO", from});
        others.push_back({"P_DTINQUERITO", day});
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
    auto leaves = run(catalog::qryProduto, recentOf("000000000002", std::nullopt, std::nullopt, {{"P_NVPRODUTO", "3"}}));
    EXPECT_EQ(leaves.rows.size(), 598u);
    auto rice = run(catalog::qryValidaProduto, {{"P_CDARVPROD", "0101003"}});
    ASSERT_EQ(rice.rows.size(), 1u);
    EXPECT_EQ(text(rice, 0, "CDPRODUTO"), "000005");
    EXPECT_EQ(text(rice, 0, "NMPRODUTO"), "Arroz, tipo 1, cozido");

    // Leaf dishes of branch 0001: its own five and the eighteen common ones.
    EXPECT_EQ(run(catalog::qryPrato, recentOf("000000000002", std::nullopt, std::nullopt, {{"P_NVPRATO", "2"}})).rows.size(), 23u);
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

// The product and dish lookups list first what the patient had on the survey
// day and the seven days before it (patient 2 had lunch and dinner on
// 2026-11-16), each part in code order.
TEST_P(CatalogQueries, LookupsListThePatientsRecentFoodsFirst) {
    auto recent = [](const protocol::DataPacket& p, const char* code) {
        std::vector<std::string> out;
        for (size_t r = 0; r < p.rows.size() && text(p, r, "IDRECENTE") == "S"; ++r) out.push_back(text(p, r, code));
        return out;
    };
    auto products = run(catalog::qryProduto, recentOf("000000000002", "2026-11-10", "2026-11-17", {{"P_NVPRODUTO", "3"}}));
    ASSERT_EQ(products.rows.size(), 598u) << "the recent ones are listed once, with the others";
    EXPECT_EQ(recent(products, "CDPRODUTO"), (std::vector<std::string>{"000017", "000120", "000208", "000356"}));
    EXPECT_EQ(text(products, 4, "IDRECENTE"), "N");
    EXPECT_EQ(text(products, 4, "CDARVPROD"), "0101001") << "then the rest as before";
    auto dishes = run(catalog::qryPrato, recentOf("000000000002", "2026-11-10", "2026-11-17", {{"P_NVPRATO", "2"}}));
    ASSERT_EQ(dishes.rows.size(), 23u);
    EXPECT_EQ(recent(dishes, "CDPRATO"), (std::vector<std::string>{"02001", "03001"}));

    // Seven days after the meal it still counts; eight days after, or before it, it does not.
    EXPECT_EQ(recent(run(catalog::qryPrato, recentOf("000000000002", "2026-11-16", "2026-11-23", {{"P_NVPRATO", "2"}})), "CDPRATO")
                  .size(),
              2u);
    EXPECT_TRUE(recent(run(catalog::qryPrato, recentOf("000000000002", "2026-11-17", "2026-11-24", {{"P_NVPRATO", "2"}})), "CDPRATO")
                    .empty());
    EXPECT_TRUE(recent(run(catalog::qryPrato, recentOf("000000000002", "2026-11-08", "2026-11-15", {{"P_NVPRATO", "2"}})), "CDPRATO")
                    .empty());
    // Another patient's meals are not this one's.
    EXPECT_TRUE(recent(run(catalog::qryProduto, recentOf("000000000003", "2026-11-10", "2026-11-17", {{"P_NVPRODUTO", "3"}})),
                       "CDPRODUTO")
                    .empty());
}

INQUERITO_ENGINES(CatalogQueries);

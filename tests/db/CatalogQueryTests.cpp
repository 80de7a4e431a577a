// Every catalogue query of the screens runs verbatim on both engines and
// returns what the demo data holds.
#include "TestDatabase.h"
#include "catalog/CatalogQueries.h"
#include "db/Query.h"

#include <gtest/gtest.h>

using testsupport::TestDatabase;

class CatalogQueries : public testsupport::EngineTest {
protected:
    protocol::DataPacket run(const char* query, const db::Params& params) { return db::query(sql(), query, params); }
    static std::string text(const protocol::DataPacket& p, size_t row, const char* field) {
        return p.at(row, field).is_null() ? std::string("<null>") : p.at(row, field).get<std::string>();
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
    auto leaves = run(catalog::qryProduto, {{"P_NVPRODUTO", "3"}});
    EXPECT_EQ(leaves.rows.size(), 598u);
    auto rice = run(catalog::qryValidaProduto, {{"P_CDARVPROD", "0101003"}});
    ASSERT_EQ(rice.rows.size(), 1u);
    EXPECT_EQ(text(rice, 0, "CDPRODUTO"), "000005");
    EXPECT_EQ(text(rice, 0, "NMPRODUTO"), "Arroz, tipo 1, cozido");

    // Leaf dishes of branch 0001: its own five and the eighteen common ones.
    EXPECT_EQ(run(catalog::qryPrato, {{"P_CDFILIAL", "0001"}, {"P_NVPRATO", "2"}}).rows.size(), 23u);
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

INQUERITO_ENGINES(CatalogQueries);

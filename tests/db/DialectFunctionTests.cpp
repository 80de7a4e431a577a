// The generic dialect's helper functions behave alike on both engines.
#include "TestDatabase.h"
#include "db/Query.h"

#include <gtest/gtest.h>

using testsupport::TestDatabase;

class DialectFunctions : public testsupport::EngineTest {
protected:
    std::optional<std::string> text(const std::string& query, const db::Params& params) {
        return db::scalarText(sql(), query, params);
    }
};

TEST_P(DialectFunctions, NvlTakesTheSecondValueOnlyForNull) {
    EXPECT_EQ(text("SELECT NVL(:P_A, 'b') AS R FROM FILIAL WHERE CDFILIAL = '0001'", {{"P_A", std::nullopt}}), "b");
    EXPECT_EQ(text("SELECT NVL(:P_A, 'b') AS R FROM FILIAL WHERE CDFILIAL = '0001'", {{"P_A", "a"}}), "a");
    EXPECT_EQ(text("SELECT NVL(:P_A, 'b') AS R FROM FILIAL WHERE CDFILIAL = '0001'", {{"P_A", ""}}).value_or("<null>"),
              "");
}

TEST_P(DialectFunctions, NvlstrAlsoReplacesAnEmptyText) {
    EXPECT_EQ(text("SELECT NVLSTR(:P_A, 'b') AS R FROM FILIAL WHERE CDFILIAL = '0001'", {{"P_A", ""}}), "b");
    EXPECT_EQ(text("SELECT NVLSTR(:P_A, 'b') AS R FROM FILIAL WHERE CDFILIAL = '0001'", {{"P_A", std::nullopt}}),
              "b");
    EXPECT_EQ(text("SELECT NVLSTR(:P_A, 'b') AS R FROM FILIAL WHERE CDFILIAL = '0001'", {{"P_A", "x"}}), "x");
}

TEST_P(DialectFunctions, InstrFindsOneBasedPositions) {
    EXPECT_EQ(db::scalarNumber(sql(), "SELECT INSTR(:P_A, '02') AS R FROM FILIAL WHERE CDFILIAL = '0001'",
                               {{"P_A", "_01_02_"}}),
              5);
    EXPECT_EQ(db::scalarNumber(sql(), "SELECT INSTR(:P_A, '09') AS R FROM FILIAL WHERE CDFILIAL = '0001'",
                               {{"P_A", "_01_02_"}}),
              0);
}

TEST_P(DialectFunctions, ParamYieldsOneRowEvenForNull) {
    const std::string query = "SELECT P_X.PARAM AS R FROM FILIAL, PARAM(:P_X) P_X WHERE CDFILIAL = '0001'";
    auto withNull = db::query(sql(), query, {{"P_X", std::nullopt}});
    ASSERT_EQ(withNull.rows.size(), 1u);
    EXPECT_TRUE(withNull.rows[0][0].is_null());
    auto withValue = db::query(sql(), query, {{"P_X", "01"}});
    ASSERT_EQ(withValue.rows.size(), 1u);
    EXPECT_EQ(withValue.rows[0][0], "01");
}

INQUERITO_ENGINES(DialectFunctions);

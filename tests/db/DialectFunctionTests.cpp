// The generic dialect's helper functions behave alike on both engines.
#include "TestDatabase.h"
#include "db/Query.h"

#include <gtest/gtest.h>

using testsupport::TestDatabase;

class DialectFunctions : public ::testing::TestWithParam<db::Engine> {
protected:
    void SetUp() override {
        std::string why;
        if (!TestDatabase::available(GetParam(), &why)) {
            if (std::getenv("CI")) FAIL() << why;
            GTEST_SKIP() << why;
        }
        db_ = TestDatabase::create(GetParam());
        sql_ = db::openSession(db_->url());
    }
    std::optional<std::string> text(const std::string& sql, const db::Params& params) {
        return db::scalarText(*sql_, sql, params);
    }
    std::unique_ptr<TestDatabase> db_;
    std::unique_ptr<soci::session> sql_;
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
    EXPECT_EQ(db::scalarNumber(*sql_, "SELECT INSTR(:P_A, '02') AS R FROM FILIAL WHERE CDFILIAL = '0001'",
                               {{"P_A", "_01_02_"}}),
              5);
    EXPECT_EQ(db::scalarNumber(*sql_, "SELECT INSTR(:P_A, '09') AS R FROM FILIAL WHERE CDFILIAL = '0001'",
                               {{"P_A", "_01_02_"}}),
              0);
}

TEST_P(DialectFunctions, ParamYieldsOneRowEvenForNull) {
    const std::string sql = "SELECT P_X.PARAM AS R FROM FILIAL, PARAM(:P_X) P_X WHERE CDFILIAL = '0001'";
    auto withNull = db::query(*sql_, sql, {{"P_X", std::nullopt}});
    ASSERT_EQ(withNull.rows.size(), 1u);
    EXPECT_TRUE(withNull.rows[0][0].is_null());
    auto withValue = db::query(*sql_, sql, {{"P_X", "01"}});
    ASSERT_EQ(withValue.rows.size(), 1u);
    EXPECT_EQ(withValue.rows[0][0], "01");
}

INSTANTIATE_TEST_SUITE_P(Engines, DialectFunctions, ::testing::Values(db::Engine::SQLite, db::Engine::PostgreSQL),
                         [](const auto& info) { return testsupport::engineName(info.param); });

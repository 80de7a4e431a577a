// The Dietary Reference Intakes table: filled on start for the nutrients of
// the catalogue in their own unit, never refilled over a site's edits, and
// its checks hold on both engines.
#include "TestDatabase.h"
#include "db/Query.h"
#include "db/Schema.h"

#include <gtest/gtest.h>

class ReferenceIntakeTable : public testsupport::EngineTest {
protected:
    long long count(const std::string& query) { return db::scalarNumber(sql(), query, {}).value_or(-1); }
    double value(const std::string& query) { return db::scalarNumber(sql(), query, {}).value_or(-1); }
};

TEST_P(ReferenceIntakeTable, FilledForTheCatalogueAndKeptAcrossStarts) {
    // 17 nutrients of the food table x 2 sexes x 8 life-stage groups.
    EXPECT_EQ(count("SELECT COUNT(*) FROM REFNUTRDRI"), 272);
    EXPECT_EQ(value("SELECT VRREFERENCIA FROM REFNUTRDRI WHERE CDNUTRIENTE = '014' AND IDSEXOPACI = 'F' AND "
                    "NRIDADEINI = 19"),
              18);  // iron, women 19 to 30
    EXPECT_EQ(value("SELECT VRLIMITE FROM REFNUTRDRI WHERE CDNUTRIENTE = '017' AND IDSEXOPACI = 'M' AND "
                    "NRIDADEINI = 31"),
              10);  // copper UL 10 000 ug, in the catalogue's mg
    // Every row in its nutrient's unit.
    EXPECT_EQ(count("SELECT COUNT(*) FROM REFNUTRDRI R JOIN NUTRIENTE N ON N.CDNUTRIENTE = R.CDNUTRIENTE "
                    "WHERE N.SGUNIDADE <> R.SGUNIDADE"),
              0);

    // A site's correction survives the next start.
    db::execute(sql(), "UPDATE REFNUTRDRI SET VRREFERENCIA = 19 WHERE CDNUTRIENTE = '014' AND IDSEXOPACI = 'F' AND "
                       "NRIDADEINI = 19", {});
    EXPECT_FALSE(db::initializeDatabase(sql()));
    EXPECT_EQ(count("SELECT COUNT(*) FROM REFNUTRDRI"), 272);
    EXPECT_EQ(value("SELECT VRREFERENCIA FROM REFNUTRDRI WHERE CDNUTRIENTE = '014' AND IDSEXOPACI = 'F' AND "
                    "NRIDADEINI = 19"),
              19);
}

TEST_P(ReferenceIntakeTable, AnOlderDatabaseGetsItWithoutTheNutrientsOfAnotherUnit) {
    const long long items = count("SELECT COUNT(*) FROM ITINQUERPACI");
    db::execute(sql(), "DROP TABLE REFNUTRDRI", {});
    db::execute(sql(), "UPDATE NUTRIENTE SET SGUNIDADE = 'mcg' WHERE CDNUTRIENTE = '017'", {});
    EXPECT_FALSE(db::initializeDatabase(sql()));
    EXPECT_EQ(count("SELECT COUNT(*) FROM REFNUTRDRI"), 256) << "copper in mcg here: its mg rows stay out";
    EXPECT_EQ(count("SELECT COUNT(*) FROM REFNUTRDRI WHERE CDNUTRIENTE = '017'"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM ITINQUERPACI"), items);
}

TEST_P(ReferenceIntakeTable, ChecksRefuseRowsThatMeanNothing) {
    auto insert = [&](const char* values) {
        db::execute(sql(),
                    std::string("INSERT INTO REFNUTRDRI (CDNUTRIENTE, IDSEXOPACI, NRIDADEINI, NRIDADEFIM, IDTIPOREF, "
                                "VRREFERENCIA, IDTIPOLIMITE, VRLIMITE, SGUNIDADE) VALUES (") +
                        values + ")",
                    {});
    };
    db::execute(sql(), "DELETE FROM REFNUTRDRI WHERE CDNUTRIENTE = '026'", {});
    EXPECT_NO_THROW(insert("'026', 'F', 19, 30, 'RDA', 75, 'UL', 2000, 'mg'"));
    EXPECT_ANY_THROW(insert("'026', 'M', 19, 30, 'RDA', NULL, NULL, NULL, 'mg'"));     // a kind without a value
    EXPECT_ANY_THROW(insert("'026', 'M', 19, 30, NULL, NULL, NULL, NULL, 'mg'"));      // nothing at all
    EXPECT_ANY_THROW(insert("'026', 'M', 30, 19, 'RDA', 90, NULL, NULL, 'mg'"));       // ages the wrong way
    EXPECT_ANY_THROW(insert("'026', 'M', 19, 30, 'RDA', 90, 'UL', 50, 'mg'"));         // limit under the reference
    EXPECT_ANY_THROW(insert("'026', 'X', 19, 30, 'RDA', 90, NULL, NULL, 'mg'"));       // unknown sex
    EXPECT_ANY_THROW(insert("'999', 'M', 19, 30, 'RDA', 90, NULL, NULL, 'mg'"));       // unknown nutrient
    EXPECT_EQ(count("SELECT COUNT(*) FROM REFNUTRDRI WHERE CDNUTRIENTE = '026'"), 1);
}

INQUERITO_ENGINES(ReferenceIntakeTable);

// A database made before the needs table gets it on start, keeps its data,
// and the table's own checks hold on both engines.
#include "TestDatabase.h"
#include "db/Query.h"
#include "db/Schema.h"

#include <gtest/gtest.h>

class NeedsTable : public testsupport::EngineTest {
protected:
    long long count(const std::string& query) { return db::scalarNumber(sql(), query, {}).value_or(-1); }
    void insert(const char* metodo, std::optional<double> kcalKg) {
        db::execute(sql(),
                    "INSERT INTO NECESNUTRPACI (CDFILIAL, CDPACIENTE, DTINIINQU, QTPESOPACI, QTALTUPACI, IDMETODOENER, "
                    "QTFATORATIV, QTFATORLESAO, QTKCALKG, QTPROTKG, QTPERCCARB, QTPERCLIPI, QTLIQUMLKG, CDOPERADOR, "
                    "DTHRREGISTRO) VALUES ('0001', '000000000001', '2026-11-30', 60, 160, :P_M, 1, 1, :P_K, 1, 50, "
                    "30, 30, 'DEMO', '2026-12-07 10:00:00.000')",
                    {{"P_M", std::string(metodo)}, db::numberParam("P_K", kcalKg)});
    }
};

TEST_P(NeedsTable, AnOlderDatabaseGetsItOnStartAndKeepsItsData) {
    const long long items = count("SELECT COUNT(*) FROM ITINQUERPACI");
    db::execute(sql(), "DROP TABLE NECESNUTRPACI", {});
    EXPECT_FALSE(db::initializeDatabase(sql()));  // the schema was there: nothing but what is missing
    EXPECT_FALSE(db::initializeDatabase(sql()));  // and again, idempotent
    EXPECT_EQ(count("SELECT COUNT(*) FROM NECESNUTRPACI"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM ITINQUERPACI"), items);
}

TEST_P(NeedsTable, MethodAndKcalPerKgAgreeAndThePeriodMustExist) {
    insert("K", 30);
    EXPECT_EQ(count("SELECT COUNT(*) FROM NECESNUTRPACI"), 1);
    db::execute(sql(), "DELETE FROM NECESNUTRPACI", {});
    EXPECT_ANY_THROW(insert("H", 30));           // kcal per kg belongs to its method only
    EXPECT_ANY_THROW(insert("K", std::nullopt));
    EXPECT_ANY_THROW(insert("X", std::nullopt));
    // A period that does not exist.
    EXPECT_ANY_THROW(db::execute(sql(),
                                 "INSERT INTO NECESNUTRPACI (CDFILIAL, CDPACIENTE, DTINIINQU, QTPESOPACI, QTALTUPACI, "
                                 "IDMETODOENER, QTFATORATIV, QTFATORLESAO, QTPROTKG, QTPERCCARB, QTPERCLIPI, QTLIQUMLKG, "
                                 "CDOPERADOR, DTHRREGISTRO) VALUES ('0001', '000000000001', '2026-01-01', 60, 160, 'H', "
                                 "1, 1, 1, 50, 30, 30, 'DEMO', '2026-12-07 10:00:00.000')",
                                 {}));
    EXPECT_EQ(count("SELECT COUNT(*) FROM NECESNUTRPACI"), 0);
}

INQUERITO_ENGINES(NeedsTable);

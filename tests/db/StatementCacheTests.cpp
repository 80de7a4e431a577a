// Prepared statements kept per pooled session, and pooled sessions whose
// database connection was lost.
#include "TestDatabase.h"
#include "db/Query.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using testsupport::TestDatabase;

class StatementCache : public testsupport::EngineTest {};

TEST_P(StatementCache, RepeatedQueriesReuseOneStatementWithFreshValues) {
    db::SessionPool pool(db_->url(), 1);
    auto s = pool.acquire();
    const std::string q = "SELECT NMFILIAL AS NMFILIAL FROM FILIAL WHERE CDFILIAL = :P_CDFILIAL";
    const auto first = db::scalarText(*s, q, {{"P_CDFILIAL", "0001"}});
    const auto second = db::scalarText(*s, q, {{"P_CDFILIAL", "0002"}});
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    EXPECT_EQ(db::scalarText(*s, q, {{"P_CDFILIAL", "9999"}}), std::nullopt);
    EXPECT_EQ(db::scalarText(*s, q, {{"P_CDFILIAL", std::nullopt}}), std::nullopt);
    EXPECT_EQ(db::scalarText(*s, q, {{"P_CDFILIAL", "0001"}}), first);
    EXPECT_EQ(db::cachedStatementCount(*s), 1u);

    // A number bound as a double and the same name bound as text are two statements.
    const std::string n = "SELECT COUNT(*) AS N FROM ITINQUERPACI WHERE QTALIMINQUER > :P_QT";
    const auto asNumber = db::scalarNumber(*s, n, {db::numberParam("P_QT", 100.0)});
    EXPECT_GT(asNumber.value_or(0), 0);
    EXPECT_LT(asNumber.value_or(1e9), db::scalarNumber(*s, n, {db::numberParam("P_QT", 0.0)}).value_or(0));
    EXPECT_EQ(db::cachedStatementCount(*s), 2u);
}

TEST_P(StatementCache, AFailedStatementIsDroppedAndTheSessionGoesOn) {
    db::SessionPool pool(db_->url(), 1);
    auto s = pool.acquire();
    const std::string insert = "INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES (:P_CD, :P_NM)";
    EXPECT_EQ(db::execute(*s, insert, {{"P_CD", "0077"}, {"P_NM", "Nova"}}), 1);
    EXPECT_THROW(db::execute(*s, insert, {{"P_CD", "0077"}, {"P_NM", "Repetida"}}), soci::soci_error);
    EXPECT_EQ(db::execute(*s, insert, {{"P_CD", "0078"}, {"P_NM", "Outra"}}), 1);
    EXPECT_EQ(db::scalarNumber(*s, "SELECT COUNT(*) AS N FROM FILIAL WHERE CDFILIAL IN ('0077', '0078')", {}), 2);
}

// A kept statement must not pin an old snapshot: a row written by another
// connection after the first read is seen by the next one.
TEST_P(StatementCache, KeptReadsSeeLaterWritesOfOtherConnections) {
    db::SessionPool pool(db_->url(), 1);
    auto s = pool.acquire();
    const std::string q = "SELECT COUNT(*) AS N FROM FILIAL";
    const double before = db::scalarNumber(*s, q, {}).value_or(-1);
    db::query(*s, "SELECT CDFILIAL AS CDFILIAL FROM FILIAL ORDER BY CDFILIAL", {});
    auto other = db::openSession(db_->url());
    db::execute(*other, "INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0099', 'Outra')", {});
    EXPECT_EQ(db::scalarNumber(*s, q, {}).value_or(-1), before + 1);
    EXPECT_EQ(db::query(*s, "SELECT CDFILIAL AS CDFILIAL FROM FILIAL ORDER BY CDFILIAL", {}).rows.back()[0], "0099");
}

// The server's backends terminated (as on a restart): each pooled session is
// opened again on its next use, with an empty statement cache.
TEST_P(StatementCache, LostConnectionsAreReopenedWithAFreshCache) {
    if (GetParam() != db::Engine::PostgreSQL) GTEST_SKIP() << "an SQLite file has no connection to lose";
    db::SessionPool pool(db_->url(), 3);
    const std::string q = "SELECT NMFILIAL AS NMFILIAL FROM FILIAL WHERE CDFILIAL = :P_CDFILIAL";
    {
        auto a = pool.acquire();
        auto b = pool.acquire();
        ASSERT_TRUE(db::scalarText(*a, q, {{"P_CDFILIAL", "0001"}}));
        ASSERT_TRUE(db::scalarText(*b, q, {{"P_CDFILIAL", "0001"}}));
    }
    sql() << "SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
              "WHERE datname = current_database() AND pid <> pg_backend_pid()";
    // Termination is asynchronous: the loss can be seen only once the
    // backends are gone (until then a call in flight fails, which is fine).
    for (int wait = 0; wait < 100; ++wait) {
        long long others = 1;
        sql() << "SELECT COUNT(*) FROM pg_stat_activity WHERE datname = current_database() AND pid <> pg_backend_pid()",
            soci::into(others);
        if (others == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    for (int round = 0; round < 2; ++round) {
        auto a = pool.acquire();
        auto b = pool.acquire();
        auto c = pool.acquire();
        for (auto* s : {&a, &b, &c}) {
            EXPECT_EQ(db::scalarText(**s, q, {{"P_CDFILIAL", "0001"}}), std::optional<std::string>("Hospital Central"))
                << "round " << round;
            EXPECT_EQ(db::cachedStatementCount(**s), 1u);
        }
    }
    EXPECT_EQ(pool.reconnections(), 3u);
}

// Behind a transaction pooler a connection may reach a different backend at
// every statement: with prepare=unnamed nothing is left prepared on the
// backend, while the client side still keeps and rebinds its statements.
TEST_P(StatementCache, UnnamedStatementsLeaveNothingPreparedOnTheServer) {
    if (GetParam() != db::Engine::PostgreSQL) GTEST_SKIP() << "SQLite prepares in process";
    const std::string q = "SELECT NMFILIAL AS NMFILIAL FROM FILIAL WHERE CDFILIAL = :P_CDFILIAL";
    const std::string prepared = "SELECT COUNT(*) AS N FROM pg_prepared_statements";
    auto serverPrepared = [&](const db::DatabaseUrl& url) {
        db::SessionPool pool(url, 1);
        auto s = pool.acquire();
        for (const char* branch : {"0001", "0002", "0001"}) EXPECT_TRUE(db::scalarText(*s, q, {{"P_CDFILIAL", branch}}));
        EXPECT_EQ(db::scalarText(*s, q, {{"P_CDFILIAL", "0002"}}), std::optional<std::string>("Hospital Zona Norte"));
        EXPECT_EQ(db::cachedStatementCount(*s), 1u);
        return db::scalarNumber(*s, prepared, {}).value_or(-1);
    };
    const std::string base = db_->url().toString();
    const std::string sep = base.find('?') == std::string::npos ? "?" : "&";
    EXPECT_EQ(serverPrepared(db::DatabaseUrl::parse(base + sep + "prepare=unnamed")), 0);
    // The default keeps both kept statements named on the backend.
    EXPECT_EQ(serverPrepared(db::DatabaseUrl::parse(base + sep + "prepare=named")), 2);
}

INQUERITO_ENGINES(StatementCache);

TEST(DatabaseUrlTest, PrepareOptionIsOursAndNotPassedToLibpq) {
    const auto unnamed = db::DatabaseUrl::parse("postgresql://inquerito@127.0.0.1:6432/inquerito?prepare=unnamed");
    EXPECT_FALSE(unnamed.namedStatements);
    EXPECT_EQ(unnamed.connectString.find("prepare"), std::string::npos) << unnamed.connectString;
    EXPECT_NE(unnamed.connectString.find("port='6432'"), std::string::npos) << unnamed.connectString;
    const auto mixed = db::DatabaseUrl::parse("postgresql://u@h/d?connect_timeout=5&prepare=named");
    EXPECT_TRUE(mixed.namedStatements);
    EXPECT_NE(mixed.connectString.find("connect_timeout='5'"), std::string::npos) << mixed.connectString;
    EXPECT_TRUE(db::DatabaseUrl::parse("postgresql://u@h/d").namedStatements);
    EXPECT_THROW(db::DatabaseUrl::parse("postgresql://u@h/d?prepare=sometimes"), std::invalid_argument);
}

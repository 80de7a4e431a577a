// A server starting over a database that others already serve: its schema
// check must neither wait on their writes nor trip over another starting server.
#include "TestDatabase.h"
#include "db/Schema.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

class SchemaStartup : public testsupport::EngineTest {};

TEST_P(SchemaStartup, AServerStartingWhileOthersWriteDoesNotWaitOnThem) {
    if (GetParam() != db::Engine::PostgreSQL) GTEST_SKIP() << "SQLite writers take turns by file lock";
    // A live write: the tables a call writes, held until it commits.
    auto writer = db::openSession(db_->url());
    *writer << "BEGIN";
    *writer << "LOCK TABLE SESSAO, AUDITORIA, REQUISICAO IN ROW EXCLUSIVE MODE";
    auto starting = db::openSession(db_->url());
    *starting << "SET lock_timeout = '2s'";
    EXPECT_NO_THROW(db::initializeDatabase(*starting, false));
    *writer << "ROLLBACK";
}

TEST_P(SchemaStartup, ServersStartingTogetherAllStart) {
    std::atomic<int> failures{0};
    std::vector<std::thread> servers;
    for (int i = 0; i < 4; ++i)
        servers.emplace_back([&] {
            try {
                auto s = db::openSession(db_->url());
                db::initializeDatabase(*s, false);
            } catch (const std::exception& e) {
                ADD_FAILURE() << e.what();
                ++failures;
            }
        });
    for (auto& t : servers) t.join();
    EXPECT_EQ(failures, 0);
}

INQUERITO_ENGINES(SchemaStartup);

#pragma once
#include "db/Database.h"

#include <memory>
#include <string>

namespace testsupport {

// A fresh database holding the demo data, private to one test.
// SQLite: a copy of a template file built once per process.
// PostgreSQL: a copy of the template database "inquerito_template" that the
// test script prepares, in the cluster named by INQUERITO_TEST_PG_URL
// ("postgresql://USER@HOST:PORT/"); the copy is dropped afterwards.
class TestDatabase {
public:
    ~TestDatabase();
    static std::unique_ptr<TestDatabase> create(db::Engine engine);
    // Whether the engine can be used here; with CI set, PostgreSQL must be.
    static bool available(db::Engine engine, std::string* why = nullptr);

    const db::DatabaseUrl& url() const { return url_; }

private:
    db::DatabaseUrl url_;
    std::string dropName_;
};

std::string engineName(db::Engine engine);

} // namespace testsupport

#include <gtest/gtest.h>

namespace testsupport {

// Base of the tests that run once per engine on a private demo database.
// Without PostgreSQL the PostgreSQL runs are skipped, except under CI.
class EngineTest : public ::testing::TestWithParam<db::Engine> {
protected:
    void SetUp() override;
    soci::session& sql();
    std::unique_ptr<TestDatabase> db_;

private:
    std::unique_ptr<soci::session> sql_;
};

}  // namespace testsupport

#define INQUERITO_ENGINES(Suite)                                                            \
    INSTANTIATE_TEST_SUITE_P(Engines, Suite,                                                \
                             ::testing::Values(db::Engine::SQLite, db::Engine::PostgreSQL), \
                             [](const auto& info) { return testsupport::engineName(info.param); })

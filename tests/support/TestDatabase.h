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

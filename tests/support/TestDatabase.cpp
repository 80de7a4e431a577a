#include "TestDatabase.h"

#include "db/Schema.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testsupport {

namespace {

std::atomic<int> counter{0};

fs::path scratchDir() {
    static const fs::path dir = [] {
        const char* base = std::getenv("INQUERITO_TEST_TMP");
        fs::path p = fs::path(base ? base : fs::temp_directory_path().string()) /
                     ("inquerito-tests-" + std::to_string(::getpid()));
        fs::create_directories(p);
        return p;
    }();
    return dir;
}

const fs::path& sqliteTemplate() {
    static std::once_flag once;
    static fs::path path;
    std::call_once(once, [] {
        // The test script prepares one template for all test processes.
        if (const char* prepared = std::getenv("INQUERITO_TEST_SQLITE_TEMPLATE"); prepared && fs::exists(prepared)) {
            path = prepared;
            return;
        }
        path = scratchDir() / "template.db";
        auto session = db::openSession(db::DatabaseUrl::parse("sqlite:" + path.string()));
        db::initializeDatabase(*session);
        *session << "PRAGMA wal_checkpoint(TRUNCATE)";
    });
    return path;
}

std::string pgBase() {
    const char* url = std::getenv("INQUERITO_TEST_PG_URL");
    std::string base = url ? url : "";
    if (!base.empty() && base.back() != '/') base += '/';
    return base;
}

}  // namespace

std::string engineName(db::Engine engine) { return engine == db::Engine::SQLite ? "SQLite" : "PostgreSQL"; }

bool TestDatabase::available(db::Engine engine, std::string* why) {
    if (engine == db::Engine::SQLite) return true;
    if (!pgBase().empty()) return true;
    if (why) *why = "INQUERITO_TEST_PG_URL is not set (the test script starts a PostgreSQL cluster)";
    return false;
}

std::unique_ptr<TestDatabase> TestDatabase::create(db::Engine engine) {
    auto t = std::unique_ptr<TestDatabase>(new TestDatabase());
    const int n = counter++;
    if (engine == db::Engine::SQLite) {
        const fs::path file = scratchDir() / ("test-" + std::to_string(n) + ".db");
        fs::remove(file);
        fs::copy_file(sqliteTemplate(), file);
        t->url_ = db::DatabaseUrl::parse("sqlite:" + file.string());
        t->dropName_ = file.string();
        return t;
    }
    const std::string name = "inq_test_" + std::to_string(::getpid()) + "_" + std::to_string(n);
    auto admin = db::openSession(db::DatabaseUrl::parse(pgBase() + "postgres"));
    *admin << "DROP DATABASE IF EXISTS " + name;
    *admin << "CREATE DATABASE " + name + " TEMPLATE inquerito_template";
    t->url_ = db::DatabaseUrl::parse(pgBase() + name);
    t->dropName_ = name;
    return t;
}

TestDatabase::~TestDatabase() {
    try {
        if (url_.engine == db::Engine::SQLite) {
            fs::remove(dropName_);
            fs::remove(dropName_ + "-wal");
            fs::remove(dropName_ + "-shm");
        } else {
            auto admin = db::openSession(db::DatabaseUrl::parse(pgBase() + "postgres"));
            *admin << "DROP DATABASE IF EXISTS " + dropName_ + " WITH (FORCE)";
        }
    } catch (...) {
    }
}

} // namespace testsupport

namespace testsupport {

void EngineTest::SetUp() {
    std::string why;
    if (!TestDatabase::available(GetParam(), &why)) {
        if (std::getenv("CI")) FAIL() << why;
        GTEST_SKIP() << why;
    }
    db_ = TestDatabase::create(GetParam());
}

soci::session& EngineTest::sql() {
    if (!sql_) sql_ = db::openSession(db_->url());
    return *sql_;
}

}  // namespace testsupport

#include "db/Database.h"

#include "db/SqliteFunctions.h"

#include <soci/postgresql/soci-postgresql.h>
#include <soci/sqlite3/soci-sqlite3.h>

#include <stdexcept>

namespace db {

DatabaseUrl DatabaseUrl::parse(const std::string& url) {
    DatabaseUrl u;
    if (url.rfind("sqlite:", 0) == 0) {
        u.engine = Engine::SQLite;
        u.sqlitePath = url.substr(7);
        if (u.sqlitePath.rfind("//", 0) == 0) u.sqlitePath = u.sqlitePath.substr(2);
        if (u.sqlitePath.empty()) throw std::invalid_argument("Caminho do banco SQLite não informado.");
        u.connectString = "db=" + u.sqlitePath + " timeout=30";
        return u;
    }
    if (url.rfind("postgresql://", 0) == 0 || url.rfind("postgres://", 0) == 0) {
        u.engine = Engine::PostgreSQL;
        u.connectString = url;
        return u;
    }
    throw std::invalid_argument("Banco de dados não reconhecido: " + url +
                                " (use sqlite:CAMINHO ou postgresql://USUARIO@HOST:PORTA/BANCO)");
}

std::string DatabaseUrl::toString() const {
    return engine == Engine::SQLite ? "sqlite:" + sqlitePath : connectString;
}

std::unique_ptr<soci::session> openSession(const DatabaseUrl& url) {
    std::unique_ptr<soci::session> s;
    if (url.engine == Engine::SQLite) {
        s = std::make_unique<soci::session>(*soci::factory_sqlite3(), url.connectString);
        auto* backend = static_cast<soci::sqlite3_session_backend*>(s->get_backend());
        registerSqliteFunctions(static_cast<void*>(backend->conn_));
        *s << "PRAGMA journal_mode = WAL";
        *s << "PRAGMA synchronous = NORMAL";
        *s << "PRAGMA busy_timeout = 30000";
        *s << "PRAGMA foreign_keys = ON";
    } else {
        s = std::make_unique<soci::session>(*soci::factory_postgresql(), url.connectString);
        *s << "SET client_min_messages = WARNING";
    }
    s->uppercase_column_names(true);
    return s;
}

Engine engineOf(soci::session& session) {
    return session.get_backend_name() == "postgresql" ? Engine::PostgreSQL : Engine::SQLite;
}

SessionPool::SessionPool(const DatabaseUrl& url, size_t size) : url_(url) {
    if (size == 0) size = 1;
    for (size_t i = 0; i < size; ++i) {
        sessions_.push_back(openSession(url));
        busy_.push_back(false);
    }
}

SessionPool::~SessionPool() = default;

SessionPool::Lease SessionPool::acquire() {
    std::unique_lock lock(mutex_);
    for (;;) {
        for (size_t i = 0; i < busy_.size(); ++i) {
            if (!busy_[i]) {
                busy_[i] = true;
                return Lease(*this, i);
            }
        }
        available_.wait(lock);
    }
}

void SessionPool::release(size_t index) {
    {
        std::lock_guard lock(mutex_);
        busy_[index] = false;
    }
    available_.notify_one();
}

SessionPool::Lease::~Lease() {
    if (pool_) pool_->release(index_);
}

WriteTransaction::WriteTransaction(soci::session& session, Engine engine) : session_(session) {
    session_ << (engine == Engine::SQLite ? "BEGIN IMMEDIATE" : "BEGIN");
}

WriteTransaction::~WriteTransaction() {
    if (!open_) return;
    try {
        session_ << "ROLLBACK";
    } catch (...) {
        // The connection may be gone; nothing more can be done here.
    }
}

void WriteTransaction::commit() {
    session_ << "COMMIT";
    open_ = false;
}

} // namespace db

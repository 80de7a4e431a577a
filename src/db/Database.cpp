#include "db/Database.h"

#include "db/Query.h"
#include "db/SqliteFunctions.h"

#include <soci/postgresql/soci-postgresql.h>
#include <soci/sqlite3/soci-sqlite3.h>

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <stdexcept>

namespace db {

namespace {

std::string percentDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string quoted(const std::string& value) {
    std::string out = "'";
    for (char c : value) {
        if (c == '\\' || c == '\'') out += '\\';
        out += c;
    }
    return out + "'";
}

// SOCI hands a URI without "=" to libpq as "URI=...", which libpq misreads;
// keyword/value pairs are understood by every version.
std::string postgresKeywords(const std::string& url) {
    std::string rest = url.substr(url.find("://") + 3);
    std::string query;
    if (auto q = rest.find('?'); q != std::string::npos) {
        query = rest.substr(q + 1);
        rest = rest.substr(0, q);
    }
    std::string dbname;
    if (auto slash = rest.find('/'); slash != std::string::npos) {
        dbname = rest.substr(slash + 1);
        rest = rest.substr(0, slash);
    }
    std::string user, password;
    if (auto at = rest.rfind('@'); at != std::string::npos) {
        user = rest.substr(0, at);
        rest = rest.substr(at + 1);
        if (auto colon = user.find(':'); colon != std::string::npos) {
            password = user.substr(colon + 1);
            user = user.substr(0, colon);
        }
    }
    std::string host = rest, port;
    if (auto colon = rest.rfind(':'); colon != std::string::npos && rest.find(']') == std::string::npos) {
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
    }
    std::string out;
    auto add = [&](const char* key, const std::string& value) {
        if (value.empty()) return;
        if (!out.empty()) out += ' ';
        out += std::string(key) + "=" + quoted(percentDecode(value));
    };
    add("host", host);
    add("port", port);
    add("dbname", dbname);
    add("user", user);
    add("password", password);
    size_t start = 0;
    while (start < query.size()) {
        size_t amp = query.find('&', start);
        const std::string pair = query.substr(start, amp == std::string::npos ? std::string::npos : amp - start);
        // prepare= is ours (DatabaseUrl), not libpq's.
        if (auto eq = pair.find('='); eq != std::string::npos && pair.substr(0, eq) != "prepare")
            add(pair.substr(0, eq).c_str(), pair.substr(eq + 1));
        if (amp == std::string::npos) break;
        start = amp + 1;
    }
    if (out.empty()) throw std::invalid_argument("Endereço PostgreSQL vazio: " + redactUrl(url));
    return out;
}

// The value of key=value in the URL's query part, if given.
std::optional<std::string> queryOption(const std::string& url, const std::string& key) {
    const auto q = url.find('?');
    if (q == std::string::npos) return std::nullopt;
    const std::string query = "&" + url.substr(q + 1);
    const auto at = query.find("&" + key + "=");
    if (at == std::string::npos) return std::nullopt;
    const auto start = at + key.size() + 2;
    return query.substr(start, query.find('&', start) - start);
}

}  // namespace

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
        if (const auto mode = queryOption(url, "prepare")) {
            if (*mode != "named" && *mode != "unnamed")
                throw std::invalid_argument("Opção prepare inválida em " + redactUrl(url) +
                                            " (use prepare=named ou prepare=unnamed)");
            u.namedStatements = *mode == "named";
        }
        u.connectString = postgresKeywords(url);
        u.original = url;
        return u;
    }
    throw std::invalid_argument("Banco de dados não reconhecido: " + redactUrl(url) +
                                " (use sqlite:CAMINHO ou postgresql://USUARIO@HOST:PORTA/BANCO)");
}

std::string DatabaseUrl::toString() const {
    return engine == Engine::SQLite ? "sqlite:" + sqlitePath : original;
}

std::string redactUrl(const std::string& url) {
    const auto scheme = url.find("://");
    if (scheme == std::string::npos) return url;
    std::string out = url;
    const auto hostStart = scheme + 3;
    const auto authorityEnd = std::min(out.find_first_of("/?", hostStart), out.size());
    const auto at = out.rfind('@', authorityEnd);
    if (at != std::string::npos && at >= hostStart) {
        const auto colon = out.find(':', hostStart);
        if (colon != std::string::npos && colon < at) out = out.substr(0, colon + 1) + "***" + out.substr(at);
    }
    // A password given as a query parameter goes too.
    if (const auto q = out.find('?'); q != std::string::npos) {
        const std::string query = out.substr(q + 1);
        std::string cleaned;
        size_t start = 0;
        while (start <= query.size()) {
            size_t amp = query.find('&', start);
            if (amp == std::string::npos) amp = query.size();
            std::string pair = query.substr(start, amp - start);
            if (pair.rfind("password=", 0) == 0) pair = "password=***";
            if (!pair.empty()) cleaned += (cleaned.empty() ? "" : "&") + pair;
            start = amp + 1;
        }
        out = out.substr(0, q + 1) + cleaned;
    }
    return out;
}

std::string DatabaseUrl::redacted() const {
    return engine == Engine::SQLite ? toString() : redactUrl(original);
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
        // Every pooled connection reads the file through the operating
        // system's page cache (mapped), instead of warming a private cache of
        // its own: a range read on a connection that was idle costs no more
        // than on a busy one.
        *s << "PRAGMA mmap_size = 1073741824";
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

bool connectionLost(soci::session& session) {
    if (session.get_backend_name() != "postgresql") return false;
    auto* backend = static_cast<soci::postgresql_session_backend*>(session.get_backend());
    PGconn* conn = backend->conn_;
    if (!conn || PQstatus(conn) != CONNECTION_OK) return true;
    // Nothing is in flight on an idle pooled connection: anything to read is
    // the server's farewell (or its end of file).
    pollfd p{PQsocket(conn), POLLIN, 0};
    return p.fd < 0 || ::poll(&p, 1, 0) != 0;
}

SessionPool::SessionPool(const DatabaseUrl& url, size_t size) : url_(url) {
    if (size == 0) size = 1;
    try {
        for (size_t i = 0; i < size; ++i) {
            sessions_.push_back(openSession(url));
            attachStatementCache(*sessions_.back(), url.namedStatements);
            busy_.push_back(false);
            lost_.push_back(false);
        }
    } catch (...) {
        // No cache may outlive its session, even when the pool is never built.
        for (auto& s : sessions_) detachStatementCache(*s);
        throw;
    }
}

SessionPool::~SessionPool() {
    for (auto& s : sessions_)
        if (s) detachStatementCache(*s);
}

SessionPool::Lease SessionPool::acquire() {
    size_t index = 0;
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            size_t i = 0;
            while (i < busy_.size() && busy_[i]) ++i;
            if (i < busy_.size()) {
                busy_[i] = true;
                index = i;
                break;
            }
            available_.wait(lock);
        }
    }
    Lease lease(*this, index);  // released again if reopening fails
    if (lost_[index] || !sessions_[index] || connectionLost(*sessions_[index])) reopen(index);
    return lease;
}

void SessionPool::reopen(size_t index) {
    lost_[index] = true;
    if (sessions_[index]) {
        detachStatementCache(*sessions_[index]);
        sessions_[index].reset();
    }
    sessions_[index] = openSession(url_);
    attachStatementCache(*sessions_[index], url_.namedStatements);
    lost_[index] = false;
    std::lock_guard lock(mutex_);
    ++reconnections_;
}

size_t SessionPool::reconnections() const {
    std::lock_guard lock(mutex_);
    return reconnections_;
}

void SessionPool::release(size_t index) {
    // A connection that failed under a call is replaced before its next use.
    if (sessions_[index] && connectionLost(*sessions_[index])) lost_[index] = true;
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

#pragma once
#include <soci/soci.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace db {

enum class Engine { SQLite, PostgreSQL };

// "sqlite:PATH" or "postgresql://USER@HOST:PORT/DB" (any libpq URI).
// A password may come in the URL (USER:PASSWORD@) or, better, from libpq's
// PGPASSWORD or ~/.pgpass; it is never printed (redacted()).
// "?prepare=unnamed" (PostgreSQL) keeps statements prepared on the client side
// only, for a connection through PgBouncer in transaction pooling, which does
// not keep named prepared statements between transactions.
struct DatabaseUrl {
    Engine engine = Engine::SQLite;
    bool namedStatements = true;
    std::string sqlitePath;
    std::string connectString;  // what SOCI's backend receives
    std::string original;       // the URL as given (PostgreSQL)

    static DatabaseUrl parse(const std::string& url);  // throws std::invalid_argument
    std::string toString() const;
    // The URL with any password replaced by "***": what may be printed or logged.
    std::string redacted() const;
};

// Opens one session with the settings every connection needs: upper-case
// column names, and for SQLite the WAL journal, a busy timeout, foreign keys
// and the helper functions of the generic dialect.
std::unique_ptr<soci::session> openSession(const DatabaseUrl& url);

// A fixed set of open sessions shared by the server's worker threads. Each
// keeps its prepared statements (Query.h). A session whose database
// connection was lost (server restarted, backend terminated) is opened again
// when it is next acquired, with a new statement cache; while the database is
// unreachable, acquire() throws and the next acquire tries again.
class SessionPool {
public:
    SessionPool(const DatabaseUrl& url, size_t size);
    ~SessionPool();
    SessionPool(const SessionPool&) = delete;
    SessionPool& operator=(const SessionPool&) = delete;

    Engine engine() const { return url_.engine; }

    class Lease {
    public:
        Lease(SessionPool& pool, size_t index) : pool_(&pool), index_(index) {}
        Lease(Lease&& other) noexcept : pool_(other.pool_), index_(other.index_) { other.pool_ = nullptr; }
        ~Lease();
        soci::session& operator*() const { return *pool_->sessions_[index_]; }
        soci::session* operator->() const { return pool_->sessions_[index_].get(); }

    private:
        SessionPool* pool_;
        size_t index_;
    };
    Lease acquire();

    // Connections opened again after one was found lost.
    size_t reconnections() const;

private:
    void release(size_t index);
    void reopen(size_t index);
    DatabaseUrl url_;
    std::vector<std::unique_ptr<soci::session>> sessions_;
    std::vector<bool> busy_;
    std::vector<char> lost_;  // per slot, touched only by the slot's holder
    size_t reconnections_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable available_;
};

// Whether the session's database connection is known or seen to be gone:
// libpq marked it bad, or the server spoke or hung up on an idle connection
// (a backend that is terminated says so and closes). Costs no round trip.
// Always false for SQLite.
bool connectionLost(soci::session& session);

// One write transaction. SQLite takes the write lock at once (BEGIN IMMEDIATE),
// so two writers never deadlock on a lock upgrade. Rolls back unless committed.
class WriteTransaction {
public:
    WriteTransaction(soci::session& session, Engine engine);
    ~WriteTransaction();
    void commit();

private:
    soci::session& session_;
    bool open_ = true;
};

Engine engineOf(soci::session& session);

// A URL with the password of its user part replaced by "***".
std::string redactUrl(const std::string& url);

} // namespace db

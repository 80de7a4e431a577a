// The application server measured at hospital scale, side by side in one run:
//  1. each operation called through the server over loopback (one kept-alive
//     client, random days with data), alternating call by call with the very
//     statements the server ran for that call, run directly on the same
//     database with statements prepared once: medians, p95 and ratios;
//  2. GetItemProd calls/s with 1, 2 and 4 clients;
//  3. SetItemPrato items/s with 1 and 4 clients (one product item per call,
//     each client on its own patient), in one-second turns alternating with
//     pgbench -N on the same cluster when a pgbench command is given (run
//     with -T, -c and -j added).
// Usage: server_load_bench --db URL [--patients N] [--calls N] [--seconds S]
//                          [--threads N] [--pgbench "COMMAND"] [--only PART]
// --only runs one part, for profiling: an operation's name ("GetInquNutr"),
// "throughput" or "writes".
#include "ScaleData.h"

#include "db/Query.h"
#include "protocol/ItemRecord.h"
#include "db/Schema.h"
#include "protocol/RpcClient.h"
#include "server/Dispatcher.h"
#include "server/HttpServer.h"

#include <httplib.h>

#include <algorithm>
#include <cstdlib>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using protocol::json;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Stats {
    double median = 0, p95 = 0;
};

Stats stats(std::vector<double> v) {
    if (v.empty()) return {};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 95 / 100)]};
}

// One statement the server ran, as it ran it.
struct Recorded {
    std::string sql;
    db::Params params;
    bool rows;
};

struct Recorder : db::StatementObserver {
    std::mutex mutex;
    std::vector<Recorded> statements;
    void ran(const std::string& sql, const db::Params& params, bool rows) override {
        std::lock_guard lock(mutex);
        statements.push_back({sql, params, rows});
    }
};

// Runs recorded statements directly: each prepared once on this session,
// then bound, executed and every row fetched.
class DirectRunner {
public:
    explicit DirectRunner(soci::session& s) : session_(s) {}

    // Sent with its values as a one-off statement (unnamed, planned for them).
    void runOnce(const Recorded& r) {
        Prepared p(session_);
        prepare(p, r, soci::details::st_one_time_query);
        bind(p, r);
        if (p.st.execute(true) && r.rows)
            while (p.st.fetch()) {
            }
    }

    void run(const Recorded& r) {
        std::string key = r.sql;
        for (const auto& p : r.params) key += (p.number ? "\x1e" : "\x1f") + p.name;
        auto it = prepared_.find(key);
        if (it == prepared_.end()) {
            auto p = std::make_unique<Prepared>(session_);
            prepare(*p, r, soci::details::st_repeatable_query);
            it = prepared_.emplace(key, std::move(p)).first;
        }
        Prepared& p = *it->second;
        bind(p, r);
        if (p.st.execute(true) && r.rows)
            while (p.st.fetch()) {
            }
    }

private:
    struct Prepared {
        explicit Prepared(soci::session& s) : st(s) {}
        std::vector<std::string> texts;
        std::vector<double> numbers;
        std::vector<soci::indicator> indicators;
        soci::row row;
        soci::statement st;
    };
    static void bind(Prepared& p, const Recorded& r) {
        for (size_t i = 0; i < r.params.size(); ++i) {
            const auto& param = r.params[i];
            p.indicators[i] = param.number || param.value ? soci::i_ok : soci::i_null;
            if (param.number) p.numbers[i] = *param.number;
            if (param.value) p.texts[i] = *param.value;
        }
    }
    void prepare(Prepared& target, const Recorded& r, soci::details::statement_type type) {
        Prepared* p = &target;
        p->texts.resize(r.params.size());
        p->numbers.resize(r.params.size());
        p->indicators.resize(r.params.size());
        p->st.alloc();
        for (size_t i = 0; i < r.params.size(); ++i) {
            if (r.params[i].number)
                p->st.exchange(soci::use(p->numbers[i], p->indicators[i], r.params[i].name));
            else
                p->st.exchange(soci::use(p->texts[i], p->indicators[i], r.params[i].name));
        }
        if (r.rows) p->st.exchange(soci::into(p->row));
        p->st.prepare(r.sql, type);
        p->st.define_and_bind();
    }
    soci::session& session_;
    std::unordered_map<std::string, std::unique_ptr<Prepared>> prepared_;
};

// A day with data: a patient's period and one service and day of it.
struct Sample {
    std::string patient, start, end, service, day;
};

std::vector<Sample> samples(soci::session& s, int patients, int n, std::mt19937& rng) {
    std::vector<Sample> out;
    std::uniform_int_distribution<int> pick(0, patients - 1);
    while (static_cast<int>(out.size()) < n) {
        char code[16];
        std::snprintf(code, sizeof code, "L%011d", pick(rng));
        const auto days = db::query(s,
                                    "SELECT I.DTINIINQU AS DTINIINQU, P.DTFININQU AS DTFININQU, "
                                    "I.CDSERVFILI AS CDSERVFILI, I.DTINQUERITO AS DTINQUERITO "
                                    "FROM ITINQUERPACI I JOIN INQUERPACI P ON P.CDFILIAL = I.CDFILIAL "
                                    "AND P.CDPACIENTE = I.CDPACIENTE AND P.DTINIINQU = I.DTINIINQU "
                                    "WHERE I.CDFILIAL = '0001' AND I.CDPACIENTE = :P_CDPACIENTE",
                                    {{"P_CDPACIENTE", code}},
                                    {{"DTINIINQU", protocol::FieldType::Date, 0},
                                     {"DTFININQU", protocol::FieldType::Date, 0},
                                     {"CDSERVFILI", protocol::FieldType::String, 5},
                                     {"DTINQUERITO", protocol::FieldType::Date, 0}});
        if (days.rows.empty()) continue;
        const auto& r = days.rows[std::uniform_int_distribution<size_t>(0, days.rows.size() - 1)(rng)];
        out.push_back({code, r[0].get<std::string>(), r[1].get<std::string>(), r[2].get<std::string>(),
                       r[3].get<std::string>()});
    }
    return out;
}

struct Operation {
    const char* label;
    const char* method;
    std::function<json(const Sample&)> args;
    bool small;  // a small read (target 1.5x SQL + round trip) or a heavy one (target 1.2x)
};

std::string plus30(const std::string& start) {
    auto d = protocol::Date::parse(start);
    return d->addDays(30).toString();
}

std::vector<Operation> operations() {
    const std::string inq = "Zep12600.rdmInquerito.", calc = "Zep12610.rdmCalcular.";
    auto day = [](const Sample& s) { return json::array({s.patient, "0001", s.service, s.start, s.end, s.day}); };
    return {
        {"GetItemProd", "Zep12600.rdmInquerito.GetItemProd", day, true},
        {"GetInqPaci", "Zep12600.rdmInquerito.GetInqPaci",
         [](const Sample& s) { return json::array({"0001", s.patient}); }, true},
        {"GetPaciente", "Zep12600.rdmInquerito.GetPaciente",
         [](const Sample& s) { return json::array({"0001", s.patient}); }, true},
        {"GetSeqInquer", "Zep12600.rdmInquerito.GetSeqInquer",
         [](const Sample& s) { return json::array({"0001", s.patient, s.start, s.end, s.service, s.day}); }, true},
        {"GetHoraItem", "Zep12600.rdmInquerito.GetHoraItem", day, true},
        {"GetCalc (31 days)", "Zep12610.rdmCalcular.GetCalc",
         [](const Sample& s) { return json::array({s.patient, s.start, plus30(s.start), "0001", "", "T", "T"}); },
         false},
        {"GetNutrCalc (31 days)", "Zep12610.rdmCalcular.GetNutrCalc",
         [](const Sample& s) { return json::array({s.patient, s.start, plus30(s.start), "0001", "T", "004"}); },
         false},
        {"getMacro (31 days)", "Zep12610.rdmCalcular.getMacro",
         [](const Sample& s) { return json::array({s.patient, s.start, plus30(s.start), "0001", "T"}); }, false},
        {"GetInquNutr (31 days)", "Zep12640.rdmPlaInqNutr.GetInquNutr",
         [](const Sample& s) { return json::array({s.start, plus30(s.start), s.patient, "0001", "T", "", "T"}); },
         false},
    };
}

// Calls per second over `seconds` with `clients` clients, each on its own connection.
double throughput(int port, int clients, double seconds, const std::function<json(int client, int call)>& args,
                  const char* method, int* failures, int* done = nullptr) {
    std::atomic<int> calls{0}, failed{0};
    std::vector<std::thread> threads;
    const auto start = Clock::now();
    const auto until = start + std::chrono::duration<double>(seconds);
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&, c] {
            protocol::RpcClient client("127.0.0.1", port);
            for (int i = 0; Clock::now() < until; ++i) {
                try {
                    client.call(method, args(c, i));
                    ++calls;
                } catch (const std::exception& e) {
                    if (failed++ == 0) std::fprintf(stderr, "%s failed: %s\n", method, e.what());
                }
            }
        });
    for (auto& t : threads) t.join();
    *failures += failed;
    if (done) *done = calls;
    return calls / (msSince(start) / 1000.0);
}

// pgbench -N's transactions per second with `clients` clients for `seconds`, or 0.
double pgbench(const std::string& command, int clients, int seconds) {
    if (command.empty()) return 0;
    const std::string full = command + " -T " + std::to_string(seconds) + " -c " + std::to_string(clients) + " -j " +
                             std::to_string(clients) + " 2>&1";
    FILE* p = ::popen(full.c_str(), "r");
    if (!p) return 0;
    char line[512];
    double tps = 0;
    while (std::fgets(line, sizeof line, p))
        if (std::sscanf(line, "tps = %lf", &tps) == 1) break;
    while (std::fgets(line, sizeof line, p)) {
    }
    ::pclose(p);
    return tps;
}

json itemFields() { return protocol::fieldsToJson(protocol::item::fields()); }

// The database's own time per statement over the write turns, from
// pg_stat_statements when the cluster loads it: where an item's time goes
// inside PostgreSQL next to where a pgbench transaction's goes.
bool statementStatsReset(soci::session& s) {
    try {
        s << "SELECT pg_stat_statements_reset()";
        return true;
    } catch (const std::exception& e) {
        std::printf("(no statement profile: %s)\n", e.what());
        return false;
    }
}

// Each statement of an item (or of a pgbench transaction) runs once per
// item (transaction), so the most called one of a database counts them.
void printStatementStats(soci::session& s) {
    const auto rows = db::query(
        s,
        "SELECT D.DATNAME AS DB, S.CALLS AS CALLS, S.TOTAL_EXEC_TIME AS MS, "
        "SUBSTR(REGEXP_REPLACE(S.QUERY, '\\s+', ' ', 'g'), 1, 60) AS SQL "
        "FROM PG_STAT_STATEMENTS S JOIN PG_DATABASE D ON D.OID = S.DBID "
        "WHERE D.DATNAME IN ('inquerito', 'pgbench') AND S.CALLS >= 100 ORDER BY D.DATNAME, S.TOTAL_EXEC_TIME DESC",
        {},
        {{"DB", protocol::FieldType::String, 64},
         {"CALLS", protocol::FieldType::Float, 0},
         {"MS", protocol::FieldType::Float, 0},
         {"SQL", protocol::FieldType::String, 60}});
    std::map<std::string, double> perUnit, units;
    for (const auto& r : rows.rows) {
        double& n = units[r[0].get<std::string>()];
        n = std::max(n, r[1].get<double>());
    }
    for (const auto& r : rows.rows) {
        const std::string db = r[0].get<std::string>();
        const double per = units[db];
        const double us = r[2].get<double>() * 1000.0 / per;
        perUnit[db] += us;
        std::printf("    %-9s %7.1f us per %-11s %s\n", db.c_str(), us, db == "pgbench" ? "transaction" : "item",
                    r[3].get<std::string>().c_str());
    }
    if (perUnit.count("inquerito") && perUnit.count("pgbench"))
        std::printf("    inside the database: %.1f us per item, %.1f us per pgbench transaction (%.2fx)\n",
                    perUnit["inquerito"], perUnit["pgbench"], perUnit["inquerito"] / perUnit["pgbench"]);
}

}  // namespace

int main(int argc, char** argv) {
    std::string url, pgbenchCommand, only;
    int patients = 12000, calls = 300, threads = 8;
    double seconds = 10;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) throw std::runtime_error("missing value of " + a);
            return argv[++i];
        };
        if (a == "--db") url = next();
        else if (a == "--patients") patients = std::stoi(next());
        else if (a == "--calls") calls = std::stoi(next());
        else if (a == "--seconds") seconds = std::stod(next());
        else if (a == "--threads") threads = std::stoi(next());
        else if (a == "--pgbench") pgbenchCommand = next();
        else if (a == "--only") only = next();
        else {
            std::fprintf(stderr, "unknown option %s\n", a.c_str());
            return 2;
        }
    }
    if (url.empty()) {
        std::fprintf(stderr, "usage: server_load_bench --db URL [--patients N] [--calls N] [--seconds S]\n");
        return 2;
    }
    const auto dbUrl = db::DatabaseUrl::parse(url);
    const bool pg = dbUrl.engine == db::Engine::PostgreSQL;
    auto direct = db::openSession(dbUrl);
    db::initializeDatabase(*direct);
    const long long items = bench::ensureScaleData(*direct, dbUrl.engine, patients);

    db::SessionPool pool(dbUrl, static_cast<size_t>(threads));
    server::Dispatcher dispatcher;
    server::registerAll(dispatcher);
    server::ServerOptions options;
    options.port = 0;
    options.threads = static_cast<size_t>(threads);
    options.log = false;
    server::HttpServer http(pool, dispatcher, options);
    const int port = http.bind();
    std::thread serving([&] { http.run(); });
    // Every client of the server uses the session; the in-process calls carry it too.
    server::RequestMeta meta;
    meta.token = protocol::RpcClient("127.0.0.1", port).login("DEMO", "demo", "0001").value("token", "");
    meta.address = "127.0.0.1";

    std::mt19937 rng(12600);
    const auto days = samples(*direct, patients, calls, rng);
    std::printf("\n%s, %lld items, %d patients; %d calls per operation on random days with data; "
                "server with %d worker threads, loopback, keep-alive client\n\n",
                pg ? "PostgreSQL" : "SQLite", items, patients, calls, threads);

    // Latency: server call and its own statements run directly, alternating.
    Recorder recorder;
    DirectRunner runner(*direct);
    auto client = std::make_unique<protocol::RpcClient>("127.0.0.1", port);
    httplib::Client healthClient("127.0.0.1", port);
    healthClient.set_tcp_nodelay(true);
    healthClient.set_keep_alive(true);
    // The bare round trip through the server, timed next to every call of
    // each operation: on an idle machine a wake-up costs tens of
    // microseconds more than on a busy one, so it is taken in the same turns.
    auto timeHealth = [&](std::vector<double>& into) {
        const auto t = Clock::now();
        healthClient.Get("/health");
        into.push_back(msSince(t));
    };
    std::vector<double> allHealth;
    std::printf("%-22s %9s %9s %11s %9s %7s %9s\n", "operation", "server", "p95", "direct SQL", "p95", "ratio",
                "target");
    bool allMet = true;
    auto wanted = [&](const std::string& part) { return only.empty() || part.rfind(only, 0) == 0; };
    for (const auto& op : operations()) {
        if (!wanted(op.label)) continue;
        std::vector<double> viaServer, viaSql, viaSqlOnce, inProcess, health;
        int statementsPerCall = 0;
        double replyBytes = 0;
        for (int i = 0; i < calls; ++i) {
            const json args = op.args(days[static_cast<size_t>(i)]);
            recorder.statements.clear();
            db::setStatementObserver(&recorder);
            client->call(op.method, args);  // records the statements, warms both caches
            db::setStatementObserver(nullptr);
            std::vector<Recorded> statements;
            {
                std::lock_guard lock(recorder.mutex);
                statements = recorder.statements;
            }
            statementsPerCall = static_cast<int>(statements.size());
            for (const auto& s : statements) runner.run(s);
            // The reply is taken as it arrives, not parsed: the client's JSON
            // library is not the server's time.
            protocol::RpcRequest request;
            request.id = i;
            request.method = op.method;
            request.params = args;
            const std::string body = request.serialize();
            auto timeServer = [&] {
                const auto t = Clock::now();
                const std::string reply = client->post(body);
                viaServer.push_back(msSince(t));
                replyBytes += static_cast<double>(reply.size());
                if (reply.compare(0, 6, "{\"id\":") != 0 || reply.find("\"result\"") == std::string::npos)
                    throw std::runtime_error(std::string(op.method) + " failed: " + reply.substr(0, 300));
            };
            auto timeSql = [&] {
                const auto t = Clock::now();
                for (const auto& s : statements) runner.run(s);
                viaSql.push_back(msSince(t));
                if (op.small) return;
                // A heavy read's SQL also as one-off statements, planned with
                // their values: the better of the two ways is its reference.
                const auto u = Clock::now();
                for (const auto& s : statements) runner.runOnce(s);
                viaSqlOnce.push_back(msSince(u));
            };
            // The same call handed to the dispatcher in this process: the
            // server's work without HTTP and the loopback.
            auto timeDispatch = [&] {
                const auto t = Clock::now();
                const auto outcome = dispatcher.handle(body, pool, meta);
                if (!outcome.ok) throw std::runtime_error(std::string(op.method) + " failed in process: " + outcome.error);
                inProcess.push_back(msSince(t));
            };
            if (i % 2) {
                timeServer();
                timeHealth(health);
                timeSql();
                timeDispatch();
            } else {
                timeDispatch();
                timeSql();
                timeHealth(health);
                timeServer();
            }
        }
        allHealth.insert(allHealth.end(), health.begin(), health.end());
        const double healthMs = stats(health).median;
        const Stats s = stats(viaServer), prepared = stats(viaSql), once = stats(viaSqlOnce), h = stats(inProcess);
        const Stats d = op.small || prepared.median <= once.median ? prepared : once;
        const double ratio = s.median / d.median;
        const double againstRoundTrip = s.median / (d.median + healthMs);
        const bool met = op.small ? againstRoundTrip <= 1.5 : ratio <= 1.2;
        allMet = allMet && met;
        std::printf("%-22s %7.3f ms %7.3f %8.3f ms %7.3f %7.2f   %s %s (%d statements)\n", op.label, s.median, s.p95,
                    d.median, d.p95, ratio,
                    op.small ? "<= 1.5x SQL + round trip:" : "<= 1.2x SQL:", met ? "met" : "MISSED", statementsPerCall);
        std::printf("%-22s without HTTP (dispatcher in process): %.3f ms", "", h.median);
        if (!op.small)
            std::printf("; SQL prepared once %.3f ms, as one-off statements %.3f ms", prepared.median, once.median);
        if (op.small)
            std::printf("; server / (SQL + /health round trip of %.3f ms) = %.2f", healthMs, againstRoundTrip);
        std::printf("; reply %.0f kB on average", replyBytes / calls / 1000.0);
        std::printf("\n");
        std::fflush(stdout);
    }
    if (!allHealth.empty())
        std::printf("GET /health round trip, timed in the same turns: median %.3f ms\n", stats(allHealth).median);
    client.reset();

    // Read throughput.
    int failures = 0;
    if (wanted("throughput")) std::printf("\nGetItemProd throughput (%.0f s each):", seconds);
    double one = 0;
    for (int clients : {1, 2, 4}) {
        if (!wanted("throughput")) break;
        const double rate = throughput(
            port, clients, seconds,
            [&](int c, int i) {
                const Sample& s = days[static_cast<size_t>((c * 7919 + i) % static_cast<int>(days.size()))];
                return json::array({s.patient, "0001", s.service, s.start, s.end, s.day});
            },
            "Zep12600.rdmInquerito.GetItemProd", &failures);
        if (clients == 1) one = rate;
        std::printf("  %d client%s %.0f calls/s (%.2fx)", clients, clients > 1 ? "s" : "", rate, rate / one);
        std::fflush(stdout);
    }
    std::printf("\n");

    // Writes: one product item per call, each client on its own patient,
    // cycling over the days and services of that patient's period.
    if (wanted("writes")) {
        // Foods vary from call to call, as a ward's do.
        const std::vector<bench::ScaleProduct> products = bench::scaleProducts(*direct);
        // Client c takes every fourth sampled patient in turn, so a day and
        // service holds a few items as in use, not thousands piled on one
        // patient; each pass over the patients moves to another day and service.
        const int sampled = static_cast<int>(days.size());
        auto writer = [&](int c, int i) {
            const int at = c + 4 * i, pass = at / sampled;
            const Sample& s = days[static_cast<size_t>(at % sampled)];
            const auto start = *protocol::Date::parse(s.start);
            const long span = protocol::Date::parse(s.end)->toDayNumber() - start.toDayNumber() + 1;
            const std::string day = start.addDays(pass % span).toString();
            char service[8];
            std::snprintf(service, sizeof service, "%05d", 1 + (pass / static_cast<int>(span)) % 6);
            const bench::ScaleProduct& food = products[static_cast<size_t>(at) % products.size()];
            const json row = json::array({s.patient, food.tree, nullptr, food.measure, "0", s.start, s.end,
                                          2 * food.weight, day, 2.0,
                                          "0001", service, nullptr, "", "1200", nullptr, nullptr, nullptr, nullptr});
            return json::array({json{{"fields", itemFields()}, {"changes", json::array({{{"kind", "insert"}, {"new", row}}})}}});
        };
        {
            // The statements of one item, the security layer's included (the
            // session check is remembered, so it shows only when its time is up).
            Recorder one;
            db::setStatementObserver(&one);
            protocol::RpcClient("127.0.0.1", port).call("Zep12600.rdmInquerito.SetItemPrato", writer(3, 0));
            db::setStatementObserver(nullptr);
            std::printf("SetItemPrato, one product item: %zu statements between BEGIN and COMMIT\n", one.statements.size());
        }
        const double before = static_cast<double>(*db::scalarNumber(*direct, "SELECT COUNT(*) AS N FROM ITINQUERPACI", {}));
        // Side by side: one-second turns of the server's writes and of pgbench -N
        // (when given) alternate, the order swapped every turn, so both see the
        // same machine; the load average is printed with each figure.
        int written = 0;
        const int turns = std::max(1, static_cast<int>(seconds + 0.5));
        for (int clients : {1, 4}) {
            double serverItems = 0, serverSeconds = 0, pgTps = 0;
            int pgTurns = 0, done = 0;
            const bool profiled = pg && !pgbenchCommand.empty() && statementStatsReset(*direct);
            auto serverTurn = [&] {
                const auto t = Clock::now();
                throughput(port, clients, 1.0, writer, "Zep12600.rdmInquerito.SetItemPrato", &failures, &done);
                serverSeconds += msSince(t) / 1000.0;
                serverItems += done;
                written += done;
            };
            auto pgTurn = [&] {
                if (pgbenchCommand.empty()) return;
                const double tps = pgbench(pgbenchCommand, clients, 1);
                if (tps > 0) {
                    pgTps += tps;
                    ++pgTurns;
                }
            };
            for (int turn = 0; turn < turns; ++turn) {
                if (turn % 2) {
                    pgTurn();
                    serverTurn();
                } else {
                    serverTurn();
                    pgTurn();
                }
            }
            const double items = serverItems / serverSeconds;
            double load[3] = {0, 0, 0};
            ::getloadavg(load, 3);
            std::printf("SetItemPrato (one product item per call), %d client%s, %d one-second turns: %.0f items/s", clients,
                        clients > 1 ? "s" : "", turns, items);
            if (pgTurns)
                std::printf("; pgbench -N in the turns between: %.0f tps -> %.2fx (target >= 0.5x)", pgTps / pgTurns,
                            items / (pgTps / pgTurns));
            std::printf("; load %.1f\n", load[0]);
            if (profiled) printStatementStats(*direct);
            std::fflush(stdout);
        }
        const double after = static_cast<double>(*db::scalarNumber(*direct, "SELECT COUNT(*) AS N FROM ITINQUERPACI", {}));
        std::printf("SetItemPrato: %d items acknowledged, %.0f rows added\n", written, after - before);
        // The written items go again, so that the next run starts from the same data.
        for (const Sample& sample : days)
            db::execute(*direct,
                        "DELETE FROM ITINQUERPACI WHERE CDFILIAL = '0001' AND CDPACIENTE = :P_CDPACIENTE "
                        "AND HRSERVINQ = '1200'",
                        {{"P_CDPACIENTE", sample.patient}});
    }
    if (failures) std::printf("%d calls failed\n", failures);
    double load[3] = {0, 0, 0};
    if (::getloadavg(load, 3) > 0)
        std::printf("\nload average of this machine at the end: %.1f (1 min), %.1f (5 min) on %u cores\n", load[0],
                    load[1], std::thread::hardware_concurrency());
    std::printf("latency targets %s\n", allMet ? "all met" : "not all met (see MISSED)");

    http.stop();
    serving.join();
    return failures ? 1 : 0;
}

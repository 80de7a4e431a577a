// A hospital network's call mix against the stack of scripts/cluster.sh,
// side by side in one run: the same simulated dietitians with 1, 2 and 4
// instances behind HAProxy, then with 4 instances and one killed (-9) every
// `kill-every` seconds (started again `restart-after` seconds later, as a
// service manager would). Also, for the statement setting, 2 instances
// connected straight to PostgreSQL with named prepared statements.
//
// One dietitian, in a loop, with a think time between calls: opens a patient
// (GetPaciente, GetInqPaci), loads a day (GetItemProd, GetItemPrato), posts 10
// items one by one (SetItemPrato) and calculates the week (GetCalc). Every
// dietitian has a patient of its own. Each call goes through the desktop's
// protocol client: a transport failure is retried with the same request id.
// After each run the posted items are counted in the database: none lost
// (acknowledged but missing), none doubled (more rows than posts).
//
// Usage: cluster_load_bench --script scripts/cluster.sh --server BIN --dir DIR
//          [--dietitians N] [--seconds S] [--think-ms M] [--kill-every S]
//          [--restart-after S] [--kill-seconds S]
#include "ScaleData.h"

#include "db/Database.h"
#include "db/Query.h"
#include "protocol/Dates.h"
#include "protocol/ItemRecord.h"
#include "protocol/RpcClient.h"

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using protocol::json;

std::string script, serverBin, dir;

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int sh(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string cluster(const std::string& arguments) {
    return "INQUERITO_SERVER='" + serverBin + "' bash '" + script + "' " + arguments + " --dir '" + dir + "'";
}

std::map<std::string, std::string> clusterEnv() {
    std::map<std::string, std::string> env;
    std::istringstream lines(readFile(dir + "/cluster.env"));
    for (std::string line; std::getline(lines, line);)
        if (auto eq = line.find('='); eq != std::string::npos) env[line.substr(0, eq)] = line.substr(eq + 1);
    return env;
}

json itemFields() { return protocol::fieldsToJson(protocol::item::fields()); }

struct Patient {
    std::string code, start, end;
};

struct Product {
    std::string tree, measure;
    double weight = 100;
};

struct Result {
    std::string label;
    long long calls = 0, errors = 0, retried = 0, posted = 0, stored = 0, kills = 0;
    double seconds = 0, p50 = 0, p95 = 0;
};

class Phase {
public:
    Phase(std::vector<Patient> patients, Product product, std::string marker, int thinkMs)
        : patients_(std::move(patients)), product_(std::move(product)), marker_(std::move(marker)),
          thinkMs_(thinkMs) {}

    Result run(const protocol::ServerEndpoint& front, const std::string& token, double seconds) {
        std::vector<std::thread> threads;
        const auto until = Clock::now() + std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
        const auto start = Clock::now();
        for (size_t d = 0; d < patients_.size(); ++d)
            threads.emplace_back([&, d] { dietitian(d, front, token, until); });
        for (auto& t : threads) t.join();
        Result r;
        r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::sort(latencies_.begin(), latencies_.end());
        r.calls = static_cast<long long>(latencies_.size()) + errors_;
        if (!latencies_.empty()) {
            r.p50 = latencies_[latencies_.size() / 2];
            r.p95 = latencies_[std::min(latencies_.size() - 1, latencies_.size() * 95 / 100)];
        }
        r.errors = errors_;
        r.retried = retried_;
        r.posted = posted_;
        return r;
    }

private:
    void dietitian(size_t d, const protocol::ServerEndpoint& front, const std::string& token, Clock::time_point until) {
        protocol::RpcClient client(front, 30);
        client.setToken(token);
        const Patient& p = patients_[d];
        std::mt19937 rng(static_cast<unsigned>(d * 7919 + 17));
        const auto first = *protocol::Date::parse(p.start);
        const long span = protocol::Date::parse(p.end)->toDayNumber() - first.toDayNumber() + 1;
        const std::string weekEnd = first.addDays(std::min<long>(6, span - 1)).toString();
        std::vector<double> mine;
        long long errors = 0, retried = 0, posted = 0;
        auto think = [&] {
            if (thinkMs_ <= 0) return;
            std::uniform_int_distribution<int> jitter(thinkMs_ / 2, thinkMs_ * 3 / 2);
            std::this_thread::sleep_for(std::chrono::milliseconds(jitter(rng)));
        };
        // As the desktop calls: a transport failure is retried with the same id.
        auto call = [&](const std::string& method, const json& params) {
            const std::string id = protocol::newRequestId();
            const auto t0 = Clock::now();
            try {
                try {
                    client.call(method, params, id);
                } catch (const protocol::RpcFailure& e) {
                    if (e.code() != protocol::rpc_error::Transport) throw;
                    ++retried;
                    client.callRetrying(method, params, id);
                }
                mine.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
                return true;
            } catch (const std::exception& e) {
                if (errors++ < 3) std::fprintf(stderr, "  %s: %s\n", method.c_str(), e.what());
                return false;
            }
        };
        const std::string I = "Zep12600.rdmInquerito.";
        for (int cycle = 0; Clock::now() < until; ++cycle) {
            const std::string day = first.addDays(cycle % span).toString();
            const json dayArgs = json::array({p.code, "0001", "00002", p.start, p.end, day});
            call(I + "GetPaciente", {"0001", p.code});
            think();
            call(I + "GetInqPaci", {"0001", p.code});
            think();
            call(I + "GetItemProd", dayArgs);
            call(I + "GetItemPrato", dayArgs);
            think();
            for (int item = 0; item < 10 && Clock::now() < until; ++item) {
                const json row = json::array({p.code, product_.tree, nullptr, product_.measure, "0", p.start, p.end,
                                              product_.weight, day, 1.0, "0001", "00002", nullptr, "", marker_,
                                              nullptr, nullptr, nullptr, nullptr});
                const json packet = {{"fields", itemFields()},
                                     {"changes", json::array({{{"kind", "insert"}, {"new", row}}})}};
                if (call(I + "SetItemPrato", json::array({packet}))) ++posted;
                think();
            }
            call("Zep12610.rdmCalcular.GetCalc", {p.code, p.start, weekEnd, "0001", "", "T", "T"});
            think();
        }
        std::lock_guard lock(mutex_);
        latencies_.insert(latencies_.end(), mine.begin(), mine.end());
        errors_ += errors;
        retried_ += retried;
        posted_ += posted;
    }

    std::vector<Patient> patients_;
    Product product_;
    std::string marker_;
    int thinkMs_;
    std::mutex mutex_;
    std::vector<double> latencies_;
    long long errors_ = 0, retried_ = 0, posted_ = 0;
};

}  // namespace

int run(int argc, char** argv);

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cluster_load_bench: %s\n", e.what());
        if (!dir.empty()) sh(cluster("down") + " >/dev/null");
        return 1;
    }
}

int run(int argc, char** argv) {
    int dietitians = 48, thinkMs = 100, killEvery = 20, restartAfter = 5;
    double seconds = 30, killSeconds = 70;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i], v = argv[i + 1];
        if (a == "--script") script = v;
        else if (a == "--server") serverBin = v;
        else if (a == "--dir") dir = v;
        else if (a == "--dietitians") dietitians = std::stoi(v);
        else if (a == "--seconds") seconds = std::stod(v);
        else if (a == "--think-ms") thinkMs = std::stoi(v);
        else if (a == "--kill-every") killEvery = std::stoi(v);
        else if (a == "--restart-after") restartAfter = std::stoi(v);
        else if (a == "--kill-seconds") killSeconds = std::stod(v);
        else {
            std::fprintf(stderr, "unknown option %s\n", a.c_str());
            return 2;
        }
    }
    if (script.empty() || serverBin.empty() || dir.empty()) {
        std::fprintf(stderr, "usage: cluster_load_bench --script cluster.sh --server BIN --dir DIR [...]\n");
        return 2;
    }

    // The database: demo data plus one patient with a survey period per dietitian.
    if (sh(cluster("up --servers 1 --port 0 --demo") + " >/dev/null") != 0) return 1;
    auto env = clusterEnv();
    ::setenv("PGPASSFILE", (dir + "/pgpass").c_str(), 1);
    // PostgreSQL gets a new port at every `up`.
    auto directUrl = [&] {
        return db::DatabaseUrl::parse("postgresql://inquerito@127.0.0.1:" + env["PG_PORT"] + "/inquerito");
    };
    std::vector<Patient> patients;
    Product product;
    {
        auto s = db::openSession(directUrl());
        *s << "SET client_min_messages = ERROR";  // ANALYZE skips the catalogues it may not touch
        bench::ensureScaleData(*s, db::Engine::PostgreSQL, std::max(dietitians * 4, 200));
        const auto rows = db::query(*s,
                                    "SELECT CDPACIENTE AS CDPACIENTE, DTINIINQU AS DTINIINQU, DTFININQU AS DTFININQU "
                                    "FROM INQUERPACI WHERE CDFILIAL = '0001' AND CDPACIENTE LIKE 'L%' "
                                    "ORDER BY CDPACIENTE",
                                    {},
                                    {{"CDPACIENTE", protocol::FieldType::String, 12},
                                     {"DTINIINQU", protocol::FieldType::Date, 0},
                                     {"DTFININQU", protocol::FieldType::Date, 0}});
        for (size_t i = 0; i < rows.rows.size() && static_cast<int>(patients.size()) < dietitians; i += 4)
            patients.push_back({rows.rows[i][0].get<std::string>(), rows.rows[i][1].get<std::string>(),
                                rows.rows[i][2].get<std::string>()});
        const bench::ScaleProduct p = bench::scaleProduct(*s);
        product = {p.tree, p.measure, p.weight};
        // Items of earlier runs go, so every run counts from zero.
        db::execute(*s, "DELETE FROM ITINQUERPACI WHERE HRSERVINQ LIKE '23%'", {});
    }
    sh(cluster("down") + " >/dev/null");

    std::printf("%d dietitians, think time %d ms (0.5x to 1.5x), %.0f s per run; %u cores, shared with other work\n",
                dietitians, thinkMs, seconds, std::thread::hardware_concurrency());
    std::vector<Result> results;
    struct Run {
        std::string label;
        int servers;
        std::string options;
        bool kill;
        int think;
    };
    // Without think time the same dietitians saturate the stack: what an
    // instance can serve here.
    const std::vector<Run> runs = {
        {"1 instance", 1, "", false, thinkMs},
        {"2 instances", 2, "", false, thinkMs},
        {"4 instances", 4, "", false, thinkMs},
        {"2 inst., direct, named", 2, "--direct", false, thinkMs},
        {"1 instance, no think time", 1, "", false, 0},
        {"2 instances, no think time", 2, "", false, 0},
        {"2 inst., direct, named, no think", 2, "--direct", false, 0},
        {"2 inst., direct, unnamed, no think", 2, "--direct --unnamed", false, 0},
        {"4 inst., kill -9 every " + std::to_string(killEvery) + " s", 4, "", true, thinkMs},
    };
    int markerNo = 0;
    for (const Run& run : runs) {
        if (sh(cluster("up --port 0 --servers " + std::to_string(run.servers) + " " + run.options) + " >/dev/null") != 0)
            return 1;
        env = clusterEnv();
        protocol::ServerEndpoint front;
        front.port = std::stoi(env["FRONT_PORT"]);
        protocol::RpcClient login(front, 30);
        login.setToken("");
        login.login("DEMO", "demo", "0001");
        char marker[16];
        std::snprintf(marker, sizeof marker, "23%02d", ++markerNo);
        Phase phase(patients, product, marker, run.think);

        std::atomic<bool> done{false};
        std::atomic<long long> kills{0};
        std::thread killer;
        // A kill every killEvery seconds, on the next instance in turn; the
        // killed one is started again restartAfter seconds later.
        if (run.kill)
            killer = std::thread([&] {
                std::vector<std::thread> restarts;
                const auto start = Clock::now();
                for (int n = 1, victim = 1; !done; ++n, victim = victim % run.servers + 1) {
                    while (!done && Clock::now() < start + std::chrono::seconds(killEvery * n))
                        std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    if (done) break;
                    const int pid = std::atoi(readFile(dir + "/servers/s" + std::to_string(victim) + ".pid").c_str());
                    if (pid > 0 && ::kill(pid, SIGKILL) == 0) ++kills;
                    restarts.emplace_back([&, victim] {
                        std::this_thread::sleep_for(std::chrono::seconds(restartAfter));
                        sh(cluster("start-server " + std::to_string(victim)) + " >/dev/null 2>&1");
                    });
                }
                for (auto& t : restarts) t.join();
            });
        Result r = phase.run(front, login.token(), run.kill ? killSeconds : seconds);
        done = true;
        if (killer.joinable()) killer.join();
        r.label = run.label;
        r.kills = kills;
        {
            auto s = db::openSession(directUrl());
            r.stored = static_cast<long long>(
                db::scalarNumber(*s, "SELECT COUNT(*) FROM ITINQUERPACI WHERE HRSERVINQ = :P_H", {{"P_H", marker}})
                    .value_or(-1));
        }
        sh(cluster("down") + " >/dev/null");
        std::printf("  %-30s done: %lld calls, %lld errors\n", r.label.c_str(), r.calls, r.errors);
        std::fflush(stdout);
        results.push_back(r);
    }

    std::printf("\n%-34s %9s %9s %9s %7s %8s %7s %7s %6s %7s\n", "run", "calls/s", "p50 ms", "p95 ms", "errors",
                "retried", "posted", "stored", "lost", "doubled");
    for (const Result& r : results) {
        const long long lost = std::max(0LL, r.posted - r.stored), doubled = std::max(0LL, r.stored - r.posted);
        std::printf("%-34s %9.1f %9.2f %9.2f %7lld %8lld %7lld %7lld %6lld %7lld%s\n", r.label.c_str(),
                    r.calls / r.seconds, r.p50, r.p95, r.errors, r.retried, r.posted, r.stored, lost, doubled,
                    r.kills ? ("  (" + std::to_string(r.kills) + " kills)").c_str() : "");
    }
    double load[3] = {0, 0, 0};
    if (::getloadavg(load, 3) > 0)
        std::printf("load average at the end: %.1f (1 min), %.1f (5 min) on %u cores\n", load[0], load[1],
                    std::thread::hardware_concurrency());
    return 0;
}

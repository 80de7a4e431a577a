// Measures the application server on this machine, side by side in one run:
//  1. latency of the day's item read and of the week's nutrient totals on the
//     demo database, then again after the item table grew a hundredfold
//     (the ratio shows whether the lookups stay indexed; the WAL is
//     checkpointed and statistics refreshed after the load, as a DBA would);
//  2. throughput of one client against four concurrent clients.
// Usage: server_load_bench [patients-to-add] [calls]
#include "db/Database.h"
#include "db/Query.h"
#include "db/Schema.h"
#include "protocol/RpcClient.h"
#include "server/Dispatcher.h"
#include "server/HttpServer.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using protocol::json;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

const json kDayItems = json::array({"000000000001", "0001", "00003", "2026-11-30", "2026-12-06", "2026-12-01"});
const json kWeekTotals =
    json::array({"000000000001", "2026-11-30", "2026-12-06", "0001", "", "T", "_00001_00002_00003_00004_00005_00006_"});

// Average milliseconds per call over n calls.
double perCall(protocol::RpcClient& client, const char* method, const json& params, int n) {
    client.call(method, params);  // warm up
    const auto start = Clock::now();
    for (int i = 0; i < n; ++i) client.call(method, params);
    return msSince(start) / n;
}

// Calls per second with the given number of clients, each on its own connection.
double throughput(int port, int clients, int callsEach) {
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    const auto start = Clock::now();
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&] {
            protocol::RpcClient client("127.0.0.1", port);
            for (int i = 0; i < callsEach; ++i) {
                try {
                    client.call("Zep12600.rdmInquerito.GetItemProd", kDayItems);
                } catch (const std::exception&) {
                    ++failures;
                }
            }
        });
    for (auto& t : threads) t.join();
    if (failures) std::fprintf(stderr, "%d calls failed\n", failures.load());
    return clients * callsEach / (msSince(start) / 1000.0);
}

// Adds patients of branch 0001, each with one week of 40 items.
void grow(soci::session& s, int patients) {
    db::WriteTransaction tx(s, db::Engine::SQLite);
    std::string code, start = "2026-11-30", end = "2026-12-06";
    soci::statement patient = (s.prepare << "INSERT INTO PACIENTE (CDPACIENTE, CDFILIAL, NMPACIENTE, NMPACIUPPER) "
                                            "VALUES (:C, '0001', 'Paciente de carga', 'PACIENTE DE CARGA')",
                               soci::use(code, "C"));
    soci::statement period = (s.prepare << "INSERT INTO INQUERPACI (CDFILIAL, CDPACIENTE, DTINIINQU, DTFININQU) "
                                           "VALUES ('0001', :C, '2026-11-30', '2026-12-06')",
                              soci::use(code, "C"));
    std::string day, service, seq;
    soci::statement item =
        (s.prepare << "INSERT INTO ITINQUERPACI (CDFILIAL, CDPACIENTE, DTINIINQU, DTFININQU, CDSERVFILI, DTINQUERITO, "
                      "NRSEQUINQUER, IDTIPOINQUER, CDPRODUTO, CDMEDICASE, QTALIMMEDCAS, QTALIMINQUER, HRSERVINQ) "
                      "VALUES ('0001', :C, '2026-11-30', '2026-12-06', :S, :D, :N, '0', '000005', '00009', 1, 90, "
                      "'1200')",
         soci::use(code, "C"), soci::use(service, "S"), soci::use(day, "D"), soci::use(seq, "N"));
    for (int p = 0; p < patients; ++p) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "CARGA%07d", p);
        code = buf;
        patient.execute(true);
        period.execute(true);
        for (int i = 0; i < 40; ++i) {
            std::snprintf(buf, sizeof buf, "2026-%s", (i % 7) == 0 ? "11-30" : ("12-0" + std::to_string(i % 7)).c_str());
            day = buf;
            std::snprintf(buf, sizeof buf, "%05d", 1 + (i / 7) % 6);
            service = buf;
            std::snprintf(buf, sizeof buf, "%03d", 1 + i);
            seq = buf;
            item.execute(true);
        }
    }
    tx.commit();
}

}  // namespace

int main(int argc, char** argv) {
    const int patients = argc > 1 ? std::stoi(argv[1]) : 5000;
    const int calls = argc > 2 ? std::stoi(argv[2]) : 500;
    const auto dir = std::filesystem::temp_directory_path() / ("inquerito-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto url = db::DatabaseUrl::parse("sqlite:" + (dir / "bench.db").string());
    {
        auto s = db::openSession(url);
        db::initializeDatabase(*s);
    }
    db::SessionPool pool(url, 4);
    server::Dispatcher dispatcher;
    server::registerAll(dispatcher);
    server::ServerOptions options;
    options.port = 0;
    options.threads = 4;
    options.log = false;
    server::HttpServer http(pool, dispatcher, options);
    const int port = http.bind();
    std::thread serving([&] { http.run(); });
    protocol::RpcClient("127.0.0.1", port).login("DEMO", "demo", "0001");  // every client of the server uses it

    auto client_ = std::make_unique<protocol::RpcClient>("127.0.0.1", port);
    protocol::RpcClient& client = *client_;
    auto items = [&] { return perCall(client, "Zep12600.rdmInquerito.GetItemProd", kDayItems, calls); };
    auto totals = [&] { return perCall(client, "Zep12610.rdmCalcular.GetCalc", kWeekTotals, calls / 5); };

    const double itemsSmall = items(), totalsSmall = totals();
    auto s = db::openSession(url);
    const double before = *db::scalarNumber(*s, "SELECT COUNT(*) AS N FROM ITINQUERPACI", {});
    const auto growStart = Clock::now();
    grow(*s, patients);
    *s << "PRAGMA wal_checkpoint(TRUNCATE)";
    *s << "ANALYZE";
    const double growMs = msSince(growStart);
    const double after = *db::scalarNumber(*s, "SELECT COUNT(*) AS N FROM ITINQUERPACI", {});
    const double itemsLarge = items(), totalsLarge = totals();

    client_.reset();  // a kept-alive idle connection holds a server thread
    const double one = throughput(port, 1, calls), four = throughput(port, 4, calls);

    std::printf("Inquérito server benchmark (SQLite, %d worker threads, loopback)\n", 4);
    std::printf("items in ITINQUERPACI: %.0f, then %.0f (%.1fx; loaded in %.0f ms)\n", before, after, after / before,
                growMs);
    std::printf("GetItemProd (one day and service): %.3f ms/call, then %.3f ms/call -> ratio %.2f\n", itemsSmall,
                itemsLarge, itemsLarge / itemsSmall);
    std::printf("GetCalc (a week, all nutrients):    %.3f ms/call, then %.3f ms/call -> ratio %.2f\n", totalsSmall,
                totalsLarge, totalsLarge / totalsSmall);
    std::printf("GetItemProd throughput: 1 client %.0f calls/s, 4 clients %.0f calls/s -> ratio %.2f (2 cores)\n", one,
                four, four / one);

    http.stop();
    serving.join();
    std::filesystem::remove_all(dir);
    return 0;
}

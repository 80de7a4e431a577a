// What recording reads in the audit trail costs a small read, side by side
// in one run: GetInqPaci (one patient's survey periods) through the server
// over loopback, in alternating blocks with the read audit on and off.
// Usage: read_audit_bench --db URL [--calls N]
// The database must hold the demo data (inquerito-server --demo).
#include "db/Query.h"
#include "protocol/RpcClient.h"
#include "server/Dispatcher.h"
#include "server/HttpServer.h"
#include "server/ReadAudit.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    std::string url;
    int calls = 4000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--db") url = argv[i + 1];
        if (a == "--calls") calls = std::max(200, std::atoi(argv[i + 1]));
    }
    if (url.empty()) {
        std::fprintf(stderr, "usage: read_audit_bench --db URL [--calls N]\n");
        return 2;
    }
    const auto dbUrl = db::DatabaseUrl::parse(url);
    db::SessionPool pool(dbUrl, 3);
    server::Dispatcher dispatcher;
    server::registerAll(dispatcher);
    server::ServerOptions options;
    options.host = "127.0.0.1";
    options.port = 0;
    options.threads = 2;
    options.log = false;
    server::HttpServer http(pool, dispatcher, options);
    const int port = http.bind();
    std::thread serving([&] { http.run(); });
    {
        protocol::RpcClient client("127.0.0.1", port);
        client.login("DEMO", "demo", "0001");
        const std::string method = "Zep12600.rdmInquerito.GetInqPaci";
        const protocol::json params = {"0001", "000000000001"};
        for (int i = 0; i < 200; ++i) client.call(method, params);  // warm up
        std::vector<double> on, off;
        constexpr int Block = 100;
        for (int done = 0; done < calls; done += Block) {
            const bool audit = (done / Block) % 2 == 0;
            dispatcher.readAudit().setEnabled(audit);
            for (int i = 0; i < Block; ++i) {
                const auto start = Clock::now();
                client.call(method, params);
                (audit ? on : off).push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
            }
        }
        dispatcher.flushReadAudit(pool);
        const double a = median(on), b = median(off);
        double meanOn = 0, meanOff = 0;
        for (double v : on) meanOn += v / on.size();
        for (double v : off) meanOff += v / off.size();
        std::printf("GetInqPaci over loopback, %d calls each, %s\n", static_cast<int>(on.size()),
                    dbUrl.engine == db::Engine::SQLite ? "SQLite" : "PostgreSQL");
        std::printf("  read audit on : median %.1f us, mean %.1f us\n", a, meanOn);
        std::printf("  read audit off: median %.1f us, mean %.1f us\n", b, meanOff);
        std::printf("  ratio on/off  : median %.3f, mean %.3f\n", a / b, meanOn / meanOff);

        // The batch itself, timed apart from the noise of the round trips:
        // what writing one read's row costs, against the median read.
        server::ReadAudit batch;
        auto session = pool.acquire();
        const server::Args args(params);
        server::CallContext ctx{*session, pool.engine(), args, {}};
        ctx.method = method;
        ctx.caller.operatorCode = "DEMO";
        ctx.caller.address = "127.0.0.1";
        // The median of many batches: one descheduled batch on a busy machine
        // would weigh on a mean.
        std::vector<double> perRow;
        constexpr int Batches = 60;
        for (int round = 0; round < Batches; ++round) {
            for (size_t i = 0; i < server::ReadAudit::FlushRows; ++i) batch.record(ctx);
            const auto start = Clock::now();
            batch.flush(*session, pool.engine(), true);
            perRow.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count() /
                             server::ReadAudit::FlushRows);
        }
        const double row = median(perRow);
        std::printf("  batch of %zu rows (median of %d): %.2f us per read recorded, %.1f %% of the median read\n",
                    server::ReadAudit::FlushRows, Batches, row, 100 * row / b);
    }
    http.stop();
    serving.join();
    return 0;
}

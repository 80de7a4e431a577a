// The stack of scripts/cluster.sh with two application servers: PostgreSQL,
// PgBouncer in transaction pooling, two inquerito-server instances and
// HAProxy. One stack for the whole suite; the cases run in order and the last
// one takes it down.
#include "db/Database.h"
#include "db/Query.h"
#include "protocol/Packets.h"
#include "protocol/RpcClient.h"
#include "RawHttp.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

namespace {

using protocol::json;
using protocol::ServerEndpoint;
namespace fs = std::filesystem;

struct Shell {
    int status = -1;
    std::string output;
};

Shell run(const std::string& command) {
    Shell r;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return r;
    char buffer[4096];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) r.output.append(buffer, n);
    const int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int pidIn(const fs::path& path) {
    const std::string text = readFile(path);
    return text.empty() ? 0 : std::atoi(text.c_str());
}

// A process that exists and is not a zombie waiting to be reaped.
bool alive(int pid) {
    if (pid <= 0 || ::kill(pid, 0) != 0) return false;
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    return close == std::string::npos || stat.compare(close + 2, 1, "Z") != 0;
}

bool listening(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return connected;
}

const std::string Filial = "0001", Paciente = "000000000001";
const std::string Inicio = "2026-11-30", Fim = "2026-12-06";
const std::string Op = "Zep12600.rdmInquerito.";

// One product item of the demo patient's week, as the survey screen posts it.
json itemWrite(const std::string& day) {
    auto s = [](const char* n, int size) { return json{{"name", n}, {"type", "string"}, {"size", size}}; };
    auto d = [](const char* n) { return json{{"name", n}, {"type", "date"}}; };
    auto f = [](const char* n) { return json{{"name", n}, {"type", "float"}}; };
    const json fields = json::array({s("CDPACIENTE", 12), s("CDPRATPROD", 20), s("NMPRATPROD", 50),
                                     s("CDMEDICASE", 5), s("IDTIPOINQUER", 1), d("DTINIINQU"), d("DTFININQU"),
                                     f("QTALIMINQUER"), d("DTINQUERITO"), f("QTALIMMEDCAS"), s("CDFILIAL", 4),
                                     s("CDSERVFILI", 5), s("CDFILAUXPRAT", 4), s("NRSEQUINQUER", 3),
                                     s("HRSERVINQ", 4), s("NMMEDICASE", 40), s("SGUNIDADE", 10),
                                     s("CDPRATPRODAUX", 10), s("IDVERMEDICA", 1)});
    const json row = json::array({Paciente, "0102006", nullptr, "00015", "0", Inicio, Fim, 50.0, day, 1.0, Filial,
                                  "00002", nullptr, "001", "0930", nullptr, nullptr, nullptr, nullptr});
    return json::array({json{{"fields", fields}, {"changes", json::array({{{"kind", "insert"}, {"new", row}}})}}});
}

class Cluster : public ::testing::Test {
protected:
    static inline fs::path dir;
    static inline std::map<std::string, std::string> env;
    static inline bool up = false;

    static void SetUpTestSuite() {
        const char* tmp = std::getenv("INQUERITO_TEST_TMP");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/cluster-XXXXXX";
        dir = ::mkdtemp(pattern.data());
        ::chmod(dir.c_str(), 0755);  // PostgreSQL runs as postgres when the tests run as root
        const Shell r = run(cluster("up --servers 2 --port 0 --demo"));
        ASSERT_EQ(r.status, 0) << r.output;
        up = true;
        std::istringstream lines(readFile(dir / "cluster.env"));
        for (std::string line; std::getline(lines, line);)
            if (auto eq = line.find('='); eq != std::string::npos) {
                std::string value = line.substr(eq + 1);
                if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
                env[line.substr(0, eq)] = value;
            }
        ::setenv("PGPASSFILE", (dir / "pgpass").c_str(), 1);
    }
    static void TearDownTestSuite() {
        if (up) run(cluster("down"));
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    static std::string cluster(const std::string& arguments) {
        return "INQUERITO_SERVER='" INQUERITO_SERVER_PATH "' bash '" INQUERITO_CLUSTER_SCRIPT "' " + arguments +
               " --dir '" + dir.string() + "'";
    }
    void SetUp() override {
        if (!up) GTEST_FAIL() << "the stack did not come up";
    }

    static ServerEndpoint local(int port) {
        ServerEndpoint e;
        e.port = port;
        return e;
    }
    static ServerEndpoint instance(int i) {
        return local(std::stoi(readFile(dir / "servers" / ("s" + std::to_string(i) + ".port"))));
    }
    static ServerEndpoint front() { return local(std::stoi(env["FRONT_PORT"])); }

    // A connection through PgBouncer, as the servers have.
    static std::unique_ptr<soci::session> database() {
        return db::openSession(db::DatabaseUrl::parse("postgresql://inquerito@127.0.0.1:" + env["BOUNCER_PORT"] +
                                                      "/inquerito?prepare=unnamed"));
    }
    static long long count(const std::string& sql) {
        auto s = database();
        return static_cast<long long>(db::scalarNumber(*s, sql, {}).value_or(-1));
    }
    static long long itemsOn(const std::string& day) {
        return count("SELECT COUNT(*) FROM ITINQUERPACI WHERE CDPACIENTE = '" + Paciente + "' AND DTINQUERITO = '" +
                     day + "'");
    }

    static inline std::string token;
};

TEST_F(Cluster, StatusShowsEveryPartRunning) {
    const Shell r = run(cluster("status"));
    EXPECT_EQ(r.status, 0) << r.output;
    for (const char* part : {"PostgreSQL   running", "PgBouncer    running", "server 1     running",
                             "server 2     running", "HAProxy      running", "s1 UP", "s2 UP"})
        EXPECT_NE(r.output.find(part), std::string::npos) << part << "\n" << r.output;
}

TEST_F(Cluster, ALoginOnOneInstanceHoldsOnTheOtherAndBehindTheBalancer) {
    protocol::RpcClient first(instance(1), 10);
    first.setToken("");
    first.login("DEMO", "demo", Filial);
    token = first.token();

    protocol::RpcClient second(instance(2), 10);
    second.setToken(token);
    const auto periods = protocol::DataPacket::fromJson(second.call(Op + "GetInqPaci", {Filial, Paciente}).data);
    EXPECT_FALSE(periods.rows.empty());

    protocol::RpcClient balanced(front(), 10);
    balanced.setToken(token);
    for (int i = 0; i < 6; ++i) EXPECT_NO_THROW(balanced.call(Op + "GetInqPaci", {Filial, Paciente})) << i;
}

// Every statement goes through PgBouncer in transaction pooling: writes are
// stored, and reads see them, whichever instance and backend served them.
TEST_F(Cluster, WritesThroughTheBalancerAreStoredOnce) {
    protocol::RpcClient balanced(front(), 10);
    balanced.setToken(token);
    const long long before = itemsOn("2026-12-01");
    balanced.call(Op + "SetItemPrato", itemWrite("2026-12-01"));
    EXPECT_EQ(itemsOn("2026-12-01"), before + 1);
    const auto items = protocol::DataPacket::fromJson(
        balanced.call(Op + "GetItemProd", {Paciente, Filial, "00002", Inicio, Fim, "2026-12-01"}).data);
    EXPECT_FALSE(items.rows.empty());
}

// The audit trail records the desktop's address behind the balancer (here
// 127.0.0.2; the balancer is 127.0.0.1), not what the desktop itself wrote
// in X-Forwarded-For.
TEST_F(Cluster, TheAuditTrailRecordsTheDesktopBehindTheBalancer) {
    const std::string id = protocol::newRequestId();
    const protocol::json request = {{"jsonrpc", "2.0"}, {"id", 1}, {"method", Op + "SetHoraItem"},
                                    {"params", {Paciente, Filial, "00002", Inicio, Fim, "2026-12-04", "1015"}}};
    testsupport::RawHttp desktop(front().port, "127.0.0.2");
    ASSERT_TRUE(desktop.connected());
    desktop.send(testsupport::RawHttp::post(request.dump(), "Authorization: Bearer " + token + "\r\nIdempotency-Key: " +
                                                                id + "\r\nX-Forwarded-For: 203.0.113.7\r\n"));
    const std::string reply = desktop.receiveReplies(20000);
    ASSERT_NE(reply.find("\"result\""), std::string::npos) << reply;
    auto s = database();
    EXPECT_EQ(db::scalarText(*s, "SELECT DSENDERECO FROM AUDITORIA WHERE CDREQUISICAO = :P_ID", {{"P_ID", id}})
                  .value_or("(none)"),
              "127.0.0.2");
}

TEST_F(Cluster, AWriteFailsOverWhenAnInstanceIsKilled) {
    const int victim = pidIn(dir / "servers" / "s1.pid");
    ASSERT_TRUE(alive(victim));
    // The desktop's view: both instances listed, the first one killed.
    protocol::RpcClient desktop({instance(1), instance(2)}, 10);
    desktop.setToken(token);
    desktop.call(Op + "GetInqPaci", {Filial, Paciente});
    ASSERT_EQ(::kill(victim, SIGKILL), 0);
    for (int i = 0; i < 50 && alive(victim); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));

    const long long before = itemsOn("2026-12-02");
    desktop.call(Op + "SetItemPrato", itemWrite("2026-12-02"));
    EXPECT_EQ(desktop.endpoint().port, instance(2).port);
    EXPECT_EQ(itemsOn("2026-12-02"), before + 1);

    // A write whose reply was lost with the instance: its retry, with the same
    // request id, is answered from the stored reply and writes nothing more.
    const std::string id = protocol::newRequestId();
    protocol::RpcClient direct(instance(2), 10);
    direct.setToken(token);
    direct.call(Op + "SetItemPrato", itemWrite("2026-12-03"), id);
    const long long written = itemsOn("2026-12-03");
    protocol::RpcClient retrying({instance(1), instance(2)}, 10);
    retrying.setToken(token);
    retrying.callRetrying(Op + "SetItemPrato", itemWrite("2026-12-03"), id);
    EXPECT_EQ(itemsOn("2026-12-03"), written);
    EXPECT_EQ(count("SELECT COUNT(*) FROM AUDITORIA WHERE CDREQUISICAO = '" + id + "'"), 1);

    // The balancer keeps answering, and takes the dead instance out within seconds.
    protocol::RpcClient balanced(front(), 10);
    balanced.setToken(token);
    for (int i = 0; i < 6; ++i) EXPECT_NO_THROW(balanced.call(Op + "GetInqPaci", {Filial, Paciente})) << i;
    const auto start = std::chrono::steady_clock::now();
    std::string status;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(10)) {
        status = run(cluster("status")).output;
        if (status.find("s1 DOWN") != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    EXPECT_NE(status.find("s1 DOWN"), std::string::npos) << status;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(Cluster, DownLeavesNothingRunning) {
    std::vector<int> pids = {pidIn(dir / "haproxy" / "haproxy.pid"), pidIn(dir / "pgbouncer" / "pgbouncer.pid"),
                             pidIn(dir / "servers" / "s2.pid"), pidIn(dir / "pg" / "data" / "postmaster.pid")};
    for (int pid : pids) EXPECT_TRUE(alive(pid)) << pid;
    const Shell r = run(cluster("down"));
    EXPECT_EQ(r.status, 0) << r.output;
    up = false;
    for (int pid : pids) EXPECT_FALSE(alive(pid)) << pid;
    for (const char* port : {"FRONT_PORT", "BOUNCER_PORT", "PG_PORT"}) EXPECT_FALSE(listening(std::stoi(env[port]))) << port;
    EXPECT_NE(run(cluster("status")).status, 0);
}

}  // namespace

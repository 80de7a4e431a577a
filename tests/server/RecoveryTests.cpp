// The server outlives its database connections: a PostgreSQL restart or
// terminated backends cost at most the calls in flight, which fail cleanly.
#include "InqueritoTestSupport.h"

#include "db/Schema.h"
#include "RawHttp.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>

using namespace inqtest;
using protocol::json;

namespace {

std::string shell(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        if (::pclose(p) != 0) throw std::runtime_error("failed: " + command);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

}  // namespace

class Recovery : public testsupport::ServerTest {
protected:
    int itemsOn(const std::string& servico, const std::string& dia) {
        return static_cast<int>(packet(op("GetItemProd"), dayArgs(servico, dia)).rows.size());
    }
};

// A packet that inserted one item and is then cut off by the loss of its
// connection (it waits on a row lock meanwhile) leaves nothing behind.
TEST_P(Recovery, AWriteCutOffByALostConnectionLeavesNothing) {
    if (GetParam() != db::Engine::PostgreSQL) GTEST_SKIP() << "an SQLite file has no connection to lose";
    Item kept;
    kept.seq = "001";
    call(op("SetItemPrato"), json::array({itemPacket({insertOf(kept)})}));
    Item added = kept;
    added.seq = "002";
    added.codigo = "0102008";

    sql() << "BEGIN";
    sql() << "SELECT NRSEQUINQUER FROM ITINQUERPACI WHERE CDPACIENTE = '" + Paciente +
                  "' AND CDSERVFILI = '00002' AND DTINQUERITO = '2026-11-30' FOR UPDATE";
    auto cut = std::async(std::launch::async, [&] {
        auto rpc = server_->client();
        try {
            rpc->call(op("SetItemPrato"), json::array({itemPacket({insertOf(added), deleteOf(kept)})}));
            return std::string("succeeded");
        } catch (const protocol::RpcFailure& e) {
            return std::string(e.what());
        }
    });
    int waiting = 0;
    for (int i = 0; i < 200 && waiting == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        soci::indicator ind;
        sql() << "SELECT COUNT(*) FROM pg_stat_activity WHERE datname = current_database() "
                  "AND wait_event_type = 'Lock'",
            soci::into(waiting, ind);
    }
    ASSERT_EQ(waiting, 1) << "the packet never reached the locked row";
    sql() << "SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
              "WHERE datname = current_database() AND pid <> pg_backend_pid()";
    sql() << "ROLLBACK";
    const std::string outcome = cut.get();
    EXPECT_NE(outcome, "succeeded");
    EXPECT_NE(outcome.find("Erro no banco de dados"), std::string::npos) << outcome;

    auto p = packet(op("GetItemProd"), dayArgs("00002", "2026-11-30"));
    EXPECT_EQ(column(p, "NRSEQUINQUER"), std::vector<std::string>{"001"});
    EXPECT_EQ(column(p, "CDPRATPROD"), std::vector<std::string>{kept.codigo});
    for (int i = 0; i < 12; ++i) EXPECT_NO_THROW(call(op("GetMax"), json::array({Paciente}))) << "call " << i;
    EXPECT_TRUE(client_->healthy());
}

INQUERITO_ENGINES(Recovery);

// A whole cluster restarted under a running server: calls made while it is
// down fail with a message, /health says so, and both come back by themselves.
TEST(ClusterRestart, TheServerComesBackWithoutARestartOfItsOwn) {
    namespace fs = std::filesystem;
    if (!fs::exists("/usr/lib/postgresql") && !std::getenv("CI")) GTEST_SKIP() << "PostgreSQL is not installed";
    const char* base = std::getenv("INQUERITO_TEST_TMP");
    const fs::path dir = fs::path(base ? base : fs::temp_directory_path().string()) /
                         ("restart-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::permissions(dir, fs::perms::all, fs::perm_options::add);
    const std::string script = std::string("bash ") + INQUERITO_PG_CLUSTER_SCRIPT + " ";
    struct Stop {
        std::string command;
        ~Stop() { std::system(command.c_str()); }
    } stop{script + "stop " + dir.string() + " >/dev/null 2>&1; rm -rf " + dir.string()};
    const std::string port = shell(script + "start " + dir.string());
    const auto url = db::DatabaseUrl::parse("postgresql://postgres@127.0.0.1:" + port + "/postgres");
    db::initializeDatabase(*db::openSession(url));

    testsupport::RunningServer server(url, 3);
    auto rpc = server.client();
    const json args = json::array({Paciente, Filial, "00001", Inicio, Fim, "2026-11-30"});
    const auto before = rpc->call(op("GetItemProd"), args).data;
    ASSERT_TRUE(rpc->healthy());

    shell(script + "restart " + dir.string());
    for (int i = 0; i < 10; ++i) EXPECT_EQ(rpc->call(op("GetItemProd"), args).data, before) << "call " << i;
    EXPECT_TRUE(rpc->healthy());

    shell(script + "stop " + dir.string());
    EXPECT_FALSE(rpc->healthy());
    // Nothing of the driver's text nor the database's address reaches a caller,
    // with a session or without.
    auto tellsNothing = [&](const std::string& text) {
        for (const std::string& internal : {std::string("127.0.0.1"), port, std::string("connection"),
                                            std::string("server"), std::string("postgres")})
            EXPECT_EQ(text.find(internal), std::string::npos) << text;
    };
    try {
        rpc->call(op("GetItemProd"), args);
        ADD_FAILURE() << "a call succeeded with the database down";
    } catch (const protocol::RpcFailure& e) {
        EXPECT_NE(std::string(e.what()).find("Erro no banco de dados"), std::string::npos) << e.what();
        tellsNothing(e.what());
    }
    try {
        server.client()->login("DEMO", "demo", "0001");
        ADD_FAILURE() << "a login succeeded with the database down";
    } catch (const protocol::RpcFailure& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Erro no banco de dados: não foi possível concluir a operação. Tente novamente em instantes.");
    }
    {
        testsupport::RawHttp raw(server.port());
        raw.send("GET /health HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
        const std::string reply = raw.receive(5000);
        EXPECT_NE(reply.find(" 503 "), std::string::npos) << reply;
        EXPECT_NE(reply.find("banco de dados indisponível"), std::string::npos) << reply;
        tellsNothing(reply.substr(reply.find("\r\n\r\n")));
    }
    shell(script + "restart " + dir.string());
    EXPECT_TRUE(rpc->healthy());
    EXPECT_EQ(rpc->call(op("GetItemProd"), args).data, before);
}

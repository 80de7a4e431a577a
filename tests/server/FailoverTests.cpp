// A protocol client given several addresses of one server: a call that cannot
// reach one, or that a balancer answers with 502, goes to the next with the
// same request id, and the server writes it once.
#include "InqueritoTestSupport.h"

#include <httplib.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace inqtest;
using protocol::ServerEndpoint;

namespace {

ServerEndpoint at(int port) {
    ServerEndpoint e;
    e.port = port;
    return e;
}

// A loopback port nobody listens on: connections are refused.
int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(fd);
    return ntohs(a.sin_port);
}

// What a balancer answers when the instance it chose went away.
class BadGateway {
public:
    BadGateway() {
        http_.Post("/rpc", [this](const httplib::Request&, httplib::Response& res) {
            ++calls;
            res.status = 502;
            res.set_content("<html>502 Bad Gateway</html>", "text/html");
        });
        port = http_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { http_.listen_after_bind(); });
        while (!http_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~BadGateway() {
        http_.stop();
        thread_.join();
    }
    int port = 0;
    std::atomic<int> calls{0};

private:
    httplib::Server http_;
    std::thread thread_;
};

}  // namespace

class Failover : public testsupport::ServerTest {
protected:
    ServerEndpoint live() const { return at(server_->port()); }
    static json writeOf(const std::string& day) {
        Item item;
        item.dia = day;
        item.seq = "001";
        return json::array({itemPacket({insertOf(item)})});
    }
    long long itemsOn(const std::string& day) {
        return countOf(sql(), "SELECT COUNT(*) FROM ITINQUERPACI WHERE CDPACIENTE = '" + Paciente +
                                  "' AND DTINQUERITO = '" + day + "'");
    }
    long long auditOf(const std::string& requestId) {
        return countOf(sql(), "SELECT COUNT(*) FROM AUDITORIA WHERE CDREQUISICAO = '" + requestId + "'");
    }
};

TEST_P(Failover, AWriteGoesToTheNextAddressWhenTheFirstIsDown) {
    const long long before = itemsOn("2026-12-02");
    protocol::RpcClient c({at(closedPort()), live()}, 10);
    c.call(op("SetItemPrato"), writeOf("2026-12-02"));
    EXPECT_EQ(itemsOn("2026-12-02"), before + 1);
    // It stays on the address that answered.
    EXPECT_EQ(c.endpoint().port, server_->port());
    c.call(op("GetInqPaci"), {Filial, Paciente});
    EXPECT_EQ(c.endpoint().port, server_->port());
}

// The first address ran the write and died before its reply left: the retry
// on the next address gets the stored reply and writes nothing.
TEST_P(Failover, ARetryAfterALostReplyIsAnsweredWithoutWritingAgain) {
    const long long before = itemsOn("2026-12-03");
    const std::string id = protocol::newRequestId();
    const auto first = client_->call(op("SetItemPrato"), writeOf("2026-12-03"), id);
    protocol::RpcClient c({at(closedPort()), live()}, 10);
    const auto retried = c.callRetrying(op("SetItemPrato"), writeOf("2026-12-03"), id);
    EXPECT_EQ(retried.data, first.data);
    EXPECT_EQ(itemsOn("2026-12-03"), before + 1);
    EXPECT_EQ(auditOf(id), 1);
}

TEST_P(Failover, ABalancersBadGatewayIsRetriedAndNotShownAsTheServersAnswer) {
    BadGateway gateway;
    protocol::RpcClient c({at(gateway.port), live()}, 10);
    const long long before = itemsOn("2026-12-04");
    c.call(op("SetItemPrato"), writeOf("2026-12-04"));
    EXPECT_EQ(gateway.calls, 1);
    EXPECT_EQ(itemsOn("2026-12-04"), before + 1);

    // Alone behind the balancer: one retry, then a transport failure.
    protocol::RpcClient only(at(gateway.port), 10);
    try {
        only.call(op("GetInqPaci"), {Filial, Paciente});
        ADD_FAILURE() << "a 502 was taken for an answer";
    } catch (const protocol::RpcFailure& e) {
        EXPECT_EQ(e.code(), protocol::rpc_error::Transport);
        EXPECT_NE(std::string(e.what()).find("HTTP 502"), std::string::npos) << e.what();
    }
    EXPECT_EQ(gateway.calls, 3);
}

TEST_P(Failover, NoAddressAnsweringIsATransportFailureAndWritesNothing) {
    const long long before = itemsOn("2026-12-05");
    protocol::RpcClient c({at(closedPort()), at(closedPort())}, 10);
    EXPECT_FALSE(c.healthy());
    try {
        c.call(op("SetItemPrato"), writeOf("2026-12-05"));
        ADD_FAILURE() << "a call without a server succeeded";
    } catch (const protocol::RpcFailure& e) {
        EXPECT_EQ(e.code(), protocol::rpc_error::Transport);
    }
    EXPECT_EQ(itemsOn("2026-12-05"), before);
    EXPECT_THROW(protocol::RpcClient(std::vector<ServerEndpoint>{}), std::invalid_argument);
}

// Two instances over one database: a session opened on one is valid on the
// other, and the login is remembered for every address the client was given.
TEST_P(Failover, ASessionOpenedOnOneInstanceHoldsOnTheOther) {
    server::ServerOptions options;
    options.threads = 2;
    testsupport::RunningServer second(db_->url(), options, false);
    const ServerEndpoint down = at(closedPort()), other = at(second.port());
    protocol::RpcClient both({down, other}, 10);
    EXPECT_TRUE(both.healthy());
    EXPECT_EQ(both.endpoint().port, second.port());
    both.login(testsupport::DemoOperator, testsupport::DemoPassword, Filial);

    protocol::RpcClient onFirst(live(), 10);
    onFirst.setToken(both.token());
    const auto periods = protocol::DataPacket::fromJson(onFirst.call(op("GetInqPaci"), {Filial, Paciente}).data);
    EXPECT_FALSE(periods.rows.empty());

    protocol::RpcClient onSecond(other, 10);  // no token given: the remembered one
    EXPECT_EQ(onSecond.token(), both.token());
    EXPECT_NO_THROW(onSecond.call(op("GetInqPaci"), {Filial, Paciente}));
    EXPECT_EQ(protocol::rememberedSessionToken(down.key()), both.token());
    both.logout();
    EXPECT_TRUE(onSecond.token().empty());
    EXPECT_TRUE(protocol::rememberedSessionToken(down.key()).empty());
}

// A second client of the same servers (the desktop's call made while another
// one waits) starts on the address in use and fails over like the first.
TEST_P(Failover, ASecondClientOfTheSameServersFailsOverToo) {
    server::ServerOptions options;
    options.threads = 2;
    auto inUse = std::make_unique<testsupport::RunningServer>(db_->url(), options, false);
    testsupport::RunningServer other(db_->url(), options, false);
    const ServerEndpoint down = at(closedPort());
    protocol::RpcClient first({down, at(inUse->port()), at(other.port())}, 10);
    first.setToken(server_->token());
    first.call(op("GetInqPaci"), {Filial, Paciente});
    ASSERT_EQ(first.endpoint().port, inUse->port());

    protocol::RpcClient second(first.endpointsFromCurrent(), 10);
    second.setToken(server_->token());
    EXPECT_EQ(second.endpoint().port, inUse->port());
    inUse.reset();  // the address in use goes away during the first call
    EXPECT_NO_THROW(second.call(op("GetInqPaci"), {Filial, Paciente}));
    EXPECT_EQ(second.endpoint().port, other.port());
}

INQUERITO_ENGINES(Failover);

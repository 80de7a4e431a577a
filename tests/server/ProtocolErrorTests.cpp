// Bad requests get an error reply and never crash the server.
#include "ServerFixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace protocol;

namespace {

// Opens a connection, sends nothing and waits (up to limitMs) until the
// server closes it for being idle. The server serves connections in the order
// they came, so once this one is closed every connection idle since before it
// was opened is closed too.
bool serverClosesIdleConnection(int port, int limitMs) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    bool closed = false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        pollfd p{fd, POLLIN, 0};
        char byte = 0;
        closed = ::poll(&p, 1, limitMs) == 1 && ::recv(fd, &byte, 1, 0) == 0;
    }
    ::close(fd);
    return closed;
}

} // namespace

class BadRequests : public testsupport::ServerTest {};

TEST_P(BadRequests, MalformedEnvelopesGetJsonRpcErrors) {
    auto errorCode = [&](const std::string& body) {
        const json reply = json::parse(client_->post(body));
        EXPECT_TRUE(reply.contains("error")) << body;
        return reply.contains("error") ? reply["error"]["code"].get<int>() : 0;
    };
    EXPECT_EQ(errorCode("{not json"), rpc_error::ParseError);
    EXPECT_EQ(errorCode(R"({"jsonrpc":"2.0","id":1})"), rpc_error::InvalidRequest);
    EXPECT_EQ(errorCode(R"({"jsonrpc":"2.0","id":1,"method":"Nada.rdmNada.X","params":[]})"),
              rpc_error::MethodNotFound);
    EXPECT_EQ(errorCode(R"({"jsonrpc":"2.0","id":1,"method":"Zep12600.rdmInquerito.GetInqPaci","params":{"a":1}})"),
              rpc_error::InvalidParams);
    EXPECT_TRUE(client_->healthy());
}

// Idle kept-alive connections are closed by the server so they do not hold
// its threads; more clients than threads are all served, and a client whose
// connection was closed reconnects on its next call.
TEST_P(BadRequests, IdleConnectionsDoNotStarveOtherClients) {
    testsupport::RunningServer small(db_->url(), 2, 1);
    std::vector<std::unique_ptr<protocol::RpcClient>> clients;
    for (int i = 0; i < 4; ++i) {
        clients.push_back(std::make_unique<protocol::RpcClient>("127.0.0.1", small.port(), 4));
        EXPECT_NO_THROW(clients.back()->call("Zep12600.rdmInquerito.GetMax", json::array({"000000000001"})))
            << "client " << i;
    }
    ASSERT_TRUE(serverClosesIdleConnection(small.port(), 10000));
    EXPECT_NO_THROW(clients.front()->call("Zep12600.rdmInquerito.GetMax", json::array({"000000000001"})));
}

INQUERITO_ENGINES(BadRequests);

#pragma once
#include "TestDatabase.h"
#include "protocol/RpcClient.h"
#include "server/Dispatcher.h"
#include "server/HttpServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace testsupport {

// The demo operator, allowed on both demo branches.
inline constexpr const char* DemoOperator = "DEMO";
inline constexpr const char* DemoPassword = "demo";

// The real server, on a free loopback port, over a private demo database.
// It logs in once as the demo operator and leaves the session's token with
// the process (protocol::rememberSessionToken), so every protocol client and
// TNetConnection of this server sends it without being told.
class RunningServer {
public:
    explicit RunningServer(const db::DatabaseUrl& url, size_t threads = 4, int keepAliveSeconds = 5);
    // With options of its own (port, threads and log are set here); on a
    // given port (a server started again where another one was) or any free one.
    RunningServer(const db::DatabaseUrl& url, server::ServerOptions options, bool login = true, int port = 0);
    ~RunningServer();
    int port() const { return port_; }
    std::unique_ptr<protocol::RpcClient> client() const;
    // The demo operator's token of this server.
    const std::string& token() const { return token_; }
    server::Dispatcher& dispatcher() { return dispatcher_; }
    db::SessionPool& pool() { return pool_; }
    server::HttpServer& http() { return *http_; }

private:
    void start(server::ServerOptions options, bool login, int port = 0);
    db::SessionPool pool_;
    server::Dispatcher dispatcher_;
    std::unique_ptr<server::HttpServer> http_;
    std::thread thread_;
    int port_ = 0;
    std::string token_;
};

// Base of the server tests: every test runs once per engine.
class ServerTest : public EngineTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Calls an operation and answers the reply's data.
    protocol::json call(const std::string& method, const protocol::json& params);
    protocol::RpcResult callFull(const std::string& method, const protocol::json& params);
    protocol::DataPacket packet(const std::string& method, const protocol::json& params);
    // The error message of a call that must fail (fails the test if it succeeds).
    std::string failure(const std::string& method, const protocol::json& params);
    // A client of the server with a session of its own for that operator.
    std::unique_ptr<protocol::RpcClient> clientAs(const std::string& op, const std::string& password,
                                                  const std::string& branch);

    std::unique_ptr<RunningServer> server_;
    std::unique_ptr<protocol::RpcClient> client_;
};

} // namespace testsupport

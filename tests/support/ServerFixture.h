#pragma once
#include "TestDatabase.h"
#include "protocol/RpcClient.h"
#include "server/Dispatcher.h"
#include "server/HttpServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace testsupport {

// The real server, on a free loopback port, over a private demo database.
class RunningServer {
public:
    explicit RunningServer(const db::DatabaseUrl& url, size_t threads = 4, int keepAliveSeconds = 5);
    ~RunningServer();
    int port() const { return port_; }
    std::unique_ptr<protocol::RpcClient> client() const;

private:
    db::SessionPool pool_;
    server::Dispatcher dispatcher_;
    std::unique_ptr<server::HttpServer> http_;
    std::thread thread_;
    int port_ = 0;
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

    std::unique_ptr<RunningServer> server_;
    std::unique_ptr<protocol::RpcClient> client_;
};

} // namespace testsupport

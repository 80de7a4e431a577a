#include "ServerFixture.h"

#include <cstdlib>

namespace testsupport {

RunningServer::RunningServer(const db::DatabaseUrl& url, size_t threads, int keepAliveSeconds)
    : pool_(url, threads + 1) {
    server::ServerOptions options;
    options.threads = threads;
    options.keepAliveSeconds = keepAliveSeconds;
    start(options, true);
}

RunningServer::RunningServer(const db::DatabaseUrl& url, server::ServerOptions options, bool login, int port)
    : pool_(url, options.threads + 1) {
    start(std::move(options), login, port);
}

void RunningServer::start(server::ServerOptions options, bool login, int port) {
    server::registerAll(dispatcher_);
    options.host = "127.0.0.1";
    options.port = port;
    options.log = std::getenv("INQUERITO_TEST_SERVER_LOG") != nullptr;
    http_ = std::make_unique<server::HttpServer>(pool_, dispatcher_, options);
    port_ = http_->bind();
    thread_ = std::thread([this] { http_->run(); });
    if (!login) return;
    protocol::ServerEndpoint endpoint{"127.0.0.1", port_, !options.tlsCertFile.empty(), options.tlsCertFile};
    try {
        protocol::RpcClient client(endpoint);
        client.login(DemoOperator, DemoPassword, "0001");
        token_ = client.token();
    } catch (...) {
        http_->stop();
        thread_.join();
        throw;
    }
}

RunningServer::~RunningServer() {
    protocol::forgetSessionToken("127.0.0.1:" + std::to_string(port_));
    http_->stop();
    if (thread_.joinable()) thread_.join();
    try {
        dispatcher_.flushReadAudit(pool_);
    } catch (const std::exception&) {
        // The database of a test that stopped it: nothing left to record.
    }
}

std::unique_ptr<protocol::RpcClient> RunningServer::client() const {
    return std::make_unique<protocol::RpcClient>("127.0.0.1", port_);
}

void ServerTest::SetUp() {
    EngineTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    server_ = std::make_unique<RunningServer>(db_->url());
    client_ = server_->client();
}

void ServerTest::TearDown() {
    client_.reset();
    server_.reset();
}

std::unique_ptr<protocol::RpcClient> ServerTest::clientAs(const std::string& op, const std::string& password,
                                                          const std::string& branch) {
    auto c = server_->client();
    c->setToken("");
    c->login(op, password, branch);
    // login() remembers the token for the whole process; the fixture's own stays the default.
    protocol::rememberSessionToken("127.0.0.1:" + std::to_string(server_->port()), server_->token());
    return c;
}

protocol::RpcResult ServerTest::callFull(const std::string& method, const protocol::json& params) {
    return client_->call(method, params);
}

protocol::json ServerTest::call(const std::string& method, const protocol::json& params) {
    return client_->call(method, params).data;
}

protocol::DataPacket ServerTest::packet(const std::string& method, const protocol::json& params) {
    return protocol::DataPacket::fromJson(call(method, params));
}

std::string ServerTest::failure(const std::string& method, const protocol::json& params) {
    try {
        client_->call(method, params);
    } catch (const protocol::RpcFailure& e) {
        return e.what();
    }
    ADD_FAILURE() << method << " succeeded but should have failed";
    return {};
}

} // namespace testsupport

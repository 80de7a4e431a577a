#include "ServerFixture.h"

#include <cstdlib>

namespace testsupport {

RunningServer::RunningServer(const db::DatabaseUrl& url, size_t threads, int keepAliveSeconds) : pool_(url, threads) {
    server::registerAll(dispatcher_);
    server::ServerOptions options;
    options.port = 0;
    options.threads = threads;
    options.log = false;
    options.keepAliveSeconds = keepAliveSeconds;
    http_ = std::make_unique<server::HttpServer>(pool_, dispatcher_, options);
    port_ = http_->bind();
    thread_ = std::thread([this] { http_->run(); });
}

RunningServer::~RunningServer() {
    http_->stop();
    if (thread_.joinable()) thread_.join();
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

#include "ServerFixture.h"
#include "protocol/RpcClient.h"
#include "CalcServer.h"

#include "protocol/Rpc.h"

#include <utility>

CalcServer::CalcServer(const db::DatabaseUrl& url) : pool_(url, 4) {
    server::registerAll(real_);
    server::registerAll(watched_);
    const std::pair<const char*, size_t> operations[] = {{"GetParaDieto", 0}, {"getNutriente", 2}, {"GetServico", 2},
                                                         {"GetParamGeral", 0}, {"getMacro", 5},     {"GetCalc", 7},
                                                         {"GetNutrCalc", 6},  {"GetDiasInq", 5},
                                                         {"GetMacroDia", 5}};
    for (const auto& [name, count] : operations) {
        const std::string operation = name;
        watched_.add("Zep12610.rdmCalcular", operation, count, [this, operation](server::CallContext& c) {
            Call call{operation, protocol::json::array()};
            for (size_t i = 0; i < c.args.size(); ++i) call.params.push_back(c.args.raw(i));
            Fault fault;
            int number = 0;
            {
                std::lock_guard lock(mutex_);
                calls_.push_back(call);
                for (const Call& k : calls_) number += k.operation == operation;
                fault = fault_;
            }
            if (fault) {
                const std::string failure = fault(call, number);
                if (!failure.empty()) throw server::OperationError(failure);
            }
            const protocol::json request = {{"jsonrpc", "2.0"},
                                            {"id", 1},
                                            {"method", "Zep12610.rdmCalcular." + operation},
                                            {"params", call.params}};
            server::RequestMeta meta;
            meta.token = protocol::rememberedSessionToken("127.0.0.1:" + std::to_string(port_));
            const auto outcome = real_.handle(request.dump(), pool_, meta);
            if (!outcome.ok) throw server::OperationError(outcome.error);
            c.result = protocol::parseResponse(outcome.body);
        });
    }
    server::ServerOptions options;
    options.port = 0;
    options.threads = 4;
    options.log = false;
    http_ = std::make_unique<server::HttpServer>(pool_, watched_, options);
    port_ = http_->bind();
    thread_ = std::thread([this] { http_->run(); });
    // Calls through this server carry the demo operator's session, as they
    // do through the shared test server.
    {
        protocol::RpcClient client(protocol::ServerEndpoint{"127.0.0.1", port_, false, ""});
        client.login(testsupport::DemoOperator, testsupport::DemoPassword, "0001");
    }
}

CalcServer::~CalcServer() {
    protocol::forgetSessionToken("127.0.0.1:" + std::to_string(port_));
    http_->stop();
    if (thread_.joinable()) thread_.join();
}

void CalcServer::setFault(Fault fault) {
    std::lock_guard lock(mutex_);
    fault_ = std::move(fault);
}

std::vector<CalcServer::Call> CalcServer::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

void CalcServer::clearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

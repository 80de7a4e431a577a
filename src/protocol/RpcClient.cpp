#include "protocol/RpcClient.h"

#include <httplib.h>

namespace protocol {

RpcClient::RpcClient(const std::string& host, int port, int timeoutSeconds)
    : http_(std::make_unique<httplib::Client>(host, port)), host_(host), port_(port) {
    http_->set_tcp_nodelay(true);
    http_->set_keep_alive(true);
    http_->set_connection_timeout(10, 0);
    http_->set_read_timeout(timeoutSeconds, 0);
    http_->set_write_timeout(timeoutSeconds, 0);
}

RpcClient::~RpcClient() = default;

std::string RpcClient::post(const std::string& body) {
    auto res = http_->Post("/rpc", body, "application/json");
    if (!res)
        throw RpcFailure(rpc_error::InternalError, "Não foi possível comunicar com o servidor de aplicação em " +
                                                       host_ + ":" + std::to_string(port_) + " (" +
                                                       httplib::to_string(res.error()) + ").");
    if (res->status != 200)
        throw RpcFailure(rpc_error::InternalError,
                         "O servidor de aplicação respondeu com o código HTTP " + std::to_string(res->status) + ".");
    return res->body;
}

RpcResult RpcClient::call(const std::string& method, const json& params) {
    RpcRequest request;
    request.id = nextId_++;
    request.method = method;
    request.params = params;
    return parseResponse(post(request.serialize()));
}

bool RpcClient::healthy() {
    auto res = http_->Get("/health");
    return res && res->status == 200;
}

} // namespace protocol

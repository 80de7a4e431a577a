#pragma once
#include "protocol/Rpc.h"

#include <memory>
#include <string>

namespace httplib {
class Client;
}

namespace protocol {

// A synchronous JSON-RPC client over one kept-alive HTTP connection.
// Not thread-safe: one client per thread.
class RpcClient {
public:
    RpcClient(const std::string& host, int port, int timeoutSeconds = 120);
    ~RpcClient();
    RpcClient(const RpcClient&) = delete;
    RpcClient& operator=(const RpcClient&) = delete;

    // Throws RpcFailure: the server's error, or a transport failure.
    RpcResult call(const std::string& method, const json& params);
    // The raw reply body of any request body (for tests of malformed input).
    std::string post(const std::string& body);
    bool healthy();

private:
    std::unique_ptr<httplib::Client> http_;
    long long nextId_ = 1;
    std::string host_;
    int port_;
};

} // namespace protocol

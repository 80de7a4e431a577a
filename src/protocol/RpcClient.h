#pragma once
#include "protocol/Rpc.h"

#include <memory>
#include <string>
#include <vector>

namespace httplib {
class Client;
}

namespace protocol {

// How to reach the application server.
struct ServerEndpoint {
    std::string host = "127.0.0.1";
    int port = 8211;
    bool tls = false;    // https
    std::string caFile;  // certificate(s) to trust for https; empty: the system's
    std::string key() const { return host + ":" + std::to_string(port); }
};

// The session token a process holds for a server, by endpoint key: set by a
// login, used by every client of that server that was given no token of its
// own, so the screens never handle it.
void rememberSessionToken(const std::string& endpointKey, const std::string& token);
std::string rememberedSessionToken(const std::string& endpointKey);
void forgetSessionToken(const std::string& endpointKey);

// A new random request id (32 hex digits) for the server's idempotency.
std::string newRequestId();

// A synchronous JSON-RPC client over one kept-alive HTTP(S) connection.
// Every call carries "Authorization: Bearer <token>" when a token is known,
// and an "Idempotency-Key" so that a retry after a lost reply cannot make the
// server write twice. Not thread-safe: one client per thread.
//
// Given several addresses of one server (instances over one database, or
// balancers in front of them), a call whose connection fails, or that a
// balancer answers with 502/503/504, is sent again with the same request id
// to the next address; every address is tried once and the first once more.
// The client stays on the address that answered.
class RpcClient {
public:
    RpcClient(const std::string& host, int port, int timeoutSeconds = 120);
    explicit RpcClient(const ServerEndpoint& endpoint, int timeoutSeconds = 120);
    // The first address is the one tried first; throws std::invalid_argument when empty.
    explicit RpcClient(const std::vector<ServerEndpoint>& endpoints, int timeoutSeconds = 120);
    ~RpcClient();
    RpcClient(const RpcClient&) = delete;
    RpcClient& operator=(const RpcClient&) = delete;

    // Throws RpcFailure: the server's error, or a transport failure
    // (code rpc_error::Transport) once the retries above are spent.
    RpcResult call(const std::string& method, const json& params);
    // The same with the caller's request id and no retry: the caller retries
    // with that id for as long as it likes.
    RpcResult call(const std::string& method, const json& params, const std::string& requestId);
    // The same with the caller's request id and the retries of call().
    RpcResult callRetrying(const std::string& method, const json& params, const std::string& requestId);

    // Opens a session (Host.Sessao.Login) and keeps its token, for this client
    // and for every client of the same server (any of its addresses) in this
    // process. Answers the
    // reply's data (see server/Sessions.h). Throws RpcFailure.
    json login(const std::string& operatorCode, const std::string& password, const std::string& branch);
    // Ends the session on the server and forgets its token.
    void logout();

    // A token of this client's own, instead of the remembered one ("" = none).
    void setToken(const std::string& token) {
        token_ = token;
        tokenSet_ = true;
    }
    // Back to the token the process remembers for the server.
    void useRememberedToken() {
        token_.clear();
        tokenSet_ = false;
    }
    std::string token() const;

    // The raw reply body of any request body (for tests of malformed input).
    std::string post(const std::string& body);
    // Whether an address answers GET /health; the client moves to the
    // first that does.
    bool healthy();
    // The address in use.
    const ServerEndpoint& endpoint() const { return endpoints_[current_]; }
    const std::vector<ServerEndpoint>& endpoints() const { return endpoints_; }
    // Every address, the one in use first: a second client of the same
    // servers starts where this one is and fails over as it does.
    std::vector<ServerEndpoint> endpointsFromCurrent() const;

private:
    std::string send(const std::string& body, const std::string& requestId);
    void use(size_t index);
    std::unique_ptr<httplib::Client> http_;
    std::vector<ServerEndpoint> endpoints_;
    size_t current_ = 0;
    int timeoutSeconds_;
    long long nextId_ = 1;
    std::string token_;
    bool tokenSet_ = false;
};

} // namespace protocol

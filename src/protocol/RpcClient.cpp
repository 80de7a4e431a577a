#include "protocol/RpcClient.h"

#include "protocol/Json.h"

#include <httplib.h>

#include <chrono>
#include <map>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>

namespace protocol {

namespace {

std::mutex tokensMutex;
std::map<std::string, std::string>& tokens() {
    static std::map<std::string, std::string> byEndpoint;
    return byEndpoint;
}

// A 2xx-less reply may still be a JSON-RPC error (refused request, limits).
std::string messageOfRefusal(const httplib::Response& res) {
    auto parsed = parseJson(res.body);
    if (parsed && parsed->is_object() && parsed->contains("error")) {
        const json& e = (*parsed)["error"];
        if (e.is_object() && e.contains("message") && e["message"].is_string()) return e["message"].get<std::string>();
    }
    return "O servidor de aplicação respondeu com o código HTTP " + std::to_string(res.status) + ".";
}

}  // namespace

void rememberSessionToken(const std::string& endpointKey, const std::string& token) {
    std::lock_guard lock(tokensMutex);
    tokens()[endpointKey] = token;
}

std::string rememberedSessionToken(const std::string& endpointKey) {
    std::lock_guard lock(tokensMutex);
    auto it = tokens().find(endpointKey);
    return it == tokens().end() ? std::string() : it->second;
}

void forgetSessionToken(const std::string& endpointKey) {
    std::lock_guard lock(tokensMutex);
    tokens().erase(endpointKey);
}

std::string newRequestId() {
    thread_local std::mt19937_64 random([] {
        std::random_device device;
        return (static_cast<uint64_t>(device()) << 32) ^ device();
    }());
    static const char* digits = "0123456789abcdef";
    std::string id;
    for (int part = 0; part < 2; ++part) {
        uint64_t v = random();
        for (int i = 0; i < 16; ++i, v >>= 4) id += digits[v & 15];
    }
    return id;
}

RpcClient::RpcClient(const std::string& host, int port, int timeoutSeconds)
    : RpcClient(ServerEndpoint{host, port, false, {}}, timeoutSeconds) {}

RpcClient::RpcClient(const ServerEndpoint& endpoint, int timeoutSeconds)
    : RpcClient(std::vector<ServerEndpoint>{endpoint}, timeoutSeconds) {}

RpcClient::RpcClient(const std::vector<ServerEndpoint>& endpoints, int timeoutSeconds)
    : endpoints_(endpoints), timeoutSeconds_(timeoutSeconds) {
    if (endpoints_.empty()) throw std::invalid_argument("Nenhum endereço do servidor de aplicação.");
    use(0);
}

RpcClient::~RpcClient() = default;

void RpcClient::use(size_t index) {
    current_ = index;
    const ServerEndpoint& e = endpoints_[index];
    if (e.tls) {
        const bool ipv6 = e.host.find(':') != std::string::npos;
        http_ = std::make_unique<httplib::Client>("https://" + (ipv6 ? "[" + e.host + "]" : e.host) + ":" +
                                                  std::to_string(e.port));
        if (!e.caFile.empty()) http_->set_ca_cert_path(e.caFile);
        http_->enable_server_certificate_verification(true);
    } else {
        http_ = std::make_unique<httplib::Client>(e.host, e.port);
    }
    http_->set_tcp_nodelay(true);
    http_->set_keep_alive(true);
    http_->set_connection_timeout(10, 0);
    http_->set_read_timeout(timeoutSeconds_, 0);
    http_->set_write_timeout(timeoutSeconds_, 0);
}

std::vector<ServerEndpoint> RpcClient::endpointsFromCurrent() const {
    std::vector<ServerEndpoint> out(endpoints_.begin() + static_cast<std::ptrdiff_t>(current_), endpoints_.end());
    out.insert(out.end(), endpoints_.begin(), endpoints_.begin() + static_cast<std::ptrdiff_t>(current_));
    return out;
}

std::string RpcClient::token() const {
    if (tokenSet_) return token_;
    // A session is valid on every address of the server.
    for (const auto& e : endpoints_)
        if (std::string t = rememberedSessionToken(e.key()); !t.empty()) return t;
    return {};
}

std::string RpcClient::send(const std::string& body, const std::string& requestId) {
    httplib::Headers headers;
    if (const std::string t = token(); !t.empty()) headers.emplace("Authorization", "Bearer " + t);
    if (!requestId.empty()) headers.emplace("Idempotency-Key", requestId);
    auto res = http_->Post("/rpc", headers, body, "application/json");
    if (!res)
        throw RpcFailure(rpc_error::Transport, "Não foi possível comunicar com o servidor de aplicação em " +
                                                   endpoint().key() + " (" + httplib::to_string(res.error()) + ").");
    // A balancer's own answers: no instance took the call, or the one that
    // had it went away; the call may or may not have run.
    if (res->status == 502 || res->status == 503 || res->status == 504)
        throw RpcFailure(rpc_error::Transport, "O servidor de aplicação em " + endpoint().key() +
                                                   " não atendeu a chamada (HTTP " + std::to_string(res->status) +
                                                   ").");
    if (res->status != 200) throw RpcFailure(rpc_error::InternalError, messageOfRefusal(*res));
    return res->body;
}

std::string RpcClient::post(const std::string& body) { return send(body, {}); }

RpcResult RpcClient::call(const std::string& method, const json& params, const std::string& requestId) {
    RpcRequest request;
    request.id = nextId_++;
    request.method = method;
    request.params = params;
    return parseResponse(send(request.serialize(), requestId));
}

RpcResult RpcClient::call(const std::string& method, const json& params) {
    return callRetrying(method, params, newRequestId());
}

RpcResult RpcClient::callRetrying(const std::string& method, const json& params, const std::string& requestId) {
    // The request may have run with its reply lost; the same id makes the
    // server answer the stored reply instead of writing again.
    const size_t attempts = endpoints_.size() + 1;
    for (size_t attempt = 1;; ++attempt) {
        try {
            return call(method, params, requestId);
        } catch (const RpcFailure& e) {
            if (e.code() != rpc_error::Transport || attempt >= attempts) throw;
        }
        if (endpoints_.size() > 1) use((current_ + 1) % endpoints_.size());
        // Back on an address that already failed: give a restarting instance a
        // moment. A single address is asked again at once: a desktop waiting on
        // its one server repaints meanwhile, and its screens would ask too.
        if (endpoints_.size() > 1 && attempt >= endpoints_.size())
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

json RpcClient::login(const std::string& operatorCode, const std::string& password, const std::string& branch) {
    // A login never carries an older session's token.
    const bool hadOwn = tokenSet_;
    const std::string own = token_;
    setToken("");
    RpcResult r;
    try {
        r = call("Host.Sessao.Login", json::array({operatorCode, password, branch}));
    } catch (...) {
        token_ = own;
        tokenSet_ = hadOwn;
        throw;
    }
    const json& data = r.data;
    std::string t;
    if (data.is_object() && data.contains("token") && data["token"].is_string()) t = data["token"].get<std::string>();
    if (t.empty()) throw RpcFailure(rpc_error::ParseError, "Resposta de acesso sem sessão.");
    setToken(t);
    for (const auto& e : endpoints_) rememberSessionToken(e.key(), t);
    return data;
}

void RpcClient::logout() {
    const std::string t = token();
    if (t.empty()) return;
    try {
        call("Host.Sessao.Logout", json::array());
    } catch (const RpcFailure&) {
        // An expired or unknown session is ended already.
    }
    for (const auto& e : endpoints_)
        if (rememberedSessionToken(e.key()) == t) forgetSessionToken(e.key());
    setToken("");
}

bool RpcClient::healthy() {
    for (size_t tried = 0; tried < endpoints_.size(); ++tried) {
        if (tried > 0) use((current_ + 1) % endpoints_.size());
        auto res = http_->Get("/health");
        if (res && res->status == 200) return true;
    }
    return false;
}

} // namespace protocol

#include "protocol/Rpc.h"

#include "protocol/Json.h"

namespace protocol {

std::string RpcRequest::serialize() const {
    return json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}}.dump(
        -1, ' ', false, json::error_handler_t::replace);
}

RpcRequest RpcRequest::parse(const std::string& body, json* idOut) {
    if (body.size() > MaxRequestBytes)
        throw RpcFailure(rpc_error::LimitExceeded, "Requisição maior que o limite de " +
                                                       std::to_string(MaxRequestBytes / (1024 * 1024)) + " MB.");
    JsonProblem problem = JsonProblem::None;
    auto parsed = parseJson(body, MaxJsonDepth, &problem);
    if (!parsed) {
        if (problem == JsonProblem::TooDeep)
            throw RpcFailure(rpc_error::LimitExceeded, "Requisição com JSON aninhado além do limite de " +
                                                           std::to_string(MaxJsonDepth) + " níveis.");
        throw RpcFailure(rpc_error::ParseError, "Requisição com JSON inválido.");
    }
    json& j = *parsed;
    if (!j.is_object()) throw RpcFailure(rpc_error::InvalidRequest, "Requisição inválida.");
    RpcRequest r;
    if (auto it = j.find("id"); it != j.end()) {
        // JSON-RPC 2.0: an id is a string, a number or null.
        if (!it->is_string() && !it->is_number() && !it->is_null())
            throw RpcFailure(rpc_error::InvalidRequest, "Identificador da requisição inválido.");
        r.id = std::move(*it);
        if (idOut) *idOut = r.id;
    }
    auto method = j.find("method");
    if (method == j.end() || !method->is_string()) throw RpcFailure(rpc_error::InvalidRequest, "Requisição inválida.");
    if (auto v = j.find("jsonrpc"); v != j.end() && *v != "2.0")
        throw RpcFailure(rpc_error::InvalidRequest, "Versão de protocolo não suportada.");
    r.method = method->get<std::string>();
    if (auto params = j.find("params"); params != j.end()) {
        if (!params->is_array()) throw RpcFailure(rpc_error::InvalidParams, "Argumentos devem ser posicionais.");
        r.params = std::move(*params);
    }
    return r;
}

json RpcResult::toJson() const {
    json byrefJson = json::object();
    for (const auto& [pos, value] : byref) byrefJson[std::to_string(pos)] = value;
    // Data written ahead as text is the data (a stored reply must keep it).
    return json{{"data", dataText.empty() ? data : json::parse(dataText)}, {"byref", byrefJson}};
}

RpcResult RpcResult::fromJson(const json& res) {
    if (!res.is_object()) throw RpcFailure(rpc_error::ParseError, "Resposta sem resultado.");
    RpcResult r;
    r.data = res.contains("data") ? res["data"] : json(nullptr);
    if (res.contains("byref") && res["byref"].is_object())
        for (const auto& [key, value] : res["byref"].items()) {
            try {
                r.byref[std::stoi(key)] = value;
            } catch (const std::exception&) {
                throw RpcFailure(rpc_error::ParseError, "Resposta com argumento por referência inválido.");
            }
        }
    return r;
}

std::string serializeResult(const json& id, const RpcResult& result) {
    if (result.dataText.empty())
        return json{{"jsonrpc", "2.0"}, {"id", id}, {"result", result.toJson()}}.dump(-1, ' ', false,
                                                                                   json::error_handler_t::replace);
    // The packet text is spliced in as it stands: a large reply is not parsed
    // back into values only to be written again.
    json byref = json::object();
    for (const auto& [pos, value] : result.byref) byref[std::to_string(pos)] = value;
    std::string out;
    out.reserve(result.dataText.size() + 128);
    out += "{\"id\":";
    out += id.dump();
    out += ",\"jsonrpc\":\"2.0\",\"result\":{\"byref\":";
    out += byref.dump(-1, ' ', false, json::error_handler_t::replace);
    out += ",\"data\":";
    out += result.dataText;
    out += "}}";
    return out;
}

std::string serializeError(const json& id, int code, const std::string& message) {
    return json{{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}}.dump(
        -1, ' ', false, json::error_handler_t::replace);
}

RpcResult parseResponse(const std::string& body) {
    // Replies carry data packets; their depth is small and fixed.
    auto parsed = parseJson(body, MaxJsonDepth);
    if (!parsed || !parsed->is_object()) throw RpcFailure(rpc_error::ParseError, "Resposta inválida do servidor.");
    const json& j = *parsed;
    if (j.contains("error")) {
        const json& e = j["error"];
        const int code = e.is_object() && e.contains("code") && e["code"].is_number_integer() ? e["code"].get<int>()
                                                                                             : rpc_error::InternalError;
        const std::string message = e.is_object() && e.contains("message") && e["message"].is_string()
                                        ? e["message"].get<std::string>()
                                        : "Erro desconhecido no servidor.";
        throw RpcFailure(code, message);
    }
    if (!j.contains("result") || !j["result"].is_object())
        throw RpcFailure(rpc_error::ParseError, "Resposta sem resultado.");
    return RpcResult::fromJson(j["result"]);
}

} // namespace protocol

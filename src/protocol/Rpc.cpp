#include "protocol/Rpc.h"

namespace protocol {

std::string RpcRequest::serialize() const {
    return json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}}.dump();
}

RpcRequest RpcRequest::parse(const std::string& body) {
    json j = json::parse(body, nullptr, false);
    if (j.is_discarded()) throw RpcFailure(rpc_error::ParseError, "Requisição com JSON inválido.");
    if (!j.is_object() || !j.contains("method") || !j["method"].is_string())
        throw RpcFailure(rpc_error::InvalidRequest, "Requisição inválida.");
    if (j.contains("jsonrpc") && j["jsonrpc"] != "2.0")
        throw RpcFailure(rpc_error::InvalidRequest, "Versão de protocolo não suportada.");
    RpcRequest r;
    r.id = j.contains("id") ? j["id"] : json(nullptr);
    r.method = j["method"].get<std::string>();
    if (j.contains("params")) {
        if (!j["params"].is_array()) throw RpcFailure(rpc_error::InvalidParams, "Argumentos devem ser posicionais.");
        r.params = j["params"];
    }
    return r;
}

std::string serializeResult(const json& id, const RpcResult& result) {
    json byref = json::object();
    for (const auto& [pos, value] : result.byref) byref[std::to_string(pos)] = value;
    if (result.dataText.empty())
        return json{{"jsonrpc", "2.0"}, {"id", id}, {"result", {{"data", result.data}, {"byref", byref}}}}.dump();
    // The packet text is spliced in as it stands: a large reply is not parsed
    // back into values only to be written again.
    std::string out;
    out.reserve(result.dataText.size() + 128);
    out += "{\"id\":";
    out += id.dump();
    out += ",\"jsonrpc\":\"2.0\",\"result\":{\"byref\":";
    out += byref.dump();
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
    json j = json::parse(body, nullptr, false);
    if (j.is_discarded() || !j.is_object()) throw RpcFailure(rpc_error::ParseError, "Resposta inválida do servidor.");
    if (j.contains("error")) {
        const json& e = j["error"];
        const int code = e.contains("code") && e["code"].is_number_integer() ? e["code"].get<int>()
                                                                               : rpc_error::InternalError;
        const std::string message = e.contains("message") && e["message"].is_string()
                                        ? e["message"].get<std::string>()
                                        : "Erro desconhecido no servidor.";
        throw RpcFailure(code, message);
    }
    if (!j.contains("result") || !j["result"].is_object())
        throw RpcFailure(rpc_error::ParseError, "Resposta sem resultado.");
    RpcResult r;
    const json& res = j["result"];
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

} // namespace protocol

#pragma once
#include "protocol/Packets.h"

#include <map>
#include <string>

namespace protocol {

// JSON-RPC 2.0 error codes used on the wire.
namespace rpc_error {
constexpr int ParseError = -32700;
constexpr int InvalidRequest = -32600;
constexpr int MethodNotFound = -32601;
constexpr int InvalidParams = -32602;
constexpr int InternalError = -32603;
constexpr int Unauthenticated = -32001;  // no session, or an expired or ended one
constexpr int Forbidden = -32003;        // the operator may not use that branch
constexpr int PasswordChangeRequired = -32004;  // right password, but it must be changed first
constexpr int LimitExceeded = -32005;    // a bound of the server (size, depth, rows, time)
constexpr int Throttled = -32029;        // too many failed logins; wait and try again
constexpr int Transport = -32099;        // client side: no reply from the server
constexpr int OperationFailed = 1;       // a server rule refused the call
}  // namespace rpc_error

// Bounds of a request (the server refuses more with a clear message).
constexpr size_t MaxRequestBytes = 4 * 1024 * 1024;

struct RpcRequest {
    json id;
    std::string method;  // "Zep12600.rdmInquerito.GetInqPaci"
    json params = json::array();

    std::string serialize() const;
    // Throws RpcFailure with ParseError, InvalidRequest, InvalidParams or
    // LimitExceeded. The request's id, once read, is put in *id even when the
    // request is refused afterwards, so that the error reply carries it.
    static RpcRequest parse(const std::string& body, json* id = nullptr);
};

// What an operation answers: a packet, an array of packets or null, and the
// values of its by-reference arguments after the call, keyed by position.
struct RpcResult {
    json data;
    std::map<int, json> byref;
    std::string dataText;  // data already written as JSON text; wins over data when set

    json toJson() const;
    static RpcResult fromJson(const json& result);  // throws RpcFailure
};

class RpcFailure : public std::runtime_error {
public:
    RpcFailure(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

std::string serializeResult(const json& id, const RpcResult& result);
std::string serializeError(const json& id, int code, const std::string& message);

// Reads a reply; a JSON-RPC error becomes RpcFailure carrying the server's message.
RpcResult parseResponse(const std::string& body);

} // namespace protocol

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
constexpr int OperationFailed = 1;  // a server rule refused the call
}  // namespace rpc_error

struct RpcRequest {
    json id;
    std::string method;  // "Zep12600.rdmInquerito.GetInqPaci"
    json params = json::array();

    std::string serialize() const;
    // Throws RpcFailure with ParseError or InvalidRequest.
    static RpcRequest parse(const std::string& body);
};

// What an operation answers: a packet, an array of packets or null, and the
// values of its by-reference arguments after the call, keyed by position.
struct RpcResult {
    json data;
    std::string dataText;  // data already written as JSON text; wins over data when set
    std::map<int, json> byref;
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

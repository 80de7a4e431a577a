#pragma once
#include "db/Database.h"
#include "db/Query.h"
#include "protocol/Dates.h"
#include "protocol/Packets.h"
#include "protocol/Rpc.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace server {

using protocol::json;

// A server rule refused the call; the message reaches the user as it stands.
class OperationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The call's arguments do not fit the operation.
class ArgumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The session's operator may not use the branch the call names.
class ForbiddenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A bound of the server (rows, sizes) was exceeded.
class LimitError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Bounds of what one call may carry or answer.
namespace limits {
constexpr size_t TextArgument = 8192;     // characters of a text argument without a column of its own
constexpr size_t ChangesPerPacket = 1000;  // rows of one change packet
constexpr size_t FieldsPerPacket = 100;
constexpr size_t ReplyRows = 200000;  // rows of one reply, all its packets together
}  // namespace limits

// Positional arguments of one call, read with their checks.
class Args {
public:
    explicit Args(const json& params) : params_(params) {}
    size_t size() const { return params_.size(); }
    const json& all() const { return params_; }
    const json& raw(size_t i) const { return params_.at(i); }

    // A string of at most maxLength characters (0: limits::TextArgument); null reads as "".
    std::string text(size_t i, size_t maxLength = 0) const;
    protocol::Date date(size_t i) const;
    protocol::ChangePacket changes(size_t i) const;

private:
    const json& params_;
};

// Who makes a call: the operator of a valid session and the branches the
// operator may use (OPERFILI), read afresh on every call.
struct Caller {
    std::string operatorCode;
    std::vector<std::string> branches;
    std::string sessionHash;  // SHA-256 of the session token
    std::string address;      // the client's IP address
    bool mayUse(const std::string& branch) const;
};

struct CallContext {
    soci::session& session;
    db::Engine engine;
    const Args& args;
    protocol::RpcResult result;
    Caller caller = {};
    std::string method = {};     // "Object.Operation"
    std::string requestId = {};  // the client's Idempotency-Key, or ""
    bool wrote = false;          // a WriteScope was opened

    void reply(const protocol::DataPacket& packet) {
        result.dataText.clear();
        packet.appendJson(result.dataText);
    }
    // Replies with a query's rows, written straight into the reply text.
    void replyQuery(const std::string& sql, const db::Params& params, const std::vector<protocol::Field>& fields) {
        result.dataText.clear();
        db::queryJson(session, sql, params, fields, result.dataText);
    }
};

using Handler = std::function<void(CallContext&)>;

} // namespace server

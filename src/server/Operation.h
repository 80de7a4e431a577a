#pragma once
#include "db/Database.h"
#include "db/Query.h"
#include "protocol/Dates.h"
#include "protocol/Packets.h"
#include "protocol/Rpc.h"

#include <functional>
#include <stdexcept>
#include <string>

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

// Positional arguments of one call, read with their checks.
class Args {
public:
    explicit Args(const json& params) : params_(params) {}
    size_t size() const { return params_.size(); }
    const json& raw(size_t i) const { return params_.at(i); }

    // A string of at most maxLength characters (0: unbounded); null reads as "".
    std::string text(size_t i, size_t maxLength = 0) const;
    protocol::Date date(size_t i) const;
    protocol::ChangePacket changes(size_t i) const;

private:
    const json& params_;
};

struct CallContext {
    soci::session& session;
    db::Engine engine;
    const Args& args;
    protocol::RpcResult result;

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

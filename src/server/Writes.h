#pragma once
// One write of an operation: its transaction, its audit trail and, when the
// call carries a client request id, the remembered reply.
//
// Audit: every record an operation writes (a period, an item, a meal time)
// gets one AUDITORIA row in the same transaction: time (UTC), operator,
// branch, patient, operation, action (I inclusão, A alteração, E exclusão),
// the record's keys as JSON, the client's address and request id. A write
// that rolls back leaves no audit row; a committed one always has its rows.
//
// Idempotency: a call with an "Idempotency-Key" header (any write; the
// desktop's protocol client sends one with every call) is remembered in
// REQUISICAO for a day, inside the write's transaction, with its reply. A
// retry with the same id, after a reply lost on the way, gets that reply and
// writes nothing. The id is claimed right after BEGIN, so on PostgreSQL a
// concurrent retry waits for the first and then finds its reply; on SQLite
// BEGIN IMMEDIATE already puts them one after the other. An id used for
// another call (operation, arguments or operator) is refused.
#include "server/Operation.h"

#include <optional>

namespace server {

enum class AuditAction : char { Insert = 'I', Update = 'A', Delete = 'E', Read = 'C' };

// Thrown by WriteScope when the request id names a write already done; the
// dispatcher answers with the stored reply.
struct ReplayedCall {
    protocol::RpcResult result;
};

class WriteScope {
public:
    explicit WriteScope(CallContext& ctx);
    ~WriteScope();
    WriteScope(const WriteScope&) = delete;
    WriteScope& operator=(const WriteScope&) = delete;

    void audit(const std::string& filial, const std::string& paciente, AuditAction action,
               const protocol::json& keys);
    // Remembers ctx.result under the request id, then commits. Set the
    // reply before calling it.
    void commit();

private:
    CallContext& ctx_;
    db::WriteTransaction tx_;
};

// One AUDITORIA row for the call, on its session (inside the caller's transaction).
void writeAudit(CallContext& ctx, const std::string& filial, const std::string& paciente, AuditAction action,
                const protocol::json& keys);

// The stored reply of a request id, for the dispatcher after a write failed
// because a concurrent call with that id committed first.
std::optional<protocol::RpcResult> storedReply(CallContext& ctx);

} // namespace server

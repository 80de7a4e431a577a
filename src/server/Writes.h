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
// writes nothing. The id is claimed at commit, together with the audit rows
// and in the same statement on PostgreSQL (INSERT ... ON CONFLICT DO
// NOTHING): a call whose claim finds the id taken rolls back and answers the
// stored reply, and so does a call with a stored id that fails on the way
// (its records were already written by the first). A concurrent retry waits
// on the id's key until the first commits. An id used for another call
// (operation, arguments or operator) is refused.
#include "server/Operation.h"

#include <optional>
#include <vector>

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
    struct AuditRow {
        std::string time, filial, paciente, key;
        char action;
    };
    bool claimAndAudit();
    CallContext& ctx_;
    std::optional<db::WriteTransaction> tx_;
    std::vector<AuditRow> audits_;
};

// One AUDITORIA row for the call, on its session (inside the caller's transaction).
void writeAudit(CallContext& ctx, const std::string& filial, const std::string& paciente, AuditAction action,
                const protocol::json& keys);

// The stored reply of a request id, for the dispatcher after a write failed
// because a call with that id committed first.
std::optional<protocol::RpcResult> storedReply(CallContext& ctx);

} // namespace server

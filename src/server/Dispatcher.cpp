#include "server/Dispatcher.h"

#include "server/Authorization.h"
#include "server/SessionCache.h"
#include "server/ReadAudit.h"
#include "server/Sessions.h"
#include "server/Writes.h"

#include <soci/soci-backend.h>

#include <cstdio>

namespace server {

const char* const DatabaseFailure =
    "Erro no banco de dados: não foi possível concluir a operação. Tente novamente em instantes.";
const char* const InternalFailure = "Erro interno no servidor de aplicação. Tente novamente em instantes.";

namespace {

// A client request id: 1 to 64 letters, digits, '-' or '_'.
bool validRequestId(const std::string& id) {
    if (id.size() > 64) return false;
    for (char c : id)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_'))
            return false;
    return true;
}

size_t replyRows(const protocol::json& data) {
    auto rowsOf = [](const protocol::json& p) -> size_t {
        if (!p.is_object()) return 0;
        auto it = p.find("rows");
        return it != p.end() && it->is_array() ? it->size() : 0;
    };
    if (data.is_array()) {
        size_t n = 0;
        for (const auto& p : data) n += rowsOf(p);
        return n;
    }
    return rowsOf(data);
}

}  // namespace

Dispatcher::Dispatcher()
    : policy_(std::make_shared<SessionPolicy>()),
      throttle_(std::make_shared<LoginThrottle>(policy_)),
      sessions_(std::make_shared<SessionCache>()),
      readAudit_(std::make_shared<ReadAudit>()) {}

Dispatcher::~Dispatcher() = default;

void Dispatcher::add(const std::string& object, const std::string& operation, size_t argumentCount,
                     Handler handler, BranchRule rule) {
    operations_[object + "." + operation] = Entry{argumentCount, std::move(handler), rule};
}

std::vector<std::string> Dispatcher::undeclaredOperations() const {
    std::vector<std::string> out;
    for (const auto& [name, entry] : operations_)
        if (entry.rule.kind == BranchRule::Kind::Undeclared) out.push_back(name);
    return out;
}

std::vector<std::string> Dispatcher::operations() const {
    std::vector<std::string> out;
    for (const auto& [name, entry] : operations_) out.push_back(name);
    return out;
}

BranchRule Dispatcher::ruleOf(const std::string& method) const {
    auto it = operations_.find(method);
    return it == operations_.end() ? BranchRule{} : it->second.rule;
}

Dispatcher::Outcome Dispatcher::handle(const std::string& requestBody, db::SessionPool& pool, const RequestMeta& meta,
                                       bool flushAudit) const {
    using namespace protocol;
    Outcome out;
    json id = nullptr;
    auto fail = [&](int code, const std::string& message) {
        out.ok = false;
        out.error = message;
        out.body = serializeError(id, code, message);
        return out;
    };
    RpcRequest request;
    try {
        request = RpcRequest::parse(requestBody, &id);
    } catch (const RpcFailure& e) {
        return fail(e.code(), e.what());
    }
    out.method = request.method;
    auto it = operations_.find(request.method);
    if (it == operations_.end()) return fail(rpc_error::MethodNotFound, "Operação desconhecida: " + request.method);
    const Entry& entry = it->second;
    if (request.params.size() != entry.argumentCount)
        return fail(rpc_error::InvalidParams, "A operação " + request.method + " recebe " +
                                                  std::to_string(entry.argumentCount) + " argumentos.");
    if (!validRequestId(meta.requestId))
        return fail(rpc_error::InvalidRequest, "Identificador de requisição (Idempotency-Key) inválido.");
    try {
        auto session = pool.acquire();
        Args args(request.params);
        CallContext ctx{*session, pool.engine(), args, {}};
        ctx.method = request.method;
        ctx.requestId = meta.requestId;
        if (entry.rule.kind != BranchRule::Kind::Public) {
            ctx.caller = sessions_->authenticate(*session, meta.token,
                                                 std::chrono::milliseconds(policy_->sessionCheckMilliseconds));
            out.operatorCode = ctx.caller.operatorCode;
        }
        ctx.caller.address = meta.address;
        checkBranchRule(ctx, entry.rule);
        try {
            entry.handler(ctx);
        } catch (ReplayedCall& replayed) {
            ctx.result = std::move(replayed.result);
        } catch (const std::exception&) {
            // A write whose request id was already done fails on the records
            // the first call wrote (a key taken, an item changed): then the
            // first call's reply stands. The write has rolled back by now.
            auto stored = ctx.requestId.empty() || !ctx.wrote ? std::nullopt : storedReply(ctx);
            if (!stored) throw;
            ctx.result = std::move(*stored);
        }
        if (ctx.caller.operatorCode.size()) out.operatorCode = ctx.caller.operatorCode;
        if (replyRows(ctx.result.data) > limits::ReplyRows)
            throw LimitError("A resposta excede " + std::to_string(limits::ReplyRows) +
                             " linhas; restrinja a consulta.");
        out.ok = true;
        out.body = serializeResult(id, ctx.result);
        readAudit_->record(ctx);
        if (flushAudit) readAudit_->flush(*session, pool.engine());
        return out;
    } catch (const UnauthenticatedError& e) {
        return fail(rpc_error::Unauthenticated, e.what());
    } catch (const ForbiddenError& e) {
        return fail(rpc_error::Forbidden, e.what());
    } catch (const ThrottledError& e) {
        return fail(rpc_error::Throttled, e.what());
    } catch (const PasswordChangeRequiredError& e) {
        return fail(rpc_error::PasswordChangeRequired, e.what());
    } catch (const LimitError& e) {
        return fail(rpc_error::LimitExceeded, e.what());
    } catch (const ArgumentError& e) {
        return fail(rpc_error::InvalidParams, e.what());
    } catch (const OperationError& e) {
        return fail(rpc_error::OperationFailed, e.what());
    } catch (const ProtocolError& e) {
        return fail(rpc_error::InvalidParams, e.what());
    } catch (const soci::soci_error& e) {
        // The driver's text names the database's address and internals: the log gets it, the caller does not.
        out.detail = e.what();
        return fail(rpc_error::InternalError, DatabaseFailure);
    } catch (const std::exception& e) {
        out.detail = e.what();
        return fail(rpc_error::InternalError, InternalFailure);
    }
}

void Dispatcher::flushReadAudit(db::SessionPool& pool) const {
    if (readAudit_->queued() == 0) return;
    auto session = pool.acquire();
    readAudit_->flush(*session, pool.engine(), true);
}

void Dispatcher::flushReadAuditIfDue(db::SessionPool& pool) const {
    if (!readAudit_->due()) return;
    try {
        auto session = pool.acquire();
        readAudit_->flush(*session, pool.engine());
    } catch (const std::exception& e) {
        // The rows stay queued for the next batch.
        std::fprintf(stderr, "read audit: no session to write the batch: %s\n", e.what());
    }
}

void registerAll(Dispatcher& d) {
    registerSessions(d);
    registerOperators(d);
    registerRdmInquerito(d);
    registerRdmCalcular(d);
    registerRdmCopiarInq(d);
    registerRdmPlaInqNutr(d);
    registerHostLookup(d);
}

} // namespace server

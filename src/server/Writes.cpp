#include "server/Writes.h"

#include "db/Password.h"
#include "db/Query.h"
#include "protocol/Json.h"
#include "server/Sessions.h"

namespace server {

namespace {

using protocol::FieldType;

// What a request id stands for: the operation and its arguments.
std::string callDigest(const CallContext& ctx) {
    return db::sha256Hex(ctx.method + "\n" +
                         ctx.args.all().dump(-1, ' ', false, protocol::json::error_handler_t::replace));
}

std::optional<std::string> orNull(const std::string& s) {
    return s.empty() ? std::nullopt : std::optional<std::string>(s);
}

}  // namespace

std::optional<protocol::RpcResult> storedReply(CallContext& ctx) {
    if (ctx.requestId.empty()) return std::nullopt;
    const auto row = db::query(ctx.session,
                               "SELECT CDOPERADOR, NMOPERACAO, DSRESUMO, DSRESPOSTA FROM REQUISICAO "
                               "WHERE CDREQUISICAO = :P_CDREQUISICAO",
                               {{"P_CDREQUISICAO", ctx.requestId}},
                               {{"CDOPERADOR", FieldType::String, 10},
                                {"NMOPERACAO", FieldType::String, 80},
                                {"DSRESUMO", FieldType::String, 64},
                                {"DSRESPOSTA", FieldType::String, 0}});
    if (row.rows.empty()) return std::nullopt;
    const auto& r = row.rows[0];
    if (r[0] != ctx.caller.operatorCode || r[1] != ctx.method || r[2] != callDigest(ctx))
        throw ArgumentError("Identificador de requisição já usado em outra chamada.");
    if (!r[3].is_string()) return std::nullopt;
    auto reply = protocol::parseJson(r[3].get<std::string>());
    if (!reply) throw std::runtime_error("Resposta guardada ilegível.");
    return protocol::RpcResult::fromJson(*reply);
}

WriteScope::WriteScope(CallContext& ctx) : ctx_(ctx) {
    ctx_.wrote = true;
    tx_.emplace(ctx.session, ctx.engine);
}

WriteScope::~WriteScope() = default;

namespace {

// The audit key as stored: at most 1000 bytes, never cut inside a UTF-8 sequence.
std::string auditKeyText(const protocol::json& keys) {
    std::string key = keys.dump(-1, ' ', false, protocol::json::error_handler_t::replace);
    if (key.size() > 1000) {
        size_t cut = 997;
        while (cut > 0 && (static_cast<unsigned char>(key[cut]) & 0xC0) == 0x80) --cut;
        key = key.substr(0, cut) + "...";
    }
    return key;
}

}  // namespace

void WriteScope::audit(const std::string& filial, const std::string& paciente, AuditAction action,
                       const protocol::json& keys) {
    audits_.push_back({timestampUtc(), filial, paciente, auditKeyText(keys), static_cast<char>(action)});
}

void writeAudit(CallContext& ctx_, const std::string& filial, const std::string& paciente, AuditAction action,
                const protocol::json& keys) {
    db::execute(ctx_.session,
                "INSERT INTO AUDITORIA (DTHRREGISTRO, CDOPERADOR, CDFILIAL, CDPACIENTE, NMOPERACAO, IDACAO, DSCHAVE, "
                "DSENDERECO, CDREQUISICAO) VALUES (:P_DTHRREGISTRO, :P_CDOPERADOR, :P_CDFILIAL, :P_CDPACIENTE, "
                ":P_NMOPERACAO, :P_IDACAO, :P_DSCHAVE, :P_DSENDERECO, :P_CDREQUISICAO)",
                {{"P_DTHRREGISTRO", timestampUtc()},
                 {"P_CDOPERADOR", ctx_.caller.operatorCode},
                 {"P_CDFILIAL", filial},
                 {"P_CDPACIENTE", orNull(paciente)},
                 {"P_NMOPERACAO", ctx_.method},
                 {"P_IDACAO", std::string(1, static_cast<char>(action))},
                 {"P_DSCHAVE", auditKeyText(keys)},
                 {"P_DSENDERECO", orNull(ctx_.caller.address.substr(0, 64))},
                 {"P_CDREQUISICAO", orNull(ctx_.requestId)}});
}

namespace {

constexpr const char* AuditColumns =
    "INSERT INTO AUDITORIA (DTHRREGISTRO, CDOPERADOR, CDFILIAL, CDPACIENTE, NMOPERACAO, IDACAO, DSCHAVE, "
    "DSENDERECO, CDREQUISICAO) VALUES ";
constexpr const char* ClaimSql =
    "INSERT INTO REQUISICAO (CDREQUISICAO, CDOPERADOR, NMOPERACAO, DSRESUMO, DTHRREGISTRO, DSRESPOSTA) "
    "VALUES (:R_CDREQUISICAO, :R_CDOPERADOR, :R_NMOPERACAO, :R_DSRESUMO, :R_DTHRREGISTRO, :R_DSRESPOSTA) "
    "ON CONFLICT (CDREQUISICAO) DO NOTHING";

// Audit rows go in chunks of a few fixed sizes, so that the prepared
// statements stay few whatever the number of records.
size_t chunkOf(size_t remaining) {
    size_t n = 64;
    while (n > remaining) n /= 2;
    return n;
}

}  // namespace

// Writes the audit rows and, with a request id, claims it with the reply.
// False when the id was taken meanwhile by a call that committed first.
bool WriteScope::claimAndAudit() {
    const bool claim = !ctx_.requestId.empty();
    const bool combine = claim && ctx_.engine == db::Engine::PostgreSQL && !audits_.empty();
    db::Params claimParams;
    if (claim)
        claimParams = {{"R_CDREQUISICAO", ctx_.requestId},
                       {"R_CDOPERADOR", ctx_.caller.operatorCode},
                       {"R_NMOPERACAO", ctx_.method},
                       {"R_DSRESUMO", callDigest(ctx_)},
                       {"R_DTHRREGISTRO", timestampUtc()},
                       {"R_DSRESPOSTA", ctx_.result.toJson().dump(-1, ' ', false,
                                                                  protocol::json::error_handler_t::replace)}};
    bool claimed = !claim;
    if (claim && !combine) claimed = db::execute(ctx_.session, ClaimSql, claimParams) == 1;
    const std::optional<std::string> address = orNull(ctx_.caller.address.substr(0, 64));
    const std::optional<std::string> requestId = orNull(ctx_.requestId);
    for (size_t done = 0; done < audits_.size();) {
        const size_t n = chunkOf(audits_.size() - done);
        const bool withClaim = combine && done == 0;
        std::string sql;
        db::Params params;
        if (withClaim) {
            sql = std::string("WITH R AS (") + ClaimSql + " RETURNING CDREQUISICAO), A AS (";
            params = claimParams;
        }
        sql += AuditColumns;
        for (size_t i = 0; i < n; ++i) {
            const AuditRow& a = audits_[done + i];
            const std::string p = ":A" + std::to_string(i) + "_";
            if (i) sql += ", ";
            sql += "(" + p + "DTHRREGISTRO, " + p + "CDOPERADOR, " + p + "CDFILIAL, " + p + "CDPACIENTE, " + p +
                   "NMOPERACAO, " + p + "IDACAO, " + p + "DSCHAVE, " + p + "DSENDERECO, " + p + "CDREQUISICAO)";
            const std::string name = p.substr(1);
            params.push_back({name + "DTHRREGISTRO", a.time});
            params.push_back({name + "CDOPERADOR", ctx_.caller.operatorCode});
            params.push_back({name + "CDFILIAL", a.filial});
            params.push_back({name + "CDPACIENTE", orNull(a.paciente)});
            params.push_back({name + "NMOPERACAO", ctx_.method});
            params.push_back({name + "IDACAO", std::string(1, a.action)});
            params.push_back({name + "DSCHAVE", a.key});
            params.push_back({name + "DSENDERECO", address});
            params.push_back({name + "CDREQUISICAO", requestId});
        }
        if (withClaim) {
            sql += ") SELECT COUNT(*) AS CLAIMED FROM R";
            claimed = db::scalarNumber(ctx_.session, sql, params).value_or(0) == 1;
        } else {
            db::execute(ctx_.session, sql, params);
        }
        done += n;
        if (!claimed) return false;
    }
    return claimed;
}

void WriteScope::commit() {
    if (!claimAndAudit()) {
        // A call with the same id committed first: nothing of this one stays.
        tx_.reset();
        if (auto stored = storedReply(ctx_)) throw ReplayedCall{std::move(*stored)};
        throw std::runtime_error("Resposta guardada não encontrada.");
    }
    tx_->commit();
}

} // namespace server

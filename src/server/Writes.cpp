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

WriteScope::WriteScope(CallContext& ctx) : ctx_(ctx), tx_(ctx.session, ctx.engine) {
    if (ctx_.requestId.empty()) return;
    if (auto stored = storedReply(ctx_)) throw ReplayedCall{std::move(*stored)};
    db::execute(ctx_.session,
                "INSERT INTO REQUISICAO (CDREQUISICAO, CDOPERADOR, NMOPERACAO, DSRESUMO, DTHRREGISTRO) "
                "VALUES (:P_CDREQUISICAO, :P_CDOPERADOR, :P_NMOPERACAO, :P_DSRESUMO, :P_DTHRREGISTRO)",
                {{"P_CDREQUISICAO", ctx_.requestId},
                 {"P_CDOPERADOR", ctx_.caller.operatorCode},
                 {"P_NMOPERACAO", ctx_.method},
                 {"P_DSRESUMO", callDigest(ctx_)},
                 {"P_DTHRREGISTRO", timestampUtc()}});
}

WriteScope::~WriteScope() = default;

void WriteScope::audit(const std::string& filial, const std::string& paciente, AuditAction action,
                       const protocol::json& keys) {
    writeAudit(ctx_, filial, paciente, action, keys);
}

void writeAudit(CallContext& ctx_, const std::string& filial, const std::string& paciente, AuditAction action,
                const protocol::json& keys) {
    std::string key = keys.dump(-1, ' ', false, protocol::json::error_handler_t::replace);
    if (key.size() > 1000) {
        size_t cut = 997;  // not inside a UTF-8 sequence
        while (cut > 0 && (static_cast<unsigned char>(key[cut]) & 0xC0) == 0x80) --cut;
        key = key.substr(0, cut) + "...";
    }
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
                 {"P_DSCHAVE", key},
                 {"P_DSENDERECO", orNull(ctx_.caller.address.substr(0, 64))},
                 {"P_CDREQUISICAO", orNull(ctx_.requestId)}});
}

void WriteScope::commit() {
    if (!ctx_.requestId.empty())
        db::execute(ctx_.session, "UPDATE REQUISICAO SET DSRESPOSTA = :P_DSRESPOSTA WHERE CDREQUISICAO = :P_CDREQUISICAO",
                    {{"P_DSRESPOSTA", ctx_.result.toJson().dump(-1, ' ', false, protocol::json::error_handler_t::replace)},
                     {"P_CDREQUISICAO", ctx_.requestId}});
    tx_.commit();
}

} // namespace server

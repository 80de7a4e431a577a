// Server object "Host.Operador": operators managed by an administrator
// (OPERADOR.IDPERFIL = 'A'), and the audit trail's query.
//
// - Listar(): every operator with name, profile, state, whether the password
//   must be changed at the next login, and branches ("0001,0002").
// - Incluir(code, name, branches, profile, password): a new operator with the
//   given branches ("0001,0002"), profile A (administrador) or N
//   (nutricionista) and a first password, which must be changed at the first
//   login. Codes: 1 to 10 letters, digits or _, upper-cased.
// - Desativar(code) / Ativar(code): a disabled operator cannot log in and
//   loses its open sessions at once. An administrator cannot disable itself.
// - RedefinirSenha(code, password): a new password, to be changed at the next
//   login; the operator's open sessions end.
// - ConsultarAuditoria(patient, operator, from, to): the audit trail, newest
//   first, filtered by any of them (empty: no filter; dates inclusive,
//   "YYYY-MM-DD", UTC), at most AuditRows rows.
// Passwords follow db::passwordProblem. Every change is one AUDITORIA row
// (action I or A, keys: the operator's code and what changed), in the write's
// transaction.
#include "server/Operators.h"

#include "server/SessionCache.h"

#include "db/Password.h"
#include "db/Query.h"
#include "server/Dispatcher.h"
#include "server/ReadAudit.h"
#include "server/Sessions.h"
#include "server/Writes.h"

#include <algorithm>
#include <set>
#include <sstream>

namespace server {

namespace {

using protocol::FieldType;

constexpr const char* Object = "Host.Operador";
constexpr size_t AuditRows = 5000;

std::string textOf(const protocol::Value& v) { return v.is_string() ? v.get<std::string>() : std::string(); }

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

// The session's branch, after checking that its operator is an administrator.
std::string requireAdministrator(CallContext& ctx) {
    const auto row = db::query(ctx.session,
                               "SELECT O.IDPERFIL AS IDPERFIL, S.CDFILIAL AS CDFILIAL FROM SESSAO S "
                               "JOIN OPERADOR O ON O.CDOPERADOR = S.CDOPERADOR WHERE S.DSHASHTOKEN = :P_HASH",
                               {{"P_HASH", ctx.caller.sessionHash}},
                               {{"IDPERFIL", FieldType::String, 1}, {"CDFILIAL", FieldType::String, 4}});
    if (row.rows.empty() || textOf(row.rows[0][0]) != "A")
        throw ForbiddenError("Operação permitida somente a administradores.");
    return textOf(row.rows[0][1]);
}

std::string existingOperator(CallContext& ctx, size_t argument) {
    const std::string code = upper(trimmed(ctx.args.text(argument, 64)));
    if (code.empty()) throw OperationError("Operador deve ser informado.");
    if (!db::scalarText(ctx.session, "SELECT CDOPERADOR FROM OPERADOR WHERE CDOPERADOR = :P_CDOPERADOR",
                        {{"P_CDOPERADOR", code}}))
        throw OperationError("Operador " + code + " não cadastrado.");
    return code;
}

void endSessions(CallContext& ctx, const std::string& code) {
    db::execute(ctx.session, "DELETE FROM SESSAO WHERE CDOPERADOR = :P_CDOPERADOR", {{"P_CDOPERADOR", code}});
}

void listar(CallContext& ctx) {
    requireAdministrator(ctx);
    auto ops = db::query(ctx.session,
                         "SELECT CDOPERADOR, NMOPERADOR, IDPERFIL, IDATIVO, IDTROCASENHA FROM OPERADOR ORDER BY CDOPERADOR",
                         {},
                         {{"CDOPERADOR", FieldType::String, 10},
                          {"NMOPERADOR", FieldType::String, 60},
                          {"IDPERFIL", FieldType::String, 1},
                          {"IDATIVO", FieldType::String, 1},
                          {"IDTROCASENHA", FieldType::String, 1}});
    const auto branches = db::query(ctx.session, "SELECT CDOPERADOR, CDFILIAL FROM OPERFILI ORDER BY CDOPERADOR, CDFILIAL",
                                    {}, {{"CDOPERADOR", FieldType::String, 10}, {"CDFILIAL", FieldType::String, 4}});
    ops.fields.push_back({"DSFILIAIS", FieldType::String, 200});
    for (auto& row : ops.rows) {
        std::string list;
        for (const auto& b : branches.rows)
            if (b[0] == row[0]) list += (list.empty() ? "" : ",") + textOf(b[1]);
        row.push_back(list);
    }
    ctx.reply(ops);
}

void incluir(CallContext& ctx) {
    const std::string branch = requireAdministrator(ctx);
    const auto spec = operatorSpec(ctx.session, ctx.args.text(0, 64), ctx.args.text(1, 200), ctx.args.text(2, 1000),
                                   ctx.args.text(3, 8), ctx.args.text(4, 256));
    WriteScope scope(ctx);
    insertOperator(ctx.session, spec, true);
    scope.audit(branch, "", AuditAction::Insert,
                json{{"CDOPERADOR", spec.code}, {"IDPERFIL", spec.profile}, {"filiais", spec.branches}});
    ctx.result.data = nullptr;
    scope.commit();
}

void setActive(CallContext& ctx, SessionCache& sessions, bool active) {
    const std::string branch = requireAdministrator(ctx);
    const std::string code = existingOperator(ctx, 0);
    if (!active && code == ctx.caller.operatorCode)
        throw OperationError("O administrador não pode desativar a si mesmo.");
    WriteScope scope(ctx);
    db::execute(ctx.session, "UPDATE OPERADOR SET IDATIVO = :P_IDATIVO WHERE CDOPERADOR = :P_CDOPERADOR",
                {{"P_IDATIVO", active ? "S" : "N"}, {"P_CDOPERADOR", code}});
    if (!active) endSessions(ctx, code);
    scope.audit(branch, "", AuditAction::Update, json{{"CDOPERADOR", code}, {"IDATIVO", active ? "S" : "N"}});
    ctx.result.data = nullptr;
    scope.commit();
    // This instance forgets the ended sessions at once; others within their check time.
    if (!active) sessions.clear();
}

void redefinirSenha(CallContext& ctx, SessionCache& sessions) {
    const std::string branch = requireAdministrator(ctx);
    const std::string code = existingOperator(ctx, 0);
    const std::string password = ctx.args.text(1, 256);
    if (const auto problem = db::passwordProblem(code, password)) throw OperationError(*problem);
    WriteScope scope(ctx);
    db::execute(ctx.session,
                "UPDATE OPERADOR SET DSSENHA = :P_DSSENHA, IDTROCASENHA = 'S' WHERE CDOPERADOR = :P_CDOPERADOR",
                {{"P_DSSENHA", db::hashPassword(password)}, {"P_CDOPERADOR", code}});
    endSessions(ctx, code);
    scope.audit(branch, "", AuditAction::Update, json{{"CDOPERADOR", code}, {"senha", "redefinida"}});
    ctx.result.data = nullptr;
    scope.commit();
    sessions.clear();
}

void consultarAuditoria(CallContext& ctx, ReadAudit& reads) {
    requireAdministrator(ctx);
    reads.flush(ctx.session, ctx.engine, true);  // the reads just made are part of the answer
    const std::string patient = trimmed(ctx.args.text(0, 12));
    const std::string op = upper(trimmed(ctx.args.text(1, 10)));
    std::string sql =
        "SELECT DTHRREGISTRO, CDOPERADOR, CDFILIAL, CDPACIENTE, NMOPERACAO, IDACAO, DSCHAVE, DSENDERECO "
        "FROM AUDITORIA WHERE 1 = 1";
    db::Params params;
    if (!patient.empty()) {
        sql += " AND CDPACIENTE = :P_CDPACIENTE";
        params.push_back({"P_CDPACIENTE", patient});
    }
    if (!op.empty()) {
        sql += " AND CDOPERADOR = :P_CDOPERADOR";
        params.push_back({"P_CDOPERADOR", op});
    }
    const json& from = ctx.args.raw(2);
    const json& to = ctx.args.raw(3);
    if (from.is_string() && !from.get<std::string>().empty()) {
        sql += " AND DTHRREGISTRO >= :P_DE";
        params.push_back({"P_DE", ctx.args.date(2).toString()});
    }
    if (to.is_string() && !to.get<std::string>().empty()) {
        sql += " AND DTHRREGISTRO < :P_ATE";
        params.push_back({"P_ATE", ctx.args.date(3).toString() + " 99"});  // the whole last day
    }
    sql += " ORDER BY DTHRREGISTRO DESC LIMIT " + std::to_string(AuditRows);
    ctx.replyQuery(sql, params,
                   {{"DTHRREGISTRO", FieldType::String, 23},
                    {"CDOPERADOR", FieldType::String, 10},
                    {"CDFILIAL", FieldType::String, 4},
                    {"CDPACIENTE", FieldType::String, 12},
                    {"NMOPERACAO", FieldType::String, 80},
                    {"IDACAO", FieldType::String, 1},
                    {"DSCHAVE", FieldType::String, 1000},
                    {"DSENDERECO", FieldType::String, 64}});
}

}  // namespace

OperatorSpec operatorSpec(soci::session& session, const std::string& codeText, const std::string& nameText,
                          const std::string& branchesText, const std::string& profileText,
                          const std::string& password) {
    OperatorSpec spec;
    spec.code = upper(trimmed(codeText));
    if (spec.code.empty() || spec.code.size() > 10)
        throw OperationError("Código do operador deve ter de 1 a 10 caracteres.");
    for (char c : spec.code)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            throw OperationError("Código do operador deve ter só letras, dígitos e _.");
    spec.name = trimmed(nameText);
    if (spec.name.empty()) throw OperationError("Nome do operador deve ser informado.");
    if (spec.name.size() > 60) throw OperationError("Nome do operador deve ter no máximo 60 caracteres.");
    spec.profile = upper(trimmed(profileText));
    if (spec.profile.empty()) spec.profile = "N";
    if (spec.profile != "A" && spec.profile != "N")
        throw OperationError("Perfil deve ser A (administrador) ou N (nutricionista).");
    std::set<std::string> branches;
    std::stringstream list(branchesText);
    std::string item;
    while (std::getline(list, item, ',')) {
        item = trimmed(item);
        if (item.empty()) continue;
        if (item.size() > 4 || item.find_first_not_of("0123456789") != std::string::npos)
            throw OperationError("Filial inválida: " + item + ".");
        item.insert(0, 4 - item.size(), '0');
        if (!db::scalarText(session, "SELECT CDFILIAL FROM FILIAL WHERE CDFILIAL = :P_CDFILIAL", {{"P_CDFILIAL", item}}))
            throw OperationError("Filial " + item + " não cadastrada.");
        branches.insert(item);
    }
    if (branches.empty()) throw OperationError("Informe ao menos uma filial do operador.");
    spec.branches.assign(branches.begin(), branches.end());
    if (const auto problem = db::passwordProblem(spec.code, password)) throw OperationError(*problem);
    spec.password = password;
    if (db::scalarText(session, "SELECT CDOPERADOR FROM OPERADOR WHERE CDOPERADOR = :P_CDOPERADOR",
                       {{"P_CDOPERADOR", spec.code}}))
        throw OperationError("Já existe o operador " + spec.code + ".");
    return spec;
}

void insertOperator(soci::session& session, const OperatorSpec& spec, bool mustChangePassword) {
    db::execute(session,
                "INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR, DSSENHA, IDPERFIL, IDATIVO, IDTROCASENHA) "
                "VALUES (:P_CDOPERADOR, :P_NMOPERADOR, :P_DSSENHA, :P_IDPERFIL, 'S', :P_IDTROCASENHA)",
                {{"P_CDOPERADOR", spec.code},
                 {"P_NMOPERADOR", spec.name},
                 {"P_DSSENHA", db::hashPassword(spec.password)},
                 {"P_IDPERFIL", spec.profile},
                 {"P_IDTROCASENHA", mustChangePassword ? "S" : "N"}});
    for (const auto& branch : spec.branches)
        db::execute(session, "INSERT INTO OPERFILI (CDOPERADOR, CDFILIAL) VALUES (:P_CDOPERADOR, :P_CDFILIAL)",
                    {{"P_CDOPERADOR", spec.code}, {"P_CDFILIAL", branch}});
}

void addOperatorFromConsole(soci::session& session, const OperatorSpec& spec) {
    db::WriteTransaction tx(session, db::engineOf(session));
    insertOperator(session, spec, false);
    // The console has no session: the trail names the server's command line.
    db::execute(session,
                "INSERT INTO AUDITORIA (DTHRREGISTRO, CDOPERADOR, CDFILIAL, CDPACIENTE, NMOPERACAO, IDACAO, DSCHAVE, "
                "DSENDERECO, CDREQUISICAO) VALUES (:P_DTHRREGISTRO, 'CONSOLE', :P_CDFILIAL, NULL, "
                "'inquerito-server --add-operator', 'I', :P_DSCHAVE, NULL, NULL)",
                {{"P_DTHRREGISTRO", timestampUtc()},
                 {"P_CDFILIAL", spec.branches.front()},
                 {"P_DSCHAVE", json{{"CDOPERADOR", spec.code}, {"IDPERFIL", spec.profile}, {"filiais", spec.branches}}.dump()}});
    tx.commit();
}

void registerOperators(Dispatcher& d) {
    // Operators and the trail are shared by every branch; the administrator
    // check is made by each handler.
    d.add(Object, "Listar", 0, listar, BranchRule::inHandler());
    d.add(Object, "Incluir", 5, incluir, BranchRule::inHandler());
    auto sessions = d.sessionCache();
    d.add(Object, "Desativar", 1, [sessions](CallContext& ctx) { setActive(ctx, *sessions, false); },
          BranchRule::inHandler());
    d.add(Object, "Ativar", 1, [sessions](CallContext& ctx) { setActive(ctx, *sessions, true); },
          BranchRule::inHandler());
    d.add(Object, "RedefinirSenha", 2, [sessions](CallContext& ctx) { redefinirSenha(ctx, *sessions); },
          BranchRule::inHandler());
    ReadAudit* reads = &d.readAudit();
    d.add(Object, "ConsultarAuditoria", 4, [reads](CallContext& ctx) { consultarAuditoria(ctx, *reads); },
          BranchRule::inHandler());
}

}  // namespace server

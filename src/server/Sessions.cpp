#include "server/Sessions.h"

#include "server/SessionCache.h"

#include "db/Password.h"
#include "db/Query.h"
#include "server/Writes.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>

namespace server {

namespace {

using protocol::FieldType;
using protocol::json;

constexpr const char* Object = "Host.Sessao";
constexpr size_t OperatorWidth = 10;
constexpr size_t BranchWidth = 4;
constexpr auto RequestMemory = std::chrono::hours(24);
constexpr auto ThrottleMemory = std::chrono::minutes(15);

const char* const NoSession = "Sessão não iniciada: entre no sistema para usar o servidor de aplicação.";
const char* const BadSession = "Sessão inválida ou encerrada: entre novamente no sistema.";
const char* const ExpiredSession = "Sessão expirada: entre novamente no sistema.";
const char* const BadCredentials = "Operador ou senha inválidos.";

std::string textOf(const protocol::Value& v) { return v.is_string() ? v.get<std::string>() : std::string(); }

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

bool isHex(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// ISO 8601 form of a stored timestamp, for the client.
std::string isoOf(const std::string& stored) {
    std::string iso = stored;
    if (iso.size() > 10) iso[10] = 'T';
    return iso + "Z";
}

// What an unknown operator's password is checked against, so that it costs
// the same as a known one's.
const std::string& unknownOperatorHash() {
    static const std::string hash = db::hashPassword(db::randomHex(16));
    return hash;
}

// Login, or with a new password (TrocarSenha) the change of an expired or
// reset password followed by the login.
void login(CallContext& ctx, LoginThrottle& throttle, const SessionPolicy& policy, bool changing) {
    std::string code = trimmed(ctx.args.text(0, 64));
    std::transform(code.begin(), code.end(), code.begin(), [](unsigned char c) { return std::toupper(c); });
    const std::string password = ctx.args.text(1, 256);
    const std::string newPassword = changing ? ctx.args.text(2, 256) : std::string();
    std::string branch = trimmed(ctx.args.text(changing ? 3 : 2, 16));
    const std::string& address = ctx.caller.address;

    throttle.admit(ctx.session, ctx.engine, code, address);
    protocol::DataPacket op;
    if (!code.empty() && code.size() <= OperatorWidth)
        op = db::query(ctx.session,
                       "SELECT NMOPERADOR, DSSENHA, IDATIVO, IDTROCASENHA, IDPERFIL FROM OPERADOR "
                       "WHERE CDOPERADOR = :P_CDOPERADOR",
                       {{"P_CDOPERADOR", code}},
                       {{"NMOPERADOR", FieldType::String, 60},
                        {"DSSENHA", FieldType::String, 200},
                        {"IDATIVO", FieldType::String, 1},
                        {"IDTROCASENHA", FieldType::String, 1},
                        {"IDPERFIL", FieldType::String, 1}});
    const bool known = !op.rows.empty();
    throttle.countCheck();
    const bool valid = db::verifyPassword(password, known ? textOf(op.rows[0][1]) : unknownOperatorHash());
    if (!known || !valid) throw OperationError(BadCredentials);  // already counted by admit()
    {
        db::WriteTransaction tx(ctx.session, ctx.engine);
        throttle.succeeded(ctx.session, ctx.engine, code, address);
        tx.commit();
    }
    if (textOf(op.rows[0][2]) == "N") throw OperationError("Operador desativado: procure o administrador do sistema.");
    if (changing) {
        if (newPassword == password) throw OperationError("A nova senha deve ser diferente da atual.");
        if (const auto problem = db::passwordProblem(code, newPassword)) throw OperationError(*problem);
    } else if (textOf(op.rows[0][3]) == "S") {
        throw PasswordChangeRequiredError("Senha expirada: defina uma nova senha para entrar.");
    }

    const auto branches = db::query(ctx.session,
                                    "SELECT F.CDFILIAL AS CDFILIAL, F.NMFILIAL AS NMFILIAL FROM OPERFILI O "
                                    "JOIN FILIAL F ON F.CDFILIAL = O.CDFILIAL "
                                    "WHERE O.CDOPERADOR = :P_CDOPERADOR ORDER BY F.CDFILIAL",
                                    {{"P_CDOPERADOR", code}},
                                    {{"CDFILIAL", FieldType::String, 4}, {"NMFILIAL", FieldType::String, 30}});
    if (branches.rows.empty()) throw OperationError("Operador sem filial liberada para acesso.");
    if (branch.empty()) throw OperationError("Filial deve ser informada.");
    if (branch.size() < BranchWidth) branch.insert(0, BranchWidth - branch.size(), '0');
    std::string branchName;
    bool allowed = false;
    for (const auto& row : branches.rows)
        if (textOf(row[0]) == branch) {
            allowed = true;
            branchName = textOf(row[1]);
        }
    if (!allowed) throw OperationError("Operador sem permissão de acesso à filial " + branch + ".");

    const std::string token = db::randomHex(32);
    const auto now = std::chrono::system_clock::now();
    const std::string expires = timestampUtc(now + std::chrono::minutes(std::max(1, policy.lifetimeMinutes)));
    ctx.caller.operatorCode = code;
    {
        db::WriteTransaction tx(ctx.session, ctx.engine);
        if (changing) {
            db::execute(ctx.session,
                        "UPDATE OPERADOR SET DSSENHA = :P_DSSENHA, IDTROCASENHA = 'N' WHERE CDOPERADOR = :P_CDOPERADOR",
                        {{"P_DSSENHA", db::hashPassword(newPassword)}, {"P_CDOPERADOR", code}});
            writeAudit(ctx, branch, "", AuditAction::Update, json{{"CDOPERADOR", code}, {"senha", "trocada"}});
        }
        removeExpired(ctx.session);
        db::execute(ctx.session,
                    "INSERT INTO SESSAO (DSHASHTOKEN, CDOPERADOR, CDFILIAL, DTHRCRIACAO, DTHREXPIRA, DSENDERECO) "
                    "VALUES (:P_HASH, :P_CDOPERADOR, :P_CDFILIAL, :P_CRIACAO, :P_EXPIRA, :P_ENDERECO)",
                    {{"P_HASH", db::sha256Hex(token)},
                     {"P_CDOPERADOR", code},
                     {"P_CDFILIAL", branch},
                     {"P_CRIACAO", timestampUtc(now)},
                     {"P_EXPIRA", expires},
                     {"P_ENDERECO", address.empty() ? std::nullopt : std::optional<std::string>(address.substr(0, 64))}});
        tx.commit();
    }
    ctx.result.data = json{{"token", token},
                           {"expira", isoOf(expires)},
                           {"CDOPERADOR", code},
                           {"NMOPERADOR", textOf(op.rows[0][0])},
                           {"IDPERFIL", textOf(op.rows[0][4])},
                           {"CDFILIAL", branch},
                           {"NMFILIAL", branchName},
                           {"filiais", branches.toJson()}};
}

void logout(CallContext& ctx, SessionCache& cache) {
    db::WriteTransaction tx(ctx.session, ctx.engine);
    db::execute(ctx.session, "DELETE FROM SESSAO WHERE DSHASHTOKEN = :P_HASH", {{"P_HASH", ctx.caller.sessionHash}});
    tx.commit();
    cache.forget(ctx.caller.sessionHash);
    ctx.result.data = nullptr;
}

}  // namespace

std::string timestampUtc(std::chrono::system_clock::time_point t) {
    const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(ms % 1000));
    return buf;
}

Caller authenticate(soci::session& session, const std::string& token) {
    return checkSession(session, token, nullptr);
}

Caller checkSession(soci::session& session, const std::string& token, std::string* expires) {
    if (token.empty()) throw UnauthenticatedError(NoSession);
    if (token.size() != 64 || !isHex(token)) throw UnauthenticatedError(BadSession);
    Caller caller;
    caller.sessionHash = db::sha256Hex(token);
    const auto rows = db::query(session,
                                "SELECT S.CDOPERADOR AS CDOPERADOR, S.DTHREXPIRA AS DTHREXPIRA, O.CDFILIAL AS CDFILIAL "
                                "FROM SESSAO S LEFT JOIN OPERFILI O ON O.CDOPERADOR = S.CDOPERADOR "
                                "WHERE S.DSHASHTOKEN = :P_HASH ORDER BY O.CDFILIAL",
                                {{"P_HASH", caller.sessionHash}},
                                {{"CDOPERADOR", FieldType::String, 10},
                                 {"DTHREXPIRA", FieldType::String, 23},
                                 {"CDFILIAL", FieldType::String, 4}});
    if (rows.rows.empty()) throw UnauthenticatedError(BadSession);
    if (textOf(rows.rows[0][1]) <= timestampUtc()) throw UnauthenticatedError(ExpiredSession);
    if (expires) *expires = textOf(rows.rows[0][1]);
    caller.operatorCode = textOf(rows.rows[0][0]);
    for (const auto& row : rows.rows)
        if (row[2].is_string()) caller.branches.push_back(row[2].get<std::string>());
    return caller;
}

void removeExpired(soci::session& session) {
    const auto now = std::chrono::system_clock::now();
    db::execute(session, "DELETE FROM SESSAO WHERE DTHREXPIRA <= :P_AGORA", {{"P_AGORA", timestampUtc(now)}});
    db::execute(session, "DELETE FROM REQUISICAO WHERE DTHRREGISTRO < :P_LIMITE",
                {{"P_LIMITE", timestampUtc(now - RequestMemory)}});
    db::execute(session, "DELETE FROM FALHAACESSO WHERE DTHRULTIMA < :P_LIMITE AND DTHRLIBERA <= :P_AGORA",
                {{"P_LIMITE", timestampUtc(now - ThrottleMemory)}, {"P_AGORA", timestampUtc(now)}});
}

namespace {

const char* const OperatorKey = "O:";
const char* const AddressKey = "E:";  // sorts before the operator's: rows are locked address first

std::chrono::system_clock::time_point parseTimestampUtc(const std::string& text) {
    std::tm utc{};
    int ms = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d.%d", &utc.tm_year, &utc.tm_mon, &utc.tm_mday, &utc.tm_hour,
                    &utc.tm_min, &utc.tm_sec, &ms) < 6)
        return {};
    utc.tm_year -= 1900;
    utc.tm_mon -= 1;
    return std::chrono::system_clock::from_time_t(timegm(&utc)) + std::chrono::milliseconds(ms);
}

// When a key with `failures` failures, the last at `last`, may try again.
std::chrono::system_clock::time_point releaseTime(const SessionPolicy& policy, int failures, int freeFailures,
                                                  std::chrono::system_clock::time_point last) {
    const int over = failures - std::max(1, freeFailures);
    if (over < 0) return last;
    const auto cap = std::chrono::milliseconds(std::chrono::seconds(std::max(1, policy.maxDelaySeconds)));
    auto delay = std::chrono::milliseconds(std::max(1, policy.firstDelayMilliseconds));
    for (int i = 0; i < over && delay < cap; ++i) delay *= 2;
    return last + std::min(delay, cap);
}

std::string throttleKey(const char* kind, const std::string& value) { return kind + value.substr(0, 64); }

}  // namespace

void LoginThrottle::admit(soci::session& session, db::Engine engine, const std::string& operatorCode,
                          const std::string& address) {
    const auto now = std::chrono::system_clock::now();
    const std::string nowText = timestampUtc(now);
    const std::string addressKey = throttleKey(AddressKey, address);
    const std::string operatorKey = throttleKey(OperatorKey, operatorCode);
    db::WriteTransaction tx(session, engine);
    db::execute(session,
                "INSERT INTO FALHAACESSO (DSCHAVE, QTFALHAS, DTHRULTIMA, DTHRLIBERA) VALUES "
                "(:P_ENDERECO, 0, :P_AGORA, :P_AGORA), (:P_OPERADOR, 0, :P_AGORA, :P_AGORA) "
                "ON CONFLICT (DSCHAVE) DO NOTHING",
                {{"P_ENDERECO", addressKey}, {"P_OPERADOR", operatorKey}, {"P_AGORA", nowText}});
    // SQLite's BEGIN IMMEDIATE already serialises writers; PostgreSQL locks the two rows.
    const auto rows = db::query(session,
                                std::string("SELECT DSCHAVE, QTFALHAS, DTHRULTIMA, DTHRLIBERA FROM FALHAACESSO "
                                            "WHERE DSCHAVE IN (:P_ENDERECO, :P_OPERADOR) ORDER BY DSCHAVE") +
                                    (engine == db::Engine::PostgreSQL ? " FOR UPDATE" : ""),
                                {{"P_ENDERECO", addressKey}, {"P_OPERADOR", operatorKey}},
                                {{"DSCHAVE", FieldType::String, 80},
                                 {"QTFALHAS", FieldType::Integer, 0},
                                 {"DTHRULTIMA", FieldType::String, 23},
                                 {"DTHRLIBERA", FieldType::String, 23}});
    auto until = now;
    for (const auto& row : rows.rows)
        until = std::max(until, parseTimestampUtc(textOf(row[3])));
    if (until > now) {
        tx.commit();
        const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count();
        const long long seconds = std::max(1LL, (ms + 999) / 1000);
        throw ThrottledError("Muitas tentativas de acesso sem sucesso. Aguarde " + std::to_string(seconds) +
                             (seconds == 1 ? " segundo" : " segundos") + " e tente novamente.");
    }
    for (const auto& row : rows.rows) {
        const std::string key = textOf(row[0]);
        const bool quiet = now - parseTimestampUtc(textOf(row[2])) > ThrottleMemory;
        const int failures = (quiet || !row[1].is_number() ? 0 : row[1].get<int>()) + 1;
        const int freeFailures = key == addressKey ? policy_->addressFreeFailures : policy_->operatorFreeFailures;
        db::execute(session,
                    "UPDATE FALHAACESSO SET QTFALHAS = :P_QTFALHAS, DTHRULTIMA = :P_AGORA, DTHRLIBERA = :P_LIBERA "
                    "WHERE DSCHAVE = :P_DSCHAVE",
                    {{"P_QTFALHAS", std::to_string(failures)},
                     {"P_AGORA", nowText},
                     {"P_LIBERA", timestampUtc(releaseTime(*policy_, failures, freeFailures, now))},
                     {"P_DSCHAVE", key}});
    }
    tx.commit();
}

void LoginThrottle::succeeded(soci::session& session, db::Engine engine, const std::string& operatorCode,
                              const std::string& address) {
    const std::string addressKey = throttleKey(AddressKey, address);
    const auto row = db::query(session,
                               std::string("SELECT QTFALHAS, DTHRULTIMA FROM FALHAACESSO WHERE DSCHAVE = :P_DSCHAVE") +
                                   (engine == db::Engine::PostgreSQL ? " FOR UPDATE" : ""),
                               {{"P_DSCHAVE", addressKey}},
                               {{"QTFALHAS", FieldType::Integer, 0}, {"DTHRULTIMA", FieldType::String, 23}});
    if (!row.rows.empty() && row.rows[0][0].is_number()) {
        const int failures = std::max(0, row.rows[0][0].get<int>() - 1);
        const auto last = parseTimestampUtc(textOf(row.rows[0][1]));
        db::execute(session, "UPDATE FALHAACESSO SET QTFALHAS = :P_QTFALHAS, DTHRLIBERA = :P_LIBERA WHERE DSCHAVE = :P_DSCHAVE",
                    {{"P_QTFALHAS", std::to_string(failures)},
                     {"P_LIBERA", timestampUtc(releaseTime(*policy_, failures, policy_->addressFreeFailures, last))},
                     {"P_DSCHAVE", addressKey}});
    }
    db::execute(session, "DELETE FROM FALHAACESSO WHERE DSCHAVE = :P_DSCHAVE",
                {{"P_DSCHAVE", throttleKey(OperatorKey, operatorCode)}});
}

void registerSessions(Dispatcher& d) {
    auto throttle = d.throttle();
    auto policy = d.sharedPolicy();
    d.add(Object, "Login", 3, [throttle, policy](CallContext& ctx) { login(ctx, *throttle, *policy, false); },
          BranchRule::publicOperation());
    d.add(Object, "TrocarSenha", 4, [throttle, policy](CallContext& ctx) { login(ctx, *throttle, *policy, true); },
          BranchRule::publicOperation());
    auto sessions = d.sessionCache();
    d.add(Object, "Logout", 0, [sessions](CallContext& ctx) { logout(ctx, *sessions); }, BranchRule::catalogue());
}

} // namespace server

#include "server/Sessions.h"

#include "server/SessionCache.h"

#include "db/Password.h"
#include "db/Query.h"

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
constexpr size_t ThrottleEntries = 10000;

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

void login(CallContext& ctx, LoginThrottle& throttle, const SessionPolicy& policy) {
    std::string code = trimmed(ctx.args.text(0, 64));
    std::transform(code.begin(), code.end(), code.begin(), [](unsigned char c) { return std::toupper(c); });
    const std::string password = ctx.args.text(1, 256);
    std::string branch = trimmed(ctx.args.text(2, 16));
    const std::string& address = ctx.caller.address;

    if (const auto wait = throttle.wait(code, address)) {
        const long long seconds = (wait->count() + 999) / 1000;
        throw ThrottledError("Muitas tentativas de acesso sem sucesso. Aguarde " + std::to_string(seconds) +
                             (seconds == 1 ? " segundo" : " segundos") + " e tente novamente.");
    }
    protocol::DataPacket op;
    if (!code.empty() && code.size() <= OperatorWidth)
        op = db::query(ctx.session, "SELECT NMOPERADOR, DSSENHA FROM OPERADOR WHERE CDOPERADOR = :P_CDOPERADOR",
                       {{"P_CDOPERADOR", code}},
                       {{"NMOPERADOR", FieldType::String, 60}, {"DSSENHA", FieldType::String, 200}});
    const bool known = !op.rows.empty();
    const bool valid = db::verifyPassword(password, known ? textOf(op.rows[0][1]) : unknownOperatorHash());
    if (!known || !valid) {
        throttle.failed(code, address);
        throw OperationError(BadCredentials);
    }
    throttle.succeeded(code, address);

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
    {
        db::WriteTransaction tx(ctx.session, ctx.engine);
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
    ctx.caller.operatorCode = code;
    ctx.result.data = json{{"token", token},
                           {"expira", isoOf(expires)},
                           {"CDOPERADOR", code},
                           {"NMOPERADOR", textOf(op.rows[0][0])},
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
}

std::optional<std::chrono::milliseconds> LoginThrottle::wait(const std::string& operatorCode,
                                                            const std::string& address) {
    std::lock_guard lock(mutex_);
    const auto now = Clock::now();
    Clock::time_point until = now;
    for (const std::string& key : {"o:" + operatorCode, "a:" + address}) {
        auto it = entries_.find(key);
        if (it != entries_.end()) until = std::max(until, it->second.blockedUntil);
    }
    if (until <= now) return std::nullopt;
    return std::chrono::duration_cast<std::chrono::milliseconds>(until - now);
}

void LoginThrottle::fail(const std::string& key, int freeFailures, Clock::time_point now) {
    Entry& e = entries_[key];
    ++e.failures;
    e.last = now;
    const int over = e.failures - std::max(0, freeFailures);
    if (over <= 0) return;
    const auto cap = std::chrono::milliseconds(std::chrono::seconds(std::max(1, policy_->maxDelaySeconds)));
    auto delay = std::chrono::milliseconds(std::max(1, policy_->firstDelayMilliseconds));
    for (int i = 1; i < over && delay < cap; ++i) delay *= 2;
    e.blockedUntil = now + std::min(delay, cap);
}

void LoginThrottle::failed(const std::string& operatorCode, const std::string& address) {
    std::lock_guard lock(mutex_);
    const auto now = Clock::now();
    forgetOld(now);
    fail("o:" + operatorCode, policy_->operatorFreeFailures, now);
    fail("a:" + address, policy_->addressFreeFailures, now);
}

void LoginThrottle::succeeded(const std::string& operatorCode, const std::string& address) {
    std::lock_guard lock(mutex_);
    entries_.erase("o:" + operatorCode);
    entries_.erase("a:" + address);
}

void LoginThrottle::forgetOld(Clock::time_point now) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (now - it->second.last > ThrottleMemory && now >= it->second.blockedUntil)
            it = entries_.erase(it);
        else
            ++it;
    }
    // Bounded memory under a flood of made-up codes: the oldest go first.
    while (entries_.size() >= ThrottleEntries) {
        auto oldest = std::min_element(entries_.begin(), entries_.end(),
                                       [](const auto& a, const auto& b) { return a.second.last < b.second.last; });
        entries_.erase(oldest);
    }
}

void registerSessions(Dispatcher& d) {
    auto throttle = d.throttle();
    auto policy = d.sharedPolicy();
    d.add(Object, "Login", 3, [throttle, policy](CallContext& ctx) { login(ctx, *throttle, *policy); },
          BranchRule::publicOperation());
    auto sessions = d.sessionCache();
    d.add(Object, "Logout", 0, [sessions](CallContext& ctx) { logout(ctx, *sessions); }, BranchRule::catalogue());
}

} // namespace server

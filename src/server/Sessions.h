#pragma once
// Sessions of the application server, object "Host.Sessao".
//
// - Login(operator, password, branch) checks the operator's PBKDF2 hash
//   (OPERADOR.DSSENHA) and that the operator may use the branch (OPERFILI),
//   with the host's messages: "Operador ou senha inválidos." for an unknown
//   operator or a wrong password alike (an unknown operator costs the same
//   hash work, so timing tells nothing either), "Operador sem filial liberada
//   para acesso.", "Filial deve ser informada.", "Operador sem permissão de
//   acesso à filial NNNN.". The branch is padded with zeros to four digits
//   and the operator code upper-cased, as the host's login does.
//   It answers {"token", "expira" (UTC, ISO 8601), "CDOPERADOR", "NMOPERADOR",
//   "CDFILIAL", "NMFILIAL", "filiais": packet CDFILIAL, NMFILIAL}.
// - The token is 32 random bytes in hex; only its SHA-256 is stored (SESSAO),
//   so a server instance over the same database knows it and a copy of the
//   table opens nothing. Every other call sends it in "Authorization: Bearer
//   <token>"; a missing, unknown, ended or expired token is refused
//   (rpc_error::Unauthenticated) before anything runs. The session ends at
//   Logout or SessionPolicy::lifetimeMinutes after the login. The check and
//   the operator's branches are remembered for a second at most
//   (SessionCache.h), so a branch taken away applies within that second.
// - Failed logins slow down: after SessionPolicy::operatorFreeFailures failures
//   of one operator, or addressFreeFailures from one address, each further
//   attempt must wait 1 s, 2 s, 4 s ... (at most maxDelaySeconds) after the
//   last failure; an attempt inside that wait is refused at once
//   (rpc_error::Throttled) without looking at the password, so nothing holds a
//   worker. A successful login clears both counts. The counts live in the
//   server's memory (one instance); they are forgotten after 15 minutes of
//   quiet.
#include "server/Dispatcher.h"

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace server {

// No valid session: the message says why, in Portuguese.
class UnauthenticatedError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ThrottledError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// UTC time as stored by the server: "YYYY-MM-DD HH:MM:SS.mmm".
std::string timestampUtc(std::chrono::system_clock::time_point t = std::chrono::system_clock::now());

// The caller of a token, or UnauthenticatedError.
Caller authenticate(soci::session& session, const std::string& token);
// The same, also answering the session's expiry as stored (when not null).
Caller checkSession(soci::session& session, const std::string& token, std::string* expires);

// Counts of failed logins, per operator and per address.
class LoginThrottle {
public:
    using Clock = std::chrono::steady_clock;
    explicit LoginThrottle(std::shared_ptr<SessionPolicy> policy) : policy_(std::move(policy)) {}

    // How long the caller must still wait; nullopt when it may try now.
    std::optional<std::chrono::milliseconds> wait(const std::string& operatorCode, const std::string& address);
    void failed(const std::string& operatorCode, const std::string& address);
    void succeeded(const std::string& operatorCode, const std::string& address);

private:
    struct Entry {
        int failures = 0;
        Clock::time_point last;
        Clock::time_point blockedUntil;
    };
    void fail(const std::string& key, int freeFailures, Clock::time_point now);
    void forgetOld(Clock::time_point now);
    std::shared_ptr<SessionPolicy> policy_;
    std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

// Removes ended sessions and remembered requests older than a day.
void removeExpired(soci::session& session);

} // namespace server

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
//   "CDFILIAL", "NMFILIAL", "filiais": packet CDFILIAL, NMFILIAL}. A disabled
//   operator is refused once the password is right; one whose password was
//   reset is refused with rpc_error::PasswordChangeRequired and logs in through
//   TrocarSenha(operator, password, newPassword, branch), which checks the new
//   password's rules (db::passwordProblem), stores it, audits the change and
//   answers as Login does.
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
//   worker. The counts live in the database (FALHAACESSO), so every instance
//   over it sees them. An attempt is counted as failed in one transaction
//   before the password is checked, so parallel attempts cannot slip past the
//   wait; a right password then clears the operator's count and takes the
//   attempt back from the address's count, whose earlier failures stay (a
//   valid login does not let one address go on guessing other operators).
//   Counts are forgotten after 15 minutes of quiet.
#include "server/Dispatcher.h"

#include <atomic>
#include <chrono>
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

// Right password, but an administrator reset it: the operator must choose a
// new one (Host.Sessao.TrocarSenha) before a session is given.
class PasswordChangeRequiredError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// UTC time as stored by the server: "YYYY-MM-DD HH:MM:SS.mmm".
std::string timestampUtc(std::chrono::system_clock::time_point t = std::chrono::system_clock::now());

// The caller of a token, or UnauthenticatedError.
Caller authenticate(soci::session& session, const std::string& token);
// The same, also answering the session's expiry as stored (when not null).
Caller checkSession(soci::session& session, const std::string& token, std::string* expires);

// Counts of failed logins, per operator and per address, in FALHAACESSO.
class LoginThrottle {
public:
    explicit LoginThrottle(std::shared_ptr<SessionPolicy> policy) : policy_(std::move(policy)) {}

    // Counts the attempt as failed, or throws ThrottledError when the operator
    // or the address must still wait. One transaction of its own.
    void admit(soci::session& session, db::Engine engine, const std::string& operatorCode,
               const std::string& address);
    // The password was right: clears the operator's count and takes the
    // attempt back from the address's. Runs in the caller's transaction.
    void succeeded(soci::session& session, db::Engine engine, const std::string& operatorCode,
                   const std::string& address);
    // Passwords checked by this instance (tests count them).
    long long passwordChecks() const { return checks_.load(); }
    void countCheck() { ++checks_; }

private:
    std::shared_ptr<SessionPolicy> policy_;
    std::atomic<long long> checks_{0};
};

// Removes ended sessions and remembered requests older than a day.
void removeExpired(soci::session& session);

} // namespace server

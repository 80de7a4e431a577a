#pragma once
// The per-call session check, remembered for a short while.
//
// Every call but the login checks its token against SESSAO and reads the
// operator's branches (one statement). The answer is kept in the server's
// memory for SessionPolicy::sessionCheckMilliseconds (1 s by default), keyed
// by the token's hash, so a burst of calls from one desktop costs one check:
// - the session's expiry is kept with the entry and compared on every call,
//   so a session ends exactly at its expiry;
// - a logout through this instance forgets the entry at once; a logout
//   through another instance over the same database, or a branch taken from
//   the operator, applies here within that time;
// - a refused token is not remembered: it is checked again on every call.
#include "server/Operation.h"

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

namespace server {

class SessionCache {
public:
    using Clock = std::chrono::steady_clock;

    // The caller of a token (its address left empty), or UnauthenticatedError.
    // `keep` is how long a checked session may be answered from memory; zero
    // checks every call.
    Caller authenticate(soci::session& session, const std::string& token, std::chrono::milliseconds keep);
    // Forgets a session (logout), by the SHA-256 of its token.
    void forget(const std::string& sessionHash);
    // Forgets every session (a change of operators or branches).
    void clear();

private:
    struct Entry {
        Caller caller;
        std::string expires;  // as stored, UTC
        Clock::time_point checkedAt;
    };
    std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
};

} // namespace server

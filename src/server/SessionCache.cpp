#include "server/SessionCache.h"

#include "db/Password.h"
#include "server/Sessions.h"

namespace server {

namespace {

// Bounded memory under a flood of sessions; entries outlive `keep` only
// until the next purge.
constexpr size_t MaxEntries = 10000;

}  // namespace

Caller SessionCache::authenticate(soci::session& session, const std::string& token, std::chrono::milliseconds keep) {
    const bool remember = keep.count() > 0 && token.size() == 64;
    if (remember) {
        const std::string hash = db::sha256Hex(token);
        std::lock_guard lock(mutex_);
        auto it = entries_.find(hash);
        if (it != entries_.end() && Clock::now() - it->second.checkedAt < keep) {
            if (it->second.expires > timestampUtc()) return it->second.caller;
            entries_.erase(it);
        }
    }
    std::string expires;
    Caller caller = checkSession(session, token, &expires);
    if (remember) {
        const auto now = Clock::now();
        std::lock_guard lock(mutex_);
        if (entries_.size() >= MaxEntries) {
            std::erase_if(entries_, [&](const auto& e) { return now - e.second.checkedAt >= keep; });
            if (entries_.size() >= MaxEntries) entries_.clear();
        }
        entries_[caller.sessionHash] = Entry{caller, std::move(expires), now};
    }
    return caller;
}

void SessionCache::forget(const std::string& sessionHash) {
    std::lock_guard lock(mutex_);
    entries_.erase(sessionHash);
}

void SessionCache::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

} // namespace server

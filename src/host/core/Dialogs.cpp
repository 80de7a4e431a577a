#include "host/core/Dialogs.h"

#include <stdexcept>

namespace hostfw {

namespace {

std::unique_ptr<HostDialogs>& current() {
    static std::unique_ptr<HostDialogs> service;
    return service;
}

std::function<std::unique_ptr<HostDialogs>()>& defaultFactory() {
    static std::function<std::unique_ptr<HostDialogs>()> factory;
    return factory;
}

}  // namespace

HostDialogs& dialogs() {
    auto& service = current();
    if (!service) {
        // No default registered means a broken build of this library; a
        // scripted service would answer in the user's place, so refuse.
        if (!defaultFactory()) throw std::logic_error("no default host dialogs registered");
        service = defaultFactory()();
    }
    return *service;
}

void setDialogs(std::unique_ptr<HostDialogs> service) { current() = std::move(service); }

void setDefaultDialogs(std::function<std::unique_ptr<HostDialogs>()> factory) {
    defaultFactory() = std::move(factory);
}

ScriptedDialogs& useScriptedDialogs() {
    auto service = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs& scripted = *service;
    setDialogs(std::move(service));
    return scripted;
}

// --- ScriptedDialogs ---------------------------------------------------------

void ScriptedDialogs::message(DialogKind kind, const QString& text) { shown.push_back({kind, text}); }

bool ScriptedDialogs::confirm(const QString& text) {
    shown.push_back({DialogKind::Confirmation, text});
    if (confirmations.empty()) return true;
    const bool answer = confirmations.front();
    confirmations.pop_front();
    return answer;
}

LookupAnswer ScriptedDialogs::lookup(const LookupRequest& request) {
    lookupsShown.push_back(request);
    if (onLookup) onLookup(request);
    if (lookups.empty()) return {};
    LookupAnswer answer = lookups.front();
    lookups.pop_front();
    if (answer.row >= 0) answer.accepted = true;
    return answer;
}

std::optional<QString> ScriptedDialogs::findText(const QString&) {
    if (finds.empty()) return std::nullopt;
    QString text = finds.front();
    finds.pop_front();
    return text;
}

void ScriptedDialogs::busy(bool on, int kind) {
    busyCalls.emplace_back(on, kind);
    busyDepth += on ? 1 : (busyDepth > 0 ? -1 : 0);
}

void ScriptedDialogs::clear() {
    shown.clear();
    confirmations.clear();
    lookups.clear();
    lookupsShown.clear();
    finds.clear();
    busyCalls.clear();
    busyDepth = 0;
    onLookup = nullptr;
}

} // namespace hostfw

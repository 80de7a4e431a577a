#pragma once
// How failures travel in the desktop code: a silent abort (the operation
// stops, nothing more is shown) and the error exception (its text is shown).
// No exception may cross Qt's event loop: every entry from Qt runs through
// hostfw::guard, which swallows the abort and shows any other failure.
#include "host/core/HostExport.h"

#include <QString>

#include <exception>
#include <functional>
#include <stdexcept>
#include <type_traits>

namespace hostfw {

class HOSTFW_EXPORT EAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operação abandonada."; }
};

class HOSTFW_EXPORT EHostError : public std::runtime_error {
public:
    explicit EHostError(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

// Throws the silent abort.
[[noreturn]] HOSTFW_EXPORT void Abort();

// Runs an entry from Qt (a slot, an event handler). Answers false when it failed.
HOSTFW_EXPORT bool guard(const std::function<void()>& action);

// The text a failure shows to the user.
HOSTFW_EXPORT QString failureText(const std::exception& e);

// Wraps a callable so that calling it runs under guard; for Qt connections:
//   connect(button, &QAbstractButton::clicked, this, hostfw::guarded([this] { ... }));
// Signal arguments the callable does not take are dropped, as Qt does for slots.
template <typename F>
auto guarded(F f) {
    return [f = std::move(f)](auto&&... args) {
        guard([&] {
            if constexpr (std::is_invocable_v<const F&, decltype(args)...>)
                f(std::forward<decltype(args)>(args)...);
            else
                f();
        });
    };
}

} // namespace hostfw

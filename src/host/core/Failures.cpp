#include "host/core/Failures.h"

#include "host/core/Dialogs.h"

namespace hostfw {

void Abort() { throw EAbort(); }

QString failureText(const std::exception& e) {
    if (auto* h = dynamic_cast<const EHostError*>(&e)) return h->message();
    return QString::fromStdString(e.what());
}

bool guard(const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const EAbort&) {
        return false;
    } catch (const std::exception& e) {
        dialogs().message(DialogKind::Error, failureText(e));
        return false;
    } catch (...) {
        dialogs().message(DialogKind::Error, QStringLiteral("Erro inesperado."));
        return false;
    }
}

} // namespace hostfw

#pragma once
// The host's dialogs on the screen: message boxes, the lookup window, the
// find dialog and the busy cursor. The default service of hostfw::dialogs().
#include "host/core/Dialogs.h"
#include "host/core/HostExport.h"

namespace hostfw {

class HOSTFW_EXPORT QtDialogs : public HostDialogs {
public:
    void message(DialogKind kind, const QString& text) override;
    bool confirm(const QString& text) override;
    LookupAnswer lookup(const LookupRequest& request) override;
    std::optional<QString> findText(const QString& title) override;
    void busy(bool on, int kind) override;

private:
    int busyDepth_ = 0;
};

} // namespace hostfw

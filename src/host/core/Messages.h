#pragma once
// A screen's keyed message table: one line per message, "Key|Text".
#include "host/core/Dialogs.h"
#include "host/core/HostExport.h"

#include <QObject>
#include <QStringList>

namespace hostfw {

// Answers of ShowMsg, as the host's dialogs give them.
enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };
enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };
enum TMsgDlgButton { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };

class HOSTFW_EXPORT TMessages : public QObject {
    Q_OBJECT
public:
    explicit TMessages(QObject* owner, const QString& name = QString());

    QStringList Lines;  // "Key|Text"

    // Text of the line with that key; keys match whatever their letter case.
    // An unknown key answers the key itself, so a missing line shows something.
    QString Msg(const QString& key) const;
    bool Has(const QString& key) const;
    // Shows the message; answers mrYes/mrNo for a confirmation, mrOk otherwise.
    int ShowMsg(const QString& key, TMsgDlgType type, int buttons, int helpContext = 0) const;
};

} // namespace hostfw

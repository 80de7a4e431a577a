#include "host/core/Messages.h"

namespace hostfw {

TMessages::TMessages(QObject* owner, const QString& name) : QObject(owner) {
    if (!name.isEmpty()) setObjectName(name);
}

static int findLine(const QStringList& lines, const QString& key) {
    for (int i = 0; i < lines.size(); ++i) {
        const int bar = lines[i].indexOf('|');
        if (bar >= 0 && lines[i].left(bar).compare(key, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

QString TMessages::Msg(const QString& key) const {
    const int i = findLine(Lines, key);
    return i < 0 ? key : Lines[i].mid(Lines[i].indexOf('|') + 1);
}

bool TMessages::Has(const QString& key) const { return findLine(Lines, key) >= 0; }

int TMessages::ShowMsg(const QString& key, TMsgDlgType type, int buttons, int) const {
    const QString text = Msg(key);
    if (type == mtConfirmation || (buttons & (mbYes | mbNo)) == (mbYes | mbNo))
        return dialogs().confirm(text) ? mrYes : mrNo;
    dialogs().message(type == mtError         ? DialogKind::Error
                      : type == mtWarning     ? DialogKind::Warning
                                              : DialogKind::Information,
                      text);
    return mrOk;
}

} // namespace hostfw

#include "host/controls/NumberEdit.h"

#include "host/core/BrNumber.h"
#include "host/core/Failures.h"

#include <QRegularExpression>

#include <algorithm>

namespace hostfw {

TNumberEdit::TNumberEdit(QWidget* parent, const QString& name) : TEdit(parent, name) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(this, &QLineEdit::editingFinished, this, guarded([this] { tidy(); }));
}

void TNumberEdit::SetDecimals(int decimals) {
    decimals_ = std::max(0, decimals);
    tidy();
}

void TNumberEdit::SetThousandSeparator(bool on) {
    thousands_ = on;
    tidy();
}

QString TNumberEdit::format(double value) const {
    return FormatFixed(value, decimals_, thousands_);
}

double TNumberEdit::parse(const QString& text, bool* ok) {
    QString s = text.trimmed();
    s.remove(QChar(' '));
    if (s.contains(QChar(','))) {
        s.remove(QChar('.'));
        s.replace(QChar(','), QChar('.'));
    } else if (s.contains(QChar('.'))) {
        static const QRegularExpression grouped(QStringLiteral("^-?\\d{1,3}(\\.\\d{3})+$"));
        if (grouped.match(s).hasMatch()) s.remove(QChar('.'));
    }
    bool parsed = false;
    const double value = s.toDouble(&parsed);
    if (ok) *ok = parsed;
    return parsed ? value : 0.0;
}

double TNumberEdit::GetNumber() const { return parse(Text()); }

void TNumberEdit::SetNumber(double value) { SetText(format(value)); }

void TNumberEdit::filterTyped(QChar& ch) {
    const QString current = text();
    const int selFrom = hasSelectedText() ? selectionStart() : cursorPosition();
    const int selTo = hasSelectedText() ? selectionEnd() : cursorPosition();
    // What stays of the text once the typed character replaces the selection.
    const QString kept = current.left(selFrom) + current.mid(selTo);
    if (ch.isDigit()) return;
    if (ch == QChar('.') || ch == QChar(',')) {
        ch = decimals_ > 0 && !kept.contains(QChar(',')) ? QChar(',') : QChar();
        return;
    }
    if (ch == QChar('-')) {
        if (selFrom != 0 || kept.startsWith(QChar('-'))) ch = QChar();
        return;
    }
    ch = QChar();
}

void TNumberEdit::tidy() {
    if (Text().trimmed().isEmpty()) return;
    bool ok = false;
    const double value = parse(Text(), &ok);
    if (ok) SetText(format(value));
}

} // namespace hostfw

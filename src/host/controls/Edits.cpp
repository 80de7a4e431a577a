#include "host/controls/Edits.h"

#include "host/core/Failures.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPalette>

namespace hostfw {

TEdit::TEdit(QWidget* parent, const QString& name) : QLineEdit(parent) {
    if (!name.isEmpty()) setObjectName(name);
    // Edits made by Qt itself (paste, undo, context menu) come through here;
    // assigned text and typing handled by this class are announced directly.
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (quiet_ == 0) shownTextChanged();
    });
}

QString TEdit::Text() const { return text(); }

void TEdit::SetText(const QString& value) { setShown(applyCase(value)); }

void TEdit::SetCharCase(TEditCharCase charCase) {
    charCase_ = charCase;
    setShown(applyCase(text()));
}

void TEdit::SetDisplayOnly(bool displayOnly) {
    displayOnly_ = displayOnly;
    setReadOnly(displayOnly);
    setFocusPolicy(displayOnly ? Qt::NoFocus : Qt::StrongFocus);
    QPalette p = palette();
    p.setColor(QPalette::Base, displayOnly ? p.color(QPalette::Window) : QPalette().color(QPalette::Base));
    setPalette(p);
}

void TEdit::SetColor(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::Base, color.isValid() ? color : QPalette().color(QPalette::Base));
    setPalette(p);
}

void TEdit::SetFontColor(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::Text, color.isValid() ? color : QPalette().color(QPalette::Text));
    setPalette(p);
}

QChar TEdit::applyCase(QChar ch) const {
    switch (charCase_) {
    case TEditCharCase::ecUpperCase: return ch.toUpper();
    case TEditCharCase::ecLowerCase: return ch.toLower();
    default: return ch;
    }
}

QString TEdit::applyCase(const QString& value) const {
    switch (charCase_) {
    case TEditCharCase::ecUpperCase: return value.toUpper();
    case TEditCharCase::ecLowerCase: return value.toLower();
    default: return value;
    }
}

void TEdit::fireChange() {
    if (OnChange) {
        auto handler = OnChange;  // the handler may replace itself
        handler();
    }
}

void TEdit::setShown(const QString& shown, int cursor) {
    const bool changed = shown != text();
    ++quiet_;
    if (changed) setText(shown);
    if (cursor >= 0) setCursorPosition(cursor);
    --quiet_;
    if (changed) fireChange();
}

void TEdit::shownTextChanged() {
    const QString converted = applyCase(text());
    if (converted != text()) {
        const int cursor = cursorPosition();
        ++quiet_;
        setText(converted);
        setCursorPosition(cursor);
        --quiet_;
    }
    guard([this] { fireChange(); });
}

namespace {

// The characters a key event types: printable text without Ctrl or Meta, and
// the backspace key as '\b'.
QString typedChars(const QKeyEvent* event) {
    const auto mods = event->modifiers();
    if (event->key() == Qt::Key_Backspace)
        return (mods & (Qt::ControlModifier | Qt::MetaModifier)) ? QString() : QString(QChar('\b'));
    if (mods & (Qt::ControlModifier | Qt::MetaModifier)) return {};
    const QString text = event->text();
    for (QChar c : text)
        if (!c.isPrint()) return {};
    return text;
}

}  // namespace

void TEdit::keyPressEvent(QKeyEvent* event) {
    guard([&] {
        const QString typed = typedChars(event);
        if (typed.isEmpty()) {
            keyWithoutChar(event);
            return;
        }
        event->accept();
        typeText(typed);
    });
}

void TEdit::inputMethodEvent(QInputMethodEvent* event) {
    if (event->commitString().isEmpty() || !event->preeditString().isEmpty() || event->replacementLength() != 0) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    guard([&] { typeText(event->commitString()); });
    event->accept();
}

void TEdit::typeText(const QString& typed) {
    for (QChar ch : typed) {
        if (OnKeyPress) {
            auto handler = OnKeyPress;
            handler(ch);
        }
        if (ch.isNull()) continue;
        if (ch == QChar('\b')) {
            if (!isReadOnly()) typeBackspace();
            continue;
        }
        ch = applyCase(ch);
        filterTyped(ch);
        if (ch.isNull() || isReadOnly()) continue;
        typeChar(ch);
    }
}

void TEdit::typeChar(QChar ch) { insert(QString(ch)); }

void TEdit::typeBackspace() { backspace(); }

void TEdit::keyWithoutChar(QKeyEvent* event) { QLineEdit::keyPressEvent(event); }

} // namespace hostfw

#include "host/controls/MaskEdit.h"

#include "host/core/Failures.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

#include <algorithm>

namespace hostfw {

TMaskEdit::TMaskEdit(QWidget* parent, const QString& name) : TEdit(parent, name) {}

void TMaskEdit::SetEditMask(const QString& editMask) {
    const QString raw = IsMasked() ? pattern_.rawOf(text()) : text();
    editMask_ = editMask;
    pattern_ = MaskPattern(editMask);
    setAcceptDrops(!IsMasked());
    if (!IsMasked()) {
        setShown(raw);
        return;
    }
    if (maxLength() < pattern_.length()) setMaxLength(pattern_.length());
    setShown(pattern_.editTextFromRaw(applyCase(raw)), 0);
}

QString TMaskEdit::Text() const { return IsMasked() ? pattern_.textOf(text()) : TEdit::Text(); }

void TMaskEdit::SetText(const QString& value) {
    if (!IsMasked()) {
        TEdit::SetText(value);
        return;
    }
    // The cursor goes after the last filled position, so typing continues the text.
    const QString shown = pattern_.editTextFromText(applyCase(value));
    int cursor = 0;
    for (int pos = 0; pos < pattern_.length(); ++pos)
        if (!pattern_.isLiteral(pos) && shown[pos] != pattern_.blank()) cursor = pos + 1;
    setShown(shown, cursor);
}

void TMaskEdit::SetEditText(const QString& editText) {
    if (!IsMasked()) {
        TEdit::SetText(editText);
        return;
    }
    QString shown = pattern_.emptyEditText();
    for (int pos = 0; pos < shown.size() && pos < editText.size(); ++pos)
        if (!pattern_.isLiteral(pos)) shown[pos] = editText[pos];
    setShown(shown);
}

void TMaskEdit::blankRange(QString& shown, int from, int to) const {
    for (int pos = std::max(0, from); pos < to && pos < pattern_.length(); ++pos)
        if (!pattern_.isLiteral(pos)) shown[pos] = pattern_.blank();
}

// After a position is filled the cursor stands on the next editable one.
static int afterFilled(const MaskPattern& pattern, int pos) { return pattern.nextEditable(pos + 1); }

void TMaskEdit::typeChar(QChar ch) {
    if (!IsMasked()) {
        TEdit::typeChar(ch);
        return;
    }
    QString shown = text();
    int from = cursorPosition();
    if (hasSelectedText()) from = selectionStart();
    // Typing the literal that stands at the cursor steps over it.
    if (from < pattern_.length() && pattern_.isLiteral(from) && pattern_.literalAt(from) == ch) {
        if (hasSelectedText()) blankRange(shown, selectionStart(), selectionEnd());
        setShown(shown, from + 1);
        return;
    }
    const int pos = pattern_.nextEditable(from);
    const QChar stored = pattern_.accept(pos, ch);
    if (stored.isNull()) return;  // refused: nothing changes
    if (hasSelectedText()) blankRange(shown, selectionStart(), selectionEnd());
    shown[pos] = stored;
    setShown(shown, afterFilled(pattern_, pos));
}

// Typing over a selection first blanks it; answers whether there was one.
bool TMaskEdit::blankSelection(QString& shown) {
    if (!hasSelectedText()) return false;
    const int from = selectionStart();
    blankRange(shown, from, selectionEnd());
    setShown(shown, from);
    return true;
}

void TMaskEdit::typeBackspace() {
    if (!IsMasked()) {
        TEdit::typeBackspace();
        return;
    }
    QString shown = text();
    if (blankSelection(shown)) return;
    const int pos = pattern_.previousEditable(cursorPosition());
    if (pos < 0) {
        setCursorPosition(0);
        return;
    }
    shown[pos] = pattern_.blank();
    setShown(shown, pos);
}

void TMaskEdit::deleteForward() {
    QString shown = text();
    if (blankSelection(shown)) return;
    const int cursor = cursorPosition();
    const int pos = pattern_.nextEditable(cursor);
    if (pos >= pattern_.length()) return;
    shown[pos] = pattern_.blank();
    setShown(shown, cursor);
}

void TMaskEdit::cutSelection() {
    if (!hasSelectedText()) return;
    copy();
    deleteForward();
}

void TMaskEdit::pasteText(const QString& pasted) {
    QString shown = text();
    int cursor = cursorPosition();
    if (hasSelectedText()) {
        cursor = selectionStart();
        blankRange(shown, cursor, selectionEnd());
    }
    for (QChar c : pasted) {
        if (cursor >= pattern_.length()) break;
        if (pattern_.isLiteral(cursor) && pattern_.literalAt(cursor) == c) {
            ++cursor;
            continue;
        }
        const int pos = pattern_.nextEditable(cursor);
        const QChar stored = pattern_.accept(pos, applyCase(c));
        if (stored.isNull()) continue;
        shown[pos] = stored;
        cursor = afterFilled(pattern_, pos);
    }
    setShown(shown, cursor);
}

void TMaskEdit::keyWithoutChar(QKeyEvent* event) {
    if (!IsMasked()) {
        TEdit::keyWithoutChar(event);
        return;
    }
    // Qt's own editing would break the mask: only moving, selecting and
    // copying go to QLineEdit; the editing keys are done here.
    const bool readOnly = isReadOnly();
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll)) {
        QLineEdit::keyPressEvent(event);
    } else if (event->matches(QKeySequence::Paste)) {
        if (!readOnly) pasteText(QApplication::clipboard()->text());
    } else if (event->matches(QKeySequence::Cut)) {
        if (!readOnly) cutSelection();
    } else if (event->key() == Qt::Key_Delete) {
        if (!readOnly && !(event->modifiers() & Qt::ControlModifier)) deleteForward();
    } else if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Insert ||
               event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        // Word deletion, overwrite toggle and undo have no masked form.
    } else if (event->modifiers() & Qt::ControlModifier) {
        switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Up:
        case Qt::Key_Down: QLineEdit::keyPressEvent(event); break;
        default: event->ignore();
        }
    } else {
        QLineEdit::keyPressEvent(event);
    }
}

void TMaskEdit::contextMenuEvent(QContextMenuEvent* event) {
    if (!IsMasked()) {
        TEdit::contextMenuEvent(event);
        return;
    }
    QMenu menu(this);
    const bool editable = !isReadOnly();
    const bool selected = hasSelectedText();
    menu.addAction(QStringLiteral("Recortar"), this, [this] { guard([this] { cutSelection(); }); })
        ->setEnabled(editable && selected);
    menu.addAction(QStringLiteral("Copiar"), this, [this] { copy(); })->setEnabled(selected);
    menu.addAction(QStringLiteral("Colar"), this, [this] {
            guard([this] { pasteText(QApplication::clipboard()->text()); });
        })->setEnabled(editable && !QApplication::clipboard()->text().isEmpty());
    menu.addAction(QStringLiteral("Excluir"), this, [this] { guard([this] { deleteForward(); }); })
        ->setEnabled(editable && selected);
    menu.addSeparator();
    menu.addAction(QStringLiteral("Selecionar tudo"), this, [this] { selectAll(); });
    menu.exec(event->globalPos());
}

} // namespace hostfw

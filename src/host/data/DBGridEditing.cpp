// The data grid's cursor moves, keys, mouse and cell editor.
#include "host/data/DBGridPrivate.h"

#include "host/data/DataSet.h"
#include "host/data/DataSetModel.h"
#include "host/core/Dialogs.h"
#include "host/core/Failures.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QToolButton>

#include <algorithm>

namespace hostfw {

namespace {
// Focus changes caused by a window, popup or menu coming up are not moves.
bool isMove(Qt::FocusReason reason) {
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
           reason != Qt::MenuBarFocusReason && reason != Qt::NoFocusReason;
}
} // namespace

// ---------------------------------------------------------------- editor state

bool TDBGrid::EditorMode() const { return editor_ != nullptr; }

void TDBGrid::SetEditorMode(bool on) {
    if (on) showEditor();
    else hideEditor();
}

QString TDBGrid::InplaceEditorText() const {
    if (editor_) return editor_->text();
    TField* f = SelectedField();
    return f && activeDataSet() && currentRow() >= 0 ? f->Text() : QString();
}

QWidget* TDBGrid::InplaceEditor() const { return editor_; }
QLineEdit* TDBGrid::InplaceLineEdit() const { return editor_ ? editor_->line : nullptr; }
QComboBox* TDBGrid::InplacePickList() const { return editor_ ? editor_->combo : nullptr; }
QToolButton* TDBGrid::InplaceEditButton() const { return editor_ ? editor_->button : nullptr; }

bool TDBGrid::editorHasFocus() const {
    QWidget* f = QApplication::focusWidget();
    return editor_ && f && (f == editor_ || editor_->isAncestorOf(f));
}

bool TDBGrid::focusInside() const { return hasFocus() || editorHasFocus(); }

bool TDBGrid::canModify() const { return (options_ & dgEditing) && !readOnly_ && activeDataSet(); }

bool TDBGrid::canEditColumn(int column) const {
    if (!canModify() || (options_ & dgRowSelect)) return false;
    TColumn* c = columns_.value(column);
    if (!c || !c->Showing() || c->ReadOnly()) return false;
    TField* f = c->Field();
    return f && !f->ReadOnly && f->FieldKind() == TFieldKind::fkData;
}

// While the grid can edit, Tab stops only in the columns it can edit.
int TDBGrid::nextTabStop(int column, int step) const {
    const bool skip = canModify() && !(options_ & dgRowSelect);
    for (int c = nextShowing(column, step); c >= 0; c = nextShowing(c, step))
        if (!skip || canEditColumn(c)) return c;
    return -1;
}

int TDBGrid::lastEditable() const { return nextTabStop(int(columns_.size()), -1); }

bool TDBGrid::insertedUntouched() const {
    TClientDataSet* ds = activeDataSet();
    return ds && ds->State() == TDataSetState::dsInsert && ds->InsertedRowUntouched() &&
           !(editor_ && editor_->modified);
}

// Puts the data set in edit (insert on an empty one); a refusal throws.
bool TDBGrid::ensureEditing() {
    TClientDataSet* ds = activeDataSet();
    if (!ds) return false;
    if (ds->Editing()) return true;
    if (!canModify()) return false;
    if (ds->IsEmpty()) ds->Append();
    else ds->Edit();
    return ds->Editing();
}

void TDBGrid::showEditor() {
    const int row = currentRow();
    if (row < 0 || !canEditColumn(col_)) {
        hideEditor();
        return;
    }
    TColumn* column = columns_[col_];
    if (editor_ && (editor_->col != col_ || editor_->row != row || !editor_->fits(column))) hideEditor();
    if (!editor_) {
        const QModelIndex index = model_->index(row, col_);
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        editor_ = static_cast<Editor*>(delegate_->createEditor(viewport(), option, index));
        if (!editor_) return;
        delegate_->setEditorData(editor_, index);
        placeEditor();
        editor_->show();
    }
    editor_->keyTarget()->setFocus(Qt::OtherFocusReason);
    viewport()->update();
}

void TDBGrid::hideEditor() {
    if (!editor_) return;
    Editor* ed = editor_;
    editor_ = nullptr;
    // The grid takes the focus back first, or Qt would pass it to the next control.
    if (QWidget* f = QApplication::focusWidget(); f && (f == ed || ed->isAncestorOf(f))) setFocus(Qt::OtherFocusReason);
    ed->hide();
    ed->deleteLater();
    viewport()->update();
}

void TDBGrid::placeEditor() {
    if (!editor_) return;
    const QModelIndex index = editorIndex();
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    delegate_->updateEditorGeometry(editor_, option, index);
}

QModelIndex TDBGrid::editorIndex() const { return editor_ ? model_->index(editor_->row, editor_->col) : QModelIndex(); }

// After the data set changed: the editor follows the current record showing
// its field's text, is rebuilt when its column changed its button or pick
// list, and goes away when its cell can no longer be edited.
void TDBGrid::syncEditor(bool rowMoved) {
    if (!editor_) return;
    const int row = currentRow();
    TColumn* column = columns_.value(editor_->col);
    const bool editable = row >= 0 && editor_->col == col_ && canEditColumn(col_);
    if (!editable || !editor_->fits(column)) {
        const bool hadFocus = editorHasFocus();
        const bool keep = editor_->modified && editor_->row == row && !rowMoved;
        const QString text = editor_->text();
        hideEditor();
        if (editable && hadFocus) {
            showEditor();
            if (editor_ && keep) {
                editor_->line->setText(text);
                editor_->modified = true;
            }
        }
        return;
    }
    TClientDataSet* ds = activeDataSet();
    if (rowMoved || editor_->row != row || !editor_->modified || !ds->Editing()) {
        editor_->row = row;
        const bool selectAll = editor_->line->selectedText() == editor_->line->text();
        const QString text = model_->index(row, editor_->col).data(Qt::EditRole).toString();
        if (text != editor_->text() || editor_->modified) editor_->load(text);
        if (!selectAll) editor_->line->deselect();
    }
    placeEditor();
}

void TDBGrid::UpdateData() {
    if (!editor_ || !editor_->modified) return;
    TColumn* column = columns_.value(editor_->col);
    TField* f = column ? column->Field() : nullptr;
    if (!f) {
        editor_->modified = false;
        return;
    }
    const QString text = editor_->text();
    if (!ensureEditing()) return;
    if (!editor_) return;
    editor_->modified = false;
    try {
        // The text typed before the edit started is what goes to the field.
        if (editor_->text() != text) editor_->line->setText(text);
        delegate_->setModelData(editor_, model_, model_->index(currentRow(), editor_->col));
    } catch (...) {
        // The typed text stays for the user to correct.
        if (editor_) {
            editor_->line->setText(text);
            editor_->modified = true;
        }
        throw;
    }
}

void TDBGrid::cancelEditing() {
    hideEditor();
    if (TClientDataSet* ds = activeDataSet(); ds && ds->Editing()) ds->Cancel();
}

void TDBGrid::pickChosen(const QString& text) {
    guard([&] {
        TField* f = editor_ ? SelectedField() : nullptr;
        if (!f || !ensureEditing()) return;
        if (editor_) editor_->modified = false;
        model_->setData(model_->index(currentRow(), col_), text, Qt::EditRole);
    });
    // The editor shows what the field took (or kept).
    if (editor_) {
        delegate_->setEditorData(editor_, model_->index(currentRow(), col_));
        editor_->keyTarget()->setFocus(Qt::OtherFocusReason);
    }
}

// Letters typed into a SearchOnLetters column start its lookup with them; a
// choice moves on as Tab does, so the column's exit checks run at once.
void TDBGrid::searchTyped(const QString& text) {
    TField* f = SelectedField();
    const int row = currentRow();
    const int column = col_;
    const QVariant before = f ? f->Value() : QVariant();
    {
        searchText_ = text;
        struct Clear {
            QString& text;
            ~Clear() { text.clear(); }
        } clear{searchText_};
        editButtonClicked();
    }
    if (!f || currentRow() != row || col_ != column || f->Value() == before) return;
    if (editor_) {
        // The choice wins over digits typed before the letter.
        editor_->modified = false;
        delegate_->setEditorData(editor_, model_->index(row, editor_->col));
    }
    guard([&] { navigate(Qt::Key_Tab, Qt::NoModifier); });
}

void TDBGrid::editButtonClicked() {
    guard([&] {
        if (OnEditButtonClick) OnEditButtonClick();
    });
    if (editor_ && isActiveWindow()) editor_->keyTarget()->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------- cursor moves

void TDBGrid::fireColEnter() {
    if (OnColEnter) OnColEnter();
}

// Writes the editor's text, then runs the column exit; false when the exit
// handler moved the cursor itself (the move under way is then abandoned).
bool TDBGrid::leaveCell() {
    UpdateData();
    const int row = currentRow();
    const int column = col_;
    if (OnColExit) {
        ++inColExit_;
        try {
            OnColExit();
        } catch (...) {
            --inColExit_;
            throw;
        }
        --inColExit_;
    }
    return currentRow() == row && col_ == column;
}

void TDBGrid::goTo(int row, int column) {
    TClientDataSet* ds = activeDataSet();
    const int rows = rowCount();
    if (column < 0 || column >= columns_.size() || !columns_[column]->Showing()) column = col_;
    row = ds && rows > 0 ? std::clamp(row, 0, rows - 1) : -1;
    const int oldRow = currentRow();
    const bool rowChange = row >= 0 && row != oldRow;
    const bool colChange = column != col_;
    if (!rowChange && !colChange) return;
    if (inColExit_ > 0) {
        // A column exit handler moves the cursor: no exit of its own.
        if (colChange) moveToColumn(column);
        return;
    }
    if (!leaveCell()) return;
    if (rowChange) {
        ds = activeDataSet();
        if (!ds) return;
        if (insertedUntouched()) {
            // Leaving a new row that got nothing drops it.
            const int inserted = ds->CurrentRow();
            hideEditor();
            ds->Cancel();
            if (row > inserted) --row;
        }
        if (row >= 0 && row < ds->RecordCount() && row != ds->CurrentRow()) ds->MoveTo(row + 1);
    }
    hideEditor();
    if (colChange) moveToColumn(column);
    else syncCursor();
}

void TDBGrid::moveToColumn(int column) {
    if (column == col_) return;
    hideEditor();
    setColumnQuietly(column);
    fireColEnter();
}

void TDBGrid::SetSelectedIndex(int column) {
    if (column < 0 || column >= columns_.size() || !columns_[column]->Showing()) return;
    goTo(currentRow(), column);
}

void TDBGrid::appendRow() {
    TClientDataSet* ds = activeDataSet();
    if (!ds || !canModify() || insertedUntouched()) return;
    if (!leaveCell()) return;
    hideEditor();
    ds->Append();
}

void TDBGrid::insertRow() {
    TClientDataSet* ds = activeDataSet();
    if (!ds || !canModify() || insertedUntouched()) return;
    if (!leaveCell()) return;
    hideEditor();
    ds->Insert();
}

void TDBGrid::deleteRow() {
    TClientDataSet* ds = activeDataSet();
    if (!ds || readOnly_ || ds->IsEmpty()) return;
    if ((options_ & dgConfirmDelete) && !dialogs().confirm(QStringLiteral("Excluir registro?"))) return;
    hideEditor();
    ds->Delete();
}

void TDBGrid::navigate(int key, Qt::KeyboardModifiers mods) {
    const bool ctrl = mods & Qt::ControlModifier;
    const int row = currentRow();
    const int rows = rowCount();
    const int lastCol = nextShowing(int(columns_.size()), -1);
    const int page = std::max(1, viewport()->height() / std::max(1, rowHeight_) - 1);
    switch (key) {
    case Qt::Key_Up:
        if (row > 0) goTo(row - 1, col_);
        else if (insertedUntouched() && leaveCell()) cancelEditing();
        break;
    case Qt::Key_Down:
        if (row < 0 || row >= rows - 1) appendRow();
        else goTo(row + 1, col_);
        break;
    case Qt::Key_PageUp: goTo(std::max(0, row - page), col_); break;
    case Qt::Key_PageDown: goTo(std::min(rows - 1, row + page), col_); break;
    case Qt::Key_Home: ctrl ? goTo(0, col_) : goTo(row, firstShowing()); break;
    case Qt::Key_End: ctrl ? goTo(rows - 1, col_) : goTo(row, lastCol); break;
    case Qt::Key_Left:
        if (const int c = nextShowing(col_, -1); c >= 0) goTo(row, c);
        break;
    case Qt::Key_Right:
        if (const int c = nextShowing(col_, 1); c >= 0) goTo(row, c);
        break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
        const bool forward = key == Qt::Key_Tab && !(mods & Qt::ShiftModifier);
        if (!(options_ & dgTabs)) {
            UpdateData();
            hideEditor();
            focusNextPrevChild(forward);
            break;
        }
        if (const int c = nextTabStop(col_, forward ? 1 : -1); c >= 0) {
            goTo(row, c);
        } else if (forward && row < rows - 1) {
            goTo(row + 1, nextTabStop(-1, 1));
        } else if (!forward && row > 0) {
            goTo(row - 1, lastEditable());
        } else if (forward) {
            // Past the last cell: a new row, entered from its first column.
            TClientDataSet* ds = activeDataSet();
            const int before = currentRow();
            appendRow();
            ds = activeDataSet();
            if (ds && ds->State() == TDataSetState::dsInsert && currentRow() != before) moveToColumn(nextTabStop(-1, 1));
        } else {
            // Before the first cell: back to the control before the grid.
            UpdateData();
            hideEditor();
            focusNextPrevChild(false);
        }
        break;
    }
    case Qt::Key_Insert: insertRow(); break;
    default: break;
    }
}

// Enter in the last editable column: the row is posted as Down posts it
// (its column left first, then every check of the post) and a new row
// follows, starting with the values of the KeepOnNewRow columns, the cursor
// in the first editable column that has none. False when Enter is not that.
bool TDBGrid::enterNextRow() {
    TClientDataSet* ds = activeDataSet();
    if (!(options_ & dgEnterNextRow) || !ds || !canModify() || (options_ & dgRowSelect) || currentRow() < 0 ||
        col_ < 0 || col_ != lastEditable() || insertedUntouched())
        return false;
    guard([&] {
        if (!leaveCell()) return;
        hideEditor();
        std::vector<std::pair<TField*, QVariant>> carried;
        for (TColumn* c : columns_)
            if (TField* f = c->KeepOnNewRow() ? c->Field() : nullptr) carried.emplace_back(f, f->Value());
        ds->CheckBrowseMode();
        ds = activeDataSet();
        if (!ds || ds->Editing()) return;
        ds->Append();
        if (ds->State() != TDataSetState::dsInsert) return;
        for (const auto& [f, value] : carried)
            if (!value.isNull()) f->SetValue(value);
        ds->MarkInsertedRowUntouched();
        for (int c = nextTabStop(-1, 1); c >= 0; c = nextTabStop(c, 1)) {
            if (columns_[c]->KeepOnNewRow()) continue;
            if (c == col_) syncCursor();
            else moveToColumn(c);
            break;
        }
    });
    return true;
}

// ---------------------------------------------------------------- keys

bool TDBGrid::keyDownHook(int& key, Qt::KeyboardModifiers mods) {
    if (!OnKeyDown) return true;
    int k = key;
    if (!guard([&] { OnKeyDown(k, mods); }) || k == 0) return false;
    key = k;
    return true;
}

// A typed character: the key-press hook, then the edit starts (a refusal
// types nothing) and the character goes into the editor; typing in a cell
// without an editor replaces the cell's text.
bool TDBGrid::typeChar(QChar ch, bool fromEditor) {
    if (OnKeyPress && (!guard([&] { OnKeyPress(ch); }) || ch.isNull())) return true;
    if (!canEditColumn(col_)) return true;
    if (ch.isLetter() && columns_[col_]->SearchOnLetters() && currentRow() >= 0) {
        // The lookup searches the cell's text as it would read with the letter.
        QString text(ch);
        if (fromEditor && editor_) {
            const QLineEdit* line = editor_->line;
            text = line->text();
            int at = line->cursorPosition();
            if (line->hasSelectedText()) {
                at = line->selectionStart();
                text.remove(at, line->selectedText().size());
            }
            text.insert(at, ch);
        }
        searchTyped(text.trimmed());
        return true;
    }
    bool editing = false;
    if (!guard([&] { editing = ensureEditing(); }) || !editing) return true;
    if (!canEditColumn(col_) || currentRow() < 0) return true;
    if (!fromEditor || !editor_) {
        showEditor();
        if (!editor_) return true;
        if (ch == QLatin1Char('\b')) editor_->line->clear();
        else editor_->line->setText(QString(ch));
    } else if (ch == QLatin1Char('\b')) {
        editor_->line->backspace();
    } else {
        editor_->line->insert(QString(ch));
    }
    editor_->modified = true;
    return true;
}

bool TDBGrid::handleGridKey(QKeyEvent* e) {
    int key = e->key();
    const Qt::KeyboardModifiers mods = e->modifiers();
    if (!keyDownHook(key, mods)) return true;
    const bool ctrl = mods & Qt::ControlModifier;
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        guard([&] { navigate(key, mods); });
        return true;
    case Qt::Key_Insert:
        if (!(mods & (Qt::ShiftModifier | Qt::ControlModifier))) guard([&] { navigate(key, mods); });
        return true;
    case Qt::Key_Delete:
        if (ctrl) guard([&] { deleteRow(); });
        return true;
    case Qt::Key_F2: {
        // As in the edits with a search button: F2 opens the lookup.
        showEditor();
        if (editor_ && editor_->button) editButtonClicked();
        return true;
    }
    case Qt::Key_Escape:
        guard([&] { cancelEditing(); });
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        TColumn* c = SelectedColumn();
        if (ctrl && c && c->ButtonStyle() == TColumnButtonStyle::cbsEllipsis) {
            editButtonClicked();
            return true;
        }
        QChar ch('\r');
        if (OnKeyPress && (!guard([&] { OnKeyPress(ch); }) || ch.isNull())) return true;
        if (enterNextRow()) return true;
        showEditor();
        return true;
    }
    case Qt::Key_Backspace:
        return typeChar(QLatin1Char('\b'), false);
    default: break;
    }
    const QString text = e->text();
    if (!text.isEmpty() && text[0].isPrint() && !(mods & (Qt::ControlModifier | Qt::MetaModifier)))
        return typeChar(text[0], false);
    return false;
}

bool TDBGrid::handleEditorKey(QKeyEvent* e) {
    int key = e->key();
    const Qt::KeyboardModifiers mods = e->modifiers();
    if (!keyDownHook(key, mods)) return true;
    if (!editor_) return true;
    const bool ctrl = mods & Qt::ControlModifier;
    QLineEdit* line = editor_->line;
    switch (key) {
    case Qt::Key_Escape:
        guard([&] { cancelEditing(); });
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        if (ctrl) {
            if (editor_->button) editButtonClicked();
            return true;
        }
        QChar ch('\r');
        if (OnKeyPress && (!guard([&] { OnKeyPress(ch); }) || ch.isNull())) return true;
        if (enterNextRow()) return true;
        guard([&] {
            UpdateData();
            hideEditor();
        });
        return true;
    }
    case Qt::Key_Up:
    case Qt::Key_Down:
        if ((mods & Qt::AltModifier) && editor_->combo) return false;  // opens the pick list
        [[fallthrough]];
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        guard([&] { navigate(key, mods); });
        return true;
    case Qt::Key_Left:
        if (line->hasSelectedText() || line->cursorPosition() > 0) return false;
        guard([&] { navigate(key, mods); });
        return true;
    case Qt::Key_Right:
        if (line->hasSelectedText() || line->cursorPosition() < line->text().size()) return false;
        guard([&] { navigate(key, mods); });
        return true;
    case Qt::Key_Home:
    case Qt::Key_End:
        if (!ctrl) return false;
        guard([&] { navigate(key, mods); });
        return true;
    case Qt::Key_Insert:
        if (!(mods & (Qt::ShiftModifier | Qt::ControlModifier))) guard([&] { navigate(key, mods); });
        return true;
    case Qt::Key_Delete: {
        if (ctrl) {
            guard([&] { deleteRow(); });
            return true;
        }
        bool editing = false;
        if (!guard([&] { editing = ensureEditing(); }) || !editing) return true;
        if (editor_) editor_->modified = true;
        return false;
    }
    case Qt::Key_Backspace:
        return typeChar(QLatin1Char('\b'), true);
    case Qt::Key_F2:
        if (editor_->button) editButtonClicked();
        return true;
    default: break;
    }
    if (e->matches(QKeySequence::Paste) || e->matches(QKeySequence::Cut) || e->matches(QKeySequence::Undo)) {
        bool editing = false;
        if (!guard([&] { editing = ensureEditing(); }) || !editing) return true;
        return false;
    }
    const QString text = e->text();
    if (!text.isEmpty() && text[0].isPrint() && !(mods & (Qt::ControlModifier | Qt::MetaModifier)))
        return typeChar(text[0], true);
    return false;
}

namespace {
// Keys the grid acts on before the window's shortcuts see them.
bool gridKey(QKeyEvent* k) {
    const auto mods = k->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    switch (k->key()) {
    case Qt::Key_Delete:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Return:
    case Qt::Key_Enter: return mods == Qt::NoModifier || mods == Qt::ControlModifier;
    case Qt::Key_Escape:
    case Qt::Key_Insert:
    case Qt::Key_F2:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: return mods == Qt::NoModifier;
    default: break;
    }
    return !k->text().isEmpty() && k->text()[0].isPrint() && mods == Qt::NoModifier;
}
} // namespace

bool TDBGrid::event(QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        // Tab is the grid's (cells or leaving), before Qt's focus chain sees it.
        if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) &&
            !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            keyPressEvent(k);
            return true;
        }
    } else if (e->type() == QEvent::ShortcutOverride && gridKey(static_cast<QKeyEvent*>(e))) {
        e->accept();
        return true;
    }
    return QTableView::event(e);
}

void TDBGrid::keyPressEvent(QKeyEvent* e) {
    if (handleGridKey(e)) e->accept();
    else QWidget::keyPressEvent(e);
}

bool TDBGrid::eventFilter(QObject* watched, QEvent* e) {
    if (editor_ && watched == editor_->keyTarget()) {
        switch (e->type()) {
        case QEvent::KeyPress: return handleEditorKey(static_cast<QKeyEvent*>(e));
        case QEvent::ShortcutOverride:
            if (gridKey(static_cast<QKeyEvent*>(e))) e->accept();
            break;
        case QEvent::FocusOut: focusLeaving(static_cast<QFocusEvent*>(e)->reason()); break;
        case QEvent::FocusIn: viewport()->update(); break;
        default: break;
        }
    }
    return QTableView::eventFilter(watched, e);
}

// ---------------------------------------------------------------- mouse and focus

void TDBGrid::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    // The click gave the focus to the grid unless an exit handler refused it.
    if (isActiveWindow() && !focusInside()) return;
    const QModelIndex index = indexAt(e->position().toPoint());
    if (!index.isValid()) return;
    if (index.row() == currentRow() && index.column() == col_) {
        showEditor();
        return;
    }
    guard([&] { goTo(index.row(), index.column()); });
}

void TDBGrid::mouseMoveEvent(QMouseEvent*) {}

void TDBGrid::mouseReleaseEvent(QMouseEvent*) {}

void TDBGrid::mouseDoubleClickEvent(QMouseEvent* e) {
    const QModelIndex index = indexAt(e->position().toPoint());
    if (e->button() != Qt::LeftButton || !index.isValid()) return;
    guard([&] {
        // Normally the first click already moved there; a refused move ends the double click.
        goTo(index.row(), index.column());
        if (currentRow() != index.row() || col_ != index.column()) return;
        if (OnDblClick) OnDblClick();
    });
}

void TDBGrid::focusInEvent(QFocusEvent* e) {
    QWidget::focusInEvent(e);
    viewport()->update();
}

void TDBGrid::focusOutEvent(QFocusEvent* e) {
    QWidget::focusOutEvent(e);
    focusLeaving(e->reason());
}

// The focus went from the grid or its editor to a control of the same window.
void TDBGrid::focusLeaving(Qt::FocusReason reason) {
    viewport()->update();
    if (!isMove(reason)) return;
    QWidget* to = QApplication::focusWidget();
    if (!to || to == this || isAncestorOf(to) || to->window() != window()) return;
    if (!guard([&] { leaveGrid(); })) {
        QWidget* back = editor_ ? editor_->keyTarget() : static_cast<QWidget*>(this);
        back->setFocus(Qt::OtherFocusReason);
    }
}

void TDBGrid::leaveGrid() {
    TClientDataSet* ds = activeDataSet();
    if (ds && (options_ & dgCancelOnExit) && insertedUntouched()) {
        hideEditor();
        ds->Cancel();
        return;
    }
    UpdateData();
    hideEditor();
}

void TDBGrid::updateGeometries() {
    QTableView::updateGeometries();
    fitStretchColumn();  // a scroll bar that came or went changed the free width
    placeEditor();
}

void TDBGrid::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    placeEditor();
}

} // namespace hostfw

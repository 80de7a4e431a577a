#pragma once
// The data grid: one row per record of a data source's data set, columns bound
// to fields, editing in a cell editor the host platform's way (typing starts
// an edit, leaving the cell writes the text through the field's SetText), and
// the platform's grid events: column enter and exit, key hooks, owner drawing
// of cells, double click and the cell editor's button.
//
// Every event handler may throw to veto what is under way (a column exit that
// throws keeps the cursor, a key-down handler that throws swallows the key).
// Handlers reached from Qt run through hostfw::guard; handlers reached from a
// call of the screen (SetSelectedIndex, UpdateData) let the failure reach it.
#include "host/core/HostExport.h"

#include <QColor>
#include <QFlags>
#include <QFont>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTableView>

#include <exception>
#include <functional>
#include <memory>
#include <vector>

class QComboBox;
class QLineEdit;
class QPainter;
class QPixmap;
class QToolButton;

namespace hostfw {

class TClientDataSet;
class TDataSetModel;
class TDataSource;
class TField;
class TDBGrid;

enum TGridOption : unsigned {
    dgEditing = 0x001,             // cells may be edited
    dgTitles = 0x002,              // column titles shown
    dgIndicator = 0x004,           // row indicator at the left
    dgColumnResize = 0x008,        // columns resized with the mouse
    dgColLines = 0x010,            // lines between columns
    dgRowLines = 0x020,            // lines between rows
    dgTabs = 0x040,                // Tab moves between cells
    dgRowSelect = 0x080,           // the whole current row is selected; no editing
    dgAlwaysShowSelection = 0x100, // the selection is shown without the focus
    dgConfirmDelete = 0x200,       // Ctrl+Delete asks first
    dgCancelOnExit = 0x400,        // an untouched inserted row is cancelled when the focus leaves
    dgEnterNextRow = 0x800,        // Enter in the last editable column posts the row and opens a new one
};
Q_DECLARE_FLAGS(TGridOptions, TGridOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGridOptions)

enum TGridDrawStateFlag : unsigned {
    gdSelected = 0x1,  // the current cell (the current row with dgRowSelect)
    gdFocused = 0x2,   // the current cell while the grid itself has the focus
    gdFixed = 0x4,     // a title or indicator cell
};
Q_DECLARE_FLAGS(TGridDrawState, TGridDrawStateFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGridDrawState)

// The button of a column's cell editor: cbsAuto shows a drop-down when the
// column has a pick list, cbsEllipsis a "…" button that fires OnEditButtonClick.
enum class TColumnButtonStyle { cbsAuto, cbsEllipsis, cbsNone };

// A grid column bound to a field by name.
class HOSTFW_EXPORT TColumn {
public:
    TDBGrid* Grid() const { return grid_; }
    int Index() const;

    QString FieldName() const { return fieldName_; }
    void SetFieldName(const QString& name);
    TField* Field() const;  // nullptr when the data set has no such field

    // The title caption: the one set, else the field's display label, else its name.
    QString Title() const;
    void SetTitle(const QString& caption);

    // Width in pixels; until set, a width from the field's display width.
    int Width() const;
    void SetWidth(int pixels);

    // A stretching column takes the width the other columns leave free in
    // the grid, never less than its own Width().
    bool Stretch() const { return stretch_; }
    void SetStretch(bool stretch);

    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    // A column is shown when it is visible and its field (if any) is visible.
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool Showing() const;

    QStringList PickList() const { return pickList_; }
    void SetPickList(const QStringList& items);
    TColumnButtonStyle ButtonStyle() const { return buttonStyle_; }
    void SetButtonStyle(TColumnButtonStyle style);

    // A letter typed into the cell opens the column's lookup (OnEditButtonClick)
    // with the text typed so far in TDBGrid::SearchText(); digits are typed as
    // usual. When the lookup changed the cell's value the cursor moves on as Tab does.
    bool SearchOnLetters() const { return searchOnLetters_; }
    void SetSearchOnLetters(bool on) { searchOnLetters_ = on; }
    // A row opened by Enter (dgEnterNextRow) starts with this column's value
    // from the row just posted; the cursor goes to the first editable column
    // that does not carry its value.
    bool KeepOnNewRow() const { return keepOnNewRow_; }
    void SetKeepOnNewRow(bool on) { keepOnNewRow_ = on; }

private:
    friend class TDBGrid;
    TColumn(TDBGrid* grid, const QString& fieldName) : grid_(grid), fieldName_(fieldName) {}
    int defaultWidth() const;
    void changed(bool layout);

    TDBGrid* grid_;
    QString fieldName_;
    QString title_;
    int width_ = -1;
    bool stretch_ = false;
    bool readOnly_ = false;
    bool visible_ = true;
    QStringList pickList_;
    TColumnButtonStyle buttonStyle_ = TColumnButtonStyle::cbsAuto;
    bool searchOnLetters_ = false;
    bool keepOnNewRow_ = false;
};

// What OnDrawColumnCell draws with: the painter of the cell, and the colours
// and font the grid's default drawing used (a handler may change them, as
// the platform's canvas allows, before filling or writing).
class HOSTFW_EXPORT TGridCanvas {
public:
    QPainter* Painter() const { return painter_; }
    QColor BrushColor;
    QColor FontColor;
    QFont Font;

    void FillRect(const QRect& rect);
    // Fills rect with BrushColor and writes text with its top left at (x, y), clipped to rect.
    void TextRect(const QRect& rect, int x, int y, const QString& text);
    // Copies a picture stretched into rect (a mask in the picture lets the cell show through).
    void StretchDraw(const QRect& rect, const QPixmap& picture);

private:
    friend class TDBGrid;
    QPainter* painter_ = nullptr;
};

class HOSTFW_EXPORT TDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget* parent = nullptr, const QString& name = QString());
    ~TDBGrid() override;

    TDataSource* DataSource() const { return source_; }
    void SetDataSource(TDataSource* source);
    TClientDataSet* DataSet() const;  // the source's data set, or nullptr
    // The item model the grid shows (it knows no view; another view may share it).
    TDataSetModel* DataModel() const { return model_; }

    // Columns: the ones added, or one per visible field while none was added.
    const QList<TColumn*>& Columns() const { return columns_; }
    TColumn* AddColumn(const QString& fieldName);
    void ClearColumns();
    int ColumnIndex(const QString& fieldName) const;  // -1 when no column shows the field
    TColumn* ColumnByField(const QString& fieldName) const;

    TGridOptions Options() const { return options_; }
    void SetOptions(TGridOptions options);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);

    // The cursor's column (index into Columns(); -1 without columns). Setting
    // it runs OnColExit (a failure reaches the caller and keeps the column) and
    // OnColEnter; inside OnColExit it only moves the cursor.
    int SelectedIndex() const { return col_; }
    void SetSelectedIndex(int column);
    TColumn* SelectedColumn() const;
    TField* SelectedField() const;
    void SetSelectedField(TField* field);

    // The cell editor.
    bool EditorMode() const;
    void SetEditorMode(bool on);  // shows the editor in the current cell when it can be edited
    // The text in the cell editor; without one, the selected field's Text().
    QString InplaceEditorText() const;
    // Writes the editor's pending text into its field (SetText); failures reach the caller.
    void UpdateData();
    QWidget* InplaceEditor() const;          // nullptr when hidden
    QLineEdit* InplaceLineEdit() const;      // the editor's text box
    QComboBox* InplacePickList() const;      // the pick-list drop-down, when the editor has one
    QToolButton* InplaceEditButton() const;  // the "…" button, when the editor has one
    // While OnEditButtonClick runs for letters typed into a SearchOnLetters
    // column: the text to start the lookup's search with; empty otherwise.
    QString SearchText() const { return searchText_; }

    // Looks.
    QColor Color() const { return color_; }
    void SetColor(const QColor& color);
    QFont TitleFont() const;
    void SetTitleFont(const QFont& font);
    int DefaultRowHeight() const { return rowHeight_; }
    void SetDefaultRowHeight(int pixels);

    // Owner drawing: valid while OnDrawColumnCell runs.
    TGridCanvas& Canvas() { return canvas_; }
    QColor BrushColor() const { return canvas_.BrushColor; }
    QColor FontColor() const { return canvas_.FontColor; }
    int PaintRow() const { return paintRow_; }  // 0-based row being painted; -1 outside painting
    // The grid's own drawing of a cell: the field's display text on the canvas colours.
    void DefaultDrawColumnCell(const QRect& rect, int dataCol, TColumn* column, TGridDrawState state);

    // Events.
    std::function<void()> OnColEnter;
    std::function<void()> OnColExit;
    std::function<void()> OnDblClick;
    std::function<void()> OnEditButtonClick;
    // Before a key acts, in the grid and in its cell editor; key 0 swallows it.
    std::function<void(int& key, Qt::KeyboardModifiers shift)> OnKeyDown;
    // Each typed character (Backspace as '\b' and Enter as '\r' too); a null QChar drops it.
    std::function<void(QChar& key)> OnKeyPress;
    std::function<void(QPainter* canvas, const QRect& rect, int dataCol, TColumn* column, TGridDrawState state)>
        OnDrawColumnCell;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void updateGeometries() override;
    void resizeEvent(QResizeEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    friend class TColumn;
    class Selection;
    class Delegate;
    class Editor;

    // Binding (DBGrid.cpp).
    void bindDataSet(TClientDataSet* dataSet);
    void rebuildDefaultColumns();
    void columnsChanged();
    void pushColumns();
    void applyColumnLayout();
    void fitStretchColumn();
    void applyOptions();
    void onRowsChanged();
    void onScrolled();
    void onStateChanged();
    void onDataChanged(TField* field);
    void onFocusField(TField* field);
    TClientDataSet* activeDataSet() const;
    int currentRow() const;
    int rowCount() const;
    int firstShowing() const;
    int nextShowing(int column, int step) const;  // -1 when there is none that way
    // Tab's next column: read-only columns are skipped while the grid can edit.
    int nextTabStop(int column, int step) const;
    int lastEditable() const;
    void syncCursor();
    void setColumnQuietly(int column);

    // Cursor moves and editing (DBGridEditing.cpp).
    void goTo(int row, int column);
    bool leaveCell();  // editor text and column exit; false when the handler moved the cursor
    void moveToColumn(int column);
    void appendRow();
    void insertRow();
    void deleteRow();
    void navigate(int key, Qt::KeyboardModifiers mods);
    bool enterNextRow();
    void searchTyped(const QString& text);
    bool handleGridKey(QKeyEvent* e);
    bool handleEditorKey(QKeyEvent* e);
    bool typeChar(QChar ch, bool fromEditor);
    bool keyDownHook(int& key, Qt::KeyboardModifiers mods);
    bool ensureEditing();
    bool canEditColumn(int column) const;
    bool canModify() const;
    bool insertedUntouched() const;
    void showEditor();
    void hideEditor();
    void cancelEditing();
    void syncEditor(bool rowMoved);
    void placeEditor();
    bool editorHasFocus() const;
    bool focusInside() const;
    void pickChosen(const QString& text);
    void editButtonClicked();
    void focusLeaving(Qt::FocusReason reason);
    void leaveGrid();
    void fireColEnter();

    // Drawing (DBGridPaint.cpp).
    void paintCell(QPainter* painter, const QRect& rect, int row, int column);
    TGridDrawState cellState(int row, int column) const;
    QString cellText(int row, int column) const;
    QModelIndex editorIndex() const;

    QPointer<TDataSource> source_;
    QPointer<TClientDataSet> dataSet_;
    QList<QMetaObject::Connection> dataSetConnections_;
    QMetaObject::Connection sourceConnection_;
    QMetaObject::Connection sourceDestroyed_;
    std::vector<std::unique_ptr<TColumn>> ownedColumns_;
    QList<TColumn*> columns_;
    bool defaultColumns_ = true;
    bool wasActive_ = false;

    TDataSetModel* model_;
    Selection* selection_;
    Delegate* delegate_;
    QPointer<Editor> editor_;

    TGridOptions options_ = TGridOptions(dgEditing | dgTitles | dgIndicator | dgColumnResize | dgColLines |
                                         dgRowLines | dgTabs | dgConfirmDelete | dgCancelOnExit);
    bool readOnly_ = false;
    int col_ = -1;
    int inColExit_ = 0;
    QString searchText_;
    int syncing_ = 0;
    bool fitting_ = false;
    QColor color_;
    int rowHeight_ = 0;

    TGridCanvas canvas_;
    int paintRow_ = -1;
    std::exception_ptr paintFailure_;
};

} // namespace hostfw

#pragma once
// The data grid's cell editor and item delegate; not part of the framework's API.
#include "host/data/DBGrid.h"

#include <QStyledItemDelegate>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QToolButton;

namespace hostfw {

bool isNumericField(TField* f);
bool columnHasPickList(TColumn* c);

// The cell editor: a text box, with a drop-down for a pick list or a "…"
// button. Its keys and focus reach the grid through the grid's event filter.
class TDBGrid::Editor : public QWidget {
public:
    Editor(TDBGrid* grid, TColumn* column, int row, QWidget* parent);

    // The widget that holds the focus and receives the keys.
    QWidget* keyTarget() const;
    QString text() const;
    void load(const QString& text);
    // Still built the way the column asks (button, pick list)?
    bool fits(TColumn* column) const;
    void setButtonHeight(int h);

    int row;
    int col;
    bool modified = false;
    TColumnButtonStyle style;
    QStringList pickList;
    QLineEdit* line = nullptr;
    QComboBox* combo = nullptr;
    QToolButton* button = nullptr;
};

// Paints the cells through the grid's drawing (owner drawing included) and
// carries the editing: it builds the cell editor for a column, loads it from
// the model's edit text, places it on the cell and writes it back through the
// model (the field's SetText, whose refusal reaches the grid's caller).
class TDBGrid::Delegate : public QStyledItemDelegate {
public:
    explicit Delegate(TDBGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

private:
    TDBGrid* grid_;
};

} // namespace hostfw

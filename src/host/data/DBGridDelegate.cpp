// The data grid's cell editor and its delegate.
#include "host/data/DBGridPrivate.h"

#include "host/data/DataSet.h"
#include "host/data/DataSetModel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QToolButton>

#include <algorithm>

namespace hostfw {

bool isNumericField(TField* f) {
    return f && (f->DataType() == TFieldType::ftFloat || f->DataType() == TFieldType::ftInteger);
}

bool columnHasPickList(TColumn* c) {
    return c->ButtonStyle() == TColumnButtonStyle::cbsAuto && !c->PickList().isEmpty();
}

// ---------------------------------------------------------------- editor

TDBGrid::Editor::Editor(TDBGrid* grid, TColumn* column, int row, QWidget* parent)
    : QWidget(parent), row(row), col(column->Index()) {
    setObjectName(QStringLiteral("InplaceEditor"));
    style = column->ButtonStyle();
    pickList = column->PickList();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (columnHasPickList(column)) {
        combo = new QComboBox(this);
        combo->setObjectName(QStringLiteral("InplacePickList"));
        combo->setEditable(true);
        combo->setFrame(false);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->addItems(pickList);
        combo->setCompleter(nullptr);
        combo->setCurrentIndex(-1);
        line = combo->lineEdit();
        layout->addWidget(combo);
        QObject::connect(combo, &QComboBox::activated, grid,
                         [grid, c = combo](int i) { grid->pickChosen(c->itemText(i)); });
    } else {
        line = new QLineEdit(this);
        line->setFrame(false);
        layout->addWidget(line);
        if (style == TColumnButtonStyle::cbsEllipsis) {
            button = new QToolButton(this);
            button->setObjectName(QStringLiteral("InplaceEditButton"));
            button->setText(QStringLiteral("\u2026"));
            button->setFocusPolicy(Qt::NoFocus);
            button->setToolTip(QStringLiteral("Pesquisar (F2 ou Ctrl+Enter)"));
            layout->addWidget(button);
            QObject::connect(button, &QToolButton::clicked, grid, [grid] { grid->editButtonClicked(); });
        }
    }
    line->setObjectName(QStringLiteral("InplaceLineEdit"));
    TField* f = column->Field();
    // A field with its own text conversion may show more than it stores.
    if (f && f->DataType() == TFieldType::ftString && f->Size() > 0 && !f->OnGetText && !f->OnSetText)
        line->setMaxLength(f->Size());
    if (isNumericField(f)) line->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QObject::connect(line, &QLineEdit::textEdited, this, [this] { modified = true; });
    keyTarget()->installEventFilter(grid);
}

QWidget* TDBGrid::Editor::keyTarget() const { return combo ? static_cast<QWidget*>(combo) : line; }

QString TDBGrid::Editor::text() const { return line->text(); }

void TDBGrid::Editor::load(const QString& text) {
    if (combo) {
        // The drop-down takes a text equal to one of its items as chosen
        // when the focus leaves it; keeping its index in step prevents that.
        const QSignalBlocker blocker(combo);
        combo->setCurrentIndex(combo->findText(text));
    }
    line->setText(text);
    line->selectAll();
    modified = false;
}

bool TDBGrid::Editor::fits(TColumn* column) const {
    return column && column->ButtonStyle() == style && column->PickList() == pickList &&
           (combo != nullptr) == columnHasPickList(column);
}

void TDBGrid::Editor::setButtonHeight(int h) {
    if (button) button->setFixedSize(std::max(12, h), h);
    if (button || combo) line->setMinimumHeight(0);
}

// ---------------------------------------------------------------- delegate

void TDBGrid::Delegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    grid_->paintCell(painter, option.rect, index.row(), index.column());
}

QWidget* TDBGrid::Delegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const {
    TColumn* column = grid_->columns_.value(index.column());
    if (!column) return nullptr;
    auto* editor = new Editor(grid_, column, index.row(), parent);
    editor->setFont(grid_->font());
    return editor;
}

void TDBGrid::Delegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    static_cast<Editor*>(editor)->load(index.data(Qt::EditRole).toString());
}

void TDBGrid::Delegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
    model->setData(index, static_cast<Editor*>(editor)->text(), Qt::EditRole);
}

void TDBGrid::Delegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                             const QModelIndex&) const {
    QRect r = option.rect;
    if (grid_->options_ & dgColLines) r.adjust(0, 0, -1, 0);
    if (grid_->options_ & dgRowLines) r.adjust(0, 0, 0, -1);
    editor->setGeometry(r);
    static_cast<Editor*>(editor)->setButtonHeight(r.height());
}

} // namespace hostfw

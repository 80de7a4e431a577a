// The data grid: columns, the model over the data set, options and the
// binding that keeps the grid's cursor on the data set's current record.
#include "host/data/DBGridPrivate.h"

#include "host/data/DataSet.h"
#include "host/data/DataSetModel.h"
#include "host/core/Failures.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>

#include <algorithm>

namespace hostfw {

// Every change of the view's current cell passes here: the grid's own moves
// go straight through, any other (Qt's or a caller's) runs the grid's move.
class TDBGrid::Selection : public QItemSelectionModel {
public:
    Selection(TDBGrid* grid, QAbstractItemModel* model) : QItemSelectionModel(model, grid), grid_(grid) {}

    void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override {
        if (grid_->syncing_ > 0 || !index.isValid()) {
            QItemSelectionModel::setCurrentIndex(index, command);
            return;
        }
        guard([&] { grid_->goTo(index.row(), index.column()); });
    }
    void setDirect(const QModelIndex& index) { QItemSelectionModel::setCurrentIndex(index, NoUpdate); }

private:
    TDBGrid* grid_;
};

// ---------------------------------------------------------------- columns

int TColumn::Index() const { return grid_->columns_.indexOf(const_cast<TColumn*>(this)); }

void TColumn::SetFieldName(const QString& name) {
    fieldName_ = name;
    changed(true);
}

TField* TColumn::Field() const {
    TClientDataSet* ds = grid_->DataSet();
    return ds && !fieldName_.isEmpty() ? ds->FindField(fieldName_) : nullptr;
}

QString TColumn::Title() const {
    if (!title_.isNull()) return title_;
    if (TField* f = Field(); f && !f->DisplayLabel.isEmpty()) return f->DisplayLabel;
    return fieldName_;
}

void TColumn::SetTitle(const QString& caption) {
    // A blank caption is a caption ("  " heads the interaction column).
    title_ = caption.isNull() ? QString("") : caption;
    changed(false);
}

int TColumn::Width() const { return width_ >= 0 ? width_ : defaultWidth(); }

void TColumn::SetWidth(int pixels) {
    width_ = std::max(0, pixels);
    changed(true);
}

int TColumn::defaultWidth() const {
    // Like the platform: the field's display width in digits, at least the title.
    const QFontMetrics fm(grid_->font());
    int chars = 10;
    if (TField* f = Field()) {
        if (f->DisplayWidth > 0) chars = f->DisplayWidth;
        else if (f->DataType() == TFieldType::ftString) chars = f->Size() > 0 ? f->Size() : 20;
        else if (f->DataType() == TFieldType::ftInteger) chars = 8;
    }
    chars = std::clamp(chars, 1, 60);
    const int text = chars * fm.horizontalAdvance(QLatin1Char('0')) + 6;
    const int title = QFontMetrics(grid_->TitleFont()).horizontalAdvance(Title()) + 8;
    return std::max(text, title);
}

void TColumn::SetStretch(bool stretch) {
    stretch_ = stretch;
    changed(true);
}

void TColumn::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    changed(false);
}

void TColumn::SetVisible(bool visible) {
    visible_ = visible;
    changed(true);
}

bool TColumn::Showing() const {
    if (!visible_) return false;
    TField* f = Field();
    return !f || f->Visible;
}

void TColumn::SetPickList(const QStringList& items) {
    pickList_ = items;
    changed(false);
}

void TColumn::SetButtonStyle(TColumnButtonStyle style) {
    if (buttonStyle_ == style) return;
    buttonStyle_ = style;
    changed(false);
}

void TColumn::changed(bool layout) {
    grid_->pushColumns();
    if (layout) grid_->applyColumnLayout();
    // The editor is rebuilt for a new button or pick list.
    grid_->syncEditor(false);
    grid_->viewport()->update();
}

// ---------------------------------------------------------------- grid

TDBGrid::TDBGrid(QWidget* parent, const QString& name) : QTableView(parent) {
    if (!name.isEmpty()) setObjectName(name);
    model_ = new TDataSetModel(this);
    QTableView::setModel(model_);
    // The view's own reactions to the model's changes are not cursor moves.
    const auto hold = [this] { ++syncing_; };
    const auto release = [this] { --syncing_; };
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, hold);
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        --syncing_;
        applyColumnLayout();  // a reset forgets the header's hidden sections and widths
    });
    connect(model_, &QAbstractItemModel::rowsAboutToBeInserted, this, hold);
    connect(model_, &QAbstractItemModel::rowsInserted, this, release);
    connect(model_, &QAbstractItemModel::rowsAboutToBeRemoved, this, hold);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, release);
    selection_ = new Selection(this, model_);
    QTableView::setSelectionModel(selection_);
    delegate_ = new Delegate(this);
    setItemDelegate(delegate_);

    setEditTriggers(NoEditTriggers);  // the grid runs its own cell editor
    setSelectionMode(NoSelection);
    setTabKeyNavigation(false);
    setShowGrid(false);  // lines are drawn per cell, by dgColLines and dgRowLines
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setFocusPolicy(Qt::StrongFocus);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setMinimumSectionSize(4);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionsClickable(false);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    color_ = palette().color(QPalette::Base);
    SetDefaultRowHeight(QFontMetrics(font()).height() + 5);

    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (TColumn* c = columns_.value(section); c && size > 0 && syncing_ == 0) {
            c->width_ = size;
            if (!c->Stretch()) fitStretchColumn();  // the stretching column follows the user's resizing
        }
        placeEditor();
    });
    applyOptions();
}

TDBGrid::~TDBGrid() {
    for (const auto& c : dataSetConnections_) disconnect(c);
    disconnect(sourceConnection_);
    disconnect(sourceDestroyed_);
}

void TDBGrid::SetDataSource(TDataSource* source) {
    if (source_ == source) return;
    disconnect(sourceConnection_);
    disconnect(sourceDestroyed_);
    source_ = source;
    if (source) {
        sourceConnection_ = connect(source, &TDataSource::dataSetChanged, this,
                                    [this] { bindDataSet(source_ ? source_->DataSet() : nullptr); });
        sourceDestroyed_ = connect(source, &QObject::destroyed, this, [this] { bindDataSet(nullptr); });
    }
    bindDataSet(source ? source->DataSet() : nullptr);
}

TClientDataSet* TDBGrid::DataSet() const { return dataSet_; }

TClientDataSet* TDBGrid::activeDataSet() const {
    TClientDataSet* ds = DataSet();
    return ds && ds->Active() ? ds : nullptr;
}

int TDBGrid::rowCount() const {
    TClientDataSet* ds = activeDataSet();
    return ds ? ds->RecordCount() : 0;
}

int TDBGrid::currentRow() const {
    TClientDataSet* ds = activeDataSet();
    if (!ds) return -1;
    const int row = ds->CurrentRow();
    return row >= 0 && row < ds->RecordCount() ? row : -1;
}

void TDBGrid::bindDataSet(TClientDataSet* dataSet) {
    for (const auto& c : dataSetConnections_) disconnect(c);
    dataSetConnections_.clear();
    hideEditor();
    if (dataSet_) dataSet_->RemoveUpdateDataHooks(this);
    dataSet_ = dataSet;
    // The model hears the data set first, so the grid's cursor finds its rows.
    model_->SetDataSet(dataSet);
    if (TClientDataSet* ds = dataSet_) {
        // A post started elsewhere (a toolbar button) first takes the text being typed.
        ds->AddUpdateDataHook(this, [this] {
            if (EditorMode()) UpdateData();
        });
        dataSetConnections_ << connect(ds, &TClientDataSet::rowsChanged, this, [this] { onRowsChanged(); })
                            << connect(ds, &TClientDataSet::scrolled, this, [this] { onScrolled(); })
                            << connect(ds, &TClientDataSet::stateChanged, this, [this] { onStateChanged(); })
                            << connect(ds, &TClientDataSet::dataChanged, this,
                                       [this](TField* f) { onDataChanged(f); })
                            << connect(ds, &TClientDataSet::focusFieldRequested, this,
                                       [this](TField* f) { onFocusField(f); })
                            // A dying data set is no longer read (its pointer is already null).
                            << connect(ds, &QObject::destroyed, this, [this] { bindDataSet(nullptr); });
    }
    wasActive_ = activeDataSet() != nullptr;
    rebuildDefaultColumns();
}

void TDBGrid::rebuildDefaultColumns() {
    if (defaultColumns_) {
        hideEditor();
        ownedColumns_.clear();
        columns_.clear();
        if (TClientDataSet* ds = DataSet()) {
            for (TField* f : ds->Fields()) {
                if (!f->Visible) continue;
                ownedColumns_.push_back(std::unique_ptr<TColumn>(new TColumn(this, f->FieldName())));
                columns_.append(ownedColumns_.back().get());
            }
        }
    }
    columnsChanged();
}

TColumn* TDBGrid::AddColumn(const QString& fieldName) {
    if (defaultColumns_) {
        hideEditor();
        defaultColumns_ = false;
        ownedColumns_.clear();
        columns_.clear();
    }
    ownedColumns_.push_back(std::unique_ptr<TColumn>(new TColumn(this, fieldName)));
    columns_.append(ownedColumns_.back().get());
    columnsChanged();
    return columns_.back();
}

void TDBGrid::ClearColumns() {
    defaultColumns_ = true;
    rebuildDefaultColumns();
}

int TDBGrid::ColumnIndex(const QString& fieldName) const {
    for (int i = 0; i < columns_.size(); ++i)
        if (columns_[i]->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

TColumn* TDBGrid::ColumnByField(const QString& fieldName) const { return columns_.value(ColumnIndex(fieldName)); }

void TDBGrid::columnsChanged() {
    pushColumns();
    applyColumnLayout();
    syncCursor();
}

void TDBGrid::pushColumns() {
    QList<TDataSetModel::Column> list;
    for (TColumn* c : columns_) list.append({c->FieldName(), c->title_});
    model_->SetColumns(list);
}

void TDBGrid::applyColumnLayout() {
    ++syncing_;
    for (int i = 0; i < columns_.size(); ++i) {
        setColumnHidden(i, !columns_[i]->Showing());
        setColumnWidth(i, columns_[i]->Width());
    }
    --syncing_;
    fitStretchColumn();
    if (col_ >= 0 && col_ < columns_.size() && !columns_[col_]->Showing()) {
        const int next = nextShowing(col_, 1);
        setColumnQuietly(next >= 0 ? next : nextShowing(col_, -1));
    }
    placeEditor();
}

void TDBGrid::fitStretchColumn() {
    int stretch = -1;
    int others = 0;
    for (int i = 0; i < columns_.size(); ++i) {
        if (!columns_[i]->Showing()) continue;
        if (stretch < 0 && columns_[i]->Stretch()) stretch = i;
        else others += columnWidth(i);
    }
    if (stretch < 0 || fitting_) return;
    const int spare = viewport()->width() - others;
    const int width = std::max(columns_[stretch]->Width(), spare);
    if (columnWidth(stretch) == width) return;
    ++syncing_;
    fitting_ = true;
    setColumnWidth(stretch, width);
    fitting_ = false;
    --syncing_;
}

void TDBGrid::resizeEvent(QResizeEvent* e) {
    QTableView::resizeEvent(e);
    fitStretchColumn();
}

int TDBGrid::firstShowing() const { return nextShowing(-1, 1); }

int TDBGrid::nextShowing(int column, int step) const {
    for (int c = column + step; c >= 0 && c < columns_.size(); c += step)
        if (columns_[c]->Showing()) return c;
    return -1;
}

void TDBGrid::SetOptions(TGridOptions options) {
    const bool editingOff = (options_ & dgEditing) && !(options & dgEditing);
    options_ = options;
    if (editingOff || (options & dgRowSelect)) hideEditor();
    applyOptions();
}

void TDBGrid::applyOptions() {
    horizontalHeader()->setVisible(options_ & dgTitles);
    verticalHeader()->setVisible(options_ & dgIndicator);
    verticalHeader()->setFixedWidth(14);
    horizontalHeader()->setSectionResizeMode((options_ & dgColumnResize) ? QHeaderView::Interactive
                                                                         : QHeaderView::Fixed);
    viewport()->update();
}

void TDBGrid::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    if (readOnly) hideEditor();
}

TColumn* TDBGrid::SelectedColumn() const { return columns_.value(col_); }

TField* TDBGrid::SelectedField() const {
    TColumn* c = SelectedColumn();
    return c ? c->Field() : nullptr;
}

void TDBGrid::SetSelectedField(TField* field) {
    if (!field) return;
    const int c = ColumnIndex(field->FieldName());
    if (c >= 0) SetSelectedIndex(c);
}

void TDBGrid::SetColor(const QColor& color) {
    color_ = color;
    // The area below the last row takes the grid's colour too.
    QPalette p = viewport()->palette();
    p.setColor(QPalette::Base, color);
    viewport()->setPalette(p);
    viewport()->update();
}

QFont TDBGrid::TitleFont() const { return horizontalHeader()->font(); }

void TDBGrid::SetTitleFont(const QFont& font) { horizontalHeader()->setFont(font); }

void TDBGrid::SetDefaultRowHeight(int pixels) {
    rowHeight_ = std::max(4, pixels);
    verticalHeader()->setMinimumSectionSize(rowHeight_);
    verticalHeader()->setDefaultSectionSize(rowHeight_);
}

// ---------------------------------------------------------------- data set notifications

void TDBGrid::onRowsChanged() {
    applyColumnLayout();
    syncCursor();
    syncEditor(true);
}

void TDBGrid::onScrolled() {
    syncCursor();
    syncEditor(true);
}

void TDBGrid::onStateChanged() {
    const bool active = activeDataSet() != nullptr;
    if (active != wasActive_) {
        // Opened or closed: fields may have come or gone.
        wasActive_ = active;
        hideEditor();
        rebuildDefaultColumns();
    }
    syncCursor();
    syncEditor(false);
    viewport()->update();
}

void TDBGrid::onDataChanged(TField* field) {
    Q_UNUSED(field)
    syncEditor(false);
    viewport()->update();
}

void TDBGrid::onFocusField(TField* field) {
    // Called from inside the screen's handlers: nothing may escape.
    guard([&] {
        const int c = field ? ColumnIndex(field->FieldName()) : -1;
        if (c < 0 || !columns_[c]->Showing()) return;
        if (c != col_) {
            UpdateData();
            moveToColumn(c);
        }
        if (!focusInside()) setFocus(Qt::OtherFocusReason);
        if (focusInside() && canEditColumn(col_) && currentRow() >= 0) showEditor();
    });
}

// The view's current cell follows the data set's current row and the grid's column.
void TDBGrid::syncCursor() {
    if (col_ < 0 || col_ >= columns_.size() || !columns_[col_]->Showing()) col_ = firstShowing();
    const int row = currentRow();
    ++syncing_;
    const QModelIndex target = row >= 0 && col_ >= 0 ? model_->index(row, col_) : QModelIndex();
    if (selection_->currentIndex() != target) selection_->setDirect(target);
    --syncing_;
    if (target.isValid()) scrollTo(target);
    viewport()->update();
}

void TDBGrid::setColumnQuietly(int column) {
    col_ = column;
    syncCursor();
}

} // namespace hostfw

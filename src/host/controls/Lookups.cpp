#include "host/controls/Lookups.h"

#include "host/data/DataSet.h"
#include "host/core/Failures.h"
#include "host/controls/MaskEdit.h"
#include "host/core/Session.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include <vector>

namespace hostfw {

std::pair<QString, QString> splitLookupCaption(const QString& caption) {
    const int bar = caption.indexOf(QChar('|'));
    if (bar < 0) return {caption, QString()};
    return {caption.left(bar), caption.mid(bar + 1)};
}

QStringList codesOfList(const QString& codeList) {
    QStringList codes;
    for (const QString& code : codeList.split(QChar('_'), Qt::SkipEmptyParts))
        if (!code.trimmed().isEmpty()) codes.append(code.trimmed());
    return codes;
}

QString codeListOf(const QStringList& codes) {
    return codes.isEmpty() ? QString() : QChar('_') + codes.join(QChar('_')) + QChar('_');
}

QString foldForSearch(const QString& text) {
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing) out.append(c.toCaseFolded());
    return out;
}

namespace {

QString keyAt(const TClientDataSet* ds, int row, int keyIndex) {
    return ds->ValueAt(row, keyIndex).toString().trimmed();
}

// The rows as shown when the window opens: the data set does not change
// while the modal window is up, and a snapshot keeps painting and filtering
// from going back to the data set.
class LookupModel : public QAbstractTableModel {
public:
    LookupModel(const LookupRequest& request, QObject* parent) : QAbstractTableModel(parent) {
        TClientDataSet* ds = request.dataSet;
        multi_ = request.multiSelect;
        for (TField* f : ds->Fields())
            if (f->Visible) fields_.append(f);
        const int keyIndex = multi_ ? ds->FieldByName(request.keyField)->Index() : -1;
        const int rows = ds->Active() ? ds->RecordCount() : 0;
        for (const QString& k : request.marked) marked_.insert(k.trimmed());
        texts_.reserve(rows);
        for (int row = 0; row < rows; ++row) {
            QStringList line;
            for (TField* f : fields_) line.append(ds->DisplayTextAt(row, f->Index()));
            texts_.push_back(line);
            if (multi_) keys_.append(keyAt(ds, row, keyIndex));
        }
    }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(texts_.size()); }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : fields_.size() + (multi_ ? 1 : 0);
    }
    int fieldColumn(int column) const { return multi_ ? column - 1 : column; }
    bool isCheckColumn(int column) const { return multi_ && column == 0; }
    TField* fieldAt(int column) const { return isCheckColumn(column) ? nullptr : fields_[fieldColumn(column)]; }
    const QStringList& textsOf(int row) const { return texts_[row]; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        if (isCheckColumn(index.column())) {
            if (role == Qt::CheckStateRole) return marked_.contains(keys_[index.row()]) ? Qt::Checked : Qt::Unchecked;
            return {};
        }
        const TField* f = fieldAt(index.column());
        if (role == Qt::DisplayRole) return texts_[index.row()][fieldColumn(index.column())];
        if (role == Qt::TextAlignmentRole && (f->DataType() == TFieldType::ftFloat || f->DataType() == TFieldType::ftInteger))
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (!index.isValid() || !isCheckColumn(index.column()) || role != Qt::CheckStateRole) return false;
        setMarked(index.row(), value.toInt() == Qt::Checked);
        return true;
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (isCheckColumn(index.column())) f |= Qt::ItemIsUserCheckable;
        return f;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        if (isCheckColumn(section)) return QString();
        const TField* f = fieldAt(section);
        return f->DisplayLabel.isEmpty() ? f->FieldName() : f->DisplayLabel;
    }

    void setMarked(int row, bool on) {
        if (on)
            marked_.insert(keys_[row]);
        else
            marked_.remove(keys_[row]);
        const QModelIndex i = index(row, 0);
        emit dataChanged(i, i, {Qt::CheckStateRole});
    }
    void toggle(int row) { setMarked(row, !marked_.contains(keys_[row])); }

    QStringList markedInOrder() const {
        QStringList out;
        for (const QString& k : keys_)
            if (marked_.contains(k) && !out.contains(k)) out.append(k);
        return out;
    }

private:
    bool multi_ = false;
    QList<TField*> fields_;
    std::vector<QStringList> texts_;
    QStringList keys_;
    QSet<QString> marked_;
};

// Keeps the rows that hold every word of the filter text in some shown
// column, whatever the letter case and accents ("feijao" finds "Feijão");
// a code matches also without its separators ("0101001" finds 01.01.001).
class LookupFilter : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setText(const QString& text) {
        words_ = foldForSearch(text).split(QChar(' '), Qt::SkipEmptyParts);
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex&) const override {
        if (words_.isEmpty()) return true;
        const QString& row = rowText(sourceRow);
        for (const QString& word : words_) {
            if (row.contains(word)) continue;
            const QString bare = withoutSeparators(word);
            if (bare.isEmpty() || !withoutSeparators(row).contains(bare)) return false;
        }
        return true;
    }

private:
    static QString withoutSeparators(const QString& text) {
        QString out;
        for (QChar c : text)
            if (c.isLetterOrNumber() || c == QChar('\n')) out.append(c);
        return out;
    }
    // The row's texts folded once, one line per column.
    const QString& rowText(int row) const {
        if (folded_.size() != sourceModel()->rowCount()) {
            const auto* model = static_cast<const LookupModel*>(sourceModel());
            folded_.clear();
            for (int r = 0; r < model->rowCount(); ++r) folded_.append(foldForSearch(model->textsOf(r).join(QChar('\n'))));
        }
        return folded_[row];
    }
    QStringList words_;
    mutable QStringList folded_;
};

}  // namespace

LookupWindow::LookupWindow(const LookupRequest& request, QWidget* parent) : QDialog(parent), request_(request) {
    setWindowTitle(request.title);
    setModal(true);
    auto* layout = new QVBoxLayout(this);

    auto* label = new QLabel(QStringLiteral("Filtrar:"), this);
    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("edtFiltro"));
    filter_->setClearButtonEnabled(true);
    label->setBuddy(filter_);
    layout->addWidget(label);
    layout->addWidget(filter_);

    auto* model = new LookupModel(request, this);
    proxy_ = new LookupFilter(this);
    proxy_->setSourceModel(model);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("grdPesquisa"));
    table_->setModel(proxy_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setAlternatingRowColors(true);
    const int charWidth = table_->fontMetrics().averageCharWidth();
    int totalWidth = 0;
    for (int c = 0; c < model->columnCount(); ++c) {
        const TField* f = model->fieldAt(c);
        const int chars = !f ? 2 : f->DisplayWidth > 0 ? f->DisplayWidth : std::clamp(f->Size(), 8, 40);
        const int width = chars * charWidth + 16;
        table_->setColumnWidth(c, width);
        totalWidth += width;
    }
    layout->addWidget(table_, 1);

    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { confirm(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
        static_cast<LookupFilter*>(proxy_)->setText(text);
        if (!table_->currentIndex().isValid() && proxy_->rowCount() > 0) table_->selectRow(0);
    });
    connect(table_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (!(request_.multiSelect && index.column() == 0)) pick(index.row());
    });
    filter_->installEventFilter(this);
    table_->installEventFilter(this);

    // Start on the data set's current row.
    const int start = request.dataSet->CurrentRow();
    const QModelIndex startIndex = proxy_->mapFromSource(model->index(std::max(start, 0), 0));
    if (startIndex.isValid()) {
        table_->setCurrentIndex(startIndex);
        table_->selectRow(startIndex.row());
        table_->scrollTo(startIndex);
    }
    resize(std::clamp(totalWidth + 40, 360, 900), 420);
    filter_->setFocus();
}

int LookupWindow::visibleRowCount() const { return proxy_->rowCount(); }

int LookupWindow::currentSourceRow() const {
    const QModelIndex current = table_->currentIndex();
    if (!current.isValid()) return -1;
    return proxy_->mapToSource(current).row();
}

void LookupWindow::pick(int visibleRow) {
    if (visibleRow < 0 || visibleRow >= proxy_->rowCount()) return;
    const QModelIndex index = proxy_->index(visibleRow, 0);
    table_->setCurrentIndex(index);
    if (request_.multiSelect) {
        confirm();
        return;
    }
    answer_ = LookupAnswer{true, proxy_->mapToSource(index).row(), {}};
    accept();
}

void LookupWindow::confirm() {
    if (request_.multiSelect) {
        const auto* model = static_cast<const LookupModel*>(proxy_->sourceModel());
        answer_ = LookupAnswer{true, currentSourceRow(), model->markedInOrder()};
        accept();
        return;
    }
    const QModelIndex current = table_->currentIndex();
    if (current.isValid())
        pick(current.row());
    else if (proxy_->rowCount() == 1)
        pick(0);
}

bool LookupWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        confirm();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (watched == filter_) {
            QApplication::sendEvent(table_, event);
            return true;
        }
        break;
    case Qt::Key_Space:
        if (watched == table_ && request_.multiSelect) {
            const int row = currentSourceRow();
            if (row >= 0) static_cast<LookupModel*>(proxy_->sourceModel())->toggle(row);
            return true;
        }
        break;
    default: break;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace hostfw

using namespace hostfw;

namespace {

TClientDataSet* listOf(TDataSource* source) {
    TClientDataSet* ds = source ? source->DataSet() : nullptr;
    if (!ds) throw EHostError(QStringLiteral("Lista de pesquisa sem conjunto de dados."));
    return ds;
}

bool showEmpty(TClientDataSet* ds, const QString& emptyText) {
    if (ds->Active() && !ds->IsEmpty()) return false;
    if (!emptyText.isEmpty()) dialogs().message(DialogKind::Information, emptyText);
    return true;
}

bool pickRow(TDataSource* source, const QString& caption) {
    TClientDataSet* ds = listOf(source);
    const auto [title, emptyText] = splitLookupCaption(caption);
    if (showEmpty(ds, emptyText)) return false;
    LookupRequest request;
    request.dataSet = ds;
    request.title = title;
    request.emptyText = emptyText;
    const LookupAnswer answer = dialogs().lookup(request);
    if (!answer.accepted || answer.row < 0 || answer.row >= ds->RecordCount()) return false;
    ds->MoveTo(answer.row + 1);
    return true;
}

// While a hierarchical lookup is up, string fields with an edit mask are
// displayed through it; their own display handlers are put back after.
class MaskedDisplay {
public:
    explicit MaskedDisplay(TClientDataSet* ds) {
        for (TField* f : ds->Fields()) {
            if (!f->Visible || f->EditMask.isEmpty() || f->DataType() != TFieldType::ftString) continue;
            saved_.push_back({f, f->OnGetText});
            f->OnGetText = [previous = f->OnGetText, mask = f->EditMask](TField* field, QString& text, bool display) {
                text = field->AsString();
                if (previous) previous(field, text, display);
                if (display) text = FormatMaskText(mask, text.trimmed());
            };
        }
    }
    ~MaskedDisplay() {
        for (auto& [field, handler] : saved_) field->OnGetText = handler;
    }
    MaskedDisplay(const MaskedDisplay&) = delete;
    MaskedDisplay& operator=(const MaskedDisplay&) = delete;

private:
    std::vector<std::pair<TField*, std::function<void(TField*, QString&, bool)>>> saved_;
};

// Marks rows in IDMARCADO without leaving entries in the change log.
void setMarks(TClientDataSet* ds, TField* mark, int keyIndex, const QSet<QString>& marked) {
    const int saved = ds->RecNo();
    const bool logChanges = ds->LogChanges;
    ds->LogChanges = false;
    try {
        for (int row = 0; row < ds->RecordCount(); ++row) {
            const QVariant want = marked.contains(keyAt(ds, row, keyIndex)) ? QVariant(QStringLiteral("S")) : QVariant();
            const QVariant have = ds->ValueAt(row, mark->Index());
            if (have.isNull() == want.isNull() && (want.isNull() || have.toString() == want.toString())) continue;
            ds->MoveTo(row + 1);
            ds->Edit();
            mark->SetValue(want);
            ds->Post();
        }
        if (saved > 0) ds->MoveTo(saved);
    } catch (...) {
        ds->LogChanges = logChanges;
        throw;
    }
    ds->LogChanges = logChanges;
}

}  // namespace

namespace Pesquisa {

bool Pesquisar(TDataSource* source, const QString& caption, bool, bool) { return pickRow(source, caption); }

bool Pesquisar_Plus(TDataSource* source, const QString& caption, bool, bool) {
    MaskedDisplay masked(listOf(source));
    return pickRow(source, caption);
}

} // namespace Pesquisa

namespace Pesqlista {

bool PesquisaLista(TDataSource* source, const QString& keyField, const QString& caption, bool, QString& codeList) {
    TClientDataSet* ds = listOf(source);
    if (!ds->Active()) ds->Open();
    const auto [title, emptyText] = splitLookupCaption(caption);
    if (showEmpty(ds, emptyText)) return false;
    const int keyIndex = ds->FieldByName(keyField)->Index();

    LookupRequest request;
    request.dataSet = ds;
    request.title = title;
    request.emptyText = emptyText;
    request.keyField = keyField;
    request.multiSelect = true;
    request.marked = codesOfList(codeList);
    const LookupAnswer answer = dialogs().lookup(request);
    if (!answer.accepted) return false;

    QSet<QString> marked;
    for (const QString& k : answer.marked) marked.insert(k.trimmed());
    QStringList ordered;
    for (int row = 0; row < ds->RecordCount(); ++row) {
        const QString k = keyAt(ds, row, keyIndex);
        if (marked.contains(k) && !ordered.contains(k)) ordered.append(k);
    }
    codeList = codeListOf(ordered);
    if (TField* mark = ds->FindField(QStringLiteral("IDMARCADO"))) setMarks(ds, mark, keyIndex, marked);
    return true;
}

} // namespace Pesqlista

namespace Procurar {

void Procura(TClientDataSet* ds) {
    if (!ds) return;
    const std::optional<QString> asked = dialogs().findText(QStringLiteral("Procurar"));
    if (!asked || asked->trimmed().isEmpty()) return;
    const QString wanted = asked->trimmed();
    if (ds->Active()) {
        QList<int> columns;
        for (TField* f : ds->Fields())
            if (f->Visible) columns.append(f->Index());
        for (int row = 0; row < ds->RecordCount(); ++row) {
            for (int column : columns) {
                if (ds->DisplayTextAt(row, column).contains(wanted, Qt::CaseInsensitive)) {
                    ds->MoveTo(row + 1);
                    return;
                }
            }
        }
    }
    dialogs().message(DialogKind::Information, QStringLiteral("Registro não encontrado."));
}

} // namespace Procurar

namespace Tabvalid {

void ValidEx(TDataSource*, int pictureType, QString& code, int, const QString&, bool) {
    const CodePicture& picture = pictureType == 1 ? session().dishPicture : session().productPicture;
    const MaskPattern pattern(picture.mask);
    if (pattern.isEmpty()) return;  // no picture kept by the host: nothing to check

    const auto refuse = [&] {
        dialogs().message(DialogKind::Error,
                          QStringLiteral("Código '%1' não confere com a máscara %2.").arg(code, picture.mask));
        throw EAbort();
    };
    const QString typed = code.trimmed();
    if (typed.isEmpty()) refuse();

    bool digitsOnly = true;
    for (QChar c : typed) digitsOnly = digitsOnly && c.isDigit();
    if (digitsOnly) {
        if (typed.size() != pattern.groupEnds().value(pattern.groupEnds().size() - 1)) refuse();
        code = typed;
        return;
    }
    // Typed with the picture's separators: each in its place, ending where a level ends.
    if (typed.size() > pattern.length()) refuse();
    QString bare;
    for (int pos = 0; pos < typed.size(); ++pos) {
        if (pattern.isLiteral(pos)) {
            if (typed[pos] != pattern.literalAt(pos)) refuse();
        } else {
            if (!typed[pos].isDigit()) refuse();
            bare.append(typed[pos]);
        }
    }
    if (typed.size() != pattern.length()) refuse();
    code = bare;
}

} // namespace Tabvalid

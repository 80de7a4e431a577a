// The modal lookup window: table, filter box, picking and marking.
#include "host/controls/Lookups.h"

#include "host/controls/LookupFilter.h"
#include "host/controls/LookupModel.h"
#include "host/core/Failures.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

namespace hostfw {

using lookup::LookupFilter;
using lookup::LookupModel;

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
        // Whole texts: as wide as the longest one (and its title), within reason.
        table_->resizeColumnToContents(c);
        const int contents = table_->columnWidth(c);
        const int width = std::max(chars * charWidth + 16, std::min(contents + 8, 80 * charWidth));
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
    if (!request.filterText.isEmpty()) {
        keepSearch_ = true;
        filter_->setText(request.filterText);
        if (proxy_->rowCount() > 0) {
            table_->setCurrentIndex(proxy_->index(0, 0));
            table_->selectRow(0);
            table_->scrollTo(proxy_->index(0, 0));
        }
    }
    const QScreen* screen = this->screen();
    const int widest = screen ? screen->availableGeometry().width() * 9 / 10 : 1200;
    resize(std::clamp(totalWidth + 40, 360, std::max(360, widest)), 420);
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
    if (event->type() == QEvent::FocusIn && watched == filter_ && keepSearch_) {
        // The dialog's first focus comes as a Tab, which selects the whole
        // search: the next letter would replace the letters already typed.
        keepSearch_ = false;
        if (static_cast<QFocusEvent*>(event)->reason() == Qt::TabFocusReason) {
            QFocusEvent plain(QEvent::FocusIn, Qt::OtherFocusReason);
            QCoreApplication::sendEvent(filter_, &plain);
            return true;
        }
    }
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

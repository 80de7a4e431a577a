// The data grid's drawing: the default drawing of a cell, then the screen's
// owner drawing over it, then the grid lines and the focus frame.
#include "host/data/DBGrid.h"

#include "host/data/DataSet.h"
#include "host/data/DataSetModel.h"
#include "host/core/Failures.h"

#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTimer>

#include <utility>

namespace hostfw {

void TGridCanvas::FillRect(const QRect& rect) {
    if (painter_) painter_->fillRect(rect, BrushColor);
}

void TGridCanvas::TextRect(const QRect& rect, int x, int y, const QString& text) {
    if (!painter_) return;
    painter_->save();
    painter_->fillRect(rect, BrushColor);
    painter_->setClipRect(rect, Qt::IntersectClip);
    painter_->setFont(Font);
    painter_->setPen(FontColor);
    const QRect area(x, y, std::max(0, rect.right() - x + 1), std::max(0, rect.bottom() - y + 1));
    painter_->drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    painter_->restore();
}

void TGridCanvas::StretchDraw(const QRect& rect, const QPixmap& picture) {
    if (painter_) painter_->drawPixmap(rect, picture);
}

QString TDBGrid::cellText(int row, int column) const {
    return model_->index(row, column).data(Qt::DisplayRole).toString();
}

TGridDrawState TDBGrid::cellState(int row, int column) const {
    TGridDrawState state;
    if (row < 0 || row != currentRow()) return state;
    if ((options_ & dgRowSelect) || column == col_) state |= gdSelected;
    if (column == col_ && hasFocus()) state |= gdFocused;
    return state;
}

void TDBGrid::DefaultDrawColumnCell(const QRect& rect, int dataCol, TColumn* column, TGridDrawState state) {
    Q_UNUSED(state)
    QPainter* p = canvas_.Painter();
    if (!p) return;
    p->save();
    p->fillRect(rect, canvas_.BrushColor);
    p->setClipRect(rect, Qt::IntersectClip);
    p->setFont(canvas_.Font);
    p->setPen(canvas_.FontColor);
    TField* f = column ? column->Field() : nullptr;
    const bool numeric = f && (f->DataType() == TFieldType::ftFloat || f->DataType() == TFieldType::ftInteger);
    const int flags = (numeric ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop | Qt::TextSingleLine;
    p->drawText(rect.adjusted(2, 2, -2, 0), flags, cellText(paintRow_, dataCol));
    p->restore();
}

void TDBGrid::paintCell(QPainter* painter, const QRect& cellRect, int row, int column) {
    TColumn* c = columns_.value(column);
    if (!c) return;
    const TGridDrawState state = cellState(row, column);
    QRect rect = cellRect;
    if (options_ & dgColLines) rect.setRight(rect.right() - 1);
    if (options_ & dgRowLines) rect.setBottom(rect.bottom() - 1);

    const bool highlight = (state & gdSelected) && (focusInside() || (options_ & dgAlwaysShowSelection));
    canvas_.painter_ = painter;
    canvas_.BrushColor = highlight ? palette().color(QPalette::Highlight) : color_;
    canvas_.FontColor = highlight ? palette().color(QPalette::HighlightedText) : palette().color(QPalette::Text);
    canvas_.Font = font();
    paintRow_ = row;

    painter->save();
    painter->setClipRect(rect, Qt::IntersectClip);
    DefaultDrawColumnCell(rect, column, c, state);
    // A failing handler is reported once the painting is over (no dialog
    // inside a paint); the other cells of this pass keep the default drawing.
    if (OnDrawColumnCell && !paintFailure_) {
        try {
            OnDrawColumnCell(painter, rect, column, c, state);
        } catch (...) {
            paintFailure_ = std::current_exception();
        }
    }
    painter->restore();
    paintRow_ = -1;
    canvas_.painter_ = nullptr;

    painter->save();
    painter->setPen(QColor(0xC0, 0xC0, 0xC0));
    if (options_ & dgColLines) painter->drawLine(cellRect.topRight(), cellRect.bottomRight());
    if (options_ & dgRowLines) painter->drawLine(cellRect.bottomLeft(), cellRect.bottomRight());
    painter->restore();
    if ((state & gdFocused) && !(options_ & dgRowSelect)) {
        QStyleOptionFocusRect o;
        o.initFrom(this);
        o.rect = rect;
        o.backgroundColor = canvas_.BrushColor;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &o, painter, this);
    }
}

void TDBGrid::paintEvent(QPaintEvent* e) {
    paintFailure_ = nullptr;
    QTableView::paintEvent(e);
    if (std::exception_ptr failure = std::exchange(paintFailure_, nullptr)) {
        QTimer::singleShot(0, this, [failure] { guard([&] { std::rethrow_exception(failure); }); });
    }
}

} // namespace hostfw

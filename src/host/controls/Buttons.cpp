#include "host/controls/Buttons.h"

#include "host/core/Failures.h"

#include <QPainter>
#include <QPixmap>

namespace hostfw {

TButtonFlat::TButtonFlat(QWidget* parent, const QString& name, const QString& caption) : QToolButton(parent) {
    if (!name.isEmpty()) setObjectName(name);
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    SetCaption(caption);
    connect(this, &QAbstractButton::clicked, this, [this] { guard([this] { Click(); }); });
}

void TButtonFlat::SetCaption(const QString& caption) {
    setText(caption);
    setToolButtonStyle(!caption.isEmpty() && !icon().isNull() ? Qt::ToolButtonTextUnderIcon
                       : caption.isEmpty()                    ? Qt::ToolButtonIconOnly
                                                              : Qt::ToolButtonTextOnly);
}

void TButtonFlat::SetGlyph(const QIcon& glyph) {
    setIcon(glyph);
    SetCaption(text());
}

void TButtonFlat::Click() {
    if (OnClick) {
        auto handler = OnClick;
        handler();
    }
}

namespace {

QPixmap canvas() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

}  // namespace

QIcon searchIcon() {
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1.6));
    p.setBrush(QColor(200, 225, 255));
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    p.setPen(QPen(QColor(40, 40, 40), 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.5, 9.5), QPointF(14, 14));
    p.end();
    return QIcon(pixmap);
}

QIcon calendarIcon() {
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setPen(QColor(60, 60, 60));
    p.setBrush(Qt::white);
    p.drawRect(1, 2, 13, 12);
    p.fillRect(2, 3, 12, 3, QColor(180, 40, 40));
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 4; ++col) p.fillRect(3 + col * 3, 7 + row * 2, 2, 1, QColor(60, 60, 60));
    p.end();
    return QIcon(pixmap);
}

} // namespace hostfw

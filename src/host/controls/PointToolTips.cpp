#include "host/controls/PointToolTips.h"

#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

namespace hostfw {

PointToolTips::PointToolTips(QWidget* area, std::function<QString(const QPoint&)> text)
    : QObject(area), area_(area), text_(std::move(text)) {
    area->installEventFilter(this);
}

bool PointToolTips::eventFilter(QObject*, QEvent* event) {
    if (event->type() != QEvent::ToolTip) return false;
    auto* help = static_cast<QHelpEvent*>(event);
    const QString text = text_(help->pos());
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, area_);
    return true;
}

}  // namespace hostfw

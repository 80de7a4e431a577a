#pragma once
// Tooltips that depend on the point under the mouse (a grid cell, a mark
// drawn inside a cell): a callback gives the text, empty for none.
#include "host/core/HostExport.h"

#include <QObject>
#include <QPoint>
#include <QString>

#include <functional>

namespace hostfw {

class HOSTFW_EXPORT PointToolTips : public QObject {
public:
    // Watches `area` (usually a view's viewport), which owns the watcher.
    PointToolTips(QWidget* area, std::function<QString(const QPoint&)> text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* area_;
    std::function<QString(const QPoint&)> text_;
};

}  // namespace hostfw

#include "calculation/NumberText.h"

#include <QLocale>

#include <cmath>

namespace calculation {

QString numberText(double value, int decimals, bool thousands) {
    QLocale locale(QLocale::Portuguese, QLocale::Brazil);
    locale.setNumberOptions(thousands ? QLocale::DefaultNumberOptions : QLocale::OmitGroupSeparator);
    // A value that rounds to zero shows "0,000", not "-0,000".
    if (std::abs(value) * std::pow(10.0, decimals) < 0.5) value = 0;
    return locale.toString(value, 'f', decimals);
}

}  // namespace calculation

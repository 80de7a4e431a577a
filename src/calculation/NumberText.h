#pragma once
// Numbers as the screen shows them, in Brazilian form: decimal comma and,
// optionally, the point between thousands ("1.234,500"). One place, so it
// folds easily into a formatter of the host framework.
#include <QString>

namespace calculation {

QString numberText(double value, int decimals, bool thousands = true);

}  // namespace calculation

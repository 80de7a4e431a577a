#pragma once
// Brazilian numbers, the one place that writes them: decimal comma and dot
// thousands separator, taken from QLocale's pt-BR symbols. A display format of
// the host platform ("0,000", "#,##0.000", "0.0#", "0 'g'", sections
// "positive;negative;zero") is translated once into a pattern (kept per
// format text); in it "," asks for thousands separators and "." marks the
// decimals, whatever the locale. Values are rounded half away from zero on
// their decimal digits (2,675 shows 2,68), never on binary noise.
#include "host/core/HostExport.h"

#include <QLocale>
#include <QString>

#include <optional>

namespace hostfw {

// The locale of every text the user sees.
HOSTFW_EXPORT const QLocale& brazilLocale();

// A value written in a display format.
HOSTFW_EXPORT QString FormatFloat(const QString& displayFormat, double value);
// A value with a fixed number of decimals ("#,##0.000" for 3 with thousands).
HOSTFW_EXPORT QString FormatFixed(double value, int decimals, bool thousands = true);
// A value as typed and stored in text: up to 15 significant digits, no
// thousands separator unless asked (0.1 + 0.2 gives "0,3").
HOSTFW_EXPORT QString FormatPlain(double value, bool thousands = false);

// The value of pt-BR text; dots only as well-placed thousands separators
// ("1.5" is refused rather than guessed). nullopt when it is not a number
// (or, with integer, not a whole number).
HOSTFW_EXPORT std::optional<double> ParseBrNumber(const QString& text, bool integer = false);

} // namespace hostfw

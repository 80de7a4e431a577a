#include "host/core/BrNumber.h"

#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace hostfw {

const QLocale& brazilLocale() {
    static const QLocale locale(QLocale::Portuguese, QLocale::Brazil);
    return locale;
}

namespace {

// One section of a display format, translated.
struct Section {
    QString prefix, suffix;
    bool hasDigits = false;
    bool thousands = false;
    int minInt = 0;
    int minDec = 0;
    int maxDec = 0;
};

// A whole display format: one to three sections.
struct Pattern {
    Section positive;
    std::optional<Section> negative;
    std::optional<Section> zero;
};

Section parseSection(const QString& text) {
    Section p;
    enum { Before, Core, After } where = Before;
    bool afterPoint = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool placeholder = c == '0' || c == '#' || c == ',' || c == '.';
        if (placeholder && where != After) {
            where = Core;
            if (c == '.') {
                afterPoint = true;
            } else if (c == ',') {
                if (!afterPoint) p.thousands = true;
            } else if (afterPoint) {
                ++p.maxDec;
                if (c == '0') p.minDec = p.maxDec;
            } else if (c == '0') {
                ++p.minInt;
            }
            if (c == '0' || c == '#') p.hasDigits = true;
            continue;
        }
        QString literal;
        if (c == '"' || c == '\'') {
            const int end = text.indexOf(c, i + 1);
            literal = text.mid(i + 1, end < 0 ? -1 : end - i - 1);
            i = end < 0 ? text.size() : end;
        } else {
            literal = c;
        }
        if (where == Before) {
            p.prefix += literal;
        } else {
            where = After;
            p.suffix += literal;
        }
    }
    return p;
}

QStringList splitSections(const QString& format) {
    QStringList out;
    QString cur;
    QChar quote;
    for (const QChar c : format) {
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            out << cur;
            cur.clear();
            continue;
        }
        cur += c;
    }
    out << cur;
    return out;
}

Pattern translate(const QString& format) {
    const QStringList sections = splitSections(format);
    Pattern p;
    p.positive = parseSection(sections[0]);
    if (sections.size() > 1 && !sections[1].isEmpty()) p.negative = parseSection(sections[1]);
    if (sections.size() > 2 && !sections[2].isEmpty()) p.zero = parseSection(sections[2]);
    return p;
}

// Each format text is translated once; screens use a handful of them.
const Pattern& patternOf(const QString& format) {
    static QMutex mutex;
    static QHash<QString, Pattern> cache;
    const QMutexLocker lock(&mutex);
    auto it = cache.find(format);
    if (it == cache.end()) it = cache.insert(format, translate(format));
    return *it;
}

// Decimal digits of |value| rounded half away from zero to `decimals`
// places, from its 15 significant digits.
void fixedDigits(double value, int decimals, QString& whole, QString& frac) {
    const QString e = QString::number(std::fabs(value), 'e', 14);  // d.dddddddddddddde±x
    const int ePos = e.indexOf('e');
    QString digits = e.left(ePos).remove('.');
    int point = e.mid(ePos + 1).toInt() + 1;
    if (point <= 0) {
        digits.prepend(QString(1 - point, '0'));
        point = 1;
    }
    if (point > digits.size()) digits.append(QString(point - digits.size(), '0'));
    if (digits.size() > point + decimals) {
        const bool up = digits[point + decimals] >= '5';
        digits.truncate(point + decimals);
        for (int i = digits.size() - 1; up && i >= 0; --i) {
            if (digits[i] == '9') {
                digits[i] = '0';
                if (i == 0) {
                    digits.prepend('1');
                    ++point;
                }
            } else {
                digits[i] = QChar(digits[i].unicode() + 1);
                break;
            }
        }
    }
    digits.append(QString(point + decimals - digits.size(), '0'));
    whole = digits.left(point);
    frac = digits.mid(point);
    int lead = 0;
    while (lead < whole.size() && whole[lead] == '0') ++lead;
    whole = whole.mid(lead);
}

bool allZero(const QString& digits) {
    for (QChar c : digits)
        if (c != '0') return false;
    return true;
}

QString write(double value, const Pattern& pattern) {
    const QLocale& locale = brazilLocale();
    const Section* s = &pattern.positive;
    bool minus = value < 0;
    if (value < 0 && pattern.negative) {
        s = &*pattern.negative;
        minus = false;
    }
    QString whole, frac;
    fixedDigits(value, s->maxDec, whole, frac);
    const bool zero = whole.isEmpty() && allZero(frac);
    if (zero && pattern.zero) {
        s = &*pattern.zero;
        fixedDigits(0, s->maxDec, whole, frac);
    }
    if (!s->hasDigits) return s->prefix + s->suffix;
    if (zero) minus = false;  // no minus on a value rounded to zero
    if (whole.size() < s->minInt) whole.prepend(QString(s->minInt - whole.size(), '0'));
    if (s->thousands)
        for (int i = whole.size() - 3; i > 0; i -= 3) whole.insert(i, locale.groupSeparator());
    while (frac.size() > s->minDec && frac.endsWith('0')) frac.chop(1);
    QString out = s->prefix + (minus ? locale.negativeSign() : QString()) + whole;
    if (!frac.isEmpty()) out += locale.decimalPoint() + frac;
    return out + s->suffix;
}

} // namespace

QString FormatFloat(const QString& displayFormat, double value) { return write(value, patternOf(displayFormat)); }

QString FormatFixed(double value, int decimals, bool thousands) {
    decimals = std::max(0, decimals);
    QString format = thousands ? QStringLiteral("#,##0") : QStringLiteral("0");
    if (decimals > 0) format += '.' + QString(decimals, '0');
    return FormatFloat(format, value);
}

QString FormatPlain(double value, bool thousands) {
    QLocale locale = brazilLocale();
    locale.setNumberOptions(thousands ? QLocale::DefaultNumberOptions : QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 15);
}

std::optional<double> ParseBrNumber(const QString& text, bool integer) {
    static const QRegularExpression re(
        QStringLiteral("^([+-])?(\\d{1,3}(?:\\.\\d{3})+|\\d+)?(?:,(\\d+))?(?:[eE]([+-]?\\d{1,3}))?$"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch()) return std::nullopt;
    QString whole = m.captured(2);
    const QString frac = m.captured(3);
    if (whole.isEmpty() && frac.isEmpty()) return std::nullopt;
    if (integer && (!frac.isEmpty() || !m.captured(4).isEmpty())) return std::nullopt;
    whole.remove('.');
    QString c = m.captured(1) + (whole.isEmpty() ? QStringLiteral("0") : whole);
    if (!frac.isEmpty()) c += '.' + frac;
    if (!m.captured(4).isEmpty()) c += 'e' + m.captured(4);
    if (integer) {
        bool ok = false;
        const qlonglong v = c.toLongLong(&ok);
        if (!ok) return std::nullopt;
        return static_cast<double>(v);
    }
    bool ok = false;
    const double v = c.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

} // namespace hostfw

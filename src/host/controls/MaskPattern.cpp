// The mask language: positions, acceptance of typed characters, and the
// conversions between stored text, shown text and raw characters.
#include "host/controls/MaskPattern.h"

#include <algorithm>

namespace hostfw {

namespace {

bool isMaskChar(QChar c) { return QStringLiteral("90#aAcClL").contains(c); }

// Positions of the ';' that separate the mask from its two options.
QList<int> fieldSeparators(const QString& s) {
    QList<int> out;
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] == QChar('\\')) {
            ++i;
            continue;
        }
        if (s[i] == QChar(';')) out.append(i);
    }
    return out;
}

QChar withCase(QChar c, int caseMode) {
    return caseMode == 1 ? c.toUpper() : caseMode == 2 ? c.toLower() : c;
}

}  // namespace

MaskPattern::MaskPattern(const QString& editMask) {
    QString mask = editMask;
    const QList<int> seps = fieldSeparators(editMask);
    if (seps.size() >= 2) {
        const int a = seps[seps.size() - 2], b = seps.last();
        mask = editMask.left(a);
        saveLiterals_ = editMask.mid(a + 1, b - a - 1).trimmed() != QLatin1String("0");
        const QString blank = editMask.mid(b + 1);
        if (!blank.isEmpty()) blank_ = blank[0];
    } else if (seps.size() == 1) {
        mask = editMask.left(seps[0]);
        saveLiterals_ = editMask.mid(seps[0] + 1).trimmed() != QLatin1String("0");
    }

    int caseMode = 0;
    for (int i = 0; i < mask.size(); ++i) {
        const QChar c = mask[i];
        if (c == QChar('<') && i + 1 < mask.size() && mask[i + 1] == QChar('>')) {
            caseMode = 0;
            ++i;
        } else if (c == QChar('>')) {
            caseMode = 1;
        } else if (c == QChar('<')) {
            caseMode = 2;
        } else if (c == QChar('!')) {
            // Only changes where blanks are trimmed in the classic control; ignored.
        } else if (c == QChar('\\') && i + 1 < mask.size()) {
            cells_.append({true, mask[++i], caseMode});
        } else {
            cells_.append({!isMaskChar(c), c, caseMode});
        }
    }
}

bool MaskPattern::isRequired(int pos) const {
    return !cells_[pos].literal && QStringLiteral("0ACL").contains(cells_[pos].ch);
}

QChar MaskPattern::accept(int pos, QChar typed) const {
    if (pos < 0 || pos >= cells_.size() || cells_[pos].literal) return {};
    const Cell& cell = cells_[pos];
    const QChar c = withCase(typed, cell.caseMode);
    const bool blank = c == QChar(' ');
    bool ok = false;
    switch (cell.ch.unicode()) {
    case '0': ok = c.isDigit(); break;
    case '9': ok = c.isDigit() || blank; break;
    case '#': ok = c.isDigit() || blank || c == QChar('+') || c == QChar('-'); break;
    case 'a':
    case 'A': ok = c.isLetterOrNumber(); break;
    case 'l':
    case 'L': ok = c.isLetter(); break;
    case 'c':
    case 'C': ok = c.isPrint(); break;
    }
    if (!ok) return {};
    return blank ? blank_ : c;
}

int MaskPattern::nextEditable(int pos) const {
    while (pos < cells_.size() && cells_[pos].literal) ++pos;
    return std::min<int>(pos, cells_.size());
}

int MaskPattern::previousEditable(int pos) const {
    for (--pos; pos >= 0; --pos)
        if (!cells_[pos].literal) return pos;
    return -1;
}

QString MaskPattern::emptyEditText() const {
    QString out;
    out.reserve(cells_.size());
    for (const Cell& cell : cells_) out.append(cell.literal ? cell.ch : blank_);
    return out;
}

QString MaskPattern::editTextFromRaw(const QString& raw) const {
    QString out = emptyEditText();
    int k = 0;
    for (int pos = 0; pos < cells_.size() && k < raw.size(); ++pos) {
        if (cells_[pos].literal) continue;
        const QChar c = raw[k++];
        out[pos] = c == QChar(' ') ? blank_ : withCase(c, cells_[pos].caseMode);
    }
    return out;
}

QString MaskPattern::editTextFromText(const QString& text) const {
    if (!saveLiterals_) return editTextFromRaw(text);
    // Literals present in the text are taken as such; missing ones are put in.
    QString out = emptyEditText();
    int k = 0;
    for (int pos = 0; pos < cells_.size() && k < text.size(); ++pos) {
        if (cells_[pos].literal) {
            if (text[k] == cells_[pos].ch) ++k;
            continue;
        }
        const QChar c = text[k++];
        out[pos] = c == QChar(' ') ? blank_ : withCase(c, cells_[pos].caseMode);
    }
    return out;
}

QString MaskPattern::rawOf(const QString& editText) const {
    QString raw;
    for (int pos = 0; pos < cells_.size(); ++pos)
        if (!cells_[pos].literal) raw.append(pos < editText.size() ? editText[pos] : blank_);
    int end = raw.size();
    while (end > 0 && raw[end - 1] == blank_) --end;
    raw.truncate(end);
    raw.replace(blank_, QChar(' '));
    return raw;
}

QString MaskPattern::textOf(const QString& editText) const {
    const QString raw = rawOf(editText);
    if (!saveLiterals_) return raw;
    QString out;
    int k = 0;
    for (const Cell& cell : cells_) {
        if (cell.literal)
            out.append(cell.ch);
        else
            out.append(k < raw.size() ? raw[k++] : QChar(' '));
    }
    return out;
}

QList<int> MaskPattern::groupEnds() const {
    QList<int> ends;
    int count = 0;
    bool inGroup = false;
    for (const Cell& cell : cells_) {
        if (cell.literal) {
            if (inGroup) ends.append(count);
            inGroup = false;
        } else {
            ++count;
            inGroup = true;
        }
    }
    if (inGroup) ends.append(count);
    return ends;
}

QString FormatMaskText(const QString& editMask, const QString& value) {
    const MaskPattern pattern(editMask);
    if (pattern.isEmpty()) return value;
    const QString shown = pattern.editTextFromText(value);
    int last = -1;
    for (int pos = 0; pos < pattern.length(); ++pos)
        if (!pattern.isLiteral(pos) && shown[pos] != pattern.blank()) last = pos;
    QString out = shown.left(last + 1);
    out.replace(pattern.blank(), QChar(' '));
    return out;
}

} // namespace hostfw

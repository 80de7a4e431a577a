#pragma once
// The host's edit mask language "mask;saveLiterals;blank":
//   9 optional digit (a blank is allowed)   0 required digit
//   a optional letter or digit              A required letter or digit
//   c optional any character                C required any character
//   l optional letter                       L required letter
//   # optional digit, sign or blank
//   > upper case from here   < lower case from here   <> no case change
//   \x the character x as a literal         ! accepted, no effect
//   anything else is a literal shown in its place.
// saveLiterals 0: Text() holds only the typed characters; 1: the literals too.
// blank: the character shown in unfilled positions ('_' when not given).
#include "host/core/HostExport.h"

#include <QList>
#include <QString>

namespace hostfw {

class HOSTFW_EXPORT MaskPattern {
public:
    MaskPattern() = default;
    explicit MaskPattern(const QString& editMask);

    bool isEmpty() const { return cells_.isEmpty(); }
    int length() const { return cells_.size(); }
    bool isLiteral(int pos) const { return cells_[pos].literal; }
    QChar literalAt(int pos) const { return cells_[pos].ch; }
    bool isRequired(int pos) const;
    bool saveLiterals() const { return saveLiterals_; }
    QChar blank() const { return blank_; }

    // The character stored at pos for a typed one (letter case applied), or
    // a null QChar when the position refuses it.
    QChar accept(int pos, QChar typed) const;
    // First editable position at or after pos (length() when none), last one before pos (-1 when none).
    int nextEditable(int pos) const;
    int previousEditable(int pos) const;

    // Edit texts: every position, literals in place and the blank character
    // in unfilled positions.
    QString emptyEditText() const;
    QString editTextFromRaw(const QString& raw) const;    // characters into the editable positions in turn
    QString editTextFromText(const QString& text) const; // a Text() value back into positions
    // Text() of an edit text: trailing unfilled positions dropped, other
    // unfilled ones as blanks; with saveLiterals the literals put back and the
    // text filled with blanks to the mask's length.
    QString textOf(const QString& editText) const;
    // The typed characters of an edit text, trailing unfilled positions dropped.
    QString rawOf(const QString& editText) const;
    // Digits counted at the end of each group of editable positions
    // ("99.99.999" gives 2, 4, 7).
    QList<int> groupEnds() const;

private:
    struct Cell {
        bool literal = false;
        QChar ch;       // the mask character, or the literal itself
        int caseMode = 0;  // 0 none, 1 upper, 2 lower
    };
    QList<Cell> cells_;
    bool saveLiterals_ = true;
    QChar blank_ = QChar('_');
};

// A value shown through an edit mask: the characters of value put into the
// editable positions (the mask's literals in value are recognised when the
// mask saves literals), the trailing unfilled part left out.
// FormatMaskText("99.99.999", "0101001") == "01.01.001".
HOSTFW_EXPORT QString FormatMaskText(const QString& editMask, const QString& value);

} // namespace hostfw

#pragma once
// Number edit: shows a value with a fixed number of decimals in pt-BR form
// ("16,410"; "1.234,500" with the thousands separator), accepts only what a
// number is typed with and tidies the text when the user leaves it.
#include "host/controls/Edits.h"
#include "host/core/HostExport.h"

namespace hostfw {

class HOSTFW_EXPORT TNumberEdit : public TEdit {
    Q_OBJECT
public:
    explicit TNumberEdit(QWidget* parent = nullptr, const QString& name = QString());

    int Decimals() const { return decimals_; }
    void SetDecimals(int decimals);
    bool ThousandSeparator() const { return thousands_; }
    void SetThousandSeparator(bool on);

    // The value of the text; 0 when it is empty or not a number.
    double GetNumber() const;
    void SetNumber(double value);

    // Text of a value as this edit shows it, and the value of a pt-BR text
    // (ok false when it is not a number; dots alone in groups of three are
    // thousands separators).
    QString format(double value) const;
    static double parse(const QString& text, bool* ok = nullptr);

protected:
    void filterTyped(QChar& ch) override;

private:
    void tidy();
    int decimals_ = 2;
    bool thousands_ = true;
};

} // namespace hostfw

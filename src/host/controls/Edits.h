#pragma once
// The host's text edit: typed characters pass a key-press hook that may
// change or drop them (backspace included), the change event runs for typed
// and for assigned text, and the letter case can be forced.
#include "host/core/HostExport.h"

#include <QChar>
#include <QColor>
#include <QLineEdit>
#include <QString>

#include <functional>

namespace hostfw {

enum class TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

class HOSTFW_EXPORT TEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TEdit(QWidget* parent = nullptr, const QString& name = QString());

    // The edit's value. Assigning runs OnChange when the text changes; a
    // failure of the handler reaches the caller.
    virtual QString Text() const;
    virtual void SetText(const QString& text);
    void Clear() { SetText(QString()); }
    bool IsEmpty() const { return Text().trimmed().isEmpty(); }

    TEditCharCase CharCase() const { return charCase_; }
    void SetCharCase(TEditCharCase charCase);
    int MaxLength() const { return maxLength(); }
    void SetMaxLength(int length) { setMaxLength(length > 0 ? length : 32767); }
    bool ReadOnly() const { return isReadOnly(); }
    void SetReadOnly(bool readOnly) { setReadOnly(readOnly); }
    // Shown but not typed into: read-only, no tab stop, the window colour.
    void SetDisplayOnly(bool displayOnly);
    bool DisplayOnly() const { return displayOnly_; }
    // Background colour (for example the host's colour of required fields).
    void SetColor(const QColor& color);
    // Colour of the text; an invalid colour restores the normal one.
    void SetFontColor(const QColor& color);

    // Every typed character (printable ones and the backspace '\b') passes
    // here first; setting it to a null QChar drops it. Keys that type no
    // character (Delete, arrows, Enter, Tab) do not come here.
    std::function<void(QChar& key)> OnKeyPress;
    // Runs after every change of the text, typed or assigned.
    std::function<void()> OnChange;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

    // Subclasses refine typing: a typed character after OnKeyPress and the
    // letter case (may drop it), how it is put, backspace, other keys.
    virtual void filterTyped(QChar& ch) { Q_UNUSED(ch) }
    virtual void typeChar(QChar ch);
    virtual void typeBackspace();
    virtual void keyWithoutChar(QKeyEvent* event);

    QChar applyCase(QChar ch) const;
    QString applyCase(const QString& text) const;
    // Replaces the shown text as it stands; when it changed OnChange runs and
    // its failure goes to the caller. A cursor of -1 leaves Qt's placement.
    void setShown(const QString& shown, int cursor = -1);
    // Runs OnChange.
    void fireChange();

private:
    void typeText(const QString& text);
    void shownTextChanged();
    TEditCharCase charCase_ = TEditCharCase::ecNormal;
    bool displayOnly_ = false;
    int quiet_ = 0;
};

} // namespace hostfw

#pragma once
// Masked edit: a text edit that takes input through an edit mask (the mask
// language is MaskPattern's, host/controls/MaskPattern.h).
#include "host/controls/Edits.h"
#include "host/controls/MaskPattern.h"
#include "host/core/HostExport.h"

namespace hostfw {

class HOSTFW_EXPORT TMaskEdit : public TEdit {
    Q_OBJECT
public:
    explicit TMaskEdit(QWidget* parent = nullptr, const QString& name = QString());

    QString EditMask() const { return editMask_; }
    // The characters typed so far are kept and laid into the new mask; with no
    // mask the edit is a plain edit ("0730" unmasked, then "99:99;1; ": "07:30").
    void SetEditMask(const QString& editMask);
    void ClearMask() { SetEditMask(QString()); }
    bool IsMasked() const { return !pattern_.isEmpty(); }

    QString Text() const override;
    void SetText(const QString& text) override;
    // The text as shown, with literals and blank characters.
    QString EditText() const { return text(); }
    void SetEditText(const QString& editText);

protected:
    void typeChar(QChar ch) override;
    void typeBackspace() override;
    void keyWithoutChar(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void blankRange(QString& shown, int from, int to) const;
    bool blankSelection(QString& shown);
    void pasteText(const QString& text);
    void deleteForward();
    void cutSelection();
    QString editMask_;
    MaskPattern pattern_;
};

} // namespace hostfw

#pragma once
// Buttons of the host's screens: the flat tool button of tool bars and side
// panels (takes no focus, shows a hint), and plain radio and check boxes.
#include "host/core/HostExport.h"

#include <QCheckBox>
#include <QIcon>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>

#include <functional>

namespace hostfw {

using TRadioButton = QRadioButton;
using TCheckBox = QCheckBox;

class HOSTFW_EXPORT TButtonFlat : public QToolButton {
    Q_OBJECT
public:
    explicit TButtonFlat(QWidget* parent = nullptr, const QString& name = QString(),
                         const QString& caption = QString());

    void SetHint(const QString& hint) { setToolTip(hint); }
    QString Hint() const { return toolTip(); }
    void SetCaption(const QString& caption);
    void SetGlyph(const QIcon& icon);
    // Runs OnClick; its failure reaches the caller (a click by the user runs
    // it under hostfw::guard).
    void Click();

    std::function<void()> OnClick;
};

// The icon of a command: the freedesktop theme icon of that name (the
// desktop's theme, else Adwaita), else the style's standard icon. Its disabled
// form is grey and faint, plainly different from the enabled one.
// An empty theme name takes the fallback, for theme icons too pale to read.
HOSTFW_EXPORT QIcon commandIcon(const QString& themeName, QStyle::StandardPixmap fallback);
HOSTFW_EXPORT QIcon commandIcon(const QString& themeName, const QIcon& fallback);

// Icons drawn by the framework, so it needs no image files.
HOSTFW_EXPORT QIcon searchIcon();
HOSTFW_EXPORT QIcon calendarIcon();

} // namespace hostfw

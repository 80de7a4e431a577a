#pragma once
// Enter and exit of controls and containers with the host platform's rules.
// When the focus moves from A to B inside one screen (an MDI child, or a
// window that is not in one), the exit handlers of A
// and of every container of A that does not hold B run, innermost first; then
// the enter handlers of the containers of B that did not hold A, outermost
// first, and of B itself. An exit handler that fails (throws) vetoes the move:
// the focus stays where the handler put it, or on A when it put it nowhere.
// Focus changes caused by a dialog, popup or other window coming up are not
// moves and run no handler; going to another screen runs no exit handler
// (coming back runs the enter handlers of the control and its containers); nor is the loss of focus of a control being hidden
// (its screen closes). A mouse click on a part of an MDI child that takes no
// focus (its flat, search and tool buttons, its frame) leaves the focus where
// it was, as on the host platform: Qt would hand it to the child's frame.
#include "host/core/HostExport.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

namespace hostfw {

using FocusHandler = std::function<void()>;

class HOSTFW_EXPORT Focus : public QObject {
    Q_OBJECT
public:
    static Focus& instance();

    // One enter and one exit handler per widget (a control or a container).
    void setOnEnter(QWidget* widget, FocusHandler handler);
    void setOnExit(QWidget* widget, FocusHandler handler);

    // Runs the exit handlers between the focused widget and target as a move
    // would; answers whether the move may happen. Used by controls that move
    // the focus themselves.
    bool exitTowards(QWidget* target);

    // True while exit or enter handlers run.
    bool handling() const { return depth_ > 0; }

    // The last widget that received the focus by a real move.
    QWidget* lastFocused() const { return last_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Focus();
    void forgetWhenDestroyed(QWidget* widget);
    bool runExits(QWidget* from, QWidget* to);
    void runEnters(QWidget* from, QWidget* to);
    int depth_ = 0;
    bool vetoing_ = false;
    bool restoring_ = false;
    QPointer<QWidget> last_;
    QPointer<QWidget> refused_;  // refused while its window had lost the activation
};

} // namespace hostfw

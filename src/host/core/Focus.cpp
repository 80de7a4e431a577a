#include "host/core/Focus.h"

#include "host/core/Failures.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHash>
#include <QMdiSubWindow>
#include <QWidget>

namespace hostfw {

namespace {

struct Handlers {
    FocusHandler enter;
    FocusHandler exit;
};

QHash<QWidget*, Handlers>& registry() {
    static QHash<QWidget*, Handlers> handlers;
    return handlers;
}

// The screen a widget belongs to: its MDI child, else its window. Exit
// handlers run for moves inside one screen only: going to another MDI child
// is changing screens, as going to another window is.
QWidget* screenOf(QWidget* w) {
    for (; w; w = w->parentWidget())
        if (w->isWindow() || qobject_cast<QMdiSubWindow*>(w)) return w;
    return nullptr;
}

bool isAncestorOrSelf(QWidget* ancestor, QWidget* w) {
    for (; w; w = w->parentWidget())
        if (w == ancestor) return true;
    return false;
}

// The chain from a widget up to its screen, innermost first.
QList<QWidget*> chain(QWidget* w) {
    QList<QWidget*> out;
    for (; w; w = w->parentWidget()) {
        out.append(w);
        if (w->isWindow() || qobject_cast<QMdiSubWindow*>(w)) break;
    }
    return out;
}

bool isMove(Qt::FocusReason reason) {
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
           reason != Qt::MenuBarFocusReason && reason != Qt::NoFocusReason;
}

// Qt gives the focus of a click on a control that takes none to the nearest
// container that takes click focus: for a control inside an MDI child, the
// child's frame.
bool clickOnFrame(QWidget* from, QWidget* to, Qt::FocusReason reason) {
    return reason == Qt::MouseFocusReason && qobject_cast<QMdiSubWindow*>(to) && to->isAncestorOf(from);
}

}  // namespace

Focus& Focus::instance() {
    static Focus* focus = new Focus();
    return *focus;
}

Focus::Focus() : last_(QApplication::focusWidget()) { qApp->installEventFilter(this); }

void Focus::setOnEnter(QWidget* widget, FocusHandler handler) {
    forgetWhenDestroyed(widget);
    registry()[widget].enter = std::move(handler);
}

void Focus::setOnExit(QWidget* widget, FocusHandler handler) {
    forgetWhenDestroyed(widget);
    registry()[widget].exit = std::move(handler);
}

void Focus::forgetWhenDestroyed(QWidget* widget) {
    if (registry().contains(widget)) return;
    QObject::connect(widget, &QObject::destroyed, this, [widget] { registry().remove(widget); });
}

bool Focus::runExits(QWidget* from, QWidget* to) {
    if (!from) return true;
    ++depth_;
    bool ok = true;
    for (QWidget* w : chain(from)) {
        if (to && isAncestorOrSelf(w, to)) break;
        auto it = registry().find(w);
        if (it == registry().end() || !it->exit) continue;
        FocusHandler handler = it->exit;
        if (!guard(handler)) {
            ok = false;
            break;
        }
    }
    --depth_;
    return ok;
}

void Focus::runEnters(QWidget* from, QWidget* to) {
    if (!to) return;
    QList<QWidget*> entered;
    for (QWidget* w : chain(to)) {
        if (from && isAncestorOrSelf(w, from)) break;
        entered.prepend(w);
    }
    ++depth_;
    for (QWidget* w : entered) {
        auto it = registry().find(w);
        if (it == registry().end() || !it->enter) continue;
        FocusHandler handler = it->enter;
        if (!guard(handler)) break;
    }
    --depth_;
}

bool Focus::exitTowards(QWidget* target) {
    QWidget* from = last_ ? last_.data() : QApplication::focusWidget();
    if (!from || from == target) return true;
    if (screenOf(from) != screenOf(target)) return true;
    return runExits(from, target);
}

bool Focus::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::FocusOut && event->type() != QEvent::FocusIn) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !widget->isWidgetType() || vetoing_) return false;
    auto* fe = static_cast<QFocusEvent*>(event);
    // Neither the control nor the frame see the focus that came back.
    if (restoring_) return true;

    if (event->type() == QEvent::FocusOut) {
        if (!isMove(fe->reason()) || !widget->isVisible()) return false;
        QWidget* to = QApplication::focusWidget();  // already the new focus widget
        if (clickOnFrame(widget, to, fe->reason())) {
            restoring_ = true;
            widget->setFocus(Qt::OtherFocusReason);
            restoring_ = false;
            return true;
        }
        if (!to || to == widget || screenOf(to) != screenOf(widget)) return false;
        if (last_ && last_ != widget) return false;  // this widget's exits ran already
        if (!runExits(widget, to)) {
            // Vetoed: unless a handler moved the focus itself, it goes back.
            // A message box shown by the handler took the activation away:
            // the window's own focus child is then where the focus returns
            // when the window is active again, so that is what is reset.
            QWidget* window = widget->window();
            QWidget* now = QApplication::focusWidget();
            if (!now || now->window() != window) now = window->focusWidget();
            if (now == to || !now) {
                vetoing_ = true;
                widget->setFocus(Qt::OtherFocusReason);
                vetoing_ = false;
                last_ = widget;
                if (!widget->hasFocus()) refused_ = widget;
            }
        }
        return false;
    }

    // A window that gets its activation back after a refusal gives the focus
    // to the refused control, whatever its own idea of the focus was.
    if (refused_ && fe->reason() == Qt::ActiveWindowFocusReason && widget != refused_ &&
        widget->window() == refused_->window() && refused_->isVisible() && refused_->isEnabled()) {
        QPointer<QWidget> target = refused_;
        refused_ = nullptr;
        vetoing_ = true;
        target->setFocus(Qt::ActiveWindowFocusReason);
        vetoing_ = false;
        last_ = target;
        return true;
    }
    if (widget == refused_ || isMove(fe->reason())) refused_ = nullptr;

    QWidget* from = last_;
    last_ = widget;
    if (!isMove(fe->reason()) || from == widget) return false;
    // Coming from another screen enters this one (the items grid posts a row
    // left typed when the user comes back to it).
    if (from && screenOf(from) != screenOf(widget)) from = nullptr;
    runEnters(from, widget);
    return false;
}

} // namespace hostfw

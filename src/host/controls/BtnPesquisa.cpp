#include "host/controls/BtnPesquisa.h"

#include "host/controls/Buttons.h"
#include "host/core/Failures.h"
#include "host/core/Focus.h"
#include "host/controls/Lookups.h"

#include <QKeyEvent>

namespace hostfw {

TBtnPesquisa::TBtnPesquisa(QWidget* parent, const QString& name) : QToolButton(parent) {
    if (!name.isEmpty()) setObjectName(name);
    setIcon(commandIcon(QStringLiteral("edit-find"), searchIcon()));
    setToolTip(QStringLiteral("Pesquisar"));
    setFocusPolicy(Qt::NoFocus);
    Focus::instance();  // a click leaves the focus where it was
    setAutoRaise(true);
    connect(this, &QAbstractButton::clicked, this, [this] { guard([this] { Click(); }); });
}

void TBtnPesquisa::SetAssociate(QWidget* edit) {
    if (associate_) associate_->removeEventFilter(this);
    associate_ = edit;
    if (edit) edit->installEventFilter(this);
}

void TBtnPesquisa::Click() {
    if (OnClick) {
        auto handler = OnClick;
        handler();
        return;
    }
    Execute();
}

bool TBtnPesquisa::Execute() {
    bool cancel = false;
    if (OnBeforePesq) OnBeforePesq(cancel);
    if (cancel) return false;
    if (!Pesquisa::Pesquisar(DataSource, Title + QChar('|') + EmptyError, false, true)) return false;
    if (OnAfterPesq) OnAfterPesq();
    if (associate_ && associate_->isEnabled() && associate_->isVisible()) associate_->setFocus(Qt::OtherFocusReason);
    return true;
}

bool TBtnPesquisa::eventFilter(QObject* watched, QEvent* event) {
    if (watched == associate_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        const bool f2 = key->key() == Qt::Key_F2 && mods == Qt::NoModifier;
        const bool ctrlEnter =
            (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && mods == Qt::ControlModifier;
        if (f2 || ctrlEnter) {
            if (isEnabled()) guard([this] { Click(); });
            return true;
        }
    }
    return QToolButton::eventFilter(watched, event);
}

} // namespace hostfw

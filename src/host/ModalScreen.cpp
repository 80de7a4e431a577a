#include "host/ModalScreen.h"

#include "host/Failures.h"

#include <QCloseEvent>

namespace hostfw {

TModalScreen::TModalScreen(QWidget* parent) : QDialog(parent) {
    setModal(true);
    setAttribute(Qt::WA_DeleteOnClose);
}

bool TModalScreen::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) guard([this] { FormActivate(); });
    return QDialog::event(e);
}

void TModalScreen::closeOnce() {
    if (closed_) return;
    closed_ = true;
    guard([this] { FormClose(); });
}

void TModalScreen::closeEvent(QCloseEvent* e) {
    closeOnce();
    QDialog::closeEvent(e);
}

void TModalScreen::done(int result) {
    closeOnce();
    QDialog::done(result);
}

} // namespace hostfw

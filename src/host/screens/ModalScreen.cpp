#include "host/screens/ModalScreen.h"

#include "host/controls/Buttons.h"
#include "host/core/Failures.h"
#include "host/core/Focus.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace hostfw {

TModalScreen::TModalScreen(QWidget* parent) : QDialog(parent) {
    setModal(true);
    setAttribute(Qt::WA_DeleteOnClose);
    Focus::instance();  // clicks on the side buttons leave the focus where it was
    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(6, 6, 6, 6);

    left_ = new QVBoxLayout();
    grbDadosRel = new QGroupBox(this);
    grbDadosRel->setObjectName("grbDadosRel");
    left_->addWidget(grbDadosRel, 1);
    codes_ = new QHBoxLayout();
    lblCodTela = new QLabel(this);
    lblCodTela->setObjectName("lblCodTela");
    codes_->addWidget(lblCodTela);
    codes_->addStretch(1);
    left_->addLayout(codes_);
    root->addLayout(left_, 1);

    panMenu = new QFrame(this);
    panMenu->setObjectName("panMenu");
    panMenu->setFrameShape(QFrame::StyledPanel);
    auto* side = new QVBoxLayout(panMenu);
    panBotoes = new QFrame(panMenu);
    panBotoes->setObjectName("panBotoes");
    auto* buttons = new QVBoxLayout(panBotoes);
    buttons->setContentsMargins(0, 0, 0, 0);
    side->addWidget(panBotoes);
    side->addStretch(1);
    root->addWidget(panMenu);

    msgPadrao = new TMessages(this, "msgPadrao");
}

TButtonFlat* TModalScreen::addSideButton(const char* name, const QString& caption, const QIcon& icon,
                                         std::function<void()> onClick) {
    auto* button = new TButtonFlat(panBotoes, QString::fromLatin1(name), caption);
    button->SetGlyph(icon);
    button->SetHint(caption);
    button->OnClick = std::move(onClick);
    panBotoes->layout()->addWidget(button);
    return button;
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

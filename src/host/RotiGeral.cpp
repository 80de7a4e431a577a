#include "host/RotiGeral.h"

#include "host/Buttons.h"
#include "host/Failures.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>

namespace hostfw {

TfrmRotiGeral::TfrmRotiGeral(QWidget* parent) : TModalScreen(parent) {
    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(6, 6, 6, 6);

    auto* left = new QVBoxLayout();
    grbDadosRel = new QGroupBox(this);
    grbDadosRel->setObjectName("grbDadosRel");
    left->addWidget(grbDadosRel, 1);
    lblCodTela = new QLabel(this);
    lblCodTela->setObjectName("lblCodTela");
    left->addWidget(lblCodTela, 0, Qt::AlignLeft);
    root->addLayout(left, 1);

    panMenu = new QFrame(this);
    panMenu->setObjectName("panMenu");
    panMenu->setFrameShape(QFrame::StyledPanel);
    auto* side = new QVBoxLayout(panMenu);
    panBotoes = new QFrame(panMenu);
    panBotoes->setObjectName("panBotoes");
    auto* buttons = new QVBoxLayout(panBotoes);
    buttons->setContentsMargins(0, 0, 0, 0);
    sbtConfirma = new TButtonFlat(panBotoes, "sbtConfirma", QStringLiteral("Confirmar"));
    sbtConfirma->SetGlyph(style()->standardIcon(QStyle::SP_DialogApplyButton));
    sbtConfirma->SetHint(QStringLiteral("Confirmar"));
    sbtCancel = new TButtonFlat(panBotoes, "sbtCancel", QStringLiteral("Fechar"));
    sbtCancel->SetGlyph(style()->standardIcon(QStyle::SP_DialogCloseButton));
    sbtCancel->SetHint(QStringLiteral("Fechar"));
    buttons->addWidget(sbtConfirma);
    buttons->addWidget(sbtCancel);
    side->addWidget(panBotoes);
    side->addStretch(1);
    root->addWidget(panMenu);

    msgPadrao = new TMessages(this, "msgPadrao");
    sbtConfirma->OnClick = [this] { sbtConfirmaClick(); };
    sbtCancel->OnClick = [this] { reject(); };
}

TfrmRotiGeral::~TfrmRotiGeral() = default;

} // namespace hostfw

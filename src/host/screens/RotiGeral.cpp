#include "host/screens/RotiGeral.h"

#include "host/controls/Buttons.h"

#include <QStyle>

namespace hostfw {

TfrmRotiGeral::TfrmRotiGeral(QWidget* parent) : TModalScreen(parent) {
    sbtConfirma = addSideButton("sbtConfirma", QStringLiteral("Confirmar"),
                                style()->standardIcon(QStyle::SP_DialogApplyButton), [this] { sbtConfirmaClick(); });
    sbtCancel = addSideButton("sbtCancel", QStringLiteral("Fechar"), style()->standardIcon(QStyle::SP_DialogCloseButton),
                              [this] { reject(); });
}

TfrmRotiGeral::~TfrmRotiGeral() = default;

} // namespace hostfw

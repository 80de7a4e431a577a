#pragma once
// Unit Cli_Zep12630: the survey copy screen "ZEP12630".
#include "host/screens/ModalScreen.h"

// The open copy screen, while it is shown.
extern Q_DECL_EXPORT hostfw::TModalScreen* frmCopiarInq;

// Creates the copy screen, shows it modally and answers its modal result.
Q_DECL_EXPORT int CriaCopiaInquerito();

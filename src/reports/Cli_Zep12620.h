#pragma once
// Unit Cli_Zep12620: the survey report screen "ZEP12620".
#include "host/ModalScreen.h"

extern Q_DECL_EXPORT hostfw::TModalScreen* frmRelInquerito;

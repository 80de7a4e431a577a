#pragma once
// Unit Cli_Zep12620: the survey report screen "ZEP12620".
#include "host/screens/ModalScreen.h"

extern Q_DECL_EXPORT hostfw::TModalScreen* frmRelInquerito;

// Creates the report screen into frmRelInquerito, shows it modally and
// answers its modal result (registered with the survey by the module entry).
int CriaRelInquerito();

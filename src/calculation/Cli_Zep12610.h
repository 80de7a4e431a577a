#pragma once
// Unit Cli_Zep12610: the calculation screen "ZEP12610".
#include "host/ModalScreen.h"

extern Q_DECL_EXPORT hostfw::TModalScreen* frmCalculo;

#pragma once
// Unit Cli_Zep12610: the calculation screen "ZEP12610".
#include "host/screens/ModalScreen.h"

extern Q_DECL_EXPORT hostfw::TModalScreen* frmCalculo;

// Creates the calculation screen into frmCalculo, shows it modally and
// answers its modal result (registered with the survey by the module entry).
int CriaCalculo();

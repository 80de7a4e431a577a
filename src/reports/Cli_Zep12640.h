#pragma once
// Unit Cli_Zep12640: the nutrient spreadsheet screen "ZEP12640".
#include "host/screens/ModalScreen.h"

extern Q_DECL_EXPORT hostfw::TModalScreen* frmPlaInqNutr;

// Creates the spreadsheet screen, shows it modally and answers its modal result.
Q_DECL_EXPORT int CriaInquNutr();

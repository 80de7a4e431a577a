#include "reports/Cli_Zep12640.h"

#include "survey/SecondaryScreens.h"

hostfw::TModalScreen* frmPlaInqNutr = nullptr;

int CriaInquNutr() { return survey::openSecondaryScreen(survey::secondaryScreens().spreadsheet, "ZEP12640"); }

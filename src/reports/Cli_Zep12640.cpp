#include "reports/Cli_Zep12640.h"

#include "survey/SecondaryScreens.h"

hostfw::TModalScreen* frmPlaInqNutr = nullptr;

// Not built yet: says so through the survey's opener.
int CriaInquNutr() { return survey::openSecondaryScreen({}, "ZEP12640"); }

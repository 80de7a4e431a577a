#include "reports/Cli_Zep12620.h"

#include "survey/SecondaryScreens.h"

hostfw::TModalScreen* frmRelInquerito = nullptr;

// Not built yet: says so through the survey's opener.
int CriaRelInquerito() { return survey::openSecondaryScreen({}, "ZEP12620"); }

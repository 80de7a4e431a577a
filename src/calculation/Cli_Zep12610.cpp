#include "calculation/Cli_Zep12610.h"

#include "survey/SecondaryScreens.h"

hostfw::TModalScreen* frmCalculo = nullptr;

// Not built yet: says so through the survey's opener.
int CriaCalculo() { return survey::openSecondaryScreen({}, "ZEP12610"); }

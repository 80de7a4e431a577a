#include "copy/Cli_Zep12630.h"

#include "survey/SecondaryScreens.h"

hostfw::TModalScreen* frmCopiarInq = nullptr;

// Not built yet: says so through the survey's opener.
int CriaCopiaInquerito() { return survey::openSecondaryScreen({}, "ZEP12630"); }

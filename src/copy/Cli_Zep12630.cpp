#include "copy/Cli_Zep12630.h"

#include "survey/SecondaryScreens.h"

hostfw::TModalScreen* frmCopiarInq = nullptr;

int CriaCopiaInquerito() { return survey::openSecondaryScreen(survey::secondaryScreens().copy, "ZEP12630"); }

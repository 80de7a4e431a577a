#include "calculation/Cli_Zep12610.h"

hostfw::TModalScreen* frmCalculo = nullptr;

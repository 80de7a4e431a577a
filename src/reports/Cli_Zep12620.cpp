#include "reports/Cli_Zep12620.h"

hostfw::TModalScreen* frmRelInquerito = nullptr;

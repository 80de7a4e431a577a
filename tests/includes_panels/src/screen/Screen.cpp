// The screen composes both panels: allowed.
#include "LeftPanel.h"
#include "RightPanel.h"

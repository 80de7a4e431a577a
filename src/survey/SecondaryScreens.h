#pragma once
// Creators of the modal screens opened from the survey screen; each unit
// registers its own when the module initializes. A creator shows its screen
// modally and answers the modal result.
#include <functional>

namespace survey {

struct SecondaryScreenCreators {
    std::function<int()> calculation;   // Cli_Zep12610
    std::function<int()> report;        // Cli_Zep12620
    std::function<int()> copy;          // Cli_Zep12630 (CriaCopiaInquerito)
    std::function<int()> spreadsheet;   // Cli_Zep12640 (CriaInquNutr)
};

SecondaryScreenCreators& secondaryScreens();

// Runs a creator; a screen this version does not have says so (answers 0).
int openSecondaryScreen(const std::function<int()>& create, const char* screenCode);

}

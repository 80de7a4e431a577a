#pragma once
// Openers of the modal screens reached from the survey screen. The survey
// folder does not know those screens (they depend on it, not the other way):
// the module's entry registers each unit's creator when it initializes.
#include <functional>

namespace survey {

struct SecondaryScreenCreators {
    std::function<int()> calculation;   // Cli_Zep12610
    std::function<int()> report;        // Cli_Zep12620
    std::function<int()> copy;          // Cli_Zep12630 (CriaCopiaInquerito)
    std::function<int()> spreadsheet;   // Cli_Zep12640 (CriaInquNutr)
};

SecondaryScreenCreators& secondaryScreens();

// Runs a creator; a screen that is not registered says so (answers 0).
int openSecondaryScreen(const std::function<int()>& create, const char* screenCode);

}

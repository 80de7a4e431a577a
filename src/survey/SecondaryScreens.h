#pragma once
// Creators of the modal screens opened from the survey screen; each unit
// registers its own when the module initializes.
#include <functional>

namespace survey {

struct SecondaryScreenCreators {
    std::function<void()> calculation;   // Cli_Zep12610
    std::function<void()> report;        // Cli_Zep12620
    std::function<void()> copy;          // Cli_Zep12630 (CriaCopiaInquerito)
    std::function<void()> spreadsheet;   // Cli_Zep12640 (CriaInquNutr)
};

SecondaryScreenCreators& secondaryScreens();

}

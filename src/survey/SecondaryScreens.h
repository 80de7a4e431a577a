#pragma once
// Openers of the modal screens reached from the survey screen. The survey
// folder does not know those screens (they depend on it, not the other way):
// the module's entry registers each unit's creator when it initializes. The
// survey screen hands each one its context when it opens it.
#include "survey/SurveyContext.h"

#include <functional>

namespace survey {

using SecondaryScreenCreator = std::function<int(const SurveyContext&)>;

struct SecondaryScreenCreators {
    SecondaryScreenCreator calculation;   // Cli_Zep12610 (CriaCalculo)
    SecondaryScreenCreator report;        // Cli_Zep12620 (CriaRelInquerito)
    SecondaryScreenCreator copy;          // Cli_Zep12630 (CriaCopiaInquerito)
    SecondaryScreenCreator spreadsheet;   // Cli_Zep12640 (CriaInquNutr)
    SecondaryScreenCreator needs;         // NecesNutr (CriaNecesNutr)
};

SecondaryScreenCreators& secondaryScreens();

// Runs a creator with the context; a screen that is not registered says so (answers 0).
int openSecondaryScreen(const SecondaryScreenCreator& create, const SurveyContext& context, const char* screenCode);

}

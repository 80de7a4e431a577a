// Opening of the calculation, copy, report and spreadsheet screens.
#include "copy/Cli_Zep12630.h"
#include "host/DateEditPlus.h"
#include "host/Edits.h"
#include "host/Failures.h"
#include "reports/Cli_Zep12640.h"
#include "survey/Cli_Zep12600.h"
#include "survey/SecondaryScreens.h"

#include <QApplication>

using namespace hostfw;

void TfrmInquerito::checkSurveyDateIfFocused() {
    if (depInquerito->isAncestorOf(QApplication::focusWidget()) || depInquerito->hasFocus())
        depInquerito->CheckValidDate();
}

void TfrmInquerito::sbtCalculoClick() {
    checkSurveyDateIfFocused();
    survey::openSecondaryScreen(survey::secondaryScreens().calculation, "ZEP12610");
}

void TfrmInquerito::sbtCopiarInqClick() {
    checkSurveyDateIfFocused();
    if (edtCdServico->isEnabled() && itemsPageShowing()) {
        edtCdServico->setFocus();
        // A failing exit of the field that had the focus stops the command.
        if (!edtCdServico->hasFocus()) Abort();
    }
    CriaCopiaInquerito();
}

void TfrmInquerito::mnuRelInqueritoClick() {
    checkSurveyDateIfFocused();
    survey::openSecondaryScreen(survey::secondaryScreens().report, "ZEP12620");
}

void TfrmInquerito::mnuPlaInqNutrClick() {
    checkSurveyDateIfFocused();
    CriaInquNutr();
}

// Opening of the calculation, copy, report and spreadsheet screens.
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/core/Failures.h"
#include "survey/Cli_Zep12600.h"
#include "survey/DayPanel.h"
#include "survey/SecondaryScreens.h"

#include <QApplication>

using namespace hostfw;

void TfrmInquerito::checkSurveyDateIfFocused() {
    if (depInquerito->isAncestorOf(QApplication::focusWidget()) || depInquerito->hasFocus())
        depInquerito->CheckValidDate();
}

void TfrmInquerito::sbtCalculoClick() {
    checkSurveyDateIfFocused();
    survey::openSecondaryScreen(survey::secondaryScreens().calculation, surveyContext(), "ZEP12610");
}

void TfrmInquerito::sbtCopiarInqClick() {
    checkSurveyDateIfFocused();
    if (edtCdServico->isEnabled() && itemsPageShowing()) {
        edtCdServico->setFocus();
        // A failing exit of the field that had the focus stops the command.
        if (!edtCdServico->hasFocus()) Abort();
    }
    survey::openSecondaryScreen(survey::secondaryScreens().copy, surveyContext(), "ZEP12630");
    survey::dayPanelOf(this)->refresh(surveyContext());  // day totals: a copy may add to the day
}

void TfrmInquerito::mnuNecesNutrClick() {
    checkSurveyDateIfFocused();
    survey::openSecondaryScreen(survey::secondaryScreens().needs, surveyContext(), "ZEP12660");
    survey::dayPanelOf(this)->refresh(surveyContext());  // day totals: the targets may have changed
}

void TfrmInquerito::mnuRelInqueritoClick() {
    checkSurveyDateIfFocused();
    survey::openSecondaryScreen(survey::secondaryScreens().report, surveyContext(), "ZEP12620");
}

void TfrmInquerito::mnuPlaInqNutrClick() {
    checkSurveyDateIfFocused();
    survey::openSecondaryScreen(survey::secondaryScreens().spreadsheet, surveyContext(), "ZEP12640");
}

// Opening of the calculation, copy, report and spreadsheet screens.
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/core/Failures.h"
#include "survey/Cli_Zep12600.h"
#include "survey/ItemsPage.h"
#include "survey/SecondaryScreens.h"

#include <QApplication>

using namespace hostfw;

void TfrmInquerito::sbtCalculoClick() {
    items_->checkSurveyDateIfFocused();
    survey::openSecondaryScreen(survey::secondaryScreens().calculation, surveyContext(), "ZEP12610");
}

void TfrmInquerito::sbtCopiarInqClick() {
    items_->checkSurveyDateIfFocused();
    QWidget* service = items_->edtCdServico;
    if (service->isEnabled() && itemsPageShowing()) {
        service->setFocus();
        // A failing exit of the field that had the focus stops the command.
        if (!service->hasFocus()) Abort();
    }
    survey::openSecondaryScreen(survey::secondaryScreens().copy, surveyContext(), "ZEP12630");
    items_->refreshDay();  // day totals: a copy may add to the day
}

void TfrmInquerito::mnuNecesNutrClick() {
    items_->checkSurveyDateIfFocused();
    survey::openSecondaryScreen(survey::secondaryScreens().needs, surveyContext(), "ZEP12660");
    items_->refreshDay();  // day totals: the targets may have changed
}

void TfrmInquerito::mnuRelInqueritoClick() {
    items_->checkSurveyDateIfFocused();
    survey::openSecondaryScreen(survey::secondaryScreens().report, surveyContext(), "ZEP12620");
}

void TfrmInquerito::mnuPlaInqNutrClick() {
    items_->checkSurveyDateIfFocused();
    survey::openSecondaryScreen(survey::secondaryScreens().spreadsheet, surveyContext(), "ZEP12640");
}

// Opening of the calculation, copy, report and spreadsheet screens.
#include "host/DateEditPlus.h"
#include "host/Dialogs.h"
#include "host/Edits.h"
#include "survey/Cli_Zep12600.h"
#include "survey/SecondaryScreens.h"

#include <QApplication>

using namespace hostfw;

namespace {

// Screens not yet part of this module say so instead of failing silently.
void openOrExplain(const std::function<void()>& create, const QString& code) {
    if (create) {
        create();
        return;
    }
    dialogs().message(DialogKind::Information, QStringLiteral("A tela %1 não está disponível nesta versão.").arg(code));
}

}  // namespace

void TfrmInquerito::checkSurveyDateIfFocused() {
    if (depInquerito->isAncestorOf(QApplication::focusWidget()) || depInquerito->hasFocus())
        depInquerito->CheckValidDate();
}

void TfrmInquerito::sbtCalculoClick() {
    checkSurveyDateIfFocused();
    openOrExplain(survey::secondaryScreens().calculation, QStringLiteral("ZEP12610"));
}

void TfrmInquerito::sbtCopiarInqClick() {
    checkSurveyDateIfFocused();
    if (edtCdServico->isEnabled() && itemsPageShowing()) edtCdServico->setFocus();
    openOrExplain(survey::secondaryScreens().copy, QStringLiteral("ZEP12630"));
}

void TfrmInquerito::mnuRelInqueritoClick() {
    checkSurveyDateIfFocused();
    openOrExplain(survey::secondaryScreens().report, QStringLiteral("ZEP12620"));
}

void TfrmInquerito::mnuPlaInqNutrClick() {
    checkSurveyDateIfFocused();
    openOrExplain(survey::secondaryScreens().spreadsheet, QStringLiteral("ZEP12640"));
}

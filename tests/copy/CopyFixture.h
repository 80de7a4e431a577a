#pragma once
// The survey of demo patient 000000000001 (period 30/11/2026 to 06/12/2026,
// branch 0001) open in a test host, and the copy screen opened from it.
#include "SurveyFixture.h"
#include "copy/Cli_Zep12630.h"

#include <functional>
#include <string>
#include <vector>

class CopyTest : public SurveyTest {
protected:
    void SetUp() override;

    // Opens the copy screen as the survey's toolbar button does (a mouse
    // click), runs body while it is up, then closes it. False when it did not open.
    bool withCopyScreen(const std::function<void(TfrmCopiarInq&)>& body);
    // Fills the screen's fields as typed values (services as the user left them).
    static void fill(TfrmCopiarInq& s, const QDate& origin, const QString& originService, const QDate& destination,
                     const QString& destinationService);
    void confirm(TfrmCopiarInq& s);
    void typeAndLeave(QWidget* w, const QString& text);
    // The focused control is w or inside it.
    static bool focused(QWidget* w);

    // "NNN CODE" of the items of one day and service, read from the database.
    std::vector<std::string> items(const QString& day, const QString& service);
    std::string mealTime(const QString& day, const QString& service);
    // Every item and meal time row, to show that nothing was written.
    std::vector<std::string> snapshot();
};

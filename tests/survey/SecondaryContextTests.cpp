// The secondary screens take branch, patient and period from the context the
// survey screen hands to their creators, not from the survey screen itself.
#include "SurveyFixture.h"
#include "calculation/Cli_Zep12610.h"
#include "copy/Cli_Zep12630.h"
#include "host/controls/DateEditPlus.h"
#include "host/core/Failures.h"
#include "reports/Cli_Zep12620.h"
#include "reports/Cli_Zep12640.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <functional>
#include <utility>

namespace {

using Period = std::pair<QDate, QDate>;

// The demo patient 000000000002 has one period, 16/11/2026 to 17/11/2026;
// patient 000000000001 has 30/11/2026 to 06/12/2026.
const Period kSecondPatientPeriod{QDate(2026, 11, 16), QDate(2026, 11, 17)};
const Period kFirstPatientPeriod{QDate(2026, 11, 30), QDate(2026, 12, 6)};

struct Opened {
    bool shown = false;
    Period period;
};

// Runs `open` (which shows a modal screen) and, inside the screen's modal
// loop, reads the period the screen shows and closes it.
Opened whileOpen(const std::function<void()>& open, const std::function<QDialog*()>& screen,
                 const std::function<Period()>& read) {
    Opened result;
    QTimer::singleShot(0, [&] {
        QDialog* s = screen();
        if (s) {
            result.shown = true;
            result.period = read();
            s->reject();
        } else if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    });
    hostfw::guard(open);
    return result;
}

Period periodOf(hostfw::TDateEditPlus* from, hostfw::TDateEditPlus* to) { return {from->Date(), to->Date()}; }

Opened openCalculation(const std::function<void()>& open) {
    return whileOpen(open, [] { return frmCalculo; }, [] { return periodOf(frmCalculo->depPerIni, frmCalculo->depPerFim); });
}
Opened openReport(const std::function<void()>& open) {
    return whileOpen(open, [] { return frmRelInquerito; },
                     [] { return periodOf(frmRelInquerito->depIni, frmRelInquerito->depFim); });
}
Opened openCopy(const std::function<void()>& open) {
    // The copy proposes the period's start as origin and destination.
    return whileOpen(open, [] { return frmCopiarInq; },
                     [] { return periodOf(frmCopiarInq->depOrigem, frmCopiarInq->depDestino); });
}
Opened openSpreadsheet(const std::function<void()>& open) {
    return whileOpen(open, [] { return frmPlaInqNutr; },
                     [] { return periodOf(frmPlaInqNutr->depIni, frmPlaInqNutr->depFim); });
}

class SecondaryContextTest : public SurveyTest {};

TEST_F(SecondaryContextTest, CreatorsUseTheContextTheyAreGiven) {
    openFor("0001", "000000000001", "");
    ASSERT_NE(screen(), nullptr);
    ASSERT_EQ(screen()->surveyContext().periodStart, kFirstPatientPeriod.first);

    // Another patient's period than the one the survey screen stands on: what
    // the screens show can only come from the creator's argument.
    survey::SurveyContext context;
    context.branch = "0001";
    context.patient = "000000000002";
    context.patientName = QStringLiteral("José Carlos Ferreira Lima");
    context.periodStart = kSecondPatientPeriod.first;
    context.periodEnd = kSecondPatientPeriod.second;
    const Opened calculation = openCalculation([&] { CriaCalculo(context); });
    EXPECT_TRUE(calculation.shown);
    EXPECT_EQ(calculation.period, kSecondPatientPeriod);

    const Opened report = openReport([&] { CriaRelInquerito(context); });
    EXPECT_TRUE(report.shown);
    EXPECT_EQ(report.period, kSecondPatientPeriod);

    const Opened copy = openCopy([&] { CriaCopiaInquerito(context); });
    EXPECT_TRUE(copy.shown);
    EXPECT_EQ(copy.period, Period(kSecondPatientPeriod.first, kSecondPatientPeriod.first));

    const Opened sheet = openSpreadsheet([&] { CriaInquNutr(context); });
    EXPECT_TRUE(sheet.shown);
    EXPECT_EQ(sheet.period, kSecondPatientPeriod);

    EXPECT_EQ(screen()->surveyContext().patient, "000000000001") << "the survey screen is left as it was";
    EXPECT_TRUE(dialogs_->shown.empty()) << shownText().toStdString();
}

TEST_F(SecondaryContextTest, SurveyCommandsHandOverTheCurrentPeriod) {
    openFor("0001", "000000000002", "");
    ASSERT_NE(screen(), nullptr);
    ASSERT_EQ(screen()->surveyContext().periodStart, kSecondPatientPeriod.first);

    EXPECT_EQ(openCalculation([&] { QTest::mouseClick(screen()->sbtCalculo, Qt::LeftButton); }).period,
              kSecondPatientPeriod);
    EXPECT_EQ(openReport([&] { screen()->mnuRelInquerito->trigger(); }).period, kSecondPatientPeriod);
    EXPECT_EQ(openCopy([&] { QTest::mouseClick(screen()->sbtCopiarInq, Qt::LeftButton); }).period,
              Period(kSecondPatientPeriod.first, kSecondPatientPeriod.first));
    EXPECT_EQ(openSpreadsheet([&] { screen()->mnuPlaInqNutr->trigger(); }).period, kSecondPatientPeriod);
    EXPECT_TRUE(dialogs_->shown.empty()) << shownText().toStdString();
}

TEST_F(SecondaryContextTest, ExportedCreatorsWithoutArgumentsReadTheOpenSurvey) {
    openFor("0001", "000000000002", "");
    ASSERT_NE(screen(), nullptr);
    ASSERT_EQ(screen()->surveyContext().periodStart, kSecondPatientPeriod.first);
    EXPECT_EQ(openCopy([] { CriaCopiaInquerito(); }).period,
              Period(kSecondPatientPeriod.first, kSecondPatientPeriod.first));
    EXPECT_EQ(openSpreadsheet([] { CriaInquNutr(); }).period, kSecondPatientPeriod);
}

TEST_F(SecondaryContextTest, ExportedCreatorsWithoutASurveyOpenOnAnEmptyContext) {
    // No survey screen, no context: the screens open empty instead of failing.
    ASSERT_EQ(screen(), nullptr);
    const Opened copy = openCopy([] { CriaCopiaInquerito(); });
    EXPECT_TRUE(copy.shown);
    EXPECT_EQ(copy.period, Period());
    const Opened sheet = openSpreadsheet([] { CriaInquNutr(); });
    EXPECT_TRUE(sheet.shown);
    EXPECT_EQ(sheet.period, Period());
}

}  // namespace

// Survey periods: adding under the date rules, deleting, and what the server refuses.
#include "SurveyFixture.h"
#include "survey/HeaderPanel.h"
#include "survey/ItemsPage.h"
#include "survey/PeriodsPage.h"

#include "db/Query.h"
#include "host/data/DBGrid.h"
#include "host/controls/Edits.h"
#include "host/core/Failures.h"

#include <QApplication>

using hostfw::TDataSetState;

class SurveyPeriodTest : public SurveyTest {
protected:
    // Starts a new period for the patient and types its dates as the grid would.
    void addPeriod(const QString& patient, const QString& start, const QString& end) {
        if (!screen() || screen()->header()->edtCdPaciente->Text() != patient) openFor("0001", patient, "");
        dialogs_->clear();
        screen()->sbtIncluirClick();
        ASSERT_EQ(screen()->periods()->cdsInqPaci->State(), TDataSetState::dsInsert);
        screen()->periods()->cdsInqPaciDTINIINQU->SetText(start);
        screen()->periods()->cdsInqPaciDTFININQU->SetText(end);
        hostfw::guard([&] { screen()->sbtConfirmarClick(); });
        processEvents();
    }
    // Periods the server holds for the patient.
    int storedPeriods(const QString& patient) {
        auto session = db::openSession(db_->url());
        return static_cast<int>(*db::scalarNumber(*session, "SELECT COUNT(*) AS N FROM INQUERPACI WHERE CDPACIENTE = :P",
                                                  {{"P", patient.toStdString()}}));
    }
};

TEST_F(SurveyPeriodTest, AFirstPeriodMayStartAnyDayAndLastASingleDay) {
    addPeriod("000000000003", "10/01/2020", "10/01/2020");
    EXPECT_TRUE(dialogs_->shown.empty()) << dialogs_->lastText().toStdString();
    EXPECT_EQ(screen()->periods()->cdsInqPaci->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(screen()->periods()->cdsInqPaci->ChangeCount(), 0) << "sent and merged";
    EXPECT_EQ(storedPeriods("000000000003"), 1);
    EXPECT_TRUE(screen()->pgcPadrao->isTabEnabled(1)) << "the items page opens once a period exists";
    EXPECT_EQ(screen()->periods()->cdsInqPaciDTNAVIGATOR->AsString(), QString("10/01/2020 - 10/01/2020"));
}

TEST_F(SurveyPeriodTest, ANewPeriodMayStartOnTheLastEndButNotBefore) {
    addPeriod("000000000001", "05/12/2026", "08/12/2026");
    EXPECT_EQ(shownText(), QString("Data cadastrada em outro período."));
    EXPECT_EQ(screen()->periods()->cdsInqPaci->State(), TDataSetState::dsInsert) << "the period stays for correction";
    EXPECT_EQ(storedPeriods("000000000001"), 1);

    screen()->periods()->cdsInqPaciDTINIINQU->SetText("06/12/2026");
    dialogs_->clear();
    hostfw::guard([&] { screen()->sbtConfirmarClick(); });
    EXPECT_TRUE(dialogs_->shown.empty()) << dialogs_->lastText().toStdString();
    EXPECT_EQ(storedPeriods("000000000001"), 2);
}

TEST_F(SurveyPeriodTest, DatesAreCheckedInOrder) {
    addPeriod("000000000003", "//", "10/01/2027");
    EXPECT_EQ(shownText(), QString("Data inicial deve ser informada.")) << "separators only clear the date";
    screen()->periods()->cdsInqPaciDTINIINQU->SetText("12/01/2027");
    screen()->periods()->cdsInqPaciDTFININQU->SetText("--");
    hostfw::guard([&] { screen()->sbtConfirmarClick(); });
    EXPECT_EQ(shownText(), QString("Data final deve ser informada."));
    screen()->periods()->cdsInqPaciDTFININQU->SetText("10/01/2027");
    hostfw::guard([&] { screen()->sbtConfirmarClick(); });
    EXPECT_EQ(shownText(), QString("Data inicial deve ser menor ou igual a data final."));
    EXPECT_EQ(screen()->periods()->dbgInquerito->SelectedField(), screen()->periods()->cdsInqPaciDTINIINQU);
    EXPECT_EQ(storedPeriods("000000000003"), 0);
}

TEST_F(SurveyPeriodTest, AStoredPeriodCannotBeEdited) {
    openFor("0001", "000000000001", "");
    dialogs_->clear();
    hostfw::guard([&] { screen()->periods()->cdsInqPaci->Edit(); });
    EXPECT_EQ(screen()->periods()->cdsInqPaci->State(), TDataSetState::dsBrowse);
    EXPECT_TRUE(dialogs_->shown.empty()) << "refused silently";
}

TEST_F(SurveyPeriodTest, DeletingTheLastPeriodEmptiesTheGridAndClosesTheItemsPage) {
    openFor("0001", "000000000002", "");
    ASSERT_TRUE(screen()->pgcPadrao->isTabEnabled(1));
    dialogs_->confirmations.push_back(false);
    screen()->sbtExcluirClick();
    EXPECT_EQ(screen()->periods()->cdsInqPaci->RecordCount(), 1) << "No keeps the period";
    EXPECT_EQ(dialogs_->shown.back().text, QString("Confirma exclusão?"));

    screen()->sbtExcluirClick();
    EXPECT_TRUE(screen()->periods()->cdsInqPaci->IsEmpty());
    EXPECT_FALSE(screen()->pgcPadrao->isTabEnabled(1));
    EXPECT_FALSE(screen()->mnuPadrao->isEnabled());
    EXPECT_FALSE(enabled("mnuExcluir"));
    EXPECT_EQ(storedPeriods("000000000002"), 0);
}

TEST_F(SurveyPeriodTest, APeriodTheServerRefusesIsUndoneOnTheScreen) {
    openFor("0001", "000000000003", "");
    // Another user stored a period starting that day meanwhile.
    {
        auto session = db::openSession(db_->url());
        db::execute(*session,
                    "INSERT INTO INQUERPACI (CDFILIAL, CDPACIENTE, DTINIINQU, DTFININQU) "
                    "VALUES ('0001', '000000000003', '2027-02-01', '2027-02-01')",
                    {});
    }
    addPeriod("000000000003", "01/02/2027", "03/02/2027");
    ASSERT_FALSE(dialogs_->shown.empty());
    EXPECT_EQ(dialogs_->shown.back().kind, hostfw::DialogKind::Error);
    EXPECT_EQ(screen()->periods()->cdsInqPaci->State(), TDataSetState::dsBrowse);
    EXPECT_TRUE(screen()->periods()->cdsInqPaci->IsEmpty()) << "the refused period disappears";
    EXPECT_EQ(screen()->periods()->cdsInqPaci->ChangeCount(), 0);
}

// The seams between the survey screen's panels: one context, published once
// per real change; each page reacts only to the part it depends on.
#include "SurveyItemsFixture.h"
#include "survey/HeaderPanel.h"
#include "survey/ItemsPage.h"
#include "survey/PeriodsPage.h"
#include "survey/SurveyContextHolder.h"

#include <QSignalSpy>

#include <stdexcept>

using survey::SurveyContext;
using survey::SurveyContextHolder;

TEST(SurveyContextHolder, AChangeIsHeardOnceAndAnUnchangedContextNotAtAll) {
    SurveyContextHolder holder;
    QSignalSpy spy(&holder, &SurveyContextHolder::contextChanged);
    holder.setPatient("0001", "000000000001", "Maria");
    holder.setPatient("0001", "000000000001", "Maria");
    EXPECT_EQ(spy.count(), 1);
    holder.setPeriod(QDate(2026, 11, 30), QDate(2026, 12, 6));
    holder.setService("00001");
    holder.setDay(QDate(2026, 12, 1));
    holder.publish(holder.context());
    EXPECT_EQ(spy.count(), 4);
    const auto heard = spy.last().at(0).value<SurveyContext>();
    EXPECT_EQ(heard.patient, "000000000001");
    EXPECT_EQ(heard.day, QDate(2026, 12, 1));
    EXPECT_EQ(heard.service, "00001");
}

TEST(SurveyContextHolder, AFailingListenerLeavesThePreviousContextSoTheChangeIsPublishedAgain) {
    SurveyContextHolder holder;
    holder.setPatient("0001", "000000000001", QString());
    bool fail = true;
    int heard = 0;
    QObject::connect(&holder, &SurveyContextHolder::contextChanged, [&](const SurveyContext&) {
        ++heard;
        if (fail) throw std::runtime_error("server down");
    });
    EXPECT_THROW(holder.setPatient("0001", "000000000002", QString()), std::runtime_error);
    EXPECT_EQ(holder.context().patient, "000000000001");
    fail = false;
    holder.setPatient("0001", "000000000002", QString());
    EXPECT_EQ(heard, 2) << "the same change is tried again";
    EXPECT_EQ(holder.context().patient, "000000000002");
}

class SurveyPanelsTest : public SurveyItemsTest {};

TEST_F(SurveyPanelsTest, PeriodsAreReadOncePerPatientAndNotForServiceOrDay) {
    survey::PeriodsPage* periods = screen()->periods();
    SurveyContextHolder* holder = screen()->contextHolder();
    QSignalSpy loads(periods, &survey::PeriodsPage::periodsLoaded);
    QSignalSpy changes(holder, &SurveyContextHolder::contextChanged);

    // Service and day change the context, not the patient.
    enterDay("1", kFirstDay);
    EXPECT_GE(changes.count(), 2);
    EXPECT_EQ(loads.count(), 0);
    const int before = changes.count();
    holder->publish(holder->context());
    EXPECT_EQ(changes.count(), before) << "an unchanged context is not published";

    // Back in the header and out again with the same patient: read once.
    focus(screen()->header()->edtCdPaciente);
    EXPECT_FALSE(holder->context().periodStart.isValid()) << "in the header no patient is chosen";
    EXPECT_TRUE(periods->cdsInqPaci->IsEmpty());
    focus(periods->dbgInquerito);
    EXPECT_EQ(loads.count(), 1);
    EXPECT_EQ(holder->context().patient, "000000000001");
    EXPECT_EQ(holder->context().periodStart, kFirstDay);
    EXPECT_TRUE(dialogs_->shown.empty()) << dialogs_->lastText().toStdString();
}

TEST_F(SurveyPanelsTest, ItemsOfAnotherPeriodAreDropped) {
    enterDay("1", kFirstDay);
    ASSERT_EQ(items()->RecordCount(), 4);
    SurveyContextHolder* holder = screen()->contextHolder();
    const SurveyContext shown = holder->context();
    // Service and day stay: the items stay.
    holder->setDay(kFirstDay.addDays(1));
    EXPECT_EQ(items()->RecordCount(), 4);
    holder->setPeriod(shown.periodStart.addDays(7), shown.periodEnd.addDays(7));
    EXPECT_TRUE(items()->IsEmpty()) << "the items belonged to the period left";
}

TEST_F(SurveyPanelsTest, APostAndADeleteAreAnnouncedOnlyWhenStored) {
    survey::ItemsPage* page = screen()->items();
    QSignalSpy posted(page, &survey::ItemsPage::itemPosted);
    QSignalSpy deleted(page, &survey::ItemsPage::itemDeleted);
    enterDay("2", kEmptyDay, "0715");
    recordRow(0, "0101003", "2", "2");
    postByKeyboard();
    ASSERT_TRUE(dialogs_->shown.empty()) << dialogs_->lastText().toStdString();
    EXPECT_EQ(posted.count(), 1);
    key(Qt::Key_Escape);

    // A refused change is not announced.
    db::execute(hostfw::hostDatabase(),
                "UPDATE ITINQUERPACI SET QTALIMMEDCAS = 5 WHERE CDPACIENTE = '000000000001' AND "
                "CDSERVFILI = '00002' AND DTINQUERITO = '2026-12-02' AND NRSEQUINQUER = '001'",
                {});
    items()->First();
    grid()->SetSelectedField(field("QTALIMMEDCAS"));
    type("3");
    postByKeyboard();
    ASSERT_FALSE(dialogs_->shown.empty());
    EXPECT_EQ(posted.count(), 1);

    // Deleted as the toolbar does it, after the confirmation.
    dialogs_->clear();
    screen()->sbtVerificarClick();
    processEvents();
    ASSERT_EQ(items()->RecordCount(), 1);
    screen()->sbtExcluirClick();
    processEvents();
    EXPECT_EQ(deleted.count(), 1);
    EXPECT_TRUE(stored("00002", kEmptyDay).empty());
}

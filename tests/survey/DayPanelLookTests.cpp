// The day totals under the items grid: what a user sees at the screen's
// default size (every text whole, the grid still showing several rows), the
// bands of the shares, and a refused read.
#include "SurveyItemsFixture.h"
#include "survey/DayPanel.h"

#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QTableWidget>

class DayTotalsLookTest : public SurveyItemsTest {};

TEST_F(DayTotalsLookTest, DayTotalsFitUnderTheGridWithTheirTargets) {
    server_->client()->call("Zep12600.rdmInquerito.SetNecesNutr",
                            {"000000000001", "0001", "2026-11-30", 62, 160, "K", 1.2, 1.0, 30, 1.2, 55, 30, 30});
    enterDay("00003", kFirstDay);
    ASSERT_TRUE(gridHasFocus());
    auto* panel = screen()->findChild<QFrame*>("pnlDia");
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->findChild<QTableWidget*>("tblDiaServicos")->rowCount(), 5);

    QStringList clipped;
    for (QLabel* l : panel->findChildren<QLabel*>())
        if (l->isVisible() && l->contentsRect().width() < l->fontMetrics().horizontalAdvance(l->text()))
            clipped << l->objectName() + ": " + l->text();
    EXPECT_EQ(clipped, QStringList());
    for (QProgressBar* bar : panel->findChildren<QProgressBar*>())
        EXPECT_TRUE(bar->isVisible()) << bar->objectName().toStdString();
    // The grid keeps room for a meal of several items.
    const QTableView* items = grid();
    EXPECT_GE(items->viewport()->height(), 6 * items->verticalHeader()->defaultSectionSize());
    // The focus stays where the user works.
    EXPECT_TRUE(gridHasFocus());
    saveScreenshot("survey-items-daytotals");
}

TEST(DayPanelBands, SharesOfTheTargetFallInThreeBands) {
    using survey::DayPanel;
    EXPECT_EQ(DayPanel::bandOf(0), DayPanel::Band::Below);
    EXPECT_EQ(DayPanel::bandOf(74.99), DayPanel::Band::Below);
    EXPECT_EQ(DayPanel::bandOf(75), DayPanel::Band::Within);
    EXPECT_EQ(DayPanel::bandOf(110), DayPanel::Band::Within);
    EXPECT_EQ(DayPanel::bandOf(110.01), DayPanel::Band::Above);
}

// A read the server refuses is told in the panel, not in a message box over
// the item just saved; the next good read shows the day again.
TEST_F(DayTotalsLookTest, ARefusedReadIsToldInThePanel) {
    enterDay("00003", kFirstDay);
    auto* panel = survey::dayPanelOf(screen());
    ASSERT_NE(panel, nullptr);
    auto* title = panel->findChild<QLabel*>("lblDiaTitulo");
    ASSERT_EQ(title->text(), "Totais do dia 30/11/2026");
    const QString shownBefore = shownText();

    survey::SurveyContext gone = screen()->surveyContext();
    gone.periodStart = gone.day.addDays(-1);  // a period that was never recorded
    panel->refresh(gone);
    EXPECT_EQ(title->text(), QString::fromUtf8("Totais do dia indisponíveis"));
    EXPECT_EQ(title->toolTip(), QString::fromUtf8("Período de inquérito não cadastrado."));
    EXPECT_EQ(panel->findChild<QLabel*>("lblDiaEnergia")->text(), QString::fromUtf8("–"));
    EXPECT_EQ(shownText(), shownBefore);

    panel->showDay(screen()->surveyContext());
    EXPECT_EQ(title->text(), "Totais do dia 30/11/2026");
}

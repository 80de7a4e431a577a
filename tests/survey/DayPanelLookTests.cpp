// What a user sees of the day totals under the items grid at the screen's
// default size: every text whole, the grid still showing several rows.
#include "SurveyItemsFixture.h"

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

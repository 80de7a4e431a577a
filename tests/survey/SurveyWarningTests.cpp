// The marks of the items grid: restriction, intolerance and interaction,
// drawn from the warning sets, explained by tooltips, and the interaction
// screen opened from the mark.
#include "SurveyItemsFixture.h"
#include "survey/HeaderPanel.h"
#include "survey/ItemsPage.h"
#include "survey/PeriodsPage.h"

#include "host/core/Session.h"

#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QToolTip>

namespace {

enum class Seen { Red, Yellow, None };

Seen ballAt(const QImage& image, const QRect& cell) {
    // A point of the ball's body, away from its highlight.
    const QColor c = image.pixelColor(cell.left() + 2 + 10, cell.top() + cell.height() * 10 / 18);
    if (c.red() > 150 && c.green() < 100 && c.blue() < 100) return Seen::Red;
    if (c.red() > 150 && c.green() > 150 && c.blue() < 100) return Seen::Yellow;
    return Seen::None;
}

bool blisterAt(const QImage& image, const QRect& cell) {
    const QColor c = image.pixelColor(cell.left() + 5 + 5, cell.top() + cell.height() * 7 / 16);
    return c.red() >= 245 && c.green() >= 245 && c.blue() >= 245;
}

}  // namespace

class SurveyWarningsTest : public SurveyItemsTest {
protected:
    QImage paint() {
        grid()->viewport()->repaint();
        processEvents();
        return grid()->viewport()->grab().toImage();
    }
    QRect cell(int row, const char* fieldName) const {
        return grid()->visualRect(grid()->model()->index(row, grid()->ColumnIndex(fieldName)));
    }
    int rowOf(const QString& code) const {
        const int index = field("CDPRATPROD")->Index();
        for (int r = 0; r < items()->RecordCount(); ++r)
            if (items()->ValueAt(r, index).toString() == code) return r;
        return -1;
    }
    static bool inSet(hostfw::TClientDataSet* set, const char* fieldName, const QString& code) {
        const int index = set->FieldByName(fieldName)->Index();
        for (int r = 0; r < set->RecordCount(); ++r)
            if (set->ValueAt(r, index).toString().compare(code, Qt::CaseInsensitive) == 0) return true;
        return false;
    }
    std::vector<QVariantList> opened;
    void SetUp() override {
        SurveyItemsTest::SetUp();
        // Wide enough for every column and tall enough for every row above
        // the day totals, so the marks can be looked at.
        screen()->parentWidget()->resize(900, 600);
        hostfw::session().openScreen = [this](const QString& code, const QVariantList& values) {
            EXPECT_EQ(code, "ZEP12650");
            opened.push_back(values);
        };
    }
};

TEST_F(SurveyWarningsTest, MarksFollowTheSetsRestrictionWinningOverIntolerance) {
    enterDay("1", kFirstDay);
    ASSERT_EQ(items()->RecordCount(), 4);
    const QImage image = paint();
    ASSERT_TRUE(screen()->items()->cdsProdutoRest->Active()) << "fetched at the first paint";
    ASSERT_TRUE(inSet(screen()->items()->cdsProdutoIntol, "CDPRODUTO", "0701005")) << "the demo patient does not tolerate milk";
    ASSERT_TRUE(inSet(screen()->items()->cdsVerMedica, "CDPRODUTO", "0701005")) << "and takes a drug that clashes with it";
    int marked = 0;
    for (int row = 0; row < items()->RecordCount(); ++row) {
        const QString code = items()->ValueAt(row, field("CDPRATPROD")->Index()).toString();
        const Seen expected = inSet(screen()->items()->cdsProdutoRest, "CDPRODUTO", code)    ? Seen::Red
                              : inSet(screen()->items()->cdsProdutoIntol, "CDPRODUTO", code) ? Seen::Yellow
                                                                                    : Seen::None;
        EXPECT_EQ(ballAt(image, cell(row, "NMPRATPROD")), expected) << code.toStdString();
        EXPECT_EQ(blisterAt(image, cell(row, "IDVERMEDICA")), inSet(screen()->items()->cdsVerMedica, "CDPRODUTO", code))
            << code.toStdString();
        marked += expected != Seen::None;
    }
    EXPECT_GT(marked, 0);

    // The selected name cell takes the selection colours, the others the
    // tooltip background while the grid has the focus.
    grid()->SetSelectedField(field("NMPRATPROD"));
    items()->MoveTo(2);
    const QImage colours = paint();
    const auto background = [&](int row) {
        const QRect r = cell(row, "NMPRATPROD");
        return colours.pixelColor(r.right() - 2, r.top() + 2);
    };
    EXPECT_EQ(background(1), grid()->palette().color(QPalette::Highlight));
    EXPECT_EQ(background(0), grid()->palette().color(QPalette::ToolTipBase));
    EXPECT_EQ(background(3), grid()->palette().color(QPalette::ToolTipBase));

    // Lunch: a dish (chicken) carries the medicine mark.
    enterDay("3", kFirstDay);
    const QImage lunch = paint();
    ASSERT_TRUE(inSet(screen()->items()->cdsVerMedicaPrato, "CDPRATO", "01001"));
    EXPECT_TRUE(blisterAt(lunch, cell(rowOf("01001"), "IDVERMEDICA")));
    EXPECT_FALSE(blisterAt(lunch, cell(rowOf("02001"), "IDVERMEDICA")));

    // A dish restricted and not tolerated shows the red mark only.
    enterDay("2", kEmptyDay);
    recordRow(1, "05002", "2", "1");
    postByKeyboard();
    key(Qt::Key_Escape);
    ASSERT_TRUE(dialogs_->shown.empty()) << shownText().toStdString();
    const QImage dishes = paint();
    ASSERT_TRUE(inSet(screen()->items()->cdsPratoRest, "CDPRATO", "05002"));
    ASSERT_TRUE(inSet(screen()->items()->cdsPratoIntol, "CDPRATO", "05002"));
    EXPECT_EQ(ballAt(dishes, cell(rowOf("05002"), "NMPRATPROD")), Seen::Red);
}

TEST_F(SurveyWarningsTest, TooltipsAndLegendExplainTheMarks) {
    enterDay("1", kFirstDay);
    paint();
    const int milk = rowOf("0701005");
    ASSERT_GE(milk, 0);
    const QRect name = cell(milk, "NMPRATPROD");
    QHelpEvent onBall(QEvent::ToolTip, QPoint(name.left() + 8, name.center().y()), QPoint());
    QApplication::sendEvent(grid()->viewport(), &onBall);
    EXPECT_EQ(QToolTip::text(), QString("Intolerância à lactose")) << "the reason, not only the mark's meaning";
    const QRect mark = cell(milk, "IDVERMEDICA");
    QHelpEvent onBlister(QEvent::ToolTip, mark.center(), QPoint());
    QApplication::sendEvent(grid()->viewport(), &onBlister);
    EXPECT_TRUE(QToolTip::text().contains(QString("Cálcio"))) << QToolTip::text().toStdString();
    auto* legend = screen()->findChild<QWidget*>("panLegenda");
    ASSERT_NE(legend, nullptr);
    QStringList texts;
    for (auto* label : legend->findChildren<QLabel*>()) texts << label->text();
    EXPECT_TRUE(texts.contains(QString("Restrição alimentar da dieta")));
    EXPECT_TRUE(texts.contains(QString("Intolerância do paciente")));
    saveScreenshot("survey-items-marks");
}

TEST_F(SurveyWarningsTest, TheMarkOpensTheInteractionScreenOnlyWithInteractions) {
    enterDay("1", kFirstDay);
    const int milk = rowOf("0701005");
    const int bread = rowOf("0102006");
    ASSERT_GE(milk, 0);
    ASSERT_GE(bread, 0);
    QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, cell(bread, "IDVERMEDICA").center());
    QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, cell(milk, "NMPRATPROD").center());
    EXPECT_TRUE(opened.empty()) << "no interaction, or another column";
    QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, cell(milk, "IDVERMEDICA").center());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].value(0).toString(), "000000000001");
    EXPECT_EQ(opened[0].value(1).toString(), "0701005");
    EXPECT_EQ(opened[0].value(2).toString(), "") << "no dish owner for a product";
    EXPECT_EQ(opened[0].value(3).toString(), "0001");
    EXPECT_EQ(opened[0].value(4).toDateTime().date(), kFirstDay);
    // Space in the interaction column acts as the double click.
    key(Qt::Key_Space);
    EXPECT_EQ(opened.size(), 2u);
}

TEST_F(SurveyWarningsTest, AFailedFetchIsShownOnceAndPaintsNoStaleMarks) {
    enterDay("1", kFirstDay);
    paint();
    ASSERT_TRUE(screen()->items()->cdsProdutoIntol->Active());
    server_.reset();  // the server goes away
    dialogs_->clear();
    hostfw::guard([&] { screen()->sbtVerificarClick(); });  // the items stay; the sets are asked again
    processEvents();
    ASSERT_EQ(dialogs_->shown.size(), 1u);
    EXPECT_TRUE(dialogs_->lastText().contains(QStringLiteral("não responde"))) << dialogs_->lastText().toStdString();
    QImage image = paint();
    image = paint();
    processEvents();
    EXPECT_EQ(dialogs_->shown.size(), 1u) << "one message for the click, none per paint";
    EXPECT_FALSE(screen()->items()->cdsProdutoIntol->Active());
    EXPECT_EQ(ballAt(image, cell(rowOf("0701005"), "NMPRATPROD")), Seen::None);
}

// What a user sees of the survey screen at its default size and font: no
// clipped text, a periods grid that uses its page; screenshots of each state.
#include "SurveyFixture.h"
#include "survey/HeaderPanel.h"
#include "survey/ItemsPage.h"
#include "survey/PeriodsPage.h"

#include "host/controls/BtnPesquisa.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/controls/Lookups.h"
#include "host/controls/MaskEdit.h"
#include "host/data/DBGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTableView>

namespace {

// Texts of labels and line edits of a container that do not fit their widget.
QStringList clippedTexts(QWidget* container) {
    QStringList out;
    for (QLabel* l : container->findChildren<QLabel*>()) {
        if (!l->isVisible() || l->text().isEmpty() || l->wordWrap()) continue;
        if (l->contentsRect().width() < l->fontMetrics().horizontalAdvance(l->text()))
            out << l->objectName() + ": " + l->text();
    }
    for (QLineEdit* e : container->findChildren<QLineEdit*>()) {
        if (!e->isVisible() || e->text().trimmed().isEmpty()) continue;
        // The room for text inside the frame and the text margins.
        const int room = e->width() - 8;
        if (room < e->fontMetrics().horizontalAdvance(e->text()))
            out << e->objectName() + ": " + e->text();
    }
    return out;
}

}  // namespace

class SurveyLookTest : public SurveyTest {
protected:
    void SetUp() override {
        SurveyTest::SetUp();
        openFor("0001", "000000000001", "");
        ASSERT_NE(screen(), nullptr);
    }
    QWidget* frame() const { return screen()->parentWidget(); }
};

TEST_F(SurveyLookTest, HeaderPeriodsAndDayTextsAreNotClipped) {
    EXPECT_EQ(clippedTexts(screen()->header()), QStringList());
    EXPECT_EQ(clippedTexts(screen()->panMenu), QStringList());
    EXPECT_EQ(clippedTexts(screen()->panNavigator), QStringList());
    saveScreenshot("survey-periods-patient");

    screen()->mnuPadraoClick();
    processEvents();
    EXPECT_EQ(screen()->items()->depInquerito->Text(), QString("30/11/2026"));
    const QLineEdit* date = screen()->items()->depInquerito->Edit();
    const int visible = screen()->items()->depInquerito->CalendarButton()->x() - date->x();
    EXPECT_GE(visible, date->fontMetrics().horizontalAdvance("30/11/2026") + 6) << "the date is not under the button";
    saveScreenshot("survey-items-day");
}

TEST_F(SurveyLookTest, ThePeriodsGridUsesItsPage) {
    hostfw::TDBGrid* grid = screen()->periods()->dbgInquerito;
    int used = 0;
    for (int c = 0; c < grid->horizontalHeader()->count(); ++c) {
        const int width = grid->horizontalHeader()->sectionSize(c);
        used += width;
        const QString title = grid->model()->headerData(c, Qt::Horizontal).toString();
        EXPECT_GE(width, grid->fontMetrics().horizontalAdvance(title) + 8) << title.toStdString();
    }
    EXPECT_GE(used, grid->viewport()->width() * 8 / 10) << "of " << grid->viewport()->width() << " pixels";

    screen()->sbtIncluirClick();
    processEvents();
    saveScreenshot("survey-period-new");
    screen()->sbtCancelarClick();
}

TEST_F(SurveyLookTest, ThePatientListShowsCodeAndName) {
    hostfw::LookupRequest seen;
    dialogs_->onLookup = [&](const hostfw::LookupRequest& request) { seen = request; };
    screen()->header()->btnPesqPaciente->Click();
    processEvents();
    ASSERT_NE(seen.dataSet, nullptr);
    hostfw::LookupWindow window(seen);
    window.show();
    processEvents();
    QStringList titles;
    for (int c = 0; c < window.table()->model()->columnCount(); ++c)
        titles << window.table()->model()->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(titles, (QStringList{"Código", "Nome"}));
    const QString dir = QCoreApplication::applicationDirPath() + "/screenshots";
    window.grab().save(dir + "/lookup-paciente.png");
}

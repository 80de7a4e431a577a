// Through the desktop host: a new user opens the demo patient's survey,
// copies the first day's breakfast to the next day and finds it in that
// day's items grid.
#include "RealModuleHost.h"
#include "ServerFixture.h"
#include "hostapp/MainWindow.h"
#include "hostapp/ModuleLoader.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QMdiArea>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace hostapp;

namespace {

class CopyThroughHost : public RealModuleHostTest {
protected:
    void SetUp() override {
        RealModuleHostTest::SetUp();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    }

    // Each key goes where the focus is at that moment, as the user's keys do.
    static void type(const QString& text) {
        for (QChar c : text) QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    }
    static void tab() {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QApplication::processEvents();
    }
    static QString cells(QAbstractItemModel* model, int row) {
        QString text;
        for (int c = 0; c < model->columnCount(); ++c) text += model->index(row, c).data().toString() + "|";
        return text;
    }

};

}  // namespace

TEST_F(CopyThroughHost, ANewUserCopiesBreakfastToTheNextDayAndSeesItInThatDaysGrid) {
    PatientsWindow* patients = main->openPatients();
    ASSERT_TRUE(patients->selectPatient("000000000001"));
    patients->findChild<QPushButton*>("btnAbrirInquerito")->click();
    QApplication::processEvents();
    QWidget* survey = main->mdiArea()->findChild<QWidget*>("frmInquerito");
    ASSERT_NE(survey, nullptr);

    // The items page; the service and then the next day, by the keyboard.
    QTabBar* tabs = survey->findChild<QTabWidget*>("pgcPadrao")->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget()->objectName(), QString("edtCdServico"));
    type("1");
    tab();
    tab();
    type("01122026");
    // The day's grid: three items of that breakfast.
    auto* grid = survey->findChild<QTableView*>("dbgProdPrat");
    ASSERT_NE(grid, nullptr);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QApplication::processEvents();
    ASSERT_EQ(grid->model()->rowCount(), 3);

    bool copied = false;
    QTimer::singleShot(0, [&] {
        auto* copy = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!copy || copy->objectName() != "frmCopiarInq") {
            ADD_FAILURE() << "modal: " << (copy ? copy->objectName().toStdString() : "none");
            return;
        }
        // Offscreen, a window comes up without being activated as a window manager would.
        QApplication::setActiveWindow(copy);
        ASSERT_TRUE(QTest::qWaitForWindowActive(copy));
        EXPECT_EQ(copy->windowTitle(), QString("Copiar Inquérito"));
        // The origin date is the period's first day already; breakfast on both sides.
        EXPECT_EQ(QApplication::focusWidget()->parentWidget()->objectName(), QString("depOrigem"));
        tab();
        type("1");
        tab();
        type("01122026");
        tab();
        type("1");
        tab();
        dialogs->clear();
        QTest::mouseClick(copy->findChild<QToolButton*>("sbtConfirma"), Qt::LeftButton);
        QApplication::processEvents();
        copied = dialogs->lastText() == QString("A cópia do inquérito foi realizada com sucesso.");
        EXPECT_TRUE(copied) << dialogs->lastText().toStdString();
        const QString dir = QStringLiteral(COPY_TEST_OUTPUT_DIR "/screenshots");
        QDir().mkpath(dir);
        EXPECT_TRUE(copy->grab().save(dir + "/host-copy-screen.png"));
        QTest::mouseClick(copy->findChild<QToolButton*>("sbtCancel"), Qt::LeftButton);
    });
    QTest::mouseClick(survey->findChild<QToolButton*>("sbtCopiarInq"), Qt::LeftButton);
    QApplication::processEvents();
    ASSERT_TRUE(copied) << dialogs->lastText().toStdString();

    // Back on the survey: the day's grid shows the copied breakfast once entered again.
    QApplication::setActiveWindow(main);
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QApplication::processEvents();
    ASSERT_EQ(grid->model()->rowCount(), 7) << "three of that day and four copied";
    QStringList rows;
    for (int r = 0; r < grid->model()->rowCount(); ++r) rows << cells(grid->model(), r);
    for (const char* food : {"Leite, de vaca, integral", "Pão, trigo, francês", "Mamão, Papaia, cru"})
        EXPECT_TRUE(rows.join('\n').contains(QString::fromUtf8(food))) << food;
    EXPECT_TRUE(dialogs->shown.size() == 1) << dialogs->lastText().toStdString();
    EXPECT_TRUE(main->grab().save(QStringLiteral(COPY_TEST_OUTPUT_DIR "/screenshots/host-copy-grid.png")));
}

// Mouse clicks on buttons that take no focus, in an MDI child and in a modal
// screen: the focus stays in the field and no exit check runs.
#include "host/controls/BtnPesquisa.h"
#include "host/controls/Buttons.h"
#include "host/core/Dialogs.h"
#include "host/core/Failures.h"
#include "host/core/Focus.h"
#include "host/screens/ModalScreen.h"
#include "host/screens/PadraoGrid.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTest>
#include <QVBoxLayout>

using namespace hostfw;

namespace {

// A maintenance screen whose Confirm records where the focus was.
class ProbeScreen : public TfrmPadraoGrid {
public:
    ProbeScreen() {
        field = new QLineEdit(body());
        other = new QLineEdit(body());
        flat = new TButtonFlat(body(), "flat", "Flat");
        search = new TBtnPesquisa(body(), "search");
        for (QWidget* w : std::initializer_list<QWidget*>{field, other, flat, search}) body()->layout()->addWidget(w);
        mnuConfirmar->setEnabled(true);
    }
    void sbtConfirmarClick() override { focusAtClick = QApplication::focusWidget(); }
    QLineEdit* field;
    QLineEdit* other;
    TButtonFlat* flat;
    TBtnPesquisa* search;
    QWidget* focusAtClick = nullptr;
};

class ButtonClickFocusTest : public ::testing::Test {
protected:
    void SetUp() override {
        dialogs = &useScriptedDialogs();
        dialogs->clear();
        auto* mdi = new QMdiArea(&main);
        main.setCentralWidget(mdi);
        main.resize(800, 600);
        screen = new ProbeScreen();
        sub = mdi->addSubWindow(screen);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        main.show();
        main.activateWindow();
        QApplication::setActiveWindow(&main);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
        sub->show();
        mdi->setActiveSubWindow(sub);
        QApplication::processEvents();
        screen->field->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), screen->field);
        Focus::instance().setOnExit(screen->field, [this] {
            ++exits;
            if (refuseExit) throw EHostError("Paciente deve ser informado.");
        });
    }

    QMainWindow main;
    QPointer<ProbeScreen> screen;
    QPointer<QMdiSubWindow> sub;
    ScriptedDialogs* dialogs = nullptr;
    int exits = 0;
    bool refuseExit = false;
};

}  // namespace

TEST_F(ButtonClickFocusTest, ClicksOnToolbarFlatAndSearchButtonsLeaveTheFocusInTheField) {
    QWidget* atFlat = nullptr;
    QWidget* atSearch = nullptr;
    screen->flat->OnClick = [&] { atFlat = QApplication::focusWidget(); };
    screen->search->OnClick = [&] { atSearch = QApplication::focusWidget(); };
    refuseExit = true;

    QTest::mouseClick(screen->sbtConfirmar, Qt::LeftButton);
    QTest::mouseClick(screen->flat, Qt::LeftButton);
    QTest::mouseClick(screen->search, Qt::LeftButton);
    QTest::mouseClick(screen->dbnPadrao->findChild<QToolButton*>("nbNext"), Qt::LeftButton);
    QApplication::processEvents();

    EXPECT_EQ(screen->focusAtClick, screen->field) << "the handler runs with the focus in the field";
    EXPECT_EQ(atFlat, screen->field);
    EXPECT_EQ(atSearch, screen->field);
    EXPECT_EQ(QApplication::focusWidget(), screen->field);
    EXPECT_EQ(exits, 0);
    EXPECT_TRUE(dialogs->shown.empty()) << dialogs->lastText().toStdString();

    // The same through the window, as the platform delivers a click.
    screen->focusAtClick = nullptr;
    const QPoint at = screen->sbtConfirmar->mapTo(&main, screen->sbtConfirmar->rect().center());
    QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {}, at);
    QApplication::processEvents();
    EXPECT_EQ(screen->focusAtClick, screen->field);
    EXPECT_EQ(exits, 0);

    // A click into another field is a move: the exit check runs and may refuse it.
    QTest::mouseClick(screen->other, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(QApplication::focusWidget(), screen->field);
    refuseExit = false;
    QTest::mouseClick(screen->other, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), screen->other);
}

// Another MDI child is another screen: clicking into it runs no exit check of
// the field left behind, so none can refuse it; coming back enters the field
// again, and a move inside the screen is still checked.
TEST_F(ButtonClickFocusTest, GoingToAnotherScreenRunsNoExitCheck) {
    auto* otherScreen = new ProbeScreen();
    QMdiSubWindow* otherSub = main.findChild<QMdiArea*>()->addSubWindow(otherScreen);
    otherSub->show();
    QApplication::processEvents();
    int enters = 0;
    Focus::instance().setOnEnter(screen->field, [&] { ++enters; });
    refuseExit = true;

    QTest::mouseClick(otherScreen->field, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), otherScreen->field);
    EXPECT_EQ(exits, 0);

    QTest::mouseClick(screen->field, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), screen->field);
    EXPECT_EQ(enters, 1);

    QTest::mouseClick(screen->other, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(exits, 1) << "a move inside the screen is checked";
    EXPECT_EQ(QApplication::focusWidget(), screen->field);
    EXPECT_EQ(dialogs->shown.size(), 1u);
}

TEST_F(ButtonClickFocusTest, ClosingTheScreenRunsNoExitCheck) {
    refuseExit = true;
    QTest::mouseClick(screen->sbtFechar, Qt::LeftButton);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_TRUE(screen.isNull() || !screen->isVisible()) << "the screen closed";
    EXPECT_EQ(exits, 0);
    EXPECT_TRUE(dialogs->shown.empty()) << dialogs->lastText().toStdString();
}

TEST_F(ButtonClickFocusTest, ClicksOnSideButtonsOfAModalScreenLeaveTheFocusInTheField) {
    struct ModalProbe : TModalScreen {
        using TModalScreen::TModalScreen;
        using TModalScreen::addSideButton;
    };
    auto* modal = new ModalProbe(&main);
    auto* field = new QLineEdit(modal->grbDadosRel);
    new QVBoxLayout(modal->grbDadosRel);
    modal->grbDadosRel->layout()->addWidget(field);
    int exitsInModal = 0;
    QWidget* atClick = nullptr;
    Focus::instance().setOnExit(field, [&] { ++exitsInModal; });
    TButtonFlat* button =
        modal->addSideButton("sbtConfirma", "Confirmar", QIcon(), [&] { atClick = QApplication::focusWidget(); });
    modal->show();
    modal->activateWindow();
    QApplication::setActiveWindow(modal);
    ASSERT_TRUE(QTest::qWaitForWindowActive(modal));
    field->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();

    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(atClick, field);
    EXPECT_EQ(exitsInModal, 0);
    modal->close();
    QApplication::processEvents();
}

// Enter and exit of controls and containers, and the veto of a failing exit.
#include "host/core/Dialogs.h"
#include "host/core/Failures.h"
#include "host/core/Focus.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

using namespace hostfw;

namespace {

class FocusTest : public ::testing::Test {
protected:
    void SetUp() override {
        Focus::instance();
        dialogs = &useScriptedDialogs();
        window.setObjectName("window");
        auto* layout = new QVBoxLayout(&window);
        panel = new QWidget(&window);
        panel->setObjectName("panel");
        auto* inner = new QVBoxLayout(panel);
        a = new QLineEdit(panel);
        b = new QLineEdit(panel);
        inner->addWidget(a);
        inner->addWidget(b);
        layout->addWidget(panel);
        c = new QLineEdit(&window);
        layout->addWidget(c);
        window.show();
        window.activateWindow();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        move(a);
        log.clear();
    }
    void move(QWidget* w) {
        w->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
    }
    void record(QWidget* w, const QString& name) {
        Focus::instance().setOnEnter(w, [this, name] { log << "enter " + name; });
        Focus::instance().setOnExit(w, [this, name] { log << "exit " + name; });
    }

    QWidget window;
    QWidget* panel;
    QLineEdit *a, *b, *c;
    QStringList log;
    ScriptedDialogs* dialogs = nullptr;
};

}  // namespace

TEST_F(FocusTest, ContainersAreExitedAndEnteredOnlyWhenTheFocusCrossesThem) {
    record(a, "a");
    record(b, "b");
    record(c, "c");
    record(panel, "panel");
    move(b);
    EXPECT_EQ(log, (QStringList{"exit a", "enter b"}));
    log.clear();
    move(c);
    EXPECT_EQ(log, (QStringList{"exit b", "exit panel", "enter c"}));
    log.clear();
    move(a);
    EXPECT_EQ(log, (QStringList{"exit c", "enter panel", "enter a"}));
}

TEST_F(FocusTest, AFailingExitKeepsTheFocusAndStopsTheMove) {
    bool refuse = true;
    QStringList entered;
    Focus::instance().setOnExit(panel, [&] {
        if (refuse) throw EHostError("Paciente deve ser informado.");
    });
    Focus::instance().setOnEnter(c, [&] { entered << "c"; });
    move(c);
    EXPECT_EQ(QApplication::focusWidget(), a);
    EXPECT_TRUE(entered.isEmpty()) << "the move did not happen";
    EXPECT_EQ(dialogs->lastText(), QString("Paciente deve ser informado."));
    refuse = false;
    move(c);
    EXPECT_EQ(QApplication::focusWidget(), c);
    EXPECT_EQ(entered, QStringList{"c"});
}

TEST_F(FocusTest, AFailingExitThatMovedTheFocusLeavesItThere) {
    Focus::instance().setOnExit(a, [&] {
        b->setFocus();
        Abort();
    });
    move(c);
    EXPECT_EQ(QApplication::focusWidget(), b);
    EXPECT_TRUE(dialogs->shown.empty()) << "a silent abort shows nothing";
}

TEST_F(FocusTest, AnotherWindowComingUpIsNoMove) {
    int exits = 0;
    Focus::instance().setOnExit(a, [&] { ++exits; });
    QWidget popup;
    popup.show();
    popup.activateWindow();
    QApplication::setActiveWindow(&popup);
    QApplication::processEvents();
    EXPECT_EQ(exits, 0);
    popup.close();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), a);
    EXPECT_EQ(exits, 0);
}

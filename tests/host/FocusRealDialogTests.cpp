// A refused exit check shown in a real message box keeps the focus in the
// field, for every edit control of the framework, in a plain window and in an
// MDI child. Runs offscreen and, through a test of its own, under Xvfb: the
// message box takes the window's activation, and the window hands its focus
// back only after the exit handler has returned.
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/controls/MaskEdit.h"
#include "host/controls/NumberEdit.h"
#include "host/routines/Consiste.h"
#include "host/core/Dialogs.h"
#include "host/routines/QtDialogs.h"
#include "host/core/Focus.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

using namespace hostfw;

namespace {

enum class Control { Date, Edit, Mask, Number };
enum class Container { Window, MdiChild };

struct Case {
    Control control;
    Container container;
};

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    static const char* controls[] = {"Date", "Edit", "Mask", "Number"};
    return std::string(controls[int(info.param.control)]) +
           (info.param.container == Container::Window ? "InWindow" : "InMdiChild");
}

// Accepts every message box that comes up, recording its text.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer() {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            texts << box->text();
            box->buttons().first()->click();
        });
        timer_.start();
    }
    QStringList texts;

private:
    QTimer timer_;
};

class RealDialogFocus : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        Focus::instance();
        setDialogs(std::make_unique<QtDialogs>());
        auto* form = new QWidget;
        auto* layout = new QVBoxLayout(form);
        field = makeField(form);
        next = new TEdit(form, "next");
        layout->addWidget(field);
        layout->addWidget(next);
        if (GetParam().container == Container::Window) {
            top.reset(form);
        } else {
            auto* main = new QMainWindow;
            auto* area = new QMdiArea(main);
            main->setCentralWidget(area);
            area->addSubWindow(form)->show();
            top.reset(main);
        }
        top->resize(400, 300);
        top->show();
        activate();
        field->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), inner());
        Focus::instance().setOnEnter(next, [this] { ++nextEntered; });
    }
    void TearDown() override {
        top.reset();
        useScriptedDialogs();
    }

    QWidget* makeField(QWidget* parent) {
        switch (GetParam().control) {
        case Control::Date: {
            auto* date = new TDateEditPlus(parent, "depIni");
            date->SetText("31/02/2026");
            Focus::instance().setOnExit(date, [date] { date->CheckValidDate(); });
            refusal = "'31/02/2026' não é uma data válida.";
            return date;
        }
        case Control::Edit:
        case Control::Mask:
        case Control::Number: {
            TEdit* edit = nullptr;
            if (GetParam().control == Control::Edit) edit = new TEdit(parent, "edtCdPaciente");
            else if (GetParam().control == Control::Mask) edit = new TMaskEdit(parent, "edtCdProduto");
            else edit = new TNumberEdit(parent, "edtQtde");
            Focus::instance().setOnExit(edit, [edit] {
                if (edit->text().trimmed().isEmpty()) Consiste::MensErro("Campo deve ser informado.");
            });
            refusal = "Campo deve ser informado.";
            return edit;
        }
        }
        return nullptr;
    }
    QWidget* inner() const { return field->focusProxy() ? field->focusProxy() : field; }

    // What a window manager does when the message box closes.
    void activate() {
        top->activateWindow();
        QApplication::setActiveWindow(top.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(top.get()));
    }

    std::unique_ptr<QWidget> top;
    QWidget* field = nullptr;
    TEdit* next = nullptr;
    QString refusal;
    int nextEntered = 0;
};

}  // namespace

TEST_P(RealDialogFocus, RefusedExitKeepsTheFocusAfterTheBoxCloses) {
    MessageBoxAnswerer answerer;
    QTest::keyClick(inner(), Qt::Key_Tab);
    QTest::qWait(100);
    EXPECT_EQ(answerer.texts, QStringList{refusal});
    // Where the window puts the focus when it is active again.
    EXPECT_EQ(top->focusWidget(), inner());
    activate();
    QTest::qWait(50);
    EXPECT_EQ(QApplication::focusWidget(), inner()) << "the focus moved on after the refusal";
    EXPECT_EQ(nextEntered, 0);
    if (auto* date = qobject_cast<TDateEditPlus*>(field)) EXPECT_EQ(date->Text(), "31/02/2026");

    // Refused again from the same place; then, corrected, the field lets go.
    QTest::keyClick(inner(), Qt::Key_Tab);
    QTest::qWait(100);
    activate();
    QTest::qWait(50);
    EXPECT_EQ(answerer.texts.size(), 2);
    EXPECT_EQ(QApplication::focusWidget(), inner());
    if (auto* date = qobject_cast<TDateEditPlus*>(field))
        date->SetText("28/02/2026");
    else
        static_cast<TEdit*>(field)->setText("12");
    QTest::keyClick(inner(), Qt::Key_Tab);
    QTest::qWait(50);
    EXPECT_EQ(answerer.texts.size(), 2);
    EXPECT_EQ(QApplication::focusWidget(), next);
    EXPECT_EQ(nextEntered, 1);
}

INSTANTIATE_TEST_SUITE_P(Controls, RealDialogFocus,
                         ::testing::Values(Case{Control::Date, Container::Window}, Case{Control::Date, Container::MdiChild},
                                           Case{Control::Edit, Container::Window}, Case{Control::Edit, Container::MdiChild},
                                           Case{Control::Mask, Container::Window}, Case{Control::Mask, Container::MdiChild},
                                           Case{Control::Number, Container::Window},
                                           Case{Control::Number, Container::MdiChild}),
                         caseName);

// Date edit (validity, week days, colour, change events, focus proxy) and
// number edit (pt-BR form, typing, parsing).
#include "host/controls/DateEditPlus.h"
#include "host/core/Dialogs.h"
#include "host/core/Failures.h"
#include "host/core/Focus.h"
#include "host/controls/NumberEdit.h"

#include <QCalendarWidget>
#include <QFrame>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace hostfw;

TEST(ControlsDateEdit, CheckValidDateAcceptsEmptyAndValidRefusesTheRest) {
    ScriptedDialogs& scripted = useScriptedDialogs();
    TDateEditPlus date(nullptr, QStringLiteral("depInquerito"));
    EXPECT_EQ(date.Text(), QStringLiteral("  /  /    "));
    EXPECT_TRUE(date.IsEmpty());
    EXPECT_FALSE(date.Date().isValid());
    EXPECT_NO_THROW(date.CheckValidDate());

    QTest::keyClicks(date.Edit(), QStringLiteral("05032026"));
    EXPECT_EQ(date.Text(), QStringLiteral("05/03/2026"));
    EXPECT_EQ(date.GetDate(), QDate(2026, 3, 5));
    EXPECT_NO_THROW(date.CheckValidDate());
    EXPECT_TRUE(scripted.shown.empty());

    date.SetText(QStringLiteral("31/02/2026"));
    EXPECT_THROW(date.CheckValidDate(), EAbort);
    ASSERT_EQ(scripted.shown.size(), 1u);
    EXPECT_EQ(scripted.shown[0].kind, DialogKind::Error);
    EXPECT_EQ(scripted.shown[0].text, QStringLiteral("'31/02/2026' não é uma data válida."));

    date.SetText(QStringLiteral("12/0 /2026"));
    EXPECT_FALSE(date.IsEmpty());
    EXPECT_THROW(date.CheckValidDate(), EAbort);
    EXPECT_EQ(scripted.lastText(), QStringLiteral("'12/0 /2026' não é uma data válida."));

    date.SetDate(QDate());
    EXPECT_EQ(date.Text(), QStringLiteral("  /  /    "));
}

TEST(ControlsDateEdit, ParsesDayMonthYear) {
    EXPECT_EQ(TDateEditPlus::ParseDate(QStringLiteral("29/02/2028")), QDate(2028, 2, 29));
    EXPECT_EQ(TDateEditPlus::ParseDate(QStringLiteral(" 1/ 3/2026")), QDate(2026, 3, 1));
    EXPECT_FALSE(TDateEditPlus::ParseDate(QStringLiteral("01/03/26")).isValid());
    EXPECT_FALSE(TDateEditPlus::ParseDate(QStringLiteral("29/02/2027")).isValid());
    EXPECT_FALSE(TDateEditPlus::ParseDate(QStringLiteral("01/13/2026")).isValid());
    EXPECT_FALSE(TDateEditPlus::ParseDate(QStringLiteral("01/03/202")).isValid());
    EXPECT_FALSE(TDateEditPlus::ParseDate(QStringLiteral("2026-03-01")).isValid());
}

TEST(ControlsDateEdit, WeekDayNamesAndValidColour) {
    TDateEditPlus date;
    EXPECT_EQ(date.WeekDayNames, (QStringList{"Domingo", "Segunda", "Terça", "Quarta", "Quinta", "Sexta", "Sábado"}));
    date.SetDate(QDate(2026, 3, 1));
    EXPECT_EQ(date.DayName(), QStringLiteral("Domingo"));
    date.SetDate(QDate(2026, 3, 7));
    EXPECT_EQ(date.DayName(), QStringLiteral("Sábado"));
    EXPECT_EQ(date.Edit()->palette().color(QPalette::Text), QColor(Qt::blue));

    date.SetText(QStringLiteral("07/03/2"));
    EXPECT_EQ(date.DayName(), QString());
    EXPECT_NE(date.Edit()->palette().color(QPalette::Text), QColor(Qt::blue));

    date.SetValidDateColor(Qt::darkGreen);
    date.SetDate(QDate(2026, 3, 2));
    EXPECT_EQ(date.Edit()->palette().color(QPalette::Text), QColor(Qt::darkGreen));
}

TEST(ControlsDateEdit, TextChangeComesBeforeDateChange) {
    TDateEditPlus date;
    QStringList events;
    date.OnChange = [&] { events << "texto"; };
    date.OnDateChange = [&] { events << "data:" + date.Text(); };

    QTest::keyClicks(date.Edit(), QStringLiteral("0503202"));
    EXPECT_EQ(events.size(), 7);
    EXPECT_FALSE(events.join(',').contains("data"));
    QTest::keyClicks(date.Edit(), QStringLiteral("6"));
    EXPECT_EQ(events.mid(7), (QStringList{"texto", "data:05/03/2026"}));

    // Same date again: nothing; another date through the calendar: both events.
    events.clear();
    date.SetDate(QDate(2026, 3, 5));
    EXPECT_TRUE(events.isEmpty());
    date.ShowCalendar();
    ASSERT_NE(date.Calendar(), nullptr);
    emit date.Calendar()->clicked(QDate(2026, 3, 9));
    EXPECT_EQ(date.Date(), QDate(2026, 3, 9));
    EXPECT_EQ(events, (QStringList{"texto", "data:09/03/2026"}));
    EXPECT_FALSE(date.Calendar()->window()->isVisible());

    // Emptying is a date change too (to no date).
    events.clear();
    date.Clear();
    EXPECT_EQ(events, (QStringList{"texto", "data:  /  /    "}));
}

TEST(ControlsDateEdit, FocusHandlersOnTheDateEditRunForItsInnerEdit) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* date = new TDateEditPlus(&window);
    auto* other = new QLineEdit(&window);
    layout->addWidget(date);
    layout->addWidget(other);
    int exits = 0;
    Focus::instance().setOnExit(date, [&] { ++exits; });
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    date->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(date->Edit()->hasFocus());
    date->ShowCalendar();  // the popup over the edit is no move
    emit date->Calendar()->clicked(QDate(2026, 1, 2));
    EXPECT_EQ(exits, 0);
    other->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(exits, 1);
}

TEST(ControlsNumberEdit, ShowsPtBrWithFixedDecimals) {
    TNumberEdit number(nullptr, QStringLiteral("nedProt"));
    number.SetDecimals(3);
    number.SetNumber(16.41);
    EXPECT_EQ(number.Text(), QStringLiteral("16,410"));
    number.SetNumber(1234.5);
    EXPECT_EQ(number.Text(), QStringLiteral("1.234,500"));
    EXPECT_DOUBLE_EQ(number.GetNumber(), 1234.5);
    number.SetThousandSeparator(false);
    EXPECT_EQ(number.Text(), QStringLiteral("1234,500"));
    number.SetNumber(-2.5);
    EXPECT_EQ(number.Text(), QStringLiteral("-2,500"));

    bool ok = true;
    EXPECT_DOUBLE_EQ(TNumberEdit::parse(QStringLiteral("1.234.567,89")), 1234567.89);
    EXPECT_DOUBLE_EQ(TNumberEdit::parse(QStringLiteral("1.500")), 1500.0);
    EXPECT_DOUBLE_EQ(TNumberEdit::parse(QStringLiteral("12.5")), 12.5);
    EXPECT_DOUBLE_EQ(TNumberEdit::parse(QString(), &ok), 0.0);
    EXPECT_FALSE(ok);
    TNumberEdit::parse(QStringLiteral("1,2,3"), &ok);
    EXPECT_FALSE(ok);
}

TEST(ControlsNumberEdit, TypingTakesOnlyANumber) {
    TNumberEdit number;
    number.SetDecimals(3);
    QTest::keyClicks(&number, QStringLiteral("1a2.5,7-"));  // '.' is the decimal comma; a second one is dropped
    EXPECT_EQ(number.Text(), QStringLiteral("12,57"));
    EXPECT_DOUBLE_EQ(number.GetNumber(), 12.57);
    emit number.editingFinished();
    EXPECT_EQ(number.Text(), QStringLiteral("12,570"));

    number.SetText(QString());
    QTest::keyClicks(&number, QStringLiteral("-3-"));
    EXPECT_EQ(number.Text(), QStringLiteral("-3"));

    TNumberEdit whole;
    whole.SetDecimals(0);
    QTest::keyClicks(&whole, QStringLiteral("4,5"));
    EXPECT_EQ(whole.Text(), QStringLiteral("45"));
}

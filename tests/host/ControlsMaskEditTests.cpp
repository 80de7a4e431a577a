// Masked and plain edits: the mask language, typing through the key-press
// hook, and how the change event and its failures travel.
#include "host/core/Dialogs.h"
#include "host/controls/Edits.h"
#include "host/core/Failures.h"
#include "host/controls/MaskEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

#include <gtest/gtest.h>

using namespace hostfw;

namespace {

// The branch field's rule: only ASCII letters and digits pass, backspace included in the drop.
void lettersAndDigitsOnly(QChar& key) {
    const char16_t c = key.unicode();
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!ok) key = QChar();
}

}  // namespace

TEST(ControlsMaskPattern, MaskLanguageAndTextForms) {
    const MaskPattern time(QStringLiteral("99:99;1; "));
    EXPECT_EQ(time.length(), 5);
    EXPECT_TRUE(time.isLiteral(2));
    EXPECT_TRUE(time.saveLiterals());
    EXPECT_EQ(time.blank(), QChar(' '));
    EXPECT_EQ(time.textOf(time.emptyEditText()), QStringLiteral("  :  "));

    const MaskPattern branch(QStringLiteral(">aaaa;0; "));
    EXPECT_EQ(branch.length(), 4);
    EXPECT_FALSE(branch.saveLiterals());
    EXPECT_EQ(branch.accept(0, QChar('b')), QChar('B'));
    EXPECT_TRUE(branch.accept(0, QChar('-')).isNull());
    EXPECT_TRUE(branch.accept(0, QChar(' ')).isNull());

    // Required digit refuses a blank, optional digit takes it.
    const MaskPattern digits(QStringLiteral("09;0;_"));
    EXPECT_TRUE(digits.accept(0, QChar(' ')).isNull());
    EXPECT_EQ(digits.accept(1, QChar(' ')), QChar('_'));
    EXPECT_TRUE(digits.accept(1, QChar('x')).isNull());

    // Escaped mask characters are literals; a mask without options saves literals with '_' blanks.
    const MaskPattern escaped(QStringLiteral("\\99"));
    EXPECT_TRUE(escaped.isLiteral(0));
    EXPECT_EQ(escaped.literalAt(0), QChar('9'));
    EXPECT_EQ(escaped.blank(), QChar('_'));

    EXPECT_EQ(MaskPattern(QStringLiteral("99.99.999")).groupEnds(), (QList<int>{2, 4, 7}));
    EXPECT_EQ(FormatMaskText(QStringLiteral("99.99.999"), QStringLiteral("0101001")), QStringLiteral("01.01.001"));
    EXPECT_EQ(FormatMaskText(QStringLiteral("99.99.999"), QStringLiteral("01.01.001")), QStringLiteral("01.01.001"));
    EXPECT_EQ(FormatMaskText(QStringLiteral("99.99.999"), QStringLiteral("0101")), QStringLiteral("01.01"));
    EXPECT_EQ(FormatMaskText(QString(), QStringLiteral("abc")), QStringLiteral("abc"));
}

TEST(ControlsMaskEdit, SaveLiteralsDecidesWhatTextHolds) {
    TMaskEdit without;
    without.SetEditMask(QStringLiteral("99.99.999;0;_"));
    QTest::keyClicks(&without, QStringLiteral("0101"));
    EXPECT_EQ(without.EditText(), QStringLiteral("01.01.___"));
    EXPECT_EQ(without.Text(), QStringLiteral("0101"));  // trailing unfilled positions left out

    TMaskEdit with;
    with.SetEditMask(QStringLiteral("99.99.999;1;_"));
    QTest::keyClicks(&with, QStringLiteral("0101"));
    EXPECT_EQ(with.Text(), QStringLiteral("01.01.   "));

    // Assigned text: without saved literals the characters fill the positions;
    // with them, missing literals are put in and present ones recognised.
    without.SetText(QStringLiteral("0101001"));
    EXPECT_EQ(without.EditText(), QStringLiteral("01.01.001"));
    with.SetText(QStringLiteral("0101001"));
    EXPECT_EQ(with.Text(), QStringLiteral("01.01.001"));
    with.SetText(QStringLiteral("01.01.001"));
    EXPECT_EQ(with.Text(), QStringLiteral("01.01.001"));
}

TEST(ControlsMaskEdit, TimeMaskTypingAndShowingAStoredTime) {
    TMaskEdit edit;
    edit.SetEditMask(QStringLiteral("99:99;1; "));
    EXPECT_EQ(edit.Text(), QStringLiteral("  :  "));

    // The cursor steps over the colon; a blank is a valid optional digit.
    QTest::keyClicks(&edit, QStringLiteral("7 5"));
    EXPECT_EQ(edit.Text(), QStringLiteral("7 :5 "));
    QTest::keyClicks(&edit, QStringLiteral(" 9"));  // past the last position: refused
    EXPECT_EQ(edit.Text(), QStringLiteral("7 :5 "));

    edit.SetText(QString());
    EXPECT_EQ(edit.Text(), QStringLiteral("  :  "));
    edit.setCursorPosition(0);
    QTest::keyClicks(&edit, QStringLiteral("12:3x4"));  // typed colon steps over; letter refused
    EXPECT_EQ(edit.Text(), QStringLiteral("12:34"));

    // A stored time: remove the mask, set the four characters, mask back.
    edit.ClearMask();
    EXPECT_FALSE(edit.IsMasked());
    EXPECT_EQ(edit.Text(), QStringLiteral("1234"));
    edit.SetText(QStringLiteral("0730"));
    edit.SetEditMask(QStringLiteral("99:99;1; "));
    EXPECT_EQ(edit.Text(), QStringLiteral("07:30"));

    // An empty edit unmasked is empty, not blanks and a colon.
    edit.SetText(QString());
    edit.ClearMask();
    EXPECT_EQ(edit.Text(), QString());
}

TEST(ControlsMaskEdit, BranchFieldDropsSignsAndBackspaceButDeleteWorks) {
    TMaskEdit edit;
    edit.SetEditMask(QStringLiteral(">aaaa;0; "));
    int changes = 0;
    edit.OnChange = [&] { ++changes; };

    QTest::keyClicks(&edit, QStringLiteral("a- b"));
    EXPECT_EQ(edit.Text(), QStringLiteral("AB"));  // the mask alone refuses '-' and ' '
    EXPECT_EQ(changes, 2);

    QTest::keyClick(&edit, Qt::Key_Backspace);  // no hook: backspace blanks the previous position
    EXPECT_EQ(edit.Text(), QStringLiteral("A"));

    edit.OnKeyPress = lettersAndDigitsOnly;
    QTest::keyClicks(&edit, QStringLiteral("1"));
    QTest::sendKeyEvent(QTest::Click, &edit, Qt::Key_Ccedilla, QStringLiteral("ç"), Qt::NoModifier);  // a letter to the mask, not to the hook
    EXPECT_EQ(edit.Text(), QStringLiteral("A1"));
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.Text(), QStringLiteral("A1"));

    QTest::keyClick(&edit, Qt::Key_Home);
    QTest::keyClick(&edit, Qt::Key_Delete);
    EXPECT_EQ(edit.Text(), QStringLiteral(" 1"));
    EXPECT_EQ(edit.EditText(), QStringLiteral(" 1  "));

    // Typing over a selection blanks it first.
    edit.selectAll();
    QTest::keyClicks(&edit, QStringLiteral("x"));
    EXPECT_EQ(edit.Text(), QStringLiteral("X"));
}

TEST(ControlsMaskEdit, PasteFollowsTheMask) {
    TMaskEdit edit;
    edit.SetEditMask(QStringLiteral("99:99;1; "));
    QApplication::clipboard()->setText(QStringLiteral("07:3a0"));
    edit.setCursorPosition(0);
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.Text(), QStringLiteral("07:30"));
    edit.setReadOnly(true);
    edit.selectAll();
    QTest::keyClick(&edit, Qt::Key_Delete);
    QTest::keyClicks(&edit, QStringLiteral("1"));
    EXPECT_EQ(edit.Text(), QStringLiteral("07:30"));
}

TEST(ControlsEdit, CaseLengthAndKeyHook) {
    TEdit edit(nullptr, QStringLiteral("edtCdPaciente"));
    EXPECT_EQ(edit.objectName(), QStringLiteral("edtCdPaciente"));
    edit.SetMaxLength(4);
    edit.OnKeyPress = [](QChar& key) { key = key.toUpper(); };
    QTest::keyClicks(&edit, QStringLiteral("ab1cd"));
    EXPECT_EQ(edit.Text(), QStringLiteral("AB1C"));

    TEdit upper;
    upper.SetCharCase(TEditCharCase::ecUpperCase);
    upper.SetText(QStringLiteral("abç"));
    EXPECT_EQ(upper.Text(), QStringLiteral("ABÇ"));
    QTest::keyClicks(&upper, QStringLiteral("x"));
    EXPECT_EQ(upper.Text(), QStringLiteral("ABÇX"));
    upper.insert(QStringLiteral("yz"));  // Qt's own editing (paste) is converted as well
    EXPECT_EQ(upper.Text(), QStringLiteral("ABÇXYZ"));

    TEdit shown;
    shown.SetDisplayOnly(true);
    EXPECT_TRUE(shown.isReadOnly());
    EXPECT_EQ(shown.focusPolicy(), Qt::NoFocus);
    QTest::keyClicks(&shown, QStringLiteral("abc"));
    EXPECT_EQ(shown.Text(), QString());
}

TEST(ControlsEdit, ChangeFailuresReachCodeButNotTheEventLoop) {
    ScriptedDialogs& scripted = useScriptedDialogs();
    TMaskEdit edit;
    edit.SetEditMask(QStringLiteral("ccccc;0; "));
    int changes = 0;
    edit.OnChange = [&] {
        ++changes;
        throw EHostError(QStringLiteral("falhou"));
    };

    // Assigned by code: the caller gets the failure.
    EXPECT_THROW(edit.SetText(QStringLiteral("12")), EHostError);
    EXPECT_EQ(edit.Text(), QStringLiteral("12"));
    // Same text again: no change, no event.
    EXPECT_NO_THROW(edit.SetText(QStringLiteral("12")));
    EXPECT_EQ(changes, 1);

    // Typed: the failure is shown, never thrown out of the key event.
    QTest::keyClicks(&edit, QStringLiteral("3"));
    EXPECT_EQ(edit.Text(), QStringLiteral("123"));
    ASSERT_EQ(scripted.shown.size(), 1u);
    EXPECT_EQ(scripted.shown[0].kind, DialogKind::Error);
    EXPECT_EQ(scripted.lastText(), QStringLiteral("falhou"));

    TEdit plain;
    plain.OnChange = [] { Abort(); };
    QTest::keyClicks(&plain, QStringLiteral("a"));  // silent abort: nothing more shown
    EXPECT_EQ(plain.Text(), QStringLiteral("a"));
    EXPECT_EQ(scripted.shown.size(), 1u);
}

// Flat buttons and the lookup button: what a click runs, in which order, and
// where failures go.
#include "LookupTestData.h"

#include "host/controls/BtnPesquisa.h"
#include "host/controls/Buttons.h"
#include "host/core/Dialogs.h"
#include "host/controls/Edits.h"
#include "host/core/Failures.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace hostfw;
using testdata::CodeList;

TEST(ControlsButtonFlat, UserClickIsGuardedCodeClickIsNot) {
    ScriptedDialogs& scripted = useScriptedDialogs();
    TButtonFlat button(nullptr, QStringLiteral("sbtConfirma"));
    button.SetHint(QStringLiteral("Confirmar"));
    EXPECT_EQ(button.focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(button.toolTip(), QStringLiteral("Confirmar"));
    int clicks = 0;
    button.OnClick = [&] {
        ++clicks;
        throw EHostError(QStringLiteral("Erro no clique."));
    };
    button.click();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(scripted.lastText(), QStringLiteral("Erro no clique."));
    EXPECT_THROW(button.Click(), EHostError);
}

TEST(ControlsBtnPesquisa, BeforeLookupAfterThenFocus) {
    ScriptedDialogs& scripted = useScriptedDialogs();
    CodeList list({});
    QWidget window;
    TEdit edit(&window);
    TBtnPesquisa button(&window, QStringLiteral("btpPesqFilial"));
    button.SetAssociate(&edit);
    button.Title = QStringLiteral("Filial");
    button.EmptyError = QStringLiteral("Não há filial cadastrada.");
    button.DataSource = list.source;
    EXPECT_EQ(button.toolTip(), QStringLiteral("Pesquisar"));
    EXPECT_EQ(button.focusPolicy(), Qt::NoFocus);

    QStringList events;
    button.OnBeforePesq = [&](bool&) {
        events << "antes";
        // The screen re-opens the list's query here.
        for (const char* code : {"0001", "0002", "0003"}) {
            list.dataSet->Append();
            list.dataSet->FieldByName("CODIGO")->SetAsString(code);
            list.dataSet->Post();
        }
    };
    button.OnAfterPesq = [&] { events << "depois:" + list.code(); };
    scripted.onLookup = [&](const LookupRequest& r) { events << "lista:" + QString::number(r.dataSet->RecordCount()); };
    scripted.lookups.push_back(LookupAnswer{false, 1, {}});

    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    button.click();
    EXPECT_EQ(events, (QStringList{"antes", "lista:3", "depois:0002"}));
    ASSERT_EQ(scripted.lookupsShown.size(), 1u);
    EXPECT_EQ(scripted.lookupsShown[0].title, QStringLiteral("Filial"));
    EXPECT_EQ(scripted.lookupsShown[0].emptyText, QStringLiteral("Não há filial cadastrada."));
    EXPECT_TRUE(edit.hasFocus());

    // Cancelled in the window: no after-handler.
    events.clear();
    button.OnBeforePesq = nullptr;
    button.click();
    EXPECT_EQ(events, (QStringList{"lista:3"}));

    // F2 in the associated edit opens the lookup too.
    QTest::keyClick(&edit, Qt::Key_F2);
    EXPECT_EQ(scripted.lookupsShown.size(), 3u);
    // So does Ctrl+Enter, as in the grid's lookup cells; a plain Enter does not.
    QTest::keyClick(&edit, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClick(&edit, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(scripted.lookupsShown.size(), 5u);
    QTest::keyClick(&edit, Qt::Key_Return);
    EXPECT_EQ(scripted.lookupsShown.size(), 5u);
}

TEST(ControlsBtnPesquisa, CancelEmptyListAndFailures) {
    ScriptedDialogs& scripted = useScriptedDialogs();
    CodeList list({});
    TBtnPesquisa button;
    button.Title = QStringLiteral("Serviço");
    button.EmptyError = QStringLiteral("Não há serviço cadastrado para a filial informada.");
    button.DataSource = list.source;
    bool after = false;
    button.OnAfterPesq = [&] { after = true; };

    button.OnBeforePesq = [](bool& cancel) { cancel = true; };
    EXPECT_FALSE(button.Execute());
    EXPECT_TRUE(scripted.lookupsShown.empty());

    button.OnBeforePesq = nullptr;
    button.click();  // empty list: its text, no window
    EXPECT_TRUE(scripted.lookupsShown.empty());
    ASSERT_EQ(scripted.shown.size(), 1u);
    EXPECT_EQ(scripted.shown[0].kind, DialogKind::Information);
    EXPECT_EQ(scripted.shown[0].text, QStringLiteral("Não há serviço cadastrado para a filial informada."));
    EXPECT_FALSE(after);

    button.OnBeforePesq = [](bool&) { throw EHostError(QStringLiteral("Consulta falhou.")); };
    button.click();
    EXPECT_EQ(scripted.lastText(), QStringLiteral("Consulta falhou."));
    EXPECT_THROW(button.Click(), EHostError);

    // A screen's own click replaces the lookup.
    int own = 0;
    button.OnClick = [&] { ++own; };
    button.click();
    EXPECT_EQ(own, 1);
    EXPECT_TRUE(scripted.lookupsShown.empty());
}

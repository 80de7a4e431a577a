// The data grid's fast entry: Tab stops only where the grid can edit, Enter
// in the last editable column posts the row and opens the next one carrying
// the columns that keep their value, and letters typed into a search column
// open its lookup with them.
#include "host/data/DBGrid.h"
#include "host/data/DataSet.h"
#include "host/core/Dialogs.h"
#include "host/core/Failures.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace hostfw;

namespace {

enum Col { cTipo, cCodigo, cNome, cQtde };

class DBGridFastEntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        scripted = &useScriptedDialogs();
        scripted->clear();
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        other = new QLineEdit(window.get());
        ds = new TClientDataSet(window.get(), "cdsItens");
        ds->AddField("TIPO", TFieldType::ftString, 1);
        ds->AddField("CODIGO", TFieldType::ftString, 10);
        ds->AddField("NOME", TFieldType::ftString, 30);
        ds->AddField("QTDE", TFieldType::ftFloat);
        ds->SetData({{"fields",
                      {{{"name", "TIPO"}, {"type", "string"}, {"size", 1}},
                       {{"name", "CODIGO"}, {"type", "string"}, {"size", 10}},
                       {{"name", "NOME"}, {"type", "string"}, {"size", 30}},
                       {{"name", "QTDE"}, {"type", "float"}}}},
                     {"rows", protocol::json::array({{"1", "B2", "Feijão", 2}, {"0", "A1", "Arroz", 1.5}})}});
        ds->BeforePost = [this](TClientDataSet*) {
            ++posts;
            if (refusePost) throw EHostError(QStringLiteral("Quantidade deve ser informada."));
        };
        grid = new TDBGrid(window.get(), "dbgItens");
        grid->SetDataSource(new TDataSource(window.get(), "dtsItens", ds));
        for (const char* f : {"TIPO", "CODIGO", "NOME", "QTDE"}) grid->AddColumn(f);
        grid->Columns()[cNome]->SetReadOnly(true);
        layout->addWidget(other);
        layout->addWidget(grid);
        window->resize(520, 260);
        window->show();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        grid->setFocus(Qt::OtherFocusReason);
    }
    void TearDown() override { window.reset(); }

    TField* field(const char* name) { return ds->FieldByName(name); }
    QWidget* focused() { return QApplication::focusWidget(); }
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(focused(), Qt::Key(k), mods); }
    void type(const char* text) {
        for (const char* c = text; *c; ++c) QTest::keyClick(focused(), *c);
    }

    ScriptedDialogs* scripted = nullptr;
    std::unique_ptr<QWidget> window;
    QLineEdit* other = nullptr;
    TClientDataSet* ds = nullptr;
    TDBGrid* grid = nullptr;
    int posts = 0;
    bool refusePost = false;
};

}  // namespace

TEST_F(DBGridFastEntryTest, TabStopsOnlyInTheColumnsTheGridCanEdit) {
    grid->SetSelectedIndex(cCodigo);
    key(Qt::Key_Tab);
    EXPECT_EQ(grid->SelectedIndex(), cQtde) << "the read-only name is skipped";
    key(Qt::Key_Backtab);
    EXPECT_EQ(grid->SelectedIndex(), cCodigo);
    field("CODIGO")->ReadOnly = true;  // a read-only field counts as a read-only column
    key(Qt::Key_Tab);
    EXPECT_EQ(grid->SelectedIndex(), cQtde);
    key(Qt::Key_Backtab);
    EXPECT_EQ(grid->SelectedIndex(), cTipo);
    field("CODIGO")->ReadOnly = false;

    // Past the row's last editable cell: the next row's first.
    grid->SetSelectedIndex(cQtde);
    key(Qt::Key_Tab);
    EXPECT_EQ(ds->CurrentRow(), 1);
    EXPECT_EQ(grid->SelectedIndex(), cTipo);
    key(Qt::Key_Backtab);
    EXPECT_EQ(ds->CurrentRow(), 0);
    EXPECT_EQ(grid->SelectedIndex(), cQtde);

    // A grid that cannot edit stops in every column; arrows always do.
    grid->SetOptions(grid->Options() & ~TGridOptions(dgEditing));
    grid->SetSelectedIndex(cCodigo);
    key(Qt::Key_Tab);
    EXPECT_EQ(grid->SelectedIndex(), cNome);
    grid->SetOptions(grid->Options() | dgEditing);
    key(Qt::Key_Left);
    key(Qt::Key_Right);
    EXPECT_EQ(grid->SelectedIndex(), cNome);

    // Before the grid's first cell, Shift+Tab goes back to the control before it.
    grid->SetSelectedIndex(cTipo);
    type("9");
    key(Qt::Key_Backtab);
    EXPECT_EQ(focused(), other);
    EXPECT_EQ(field("TIPO")->AsString(), "9") << "what was typed is written first";
}

TEST_F(DBGridFastEntryTest, EnterInTheLastEditableColumnPostsAndOpensTheNextRow) {
    grid->SetOptions(grid->Options() | dgEnterNextRow);
    grid->Columns()[cTipo]->SetKeepOnNewRow(true);
    int exits = 0;
    grid->OnColExit = [&] { ++exits; };

    // Enter elsewhere only writes the cell.
    grid->SetSelectedIndex(cCodigo);
    type("C3");
    key(Qt::Key_Return);
    EXPECT_EQ(ds->RecordCount(), 2);
    EXPECT_EQ(field("CODIGO")->AsString(), "C3");
    EXPECT_EQ(posts, 0);

    // In the quantity: the column is left, the row posted, a new one opened
    // at the end with the type carried, the cursor on the code.
    key(Qt::Key_Tab);
    type("4");
    const int exitsBefore = exits;
    key(Qt::Key_Return);
    EXPECT_EQ(exits, exitsBefore + 1);
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(ds->ValueAt(0, field("QTDE")->Index()).toDouble(), 4.0);
    ASSERT_EQ(ds->State(), TDataSetState::dsInsert);
    EXPECT_EQ(ds->RecordCount(), 3);
    EXPECT_EQ(ds->CurrentRow(), 2);
    EXPECT_EQ(field("TIPO")->AsString(), "1");
    EXPECT_TRUE(field("CODIGO")->IsNull());
    EXPECT_TRUE(ds->InsertedRowUntouched()) << "a carried value is a default, not the user's";
    EXPECT_EQ(grid->SelectedIndex(), cCodigo);
    EXPECT_TRUE(grid->hasFocus() || grid->isAncestorOf(focused()));

    // An untouched new row: Enter does not post it, and leaving drops it.
    grid->SetSelectedIndex(cQtde);
    key(Qt::Key_Return);
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(ds->RecordCount(), 3);
    other->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(ds->RecordCount(), 2);
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);

    // A refused post keeps the row and its cursor; no new row.
    grid->setFocus(Qt::TabFocusReason);
    refusePost = true;
    ds->Last();
    grid->SetSelectedIndex(cQtde);
    type("7");
    key(Qt::Key_Return);
    EXPECT_EQ(scripted->lastText(), "Quantidade deve ser informada.");
    EXPECT_EQ(ds->State(), TDataSetState::dsEdit);
    EXPECT_EQ(ds->RecordCount(), 2);
    EXPECT_EQ(ds->CurrentRow(), 1);
    EXPECT_EQ(grid->SelectedIndex(), cQtde);

    // Without the option Enter in the last column only writes the cell.
    refusePost = false;
    grid->SetOptions(grid->Options() & ~TGridOptions(dgEnterNextRow));
    type("8");
    key(Qt::Key_Return);
    EXPECT_EQ(ds->State(), TDataSetState::dsEdit);
    EXPECT_EQ(field("QTDE")->AsFloat(), 8.0);
    EXPECT_EQ(ds->RecordCount(), 2);
}

TEST_F(DBGridFastEntryTest, LettersTypedIntoASearchColumnOpenItsLookupWithThem) {
    QStringList searched;
    grid->OnEditButtonClick = [&] {
        searched << grid->SearchText();
        if (grid->SearchText() == "x") throw EHostError(QStringLiteral("Não há produto cadastrado."));
        field("CODIGO")->SetAsString("Z" + QString::number(searched.size()));
    };
    grid->Columns()[cCodigo]->SetSearchOnLetters(true);
    ds->Append();
    grid->SetSelectedIndex(cCodigo);

    int exits = 0;
    grid->OnColExit = [&] { ++exits; };
    type("b");
    EXPECT_EQ(searched, QStringList{"b"});
    EXPECT_EQ(field("CODIGO")->AsString(), "Z1");
    EXPECT_TRUE(grid->SearchText().isEmpty()) << "only while the lookup runs";
    EXPECT_EQ(exits, 1) << "a choice leaves the column, its checks run";
    EXPECT_EQ(grid->SelectedIndex(), cQtde);

    // Digits are typed as a code; a letter after them searches the whole text.
    grid->SetSelectedIndex(cCodigo);
    type("12");
    EXPECT_EQ(grid->InplaceEditorText(), "12");
    EXPECT_EQ(searched.size(), 1);
    type("c");
    EXPECT_EQ(searched.last(), "12c");
    EXPECT_EQ(field("CODIGO")->AsString(), "Z2") << "the choice wins over the digits typed before";
    EXPECT_EQ(grid->SelectedIndex(), cQtde);

    // A failing lookup is shown and the cursor stays.
    grid->SetSelectedIndex(cCodigo);
    grid->SetEditorMode(false);
    type("x");
    EXPECT_EQ(searched.last(), "x");
    EXPECT_EQ(scripted->lastText(), "Não há produto cadastrado.");
    EXPECT_EQ(grid->SelectedIndex(), cCodigo);

    // Other columns take letters as text; a refused character opens nothing.
    grid->SetSelectedIndex(cTipo);
    type("p");
    EXPECT_EQ(grid->InplaceEditorText(), "p");
    grid->OnKeyPress = [](QChar& c) {
        if (c.isLetter()) c = QChar();
    };
    grid->SetSelectedIndex(cCodigo);
    const int before = searched.size();
    type("d");
    EXPECT_EQ(searched.size(), before);
}

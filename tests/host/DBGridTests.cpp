// The data grid: typing in cells, column exit and key hooks, rows appended,
// posted and cancelled, the cell editor's buttons, owner drawing, and the
// grid's behaviour when its data set closes, reloads or goes away.
#include "host/data/DBGrid.h"
#include "host/data/DataSet.h"
#include "host/core/Dialogs.h"
#include "host/core/Failures.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <algorithm>

using namespace hostfw;

namespace {

protocol::json itemsPacket(const protocol::json& rows) {
    return {{"fields",
             {{{"name", "TIPO"}, {"type", "string"}, {"size", 1}},
              {{"name", "CODIGO"}, {"type", "string"}, {"size", 10}},
              {{"name", "NOME"}, {"type", "string"}, {"size", 30}},
              {{"name", "QTDE"}, {"type", "float"}}}},
            {"rows", rows}};
}

const protocol::json threeItems = protocol::json::array(
    {{"0", "A1", "Arroz", 1.5}, {"1", "B2", "Feijão", 2}, {"0", "C3", "Café", 0.5}});

enum Col { cTipo, cCodigo, cNome, cQtde };

class DBGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        scripted = &useScriptedDialogs();
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        other = new QLineEdit(window.get());
        other->setObjectName("edtOutro");
        ds = new TClientDataSet(window.get(), "cdsItens");
        ds->AddField("TIPO", TFieldType::ftString, 1);
        ds->AddField("CODIGO", TFieldType::ftString, 10);
        ds->AddField("NOME", TFieldType::ftString, 30);
        ds->AddField("QTDE", TFieldType::ftFloat);
        ds->SetData(itemsPacket(threeItems));
        source = new TDataSource(window.get(), "dtsItens", ds);
        grid = new TDBGrid(window.get(), "dbgItens");
        grid->SetDataSource(source);
        layout->addWidget(other);
        layout->addWidget(grid);
        window->resize(520, 260);
        window->show();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        grid->setFocus(Qt::OtherFocusReason);
        ASSERT_TRUE(grid->hasFocus());
    }
    void TearDown() override { window.reset(); }

    TField* field(const char* name) { return ds->FieldByName(name); }
    QWidget* focused() { return QApplication::focusWidget(); }
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(focused(), Qt::Key(k), mods); }
    // One key at a time, each to whatever holds the focus (the grid, then its editor).
    void type(const char* text) {
        for (const char* c = text; *c; ++c) QTest::keyClick(focused(), *c);
    }
    QPoint cell(int row, int col) { return grid->visualRect(grid->model()->index(row, col)).center(); }
    void click(int row, int col) { QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell(row, col)); }
    bool focusInGrid() { return focused() == grid || grid->isAncestorOf(focused()); }

    ScriptedDialogs* scripted = nullptr;
    std::unique_ptr<QWidget> window;
    QLineEdit* other = nullptr;
    TClientDataSet* ds = nullptr;
    TDataSource* source = nullptr;
    TDBGrid* grid = nullptr;
};

TEST_F(DBGridTest, ShowsOneColumnPerVisibleFieldUntilColumnsAreAdded) {
    field("TIPO")->Visible = false;
    field("NOME")->DisplayLabel = QStringLiteral("Nome do item");
    TDBGrid fresh(window.get());
    fresh.SetDataSource(source);
    ASSERT_EQ(fresh.Columns().size(), 3);
    EXPECT_EQ(fresh.Columns()[0]->FieldName(), "CODIGO");
    EXPECT_EQ(fresh.model()->headerData(1, Qt::Horizontal).toString(), "Nome do item");
    EXPECT_EQ(fresh.model()->rowCount(), 3);
    EXPECT_EQ(fresh.model()->index(1, 1).data().toString(), "Feijão");
    EXPECT_EQ(fresh.model()->index(0, 2).data().toString(), "1,5");

    TColumn* qty = fresh.AddColumn("QTDE");
    qty->SetTitle("Quantidade");
    qty->SetWidth(77);
    fresh.AddColumn("NOME")->SetReadOnly(true);
    ASSERT_EQ(fresh.Columns().size(), 2);
    EXPECT_EQ(fresh.model()->headerData(0, Qt::Horizontal).toString(), "Quantidade");
    EXPECT_EQ(fresh.columnWidth(0), 77);
    EXPECT_EQ(fresh.ColumnIndex("nome"), 1);
    EXPECT_EQ(fresh.ColumnIndex("TIPO"), -1);
    qty->SetVisible(false);
    EXPECT_TRUE(fresh.isColumnHidden(0));
    EXPECT_EQ(fresh.SelectedIndex(), 1);  // the cursor never stays on a hidden column
}

TEST_F(DBGridTest, TypingStartsAnEditThatLeavingTheCellWritesThroughSetText) {
    QStringList setTexts;
    field("NOME")->OnSetText = [&](TField* f, const QString& text) {
        setTexts << text;
        f->SetAsString(text.toUpper());
    };
    grid->SetSelectedIndex(cNome);
    EXPECT_EQ(grid->InplaceEditorText(), "Arroz");  // no editor: the field's text

    type("pao");
    EXPECT_EQ(ds->State(), TDataSetState::dsEdit);
    ASSERT_TRUE(grid->EditorMode());
    EXPECT_EQ(grid->InplaceEditorText(), "pao");  // typing replaced the cell's text
    EXPECT_EQ(field("NOME")->AsString(), "Arroz");
    EXPECT_TRUE(setTexts.isEmpty());

    key(Qt::Key_Tab);
    EXPECT_EQ(setTexts, QStringList{"pao"});
    EXPECT_EQ(field("NOME")->AsString(), "PAO");
    EXPECT_EQ(grid->SelectedIndex(), cQtde);
    EXPECT_FALSE(grid->EditorMode());

    // Enter writes without moving; Esc drops the whole edit.
    type("7");
    key(Qt::Key_Return);
    EXPECT_EQ(field("QTDE")->AsFloat(), 7.0);
    EXPECT_EQ(grid->SelectedIndex(), cQtde);
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_TRUE(focusInGrid());
    key(Qt::Key_Escape);
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(field("NOME")->AsString(), "Arroz");
    EXPECT_EQ(field("QTDE")->AsFloat(), 1.5);
}

TEST_F(DBGridTest, TextTheFieldRefusesStaysInTheEditorAndKeepsTheCursor) {
    grid->SetSelectedIndex(cQtde);
    type("x");
    key(Qt::Key_Left, Qt::NoModifier);  // inside the text: no move
    key(Qt::Key_Tab);
    EXPECT_EQ(scripted->lastText(), "'x' não é um valor válido para o campo QTDE.");
    EXPECT_EQ(grid->SelectedIndex(), cQtde);
    EXPECT_EQ(grid->InplaceEditorText(), "x");
    EXPECT_THROW(grid->UpdateData(), EHostError);
}

TEST_F(DBGridTest, BeforeEditRefusalTypesNothing) {
    ds->BeforeEdit = [](TClientDataSet*) { throw EHostError(QStringLiteral("Registro bloqueado.")); };
    grid->SetSelectedIndex(cNome);
    type("x");
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(field("NOME")->AsString(), "Arroz");
    EXPECT_EQ(scripted->lastText(), "Registro bloqueado.");

    key(Qt::Key_F2);  // an editor shown without typing takes no character either
    ASSERT_TRUE(grid->EditorMode());
    type("x");
    EXPECT_EQ(grid->InplaceEditorText(), "Arroz");
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
}

TEST_F(DBGridTest, ColumnExitThatThrowsKeepsTheCursorWhereItIs) {
    int enters = 0;
    grid->OnColEnter = [&] { ++enters; };
    grid->OnColExit = [&] {
        if (grid->SelectedIndex() == cCodigo) throw EHostError(QStringLiteral("Código inválido."));
    };
    grid->SetSelectedIndex(cCodigo);
    EXPECT_EQ(enters, 1);

    key(Qt::Key_Tab);
    EXPECT_EQ(grid->SelectedIndex(), cCodigo);
    EXPECT_EQ(scripted->lastText(), "Código inválido.");
    click(0, cQtde);
    EXPECT_EQ(grid->SelectedIndex(), cCodigo);
    key(Qt::Key_Down);  // the exit runs before a row change too
    EXPECT_EQ(ds->CurrentRow(), 0);
    EXPECT_THROW(grid->SetSelectedIndex(cNome), EHostError);
    EXPECT_EQ(grid->SelectedIndex(), cCodigo);
    EXPECT_EQ(enters, 1);

    // A handler that puts the cursor elsewhere wins over the move under way.
    grid->OnColExit = [&] {
        if (grid->SelectedIndex() != cCodigo) return;
        grid->SetSelectedIndex(cNome);
        Abort();
    };
    key(Qt::Key_Backtab);
    EXPECT_EQ(grid->SelectedIndex(), cNome);
    EXPECT_EQ(enters, 2);
}

TEST_F(DBGridTest, KeyPressHookDropsAndChangesTypedCharacters) {
    std::vector<QChar> seen;
    grid->OnKeyPress = [&](QChar& ch) {
        seen.push_back(ch);
        if (ch == QLatin1Char('-')) ch = QChar();
        else ch = ch.toUpper();
    };
    grid->SetSelectedIndex(cNome);
    type("-");
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);  // a dropped character starts no edit
    EXPECT_FALSE(grid->EditorMode());
    type("a-b");
    EXPECT_EQ(grid->InplaceEditorText(), "AB");
    key(Qt::Key_Backspace);
    EXPECT_EQ(grid->InplaceEditorText(), "A");
    EXPECT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen.back(), QLatin1Char('\b'));
}

TEST_F(DBGridTest, KeyDownHookSwallowsDeleteAndCtrlDeleteAsksBeforeDeleting) {
    grid->OnKeyDown = [](int& key, Qt::KeyboardModifiers) {
        if (key == Qt::Key_Delete) key = 0;
    };
    grid->SetSelectedIndex(cNome);
    key(Qt::Key_F2);
    key(Qt::Key_Home);
    key(Qt::Key_Delete);  // swallowed inside the editor
    EXPECT_EQ(grid->InplaceEditorText(), "Arroz");
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(ds->RecordCount(), 3);
    EXPECT_TRUE(scripted->shown.empty());

    grid->OnKeyDown = nullptr;
    key(Qt::Key_Escape);
    scripted->confirmations.push_back(false);
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(ds->RecordCount(), 3);
    ASSERT_EQ(scripted->shown.size(), 1u);
    EXPECT_EQ(scripted->shown[0].kind, DialogKind::Confirmation);
    EXPECT_EQ(scripted->shown[0].text, "Excluir registro?");
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(ds->RecordCount(), 2);
    EXPECT_EQ(field("CODIGO")->AsString(), "B2");
}

class DBGridButtonsTest : public DBGridTest {
protected:
    void SetUp() override {
        DBGridTest::SetUp();
        tipo = grid->AddColumn("TIPO");
        tipo->SetPickList({"Produto", "Prato"});
        codigo = grid->AddColumn("CODIGO");
        codigo->SetButtonStyle(TColumnButtonStyle::cbsEllipsis);
        grid->AddColumn("NOME");
        field("TIPO")->OnGetText = [](TField* f, QString& text, bool) {
            text = f->AsString() == "1" ? "Prato" : f->AsString() == "0" ? "Produto" : QString();
        };
        field("TIPO")->OnSetText = [this](TField* f, const QString& text) {
            setTexts << text;
            if (text == "Prato") f->SetAsString("1");
            else if (text == "Produto") f->SetAsString("0");
        };
    }
    TColumn* tipo = nullptr;
    TColumn* codigo = nullptr;
    QStringList setTexts;
};

TEST_F(DBGridButtonsTest, PickListChoiceGoesThroughSetText) {
    grid->SetSelectedIndex(0);
    key(Qt::Key_F2);
    QComboBox* combo = grid->InplacePickList();
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(grid->InplaceEditorText(), "Produto");

    key(Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return combo->view()->isVisible(); }));
    QAbstractItemView* list = combo->view();
    const QPoint prato = list->visualRect(combo->model()->index(1, 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, prato);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !list->isVisible(); }));

    EXPECT_EQ(setTexts, QStringList{"Prato"});
    EXPECT_EQ(field("TIPO")->AsString(), "1");
    EXPECT_EQ(ds->State(), TDataSetState::dsEdit);
    EXPECT_EQ(grid->InplaceEditorText(), "Prato");

    // Without its button the column edits as plain text.
    tipo->SetButtonStyle(TColumnButtonStyle::cbsNone);
    EXPECT_EQ(grid->InplacePickList(), nullptr);
    ASSERT_NE(grid->InplaceLineEdit(), nullptr);
    EXPECT_TRUE(focusInGrid());
}

TEST_F(DBGridButtonsTest, EllipsisButtonFiresEditButtonClick) {
    int clicks = 0;
    grid->OnEditButtonClick = [&] {
        ++clicks;
        if (clicks == 4) throw EHostError(QStringLiteral("Não há produto cadastrado."));
        ds->Edit();
        field("CODIGO")->SetAsString("Z" + QString::number(clicks));
    };
    grid->SetSelectedIndex(1);
    // F2 on a column with a lookup opens the editor and the lookup at once.
    key(Qt::Key_F2);
    EXPECT_EQ(clicks, 1);
    QToolButton* button = grid->InplaceEditButton();
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->toolTip().contains("F2"));
    EXPECT_TRUE(button->toolTip().contains("Ctrl+Enter"));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(grid->InplaceEditorText(), "Z2");  // the editor shows what the handler set
    EXPECT_EQ(focused(), grid->InplaceLineEdit());
    grid->grab().save(QCoreApplication::applicationDirPath() + "/dbgrid-cell-editor.png");
    key(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(clicks, 3);
    QTest::mouseClick(grid->InplaceEditButton(), Qt::LeftButton);
    EXPECT_EQ(scripted->lastText(), "Não há produto cadastrado.");
    EXPECT_EQ(grid->InplaceEditorText(), "Z3");
    key(Qt::Key_F2);  // F2 inside the editor too
    EXPECT_EQ(clicks, 5);

    grid->SetSelectedIndex(2);
    key(Qt::Key_F2);
    EXPECT_EQ(grid->InplaceEditButton(), nullptr);
}

TEST_F(DBGridTest, DownOnTheLastRowAppendsAndAnUntouchedNewRowIsDroppedWhenLeft) {
    grid->SetSelectedIndex(cCodigo);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    EXPECT_EQ(ds->CurrentRow(), 2);
    key(Qt::Key_Down);
    EXPECT_EQ(ds->State(), TDataSetState::dsInsert);
    EXPECT_EQ(ds->RecordCount(), 4);
    EXPECT_EQ(ds->CurrentRow(), 3);
    key(Qt::Key_Down);  // no second empty row
    EXPECT_EQ(ds->RecordCount(), 4);

    other->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(ds->RecordCount(), 3);

    grid->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Down);
    EXPECT_EQ(ds->RecordCount(), 4);
    key(Qt::Key_Up);
    EXPECT_EQ(ds->RecordCount(), 3);
    EXPECT_EQ(ds->CurrentRow(), 2);

    // Typed text is written, not thrown away, when the focus leaves.
    key(Qt::Key_Down);
    type("Z9");
    other->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(ds->State(), TDataSetState::dsInsert);
    EXPECT_EQ(field("CODIGO")->AsString(), "Z9");
    ds->Cancel();

    // Without the option an untouched row stays when the focus leaves.
    grid->SetOptions(grid->Options() & ~TGridOptions(dgCancelOnExit));
    grid->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Down);
    other->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(ds->State(), TDataSetState::dsInsert);
    EXPECT_EQ(ds->RecordCount(), 4);
}

TEST_F(DBGridTest, MovingToAnotherRowPostsAndAFailedPostKeepsTheRow) {
    int posts = 0;
    bool refuse = false;
    ds->BeforePost = [&](TClientDataSet*) {
        ++posts;
        if (refuse) throw EHostError(QStringLiteral("Quantidade deve ser informada."));
    };
    grid->SetSelectedIndex(cQtde);
    type("4");
    key(Qt::Key_Down);
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(ds->CurrentRow(), 1);
    EXPECT_EQ(ds->ValueAt(0, field("QTDE")->Index()).toDouble(), 4.0);

    refuse = true;
    type("5");
    key(Qt::Key_Down);
    click(0, cNome);
    EXPECT_EQ(posts, 3);
    EXPECT_EQ(ds->CurrentRow(), 1);
    EXPECT_EQ(grid->currentIndex().row(), 1);
    EXPECT_EQ(ds->State(), TDataSetState::dsEdit);
    EXPECT_EQ(field("QTDE")->AsFloat(), 5.0);
    EXPECT_EQ(scripted->lastText(), "Quantidade deve ser informada.");
}

TEST_F(DBGridTest, MouseMovesTheRecordOpensTheEditorAndDoubleClicks) {
    int doubleClicks = 0;
    grid->OnDblClick = [&] { ++doubleClicks; };
    other->setFocus(Qt::OtherFocusReason);
    click(2, cCodigo);
    EXPECT_TRUE(grid->hasFocus());
    EXPECT_EQ(ds->CurrentRow(), 2);
    EXPECT_EQ(grid->SelectedIndex(), cCodigo);
    EXPECT_FALSE(grid->EditorMode());
    click(2, cCodigo);  // a click on the current cell opens its editor
    EXPECT_TRUE(grid->EditorMode());
    EXPECT_EQ(grid->InplaceEditorText(), "C3");
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell(1, cTipo));
    EXPECT_EQ(doubleClicks, 1);
    EXPECT_EQ(ds->CurrentRow(), 1);
}

TEST_F(DBGridTest, EditingOptionsReadOnlyColumnsAndTabWithoutCells) {
    grid->SetSelectedIndex(cNome);
    grid->SetOptions(grid->Options() & ~TGridOptions(dgEditing));
    type("x");
    key(Qt::Key_F2);
    EXPECT_FALSE(grid->EditorMode());
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
    grid->SetOptions(grid->Options() | dgEditing);
    grid->Columns()[cNome]->SetReadOnly(true);
    type("x");
    EXPECT_FALSE(grid->EditorMode());
    field("QTDE")->ReadOnly = true;
    grid->SetSelectedIndex(cQtde);
    type("1");
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);

    grid->SetOptions(grid->Options() & ~TGridOptions(dgTabs));
    grid->SetSelectedIndex(cCodigo);
    key(Qt::Key_Tab);
    EXPECT_EQ(focused(), other);
    EXPECT_EQ(grid->SelectedIndex(), cCodigo);
}

TEST_F(DBGridTest, FieldFocusControlSelectsItsColumnAndOpensTheEditor) {
    int exits = 0, enters = 0;
    grid->OnColExit = [&] { ++exits; };
    grid->OnColEnter = [&] { ++enters; };
    other->setFocus(Qt::OtherFocusReason);
    field("QTDE")->FocusControl();
    EXPECT_EQ(grid->SelectedIndex(), cQtde);
    EXPECT_TRUE(focusInGrid());
    EXPECT_TRUE(grid->EditorMode());
    EXPECT_EQ(grid->InplaceEditorText(), "1,5");
    EXPECT_EQ(exits, 0);
    EXPECT_EQ(enters, 1);
}

TEST_F(DBGridTest, OwnerDrawingSeesThePaintedRowItsStateAndTheColours) {
    struct Call {
        int row;
        int col;
        TGridDrawState state;
        QString code;
        QColor brush;
    };
    std::vector<Call> calls;
    grid->SetColor(QColor(255, 255, 225));
    grid->OnDrawColumnCell = [&](QPainter* canvas, const QRect& rect, int col, TColumn* column,
                                 TGridDrawState state) {
        ASSERT_EQ(canvas, grid->Canvas().Painter());
        const int row = grid->PaintRow();
        calls.push_back({row, col, state, ds->ValueAt(row, field("CODIGO")->Index()).toString(), grid->BrushColor()});
        if (column->FieldName() == "NOME") {
            grid->Canvas().TextRect(rect, rect.left() + 20, rect.top() + 2, ds->DisplayTextAt(row, column->Field()->Index()));
            grid->Canvas().BrushColor = Qt::red;
            grid->Canvas().FillRect(QRect(rect.left() + 3, rect.top() + 3, 12, rect.height() - 6));
        }
    };
    grid->SetSelectedIndex(cNome);
    key(Qt::Key_Down);
    calls.clear();
    const QImage image = grid->grab().toImage();
    image.save(QCoreApplication::applicationDirPath() + "/dbgrid-owner-drawing.png");

    ASSERT_EQ(calls.size(), 12u);
    const QStringList codes{"A1", "B2", "C3"};
    for (const Call& c : calls) {
        EXPECT_EQ(c.code, codes[c.row]) << "row " << c.row;
        const bool current = c.row == 1 && c.col == cNome;
        EXPECT_EQ(c.state, current ? TGridDrawState(gdSelected | gdFocused) : TGridDrawState()) << c.row << "," << c.col;
        EXPECT_EQ(c.brush, current ? grid->palette().color(QPalette::Highlight) : QColor(255, 255, 225));
    }
    const QRect name = grid->visualRect(grid->model()->index(1, cNome)).translated(grid->viewport()->pos());
    EXPECT_EQ(image.pixelColor(name.left() + 8, name.center().y()), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(name.right() - 3, name.top() + 3), grid->palette().color(QPalette::Highlight));
    const QRect code = grid->visualRect(grid->model()->index(0, cCodigo)).translated(grid->viewport()->pos());
    EXPECT_EQ(image.pixelColor(code.right() - 3, code.top() + 3), QColor(255, 255, 225));

    // Under an active editor the current cell is selected, not focused.
    key(Qt::Key_F2);
    calls.clear();
    grid->grab();
    const auto under = std::find_if(calls.begin(), calls.end(), [](const Call& c) { return c.row == 1 && c.col == cNome; });
    ASSERT_NE(under, calls.end());
    EXPECT_EQ(under->state, TGridDrawState(gdSelected));
}

TEST_F(DBGridTest, DrawingFailureIsReportedOnceAfterThePainting) {
    QCoreApplication::processEvents();  // paints already due would fail as well
    int calls = 0;
    grid->OnDrawColumnCell = [&](QPainter*, const QRect&, int, TColumn*, TGridDrawState) {
        ++calls;
        throw EHostError(QStringLiteral("Servidor indisponível."));
    };
    grid->grab();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(scripted->shown.empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(scripted->shown.size(), 1u);
    EXPECT_EQ(scripted->lastText(), "Servidor indisponível.");
}

TEST_F(DBGridTest, SurvivesItsDataSetReloadingClosingAndGoingAway) {
    grid->SetSelectedIndex(cNome);
    type("abc");
    ds->SetData(itemsPacket(protocol::json::array({{"1", "D4", "Doce", 1}})));
    EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
    EXPECT_EQ(grid->model()->rowCount(), 1);
    EXPECT_NE(grid->InplaceEditorText(), "abc");

    ds->Close();
    EXPECT_EQ(grid->model()->rowCount(), 0);
    EXPECT_FALSE(grid->EditorMode());
    type("x");
    key(Qt::Key_Down);
    grid->grab();
    EXPECT_EQ(ds->State(), TDataSetState::dsInactive);

    // Typing in an empty grid starts a new row.
    ds->CreateDataSet();
    grid->SetSelectedIndex(cNome);
    type("q");
    EXPECT_EQ(ds->State(), TDataSetState::dsInsert);
    EXPECT_EQ(grid->InplaceEditorText(), "q");
    EXPECT_EQ(grid->model()->rowCount(), 1);

    source->SetDataSet(nullptr);
    EXPECT_TRUE(grid->Columns().isEmpty());
    EXPECT_FALSE(grid->EditorMode());
    grid->grab();
    delete ds;
    ds = nullptr;
    grid->grab();
    EXPECT_EQ(grid->model()->rowCount(), 0);
}

} // namespace

TEST_F(DBGridTest, AStretchingColumnTakesTheFreeWidthAndNeverLessThanItsOwn) {
    grid->Columns()[cTipo]->SetWidth(40);
    grid->Columns()[cCodigo]->SetWidth(60);
    grid->Columns()[cQtde]->SetWidth(80);
    TColumn* name = grid->Columns()[cNome];
    name->SetWidth(90);
    const auto total = [&] {
        int sum = 0;
        for (int c = 0; c < 4; ++c) sum += grid->columnWidth(c);
        return sum;
    };
    EXPECT_LT(total(), grid->viewport()->width()) << "without stretching the grid leaves a blank";
    name->SetStretch(true);
    EXPECT_EQ(total(), grid->viewport()->width());
    EXPECT_GT(grid->columnWidth(cNome), 90);
    EXPECT_EQ(name->Width(), 90) << "the column keeps its own width";

    window->resize(900, 260);
    QApplication::processEvents();
    EXPECT_EQ(total(), grid->viewport()->width()) << "it follows the grid's width";

    // The user widening another column takes the width from the stretching one.
    const int before = grid->columnWidth(cNome);
    grid->horizontalHeader()->resizeSection(cCodigo, 160);
    EXPECT_EQ(grid->columnWidth(cNome), before - 100);
    EXPECT_EQ(total(), grid->viewport()->width());

    // Too narrow a grid: the column keeps its own width and the grid scrolls.
    window->resize(200, 260);
    QApplication::processEvents();
    EXPECT_EQ(grid->columnWidth(cNome), 90);
}

// The lookup window and the Qt dialogs as a user drives them.
#include "LookupTestData.h"

#include "host/core/Dialogs.h"
#include "host/routines/QtDialogs.h"
#include "host/controls/Lookups.h"
#include "host/controls/MaskEdit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace hostfw;
using testdata::CodeList;

namespace {

const std::vector<std::pair<QString, QString>> kBranches = {
    {"0001", "Hospital Central"}, {"0002", "Clínica Norte"}, {"0003", "Hospital Sul"}};

LookupRequest requestFor(const CodeList& list, bool multi = false) {
    LookupRequest r;
    r.dataSet = list.dataSet;
    r.title = QStringLiteral("Filial");
    r.emptyText = QStringLiteral("Não há filial cadastrada.");
    if (multi) {
        r.multiSelect = true;
        r.keyField = QStringLiteral("CODIGO");
        r.marked = {"0003"};
    }
    return r;
}

// Runs action on the next modal window once it is up.
void whenModalOpens(std::function<void(QWidget*)> action) {
    QTimer::singleShot(0, [action] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        action(modal);
    });
}

QAbstractButton* buttonWithText(QWidget* parent, const QString& text) {
    for (auto* b : parent->findChildren<QAbstractButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

}  // namespace

TEST(LookupWindow, ShowsVisibleFieldsAndFiltersRows) {
    CodeList list(kBranches);
    LookupWindow window(requestFor(list));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Filial"));
    auto* model = window.table()->model();
    ASSERT_EQ(model->columnCount(), 2);  // OBS is hidden
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Código"));
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Nome"));
    EXPECT_EQ(model->index(1, 1).data().toString(), QStringLiteral("Clínica Norte"));

    QTest::keyClicks(window.filterBox(), QStringLiteral("HOSPITAL"));
    EXPECT_EQ(window.visibleRowCount(), 2);
    window.filterBox()->setText(QStringLiteral("0002"));
    EXPECT_EQ(window.visibleRowCount(), 1);
    window.filterBox()->setText(QStringLiteral("oculto"));  // text of the hidden field only
    EXPECT_EQ(window.visibleRowCount(), 0);
    QTest::keyClick(window.filterBox(), Qt::Key_Return);  // nothing to pick
    EXPECT_FALSE(window.answer().accepted);
}

TEST(LookupWindow, SearchIgnoresCaseAccentsAndCodeSeparators) {
    CodeList list({{QStringLiteral("0101001"), QStringLiteral("Arroz, integral, cozido")},
                   {QStringLiteral("1401001"), QStringLiteral("Feijão, carioca, cozido")},
                   {QStringLiteral("1401002"), QStringLiteral("Feijão, preto, cozido")},
                   {QStringLiteral("0102006"), QStringLiteral("Pão, trigo, francês")}});
    list.dataSet->FieldByName(QStringLiteral("CODIGO"))->EditMask = QStringLiteral("99.99.999");
    LookupRequest request = requestFor(list);
    // Codes shown through their picture, as the hierarchical lookups show them.
    list.dataSet->FieldByName(QStringLiteral("CODIGO"))->OnGetText = [](TField* f, QString& text, bool display) {
        text = display ? FormatMaskText(QStringLiteral("99.99.999"), f->AsString()) : f->AsString();
    };
    LookupWindow window(request);
    ASSERT_EQ(window.table()->model()->index(1, 0).data().toString(), QStringLiteral("14.01.001"));
    QTest::keyClicks(window.filterBox(), QStringLiteral("FEIJAO"));
    EXPECT_EQ(window.visibleRowCount(), 2);
    window.filterBox()->setText(QStringLiteral("feijão preto"));
    EXPECT_EQ(window.visibleRowCount(), 1) << "every word counts";
    window.filterBox()->setText(QStringLiteral("1401002"));
    EXPECT_EQ(window.visibleRowCount(), 1) << "a bare code finds its shown form";
    window.filterBox()->setText(QStringLiteral("pao frances"));
    QTest::keyClick(window.filterBox(), Qt::Key_Return);
    EXPECT_EQ(window.answer().row, 3);
}

TEST(LookupWindow, EnterPicksTheRowUnderTheFilterEscapeCancels) {
    CodeList list(kBranches);
    {
        LookupWindow window(requestFor(list));
        window.filterBox()->setText(QStringLiteral("sul"));
        QTest::keyClick(window.filterBox(), Qt::Key_Return);
        EXPECT_EQ(window.result(), QDialog::Accepted);
        EXPECT_TRUE(window.answer().accepted);
        EXPECT_EQ(window.answer().row, 2);  // row of the data set, not of the filtered view
    }
    {
        list.dataSet->MoveTo(2);  // the window starts on the data set's row
        LookupWindow window(requestFor(list));
        QTest::keyClick(window.filterBox(), Qt::Key_Down);
        QTest::keyClick(window.filterBox(), Qt::Key_Enter);
        EXPECT_EQ(window.answer().row, 2);
        EXPECT_EQ(list.dataSet->RecNo(), 2);  // the window never moves the data set
    }
    {
        LookupWindow window(requestFor(list));
        window.show();
        QTest::keyClick(window.table(), Qt::Key_Escape);
        EXPECT_EQ(window.result(), QDialog::Rejected);
        EXPECT_FALSE(window.answer().accepted);
    }
}

TEST(LookupWindow, MultiSelectMarksWithACheckColumn) {
    CodeList list(kBranches);
    LookupWindow window(requestFor(list, true));
    auto* model = window.table()->model();
    ASSERT_EQ(model->columnCount(), 3);
    EXPECT_EQ(model->index(2, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(model->index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);

    window.table()->setCurrentIndex(model->index(0, 1));
    QTest::keyClick(window.table(), Qt::Key_Space);
    EXPECT_EQ(model->index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    // Filtering hides rows but keeps their marks.
    window.filterBox()->setText(QStringLiteral("norte"));
    QTest::keyClick(window.filterBox(), Qt::Key_Return);
    EXPECT_TRUE(window.answer().accepted);
    EXPECT_EQ(window.answer().marked, (QStringList{"0001", "0003"}));
}

// Nothing installed: the real dialogs are the service, registered by the
// library itself since core cannot name them.
TEST(LookupQtDialogs, RealDialogsAreTheDefault) {
    setDialogs(nullptr);
    EXPECT_NE(dynamic_cast<QtDialogs*>(&dialogs()), nullptr);
    useScriptedDialogs();
    EXPECT_EQ(dynamic_cast<QtDialogs*>(&dialogs()), nullptr);
    setDialogs(nullptr);
}

TEST(LookupQtDialogs, LookupConfirmAndBusyOnScreen) {
    setDialogs(std::make_unique<QtDialogs>());
    CodeList list(kBranches);

    whenModalOpens([](QWidget* modal) {
        auto* window = qobject_cast<LookupWindow*>(modal);
        ASSERT_NE(window, nullptr);
        window->filterBox()->setText(QStringLiteral("norte"));
        QTest::keyClick(window->filterBox(), Qt::Key_Return);
    });
    const LookupAnswer answer = dialogs().lookup(requestFor(list));
    EXPECT_TRUE(answer.accepted);
    EXPECT_EQ(answer.row, 1);

    whenModalOpens([](QWidget* modal) {
        EXPECT_EQ(modal->windowTitle(), QStringLiteral("Confirmação"));
        ASSERT_NE(buttonWithText(modal, QStringLiteral("Sim")), nullptr);
        buttonWithText(modal, QStringLiteral("Não"))->click();
    });
    EXPECT_FALSE(dialogs().confirm(QStringLiteral("Confirma a exclusão?")));

    whenModalOpens([](QWidget* modal) {
        EXPECT_EQ(modal->windowTitle(), QStringLiteral("Erro"));
        EXPECT_TRUE(qobject_cast<QMessageBox*>(modal)->text().contains("falhou"));
        buttonWithText(modal, QStringLiteral("OK"))->click();
    });
    dialogs().message(DialogKind::Error, QStringLiteral("A operação falhou."));

    // Busy: one wait cursor for nested calls, gone after the last one ends.
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    dialogs().busy(true, 6);
    dialogs().busy(true, 1);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    dialogs().busy(false, 1);
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    dialogs().busy(false, 6);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    dialogs().busy(false, 6);  // an extra "off" does not pop someone else's cursor
    useScriptedDialogs();
}

TEST(LookupWindow, ShowsWholeNamesWhateverTheFieldsDisplayWidth) {
    const QString longName = QStringLiteral("Leite de vaca integral");
    CodeList list({{"0701005", longName}, {"0701006", "Pão francês"}});
    list.dataSet->FieldByName("NOME")->DisplayWidth = 10;
    list.dataSet->FieldByName("OBS")->Visible = true;  // the name is not the last, stretched column
    LookupWindow window(requestFor(list));
    window.show();
    QApplication::processEvents();
    QTableView* table = window.table();
    EXPECT_GE(table->columnWidth(1), table->fontMetrics().horizontalAdvance(longName));
    EXPECT_GE(table->viewport()->width(), table->columnWidth(0) + table->columnWidth(1) + table->columnWidth(2))
        << "the window is wide enough for every column";
    window.grab().save(QCoreApplication::applicationDirPath() + "/lookup-whole-names.png");
}

// Opened from letters typed in a grid cell: the window starts filtered by
// them, on the first row left (not on the data set's row), and typing goes on
// in the filter box.
TEST(LookupWindow, OpensSearchingTheTextTypedBeforeIt) {
    CodeList list({{"0001", "Pão francês"}, {"0002", "Feijão"}, {"0003", "Pão de forma"}, {"0004", "Maçã"}});
    list.dataSet->MoveTo(4);
    LookupRequest request = requestFor(list);
    request.filterText = QStringLiteral("PAO");
    LookupWindow window(request);
    EXPECT_EQ(window.filterBox()->text(), "PAO");
    EXPECT_EQ(window.visibleRowCount(), 2);
    EXPECT_EQ(window.table()->currentIndex().row(), 0);
    // A dialog being shown focuses its box as a Tab would, which would select all of it.
    window.show();
    QTest::keyClicks(window.filterBox(), " forma");
    EXPECT_EQ(window.filterBox()->text(), "PAO forma") << "the letters typed before are kept";
    EXPECT_EQ(window.visibleRowCount(), 1);
    QTest::keyClick(window.filterBox(), Qt::Key_Return);
    EXPECT_EQ(window.answer().row, 2);

    // Through the routine the screens call: the text reaches the window.
    ScriptedDialogs& scripted = useScriptedDialogs();
    scripted.clear();
    scripted.lookups.push_back({true, 1, {}});
    EXPECT_TRUE(Pesquisa::Pesquisar_Plus(list.source, "Produto|Não há produto cadastrado.", false, true, "feij"));
    ASSERT_EQ(scripted.lookupsShown.size(), 1u);
    EXPECT_EQ(scripted.lookupsShown[0].filterText, "feij");
    EXPECT_EQ(list.code(), "0002");
}

// A measure shown with the grams of one portion, pt-BR; its value unchanged.
TEST(LookupWindow, ShowsAnAmountBesideAName) {
    TClientDataSet ds(nullptr, QStringLiteral("qryMedidas"));
    TField* name = ds.AddField(QStringLiteral("NMMEDICASE"), TFieldType::ftString, 40);
    TField* grams = ds.AddField(QStringLiteral("VRPESOMEDI"), TFieldType::ftFloat);
    grams->Visible = false;
    ds.CreateDataSet();
    const std::vector<std::pair<QString, QVariant>> rows = {
        {"Fatia", 25.0}, {"Colher de sopa", 12.5}, {"Caixa", 1250.0}, {"Porção", QVariant()}};
    for (const auto& [n, g] : rows) {
        ds.Append();
        name->SetAsString(n);
        grams->SetValue(g);
        ds.Post();
    }
    ShowAmountWithName(name, grams, QStringLiteral("g"));
    EXPECT_EQ(ds.DisplayTextAt(0, name->Index()), "Fatia (25 g)");
    EXPECT_EQ(ds.DisplayTextAt(1, name->Index()), "Colher de sopa (12,5 g)");
    EXPECT_EQ(ds.DisplayTextAt(2, name->Index()), "Caixa (1.250 g)");
    EXPECT_EQ(ds.DisplayTextAt(3, name->Index()), "Porção") << "no weight known: the name alone";
    ds.First();
    EXPECT_EQ(name->AsString(), "Fatia") << "the value itself stays the name";

    LookupRequest request;
    request.dataSet = &ds;
    LookupWindow window(request);
    EXPECT_EQ(window.table()->model()->index(1, 0).data().toString(), "Colher de sopa (12,5 g)");
    EXPECT_EQ(window.table()->model()->index(3, 0).data().toString(), "Porção");
}

// Fast item entry through the desktop host, on both engines: a day of three
// meals with three items each recorded from the keyboard alone (every key
// event counted), food names typed into the code and measure cells, the
// patient's recent foods first in the lookups, and Enter opening the next row.
#include "RealModuleHost.h"
#include "db/Query.h"
#include "host/controls/Lookups.h"
#include "host/core/Dialogs.h"
#include "host/data/DataSet.h"
#include "host/routines/QtDialogs.h"
#include "hostapp/PatientsWindow.h"

#include <QAbstractButton>
#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <functional>

using namespace hostapp;

namespace {

class FastEntryHostTest : public RealDialogsHostTest, public ::testing::WithParamInterface<db::Engine> {
protected:
    db::Engine engine() const override { return GetParam(); }

    // Opening the survey for the patient from the patients window is not part of the count.
    void openSurvey(const char* patient) {
        PatientsWindow* patients = main->openPatients();
        ASSERT_TRUE(patients->selectPatient(patient));
        patients->findChild<QPushButton*>("btnAbrirInquerito")->click();
        QApplication::processEvents();
        survey = main->mdiArea()->findChild<QWidget*>("frmInquerito");
        ASSERT_NE(survey, nullptr);
    }

    // ---- keys: every one sent goes through here and is counted
    QWidget* target() const {
        if (QWidget* popup = QApplication::activePopupWidget()) return popup->focusWidget() ? popup->focusWidget() : popup;
        if (QWidget* modal = QApplication::activeModalWidget()) return modal->focusWidget() ? modal->focusWidget() : modal;
        return QApplication::focusWidget();
    }
    void press(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* to = target();
        ASSERT_NE(to, nullptr) << "no focus for key " << k;
        ++keys;
        QTest::keyClick(to, Qt::Key(k), mods);
        QApplication::processEvents();
    }
    void type(const QString& text) {
        for (QChar c : text) {
            QWidget* to = target();
            ASSERT_NE(to, nullptr) << "no focus for " << text.toStdString();
            ++keys;
            QTest::keyClick(to, c.toLatin1());
            QApplication::processEvents();
        }
    }
    // What to do in the next lookup window, once it is up (it is modal: the
    // key that opens it returns only when it closes).
    void inNextLookup(std::function<void(hostfw::LookupWindow*)> steps) {
        auto* poll = new QTimer(main);
        poll->setInterval(5);
        QObject::connect(poll, &QTimer::timeout, main, [this, poll, steps] {
            auto* window = qobject_cast<hostfw::LookupWindow*>(QApplication::activeModalWidget());
            if (!window || !window->isVisible()) return;
            poll->stop();
            poll->deleteLater();
            QApplication::setActiveWindow(window);
            steps(window);
            reactivate();
        });
        poll->start();
    }
    // Letters typed into the code or measure cell: the lookup opens searching
    // the first one, the others narrow it, Enter picks the first row left.
    void search(const QString& letters, const QString& expectFirst = QString()) {
        inNextLookup([this, letters, expectFirst](hostfw::LookupWindow* window) {
            lookupTitles << window->windowTitle();
            type(letters.mid(1));
            if (window->visibleRowCount() == 0) {
                window->filterBox()->clear();
                QStringList rows;
                for (int r = 0; r < window->table()->model()->rowCount(); ++r)
                    rows << window->table()->model()->index(r, 1).data().toString();
                ADD_FAILURE() << window->windowTitle().toStdString() << ": nothing holds " << letters.toStdString()
                              << " in " << rows.join(" | ").toStdString();
                press(Qt::Key_Escape);
                return;
            }
            const QModelIndex current = window->table()->currentIndex();
            firstRows << window->table()->model()->index(current.row(), 1).data().toString();
            if (!expectFirst.isEmpty()) {
                EXPECT_EQ(firstRows.last(), expectFirst) << letters.toStdString();
                EXPECT_EQ(window->filterBox()->text(), letters);
            }
            if (onLookup) onLookup(window);
            press(Qt::Key_Return);
        });
        type(letters.left(1));
        ASSERT_EQ(QApplication::activeModalWidget(), nullptr) << "the lookup is still up";
        QApplication::processEvents();
    }
    // By keys: the items page of a service on 17/11/2026, a new product row
    // open at its code.
    void openNewProductRow(const char* service) {
        press(Qt::Key_O, Qt::AltModifier);
        type("n");
        type(service);
        press(Qt::Key_Tab);
        press(Qt::Key_Tab);
        type("17112026");
        press(Qt::Key_Tab);
        ASSERT_TRUE(grid()->hasFocus() || grid()->isAncestorOf(QApplication::focusWidget()))
            << seen.join(" | ").toStdString();
        press(Qt::Key_Insert);
        chooseType(false);
        press(Qt::Key_Tab);
    }
    // The type of a new row from its pick list, which opens on "Produto".
    void chooseType(bool dish) {
        press(Qt::Key_F4);
        if (dish) press(Qt::Key_Down);
        press(Qt::Key_Return);
    }

    static QString focusName() {
        QWidget* f = QApplication::focusWidget();
        return f ? f->objectName() + "/" + f->metaObject()->className() : QStringLiteral("none");
    }
    QTableView* grid() const { return survey->findChild<QTableView*>("dbgProdPrat"); }
    hostfw::TClientDataSet* items() const { return survey->findChild<hostfw::TClientDataSet*>("cdsProdPrat"); }
    std::string column() const {
        const QModelIndex i = grid()->currentIndex();
        return grid()->model()->headerData(i.column(), Qt::Horizontal).toString().toStdString();
    }
    // One item in the row the cursor is on, from its code cell: the food by
    // name, the measure by name, the portions; Enter posts and opens the next row.
    void item(const QString& food, const QString& measure, const QString& portions) {
        ASSERT_EQ(column(), "Código");
        search(food);
        ASSERT_EQ(column(), "Medida de Porcionamento") << food.toStdString() << ": " << seen.join(" | ").toStdString();
        search(measure);
        ASSERT_EQ(column(), "Quantidade") << measure.toStdString();
        type(portions);
        press(Qt::Key_Return);
    }
    // From the grid back to the service edit, and into the next meal's grid.
    void nextMeal(const QString& service) {
        press(Qt::Key_Home, Qt::ControlModifier);
        press(Qt::Key_Home);
        press(Qt::Key_Backtab);
        press(Qt::Key_Backtab);
        press(Qt::Key_Backtab);
        ASSERT_EQ(QApplication::focusWidget(), survey->findChild<QWidget*>("edtCdServico"));
        type(service);
        press(Qt::Key_Tab);
        press(Qt::Key_Tab);
        press(Qt::Key_Tab);
        ASSERT_TRUE(grid()->hasFocus() || grid()->isAncestorOf(QApplication::focusWidget()));
    }

    // The items stored for the patient on the day: service, code, measure, portions, total.
    std::vector<std::vector<std::string>> stored(const char* patient, const char* day) {
        return storedRows(
            "SELECT CDSERVFILI, COALESCE(CDPRODUTO, CDPRATO) AS CD, CDMEDICASE, QTALIMMEDCAS, "
            "QTALIMINQUER FROM ITINQUERPACI WHERE CDPACIENTE = :P AND DTINQUERITO = :D "
            "ORDER BY CDSERVFILI, NRSEQUINQUER",
            {{"P", std::string(patient)}, {"D", std::string(day)}},
            {{"CDSERVFILI", protocol::FieldType::String, 5},
             {"CD", protocol::FieldType::String, 10},
             {"CDMEDICASE", protocol::FieldType::String, 5},
             {"QTALIMMEDCAS", protocol::FieldType::Float, 0},
             {"QTALIMINQUER", protocol::FieldType::Float, 0}});
    }

    // The reads of the patient's recent foods the server recorded in its audit trail.
    long long recentReads(const char* patient) {
        server->dispatcher().flushReadAudit(server->pool());
        return static_cast<long long>(
            db::scalarNumber(hostfw::hostDatabase(),
                             "SELECT COUNT(*) FROM AUDITORIA WHERE IDACAO = 'C' AND NMOPERACAO = "
                             "'Zep12600.rdmInquerito.GetAlimRecentes' AND CDPACIENTE = :P",
                             {{"P", std::string(patient)}})
                .value_or(-1));
    }

    // The main window with the lookup window drawn over it where it stands.
    void screenshot(hostfw::LookupWindow* window, const QString& name) {
        QPixmap shot = main->grab();
        QPainter painter(&shot);
        painter.drawPixmap(main->mapFromGlobal(window->frameGeometry().topLeft()), window->grab());
        painter.end();
        const QString dir = QStringLiteral(HOSTAPP_TEST_OUTPUT_DIR "/screenshots");
        QDir().mkpath(dir);
        EXPECT_TRUE(shot.save(dir + "/" + name));
    }

    QWidget* survey = nullptr;
    int keys = 0;
    QStringList lookupTitles;
    QStringList firstRows;
    std::function<void(hostfw::LookupWindow*)> onLookup;
};

}  // namespace

// Breakfast, lunch and dinner of 17/11/2026 for patient 2, who had lunch and
// dinner on 16/11: nine items typed by name, the recent foods found first.
TEST_P(FastEntryHostTest, ADayOfThreeMealsIsRecordedInAtMost150Keys) {
    openSurvey("000000000002");
    // The items page from the screen's menu: Operação › Inquérito.
    const QString before = focusName();
    press(Qt::Key_O, Qt::AltModifier);
    type("n");
    ASSERT_EQ(QApplication::focusWidget(), survey->findChild<QWidget*>("edtCdServico"))
        << before.toStdString() << " -> " << focusName().toStdString();
    type("1");
    press(Qt::Key_Tab);
    press(Qt::Key_Tab);
    type("17112026");
    press(Qt::Key_Tab);
    ASSERT_TRUE(grid()->hasFocus() || grid()->isAncestorOf(QApplication::focusWidget())) << seen.join(" | ").toStdString();

    // Breakfast: products.
    press(Qt::Key_Insert);
    chooseType(false);
    press(Qt::Key_Tab);
    item("pao", "un", "2");      // Pão, trigo, francês (recent), Unidade 50 g
    item("mam", "fat", "1");      // Mamão, Formosa, Fatia
    item("ban pra", "un", "1");   // Banana, prata, crua, Unidade 65 g
    EXPECT_EQ(items()->State(), hostfw::TDataSetState::dsInsert) << "the next row is open";
    EXPECT_EQ(column(), "Código");

    nextMeal("3");  // lunch: products
    press(Qt::Key_Insert);
    chooseType(false);
    press(Qt::Key_Tab);
    item("car", "ser", "2");  // Carne, bovina, acém (recent), Colher de servir 60 g
    item("chu", "sop", "3");  // Chuchu, cozido (recent), Colher de sopa 25 g
    item("mac", "un", "1");   // Maçã, Fuji (recent), Unidade 130 g

    nextMeal("5");  // dinner: dishes
    press(Qt::Key_Insert);
    chooseType(true);
    press(Qt::Key_Tab);
    item("sop", "con", "2");  // Sopa de legumes (recent), Concha média 150 g
    item("arr", "ser", "1");  // Arroz com feijão (recent), Colher de servir 70 g
    item("sal mi", "por", "1");  // Salada mista, Porção de 100 g

    EXPECT_TRUE(seen.isEmpty()) << seen.join(" | ").toStdString();
    EXPECT_LE(keys, 150);
    std::cout << "[ keystrokes ] a day of three meals, nine items: " << keys << " keys ("
              << testsupport::engineName(GetParam()) << ")\n";

    const auto day = stored("000000000002", "2026-11-17");
    const std::vector<std::vector<std::string>> expected = {
        {"00001", "000017", "00015", "2", "100"}, {"00001", "000209", "00014", "1", "170"},
        {"00001", "000236", "00015", "1", "65"},  {"00003", "000356", "00007", "2", "120"},
        {"00003", "000120", "00004", "3", "75"},  {"00003", "000208", "00015", "1", "130"},
        {"00005", "03001", "00008", "2", "300"},  {"00005", "02001", "00007", "1", "70"},
        {"00005", "04001", "00002", "1", "100"}};
    EXPECT_EQ(day, expected);
}

// The lookups as the user sees them: the product lookup opened by a letter
// typed into the code cell, searching it without regard to case or accents,
// the patient's recent foods first and marked; the measure lookup with the
// grams of each measure. Digits keep the code: typed, checked and completed.
TEST_P(FastEntryHostTest, TypedLettersSearchRecentFoodsFirstAndMeasuresShowTheirGrams) {
    openSurvey("000000000002");
    // The survey over the whole area, for the screenshots.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(survey->parentWidget())) sub->showMaximized();
    QApplication::processEvents();
    openNewProductRow("3");
    if (HasFatalFailure()) return;

    QStringList recentNames, marks;
    onLookup = [&](hostfw::LookupWindow* window) {
        QAbstractItemModel* rows = window->table()->model();
        for (int r = 0; r < rows->rowCount() && r < 6; ++r) {
            recentNames << rows->index(r, 1).data().toString();
            marks << rows->index(r, 2).data().toString();
        }
        screenshot(window, QStringLiteral("fastentry-product-lookup-%1.png").arg(testsupport::engineName(GetParam()).c_str()));
    };
    // An upper-case letter finds lower-case names.
    search("C", "Pão, trigo, francês");
    EXPECT_EQ(lookupTitles.last(), "Produto");
    ASSERT_GE(marks.size(), 5);
    EXPECT_EQ(recentNames.mid(0, 4), (QStringList{"Pão, trigo, francês", "Chuchu, cozido", "Maçã, Fuji, com casca, crua",
                                                  "Carne, bovina, acém, moído, cozido"}));
    EXPECT_EQ(marks.mid(0, 5), (QStringList{"●", "●", "●", "●", ""})) << "the recent ones, then the rest";
    EXPECT_EQ(recentReads("000000000002"), 1) << "read through the server, and audited";
    EXPECT_EQ(column(), "Medida de Porcionamento") << "the choice moved on to the measure";
    EXPECT_EQ(items()->FieldByName("CDPRATPROD")->AsString(), "0102006");
    EXPECT_EQ(items()->FieldByName("NMPRATPROD")->AsString(), "Pão, trigo, francês");

    QStringList measures;
    onLookup = [&](hostfw::LookupWindow* window) {
        QAbstractItemModel* rows = window->table()->model();
        for (int r = 0; r < rows->rowCount(); ++r) measures << rows->index(r, 1).data().toString();
        screenshot(window, QStringLiteral("fastentry-measure-lookup-%1.png").arg(testsupport::engineName(GetParam()).c_str()));
    };
    search("u");
    EXPECT_EQ(measures, (QStringList{"Unidade (50 g)"})) << "filtered by the letter typed";
    EXPECT_EQ(items()->FieldByName("CDMEDICASE")->AsString(), "00015") << "the stored value stays the code";
    EXPECT_EQ(items()->FieldByName("NMMEDICASE")->AsString(), "Unidade");
    EXPECT_EQ(column(), "Quantidade");
    onLookup = nullptr;
    type("2");
    press(Qt::Key_Return);
    EXPECT_TRUE(seen.isEmpty()) << seen.join(" | ").toStdString();
    ASSERT_EQ(items()->State(), hostfw::TDataSetState::dsInsert);
    EXPECT_EQ(items()->FieldByName("IDTIPOINQUER")->AsString(), "0") << "the new row keeps the type";

    // Digits: the code as before, checked when left; Tab skips name and unit.
    type("0202021");
    press(Qt::Key_Tab);
    EXPECT_EQ(column(), "Medida de Porcionamento");
    EXPECT_EQ(items()->FieldByName("NMPRATPROD")->AsString(), "Chuchu, cozido");
    press(Qt::Key_Backtab);
    EXPECT_EQ(column(), "Código");
    press(Qt::Key_Tab);
    search("sop");
    type("1");
    press(Qt::Key_Return);
    // A food already in the meal is refused as before, the cursor stays on the code.
    search("p", "Pão, trigo, francês");
    EXPECT_EQ(seen.join(" | "), "Produto já cadastrado.");
    EXPECT_EQ(column(), "Código");
    EXPECT_EQ(recentReads("000000000002"), 2) << "read once more after the items stored";
}

// The recent foods are read again once an item is stored, so a food just
// recorded is marked at the next lookup; with the server gone the lookup
// still opens, only without marks, and no message comes over it.
TEST_P(FastEntryHostTest, AStoredFoodIsRecentAtOnceAndWithoutTheServerTheLookupOpensUnmarked) {
    openSurvey("000000000002");
    openNewProductRow("1");
    if (HasFatalFailure()) return;

    QString name, mark;
    onLookup = [&](hostfw::LookupWindow* window) {
        const QModelIndex current = window->table()->currentIndex();
        name = current.siblingAtColumn(1).data().toString();
        mark = current.siblingAtColumn(2).data().toString();
    };
    search("mam");
    ASSERT_TRUE(name.startsWith(QStringLiteral("Mamão"))) << name.toStdString();
    EXPECT_EQ(mark, "") << "not had lately";
    const QString papaya = name;
    onLookup = nullptr;
    search("fat");
    type("1");
    press(Qt::Key_Return);  // breakfast's papaya stored

    nextMeal("3");
    press(Qt::Key_Insert);
    chooseType(false);
    press(Qt::Key_Tab);
    onLookup = [&](hostfw::LookupWindow* window) {
        const QModelIndex current = window->table()->currentIndex();
        name = current.siblingAtColumn(1).data().toString();
        mark = current.siblingAtColumn(2).data().toString();
    };
    search("mam");
    EXPECT_EQ(name, papaya);
    EXPECT_EQ(mark, "●") << "recorded at breakfast, recent at lunch";
    onLookup = nullptr;
    search("fat");
    type("1");
    press(Qt::Key_Return);  // lunch's papaya stored; the next row is open
    ASSERT_TRUE(seen.isEmpty()) << seen.join(" | ").toStdString();
    ASSERT_EQ(items()->State(), hostfw::TDataSetState::dsInsert);
    EXPECT_EQ(recentReads("000000000002"), 2);

    server.reset();  // the server goes away
    int rows = 0;
    QStringList marked, shownOver;
    inNextLookup([&](hostfw::LookupWindow* window) {
        lookupTitles << window->windowTitle();
        QAbstractItemModel* model = window->table()->model();
        rows = model->rowCount();
        for (int r = 0; r < rows; ++r)
            if (!model->index(r, 2).data().toString().isEmpty()) marked << model->index(r, 1).data().toString();
        shownOver = seen;
        press(Qt::Key_Escape);
    });
    type("m");
    ASSERT_EQ(QApplication::activeModalWidget(), nullptr) << "the lookup is still up";
    EXPECT_EQ(lookupTitles.value(lookupTitles.size() - 1), "Produto");
    EXPECT_GT(rows, 0) << "the catalogue is listed";
    EXPECT_TRUE(marked.isEmpty()) << marked.join(" | ").toStdString();
    EXPECT_TRUE(shownOver.isEmpty()) << shownOver.join(" | ").toStdString();
    press(Qt::Key_Escape);  // the new row is dropped
}

INSTANTIATE_TEST_SUITE_P(Engines, FastEntryHostTest, ::testing::Values(db::Engine::SQLite, db::Engine::PostgreSQL),
                         [](const auto& info) { return testsupport::engineName(info.param); });

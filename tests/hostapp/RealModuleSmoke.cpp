// The host with the real survey module over the real server: the three ways
// the host opens the survey, and a clean shutdown (Finalize, unload).
#include "RealModuleHost.h"
#include "ServerFixture.h"
#include "host/routines/QtDialogs.h"
#include "hostapp/MainWindow.h"
#include "hostapp/ModuleLoader.h"
#include "hostapp/PatientFilter.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Lookups.h"
#include "host/core/Dialogs.h"
#include "db/Query.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QTableView>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using namespace hostapp;

namespace {

class RealModuleTest : public RealModuleHostTest {
protected:

    // The text of a named edit on the survey screen.
    QString surveyText(const char* name) const {
        for (QMdiSubWindow* w : main->mdiArea()->subWindowList())
            if (auto* edit = w->findChild<QLineEdit*>(name)) return edit->text();
        return "<sem tela>";
    }
    int surveyScreens() const {
        int n = 0;
        for (QMdiSubWindow* w : main->mdiArea()->subWindowList())
            if (w->findChild<QLineEdit*>("edtCdPaciente")) ++n;
        return n;
    }

};

} // namespace

TEST_F(RealModuleTest, MenuOpensOneSurveyScreen) {
    main->surveyAction()->trigger();
    main->surveyAction()->trigger();
    QApplication::processEvents();
    EXPECT_EQ(surveyScreens(), 1);
    EXPECT_TRUE(surveyText("edtCdPaciente").isEmpty());
}

TEST_F(RealModuleTest, PatientsWindowOpensTheSurveyForThePatient) {
    PatientsWindow* patients = main->openPatients();
    ASSERT_TRUE(patients->selectPatient("000000000001"));
    patients->findChild<QPushButton*>("btnAbrirInquerito")->click();
    QApplication::processEvents();
    EXPECT_EQ(surveyScreens(), 1);
    EXPECT_EQ(surveyText("edtCdPaciente"), "000000000001");
    EXPECT_EQ(surveyText("edtNmPaciente"), "Maria Aparecida Nogueira Campos");
}

TEST_F(RealModuleTest, FilterFileFromThePatientsWindowPresetsModuleTen) {
    PatientsWindow* patients = main->openPatients();
    ASSERT_TRUE(patients->selectPatient("000000000002"));
    patients->saveFilter();
    hostfw::session().activeModule = 10;
    main->surveyAction()->trigger();
    QApplication::processEvents();
    EXPECT_EQ(surveyText("edtCdPaciente"), "000000000002");
    EXPECT_EQ(surveyText("edtNmPaciente"), "José Carlos Ferreira Lima");
}

// A new user records a period for a demo patient through the host, by the
// keyboard, and finds it again after reopening the survey.
TEST_F(RealModuleTest, ANewUserRecordsAPeriodAndSeesItAgainAfterReopening) {
    auto openSurvey = [&]() -> QWidget* {
        PatientsWindow* patients = main->openPatients();
        EXPECT_TRUE(patients->selectPatient("000000000003"));
        patients->findChild<QPushButton*>("btnAbrirInquerito")->click();
        QApplication::processEvents();
        return main->mdiArea()->findChild<QWidget*>("frmInquerito");
    };
    QWidget* survey = openSurvey();
    ASSERT_NE(survey, nullptr);
    auto* grid = survey->findChild<QTableView*>("dbgInquerito");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->model()->rowCount(), 0) << "this patient has no period yet";

    survey->findChild<QToolButton*>("sbtIncluir")->click();
    QApplication::processEvents();
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    // Each key goes where the focus is at that moment, as the user's keys do.
    auto type = [](const QString& text) {
        for (QChar c : text) QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    };
    type("10/01/2027");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    type("12/01/2027");
    survey->findChild<QToolButton*>("sbtConfirmar")->click();
    QApplication::processEvents();
    EXPECT_EQ(survey->findChild<QLabel*>("dbtNome")->text(), "10/01/2027 - 12/01/2027");
    EXPECT_TRUE(dialogs->shown.empty()) << dialogs->lastText().toStdString();

    qobject_cast<QMdiSubWindow*>(survey->parentWidget())->close();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    survey = openSurvey();
    ASSERT_NE(survey, nullptr);
    grid = survey->findChild<QTableView*>("dbgInquerito");
    EXPECT_EQ(grid->model()->rowCount(), 1);
    EXPECT_EQ(survey->findChild<QLabel*>("dbtNome")->text(), "10/01/2027 - 12/01/2027");

    const QString dir = QStringLiteral(HOSTAPP_TEST_OUTPUT_DIR "/screenshots");
    QDir().mkpath(dir);
    EXPECT_TRUE(main->grab().save(dir + "/host-survey-period.png"));
}

// A new user records a breakfast through the host by the keyboard (a product
// by code, one from the lookup, a dish), edits one quantity, deletes one item
// with the toolbar, and after reopening the survey sees what was saved.
TEST_F(RealModuleTest, ANewUserRecordsABreakfastAndSeesItAgainAfterReopening) {
    auto openSurvey = [&]() -> QWidget* {
        PatientsWindow* patients = main->openPatients();
        EXPECT_TRUE(patients->selectPatient("000000000002"));
        patients->findChild<QPushButton*>("btnAbrirInquerito")->click();
        QApplication::processEvents();
        return main->mdiArea()->findChild<QWidget*>("frmInquerito");
    };
    auto focused = [] { return QApplication::focusWidget(); };
    auto key = [&](int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(focused(), Qt::Key(k), mods);
        QApplication::processEvents();
    };
    auto type = [&](const QString& text) {
        for (QChar c : text) {
            QTest::keyClick(focused(), c.toLatin1());
            QApplication::processEvents();
        }
    };
    // The type list, opened and chosen from the keyboard (it opens on "Produto").
    auto chooseType = [&](int downs) {
        key(Qt::Key_F4);
        QWidget* popup = QApplication::activePopupWidget();
        ASSERT_NE(popup, nullptr);
        for (int i = 0; i < downs; ++i) QTest::keyClick(popup->focusWidget() ? popup->focusWidget() : popup, Qt::Key_Down);
        QTest::keyClick(popup->focusWidget() ? popup->focusWidget() : popup, Qt::Key_Return);
        QApplication::processEvents();
    };
    // Into the items grid of breakfast on the period's first day.
    auto enterBreakfast = [&](QWidget* survey) {
        auto* pages = survey->findChild<QTabWidget*>("pgcPadrao");
        QTabBar* tabs = pages->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QApplication::processEvents();
        ASSERT_EQ(focused(), survey->findChild<QWidget*>("edtCdServico"));
        type("1");
        key(Qt::Key_Tab);
        key(Qt::Key_Tab);
        auto* grid = survey->findChild<QTableView*>("dbgProdPrat");
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QApplication::processEvents();
        ASSERT_TRUE(focused() == grid || grid->isAncestorOf(focused()));
    };

    QWidget* survey = openSurvey();
    ASSERT_NE(survey, nullptr);
    enterBreakfast(survey);
    auto* grid = survey->findChild<QTableView*>("dbgProdPrat");
    EXPECT_EQ(grid->model()->rowCount(), 0);
    EXPECT_EQ(survey->findChild<QLineEdit*>("edtNmServico")->text(), "Desjejum");

    // Milk by its code: two glasses.
    key(Qt::Key_Insert);
    chooseType(0);
    key(Qt::Key_Tab);
    type("0701005");
    key(Qt::Key_Tab);  // to the measure: Tab skips the read-only name and unit
    type("12");
    key(Qt::Key_Tab);
    type("2");
    key(Qt::Key_Down);
    // French bread from the lookup window, found by typing without accents.
    chooseType(0);
    key(Qt::Key_Tab);
    dialogs->onLookup = [&](const hostfw::LookupRequest& request) {
        hostfw::LookupWindow window(request);
        QTest::keyClicks(window.filterBox(), "pao frances");
        QTest::keyClick(window.filterBox(), Qt::Key_Return);
        dialogs->lookups.push_back(window.answer());
    };
    key(Qt::Key_Return, Qt::ControlModifier);
    dialogs->onLookup = nullptr;
    key(Qt::Key_Tab);  // to the measure: Tab skips the read-only name and unit
    type("15");
    key(Qt::Key_Tab);
    type("1");
    key(Qt::Key_Down);
    // A dish: one ladle of feijoada.
    chooseType(1);
    key(Qt::Key_Tab);
    type("01002");
    key(Qt::Key_Tab);  // to the measure: Tab skips the read-only name and unit
    type("8");
    key(Qt::Key_Tab);
    type("1");
    key(Qt::Key_Up);  // posts the dish
    EXPECT_TRUE(dialogs->shown.empty()) << dialogs->lastText().toStdString();
    ASSERT_EQ(grid->model()->rowCount(), 3);

    // Milk becomes one glass: Up to its row, the quantity typed over.
    key(Qt::Key_Up);
    type("1");
    key(Qt::Key_Down);
    EXPECT_TRUE(dialogs->shown.empty()) << dialogs->lastText().toStdString();
    // The bread is deleted by the mouse: a click on its row, then the
    // toolbar's Excluir (which leaves the focus, and the row, where they are).
    int breadRow = -1;
    for (int r = 0; r < grid->model()->rowCount() && breadRow < 0; ++r)
        for (int c = 0; c < grid->model()->columnCount(); ++c)
            if (grid->model()->index(r, c).data().toString().startsWith(QStringLiteral("Pão"))) breadRow = r;
    ASSERT_GE(breadRow, 0);
    const QModelIndex breadCell = grid->model()->index(breadRow, 2);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(breadCell).center());
    QApplication::processEvents();
    QTest::mouseClick(survey->findChild<QToolButton*>("sbtExcluir"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(grid->model()->rowCount(), 2);
    EXPECT_TRUE(dialogs->shown.size() == 1 && dialogs->shown[0].kind == hostfw::DialogKind::Confirmation)
        << dialogs->lastText().toStdString();

    const QString dir = QStringLiteral(HOSTAPP_TEST_OUTPUT_DIR "/screenshots");
    QDir().mkpath(dir);
    EXPECT_TRUE(main->grab().save(dir + "/host-survey-breakfast.png"));

    const auto stored = db::query(hostfw::hostDatabase(),
                                  "SELECT COALESCE(CDPRODUTO, CDPRATO) AS CD, CDMEDICASE, QTALIMMEDCAS, QTALIMINQUER "
                                  "FROM ITINQUERPACI WHERE CDPACIENTE = '000000000002' AND CDSERVFILI = '00001' "
                                  "ORDER BY NRSEQUINQUER",
                                  {},
                                  {{"CD", protocol::FieldType::String, 10},
                                   {"CDMEDICASE", protocol::FieldType::String, 5},
                                   {"QTALIMMEDCAS", protocol::FieldType::Float, 0},
                                   {"QTALIMINQUER", protocol::FieldType::Float, 0}});
    ASSERT_EQ(stored.rows.size(), 2u);
    EXPECT_EQ(stored.rows[0][0], "01002");
    EXPECT_EQ(stored.rows[0][2].get<double>(), 1.0);
    EXPECT_EQ(stored.rows[0][3].get<double>(), 150.0);
    EXPECT_EQ(stored.rows[1][0], "000492") << "the edited milk was renumbered after the dish";
    EXPECT_EQ(stored.rows[1][2].get<double>(), 1.0);
    EXPECT_EQ(stored.rows[1][3].get<double>(), 206.0);

    qobject_cast<QMdiSubWindow*>(survey->parentWidget())->close();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    survey = openSurvey();
    ASSERT_NE(survey, nullptr);
    enterBreakfast(survey);
    grid = survey->findChild<QTableView*>("dbgProdPrat");
    ASSERT_EQ(grid->model()->rowCount(), 2);
    auto cell = [&](int row, int column) { return grid->model()->index(row, column).data().toString(); };
    EXPECT_EQ(cell(0, 2), "Feijoada");
    EXPECT_EQ(cell(0, 6), "150,000");
    EXPECT_EQ(cell(1, 1), "07.01.005");
    EXPECT_EQ(cell(1, 2), "Leite, de vaca, integral");
    EXPECT_EQ(cell(1, 5), "1,000");
}

namespace {

// Accepts every real message box that comes up, recording its text.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer() {
        hostfw::setDialogs(std::make_unique<hostfw::QtDialogs>());
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            texts << box->text();
            if (shot.isNull()) shot = box->grab();
            box->buttons().first()->click();
        });
        timer_.start();
    }
    ~MessageBoxAnswerer() { hostfw::useScriptedDialogs(); }
    QStringList texts;
    QPixmap shot;  // the first box

private:
    QTimer timer_;
};

class RealModuleItemsTest : public RealModuleTest {
protected:
    // The survey of a patient on its items page, breakfast of the period's first day.
    QWidget* openItems(const QString& patient = QStringLiteral("000000000002")) {
        PatientsWindow* patients = main->openPatients();
        EXPECT_TRUE(patients->selectPatient(patient));
        patients->findChild<QPushButton*>("btnAbrirInquerito")->click();
        QApplication::processEvents();
        QWidget* survey = main->mdiArea()->findChild<QWidget*>("frmInquerito");
        if (!survey) return nullptr;
        QTabBar* tabs = survey->findChild<QTabWidget*>("pgcPadrao")->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QApplication::processEvents();
        QTest::keyClick(QApplication::focusWidget(), '1');
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QApplication::processEvents();
        return survey;
    }
    // What a window manager does when a message box closes.
    void reactivate() {
        QTest::qWait(100);
        QApplication::setActiveWindow(main);
        QTest::qWait(50);
    }
};

}  // namespace

TEST_F(RealModuleItemsTest, VerificarWithTheServerStoppedShowsOnePlainMessage) {
    QWidget* survey = openItems(QStringLiteral("000000000001"));
    ASSERT_NE(survey, nullptr);
    // Into the grid of a day with items: they load, and Verificar reads them again.
    survey->findChild<hostfw::TDateEditPlus*>("depInquerito")->SetDate(QDate(2026, 11, 30));
    auto* grid = survey->findChild<QTableView*>("dbgProdPrat");
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QApplication::processEvents();
    ASSERT_GT(grid->model()->rowCount(), 0);
    const int port = server->port();
    server.reset();
    MessageBoxAnswerer answerer;
    auto* verificar = survey->findChild<QToolButton*>("sbtVerificar");
    ASSERT_TRUE(verificar->isEnabled());
    QTest::mouseClick(verificar, Qt::LeftButton);
    reactivate();
    EXPECT_EQ(answerer.texts, QStringList{QStringLiteral("O servidor de aplicação em 127.0.0.1:%1 não responde. "
                                                         "Verifique se ele está em execução e tente novamente.")
                                              .arg(port)});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the busy indicator ended";
    const QString dir = QStringLiteral(HOSTAPP_TEST_OUTPUT_DIR "/screenshots");
    QDir().mkpath(dir);
    EXPECT_TRUE(answerer.shot.save(dir + "/host-server-down-message.png"));
}

TEST_F(RealModuleItemsTest, AnImpossibleDateKeepsTheFocusBehindARealMessageBox) {
    QWidget* survey = openItems();
    ASSERT_NE(survey, nullptr);
    auto* date = survey->findChild<hostfw::TDateEditPlus*>("depInquerito");
    ASSERT_NE(date, nullptr);
    date->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), date->Edit());
    date->SetText("31/02/2026");
    MessageBoxAnswerer answerer;
    QTest::keyClick(date->Edit(), Qt::Key_Tab);
    reactivate();
    EXPECT_EQ(answerer.texts, QStringList{QStringLiteral("'31/02/2026' não é uma data válida.")});
    EXPECT_EQ(QApplication::focusWidget(), date->Edit());
    EXPECT_EQ(date->Text(), "31/02/2026");
}

TEST_F(RealModuleItemsTest, TheItemsNameColumnTakesTheFreeWidth) {
    QWidget* survey = openItems(QStringLiteral("000000000001"));
    ASSERT_NE(survey, nullptr);
    survey->findChild<hostfw::TDateEditPlus*>("depInquerito")->SetDate(QDate(2026, 11, 30));
    auto* grid = survey->findChild<QTableView*>("dbgProdPrat");
    ASSERT_NE(grid, nullptr);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QApplication::processEvents();
    ASSERT_GT(grid->model()->rowCount(), 0);
    // A wider screen gives the spare width to the names.
    main->resize(1400, 700);
    qobject_cast<QMdiSubWindow*>(survey->parentWidget())->showMaximized();
    QApplication::processEvents();
    int used = 0, name = -1;
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
        if (grid->isColumnHidden(c)) continue;
        used += grid->columnWidth(c);
        if (grid->model()->headerData(c, Qt::Horizontal).toString() == "Nome") name = c;
    }
    ASSERT_GE(name, 0);
    EXPECT_GE(used, grid->viewport()->width() - 1) << "no blank right of the columns";
    EXPECT_GE(grid->columnWidth(name),
              grid->fontMetrics().horizontalAdvance(QStringLiteral("Leite, de vaca, integral")) + 8);

    const QString dir = QStringLiteral(HOSTAPP_TEST_OUTPUT_DIR "/screenshots");
    QDir().mkpath(dir);
    EXPECT_TRUE(main->grab().save(dir + "/host-items-name-column.png"));
}

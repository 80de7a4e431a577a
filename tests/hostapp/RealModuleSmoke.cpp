// The host with the real survey module over the real server: the three ways
// the host opens the survey, and a clean shutdown (Finalize, unload).
#include "HostAppFixture.h"
#include "ServerFixture.h"
#include "hostapp/MainWindow.h"
#include "hostapp/ModuleLoader.h"
#include "hostapp/PatientFilter.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QLabel>
#include <QTableView>
#include <QTest>
#include <QToolButton>

using namespace hostapp;

namespace {

class RealModuleTest : public HostAppTest {
protected:
    void SetUp() override {
        HostAppTest::SetUp();
        server = std::make_unique<testsupport::RunningServer>(database->url());
        ASSERT_TRUE(folder.isValid());
        auto& s = hostfw::session();
        s.serverHost = "127.0.0.1";
        s.serverPort = server->port();
        s.executableFolder = folder.path();
        login("DEMO", "demo", "0001");
        ASSERT_TRUE(loader.load({REAL_MODULE_PATH})) << loader.error().toStdString();
        main = new MainWindow([this](const QVariant& p) { loader.openSurvey(p); });
        main->show();
        QApplication::setActiveWindow(main);
    }
    void TearDown() override {
        delete main;
        loader.unload();
        server.reset();
        HostAppTest::TearDown();
    }

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

    std::unique_ptr<testsupport::RunningServer> server;
    QTemporaryDir folder;
    ModuleLoader loader;
    MainWindow* main = nullptr;
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

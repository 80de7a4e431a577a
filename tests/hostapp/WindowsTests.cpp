// Main window, patients window and the patient filter file they hand to the
// survey module.
#include "HostAppFixture.h"
#include "db/Query.h"
#include "host/data/DataSet.h"
#include "hostapp/MainWindow.h"
#include "hostapp/PatientFilter.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QToolBar>

using namespace hostapp;

namespace {

class WindowsTest : public HostAppTest {
protected:
    void SetUp() override {
        HostAppTest::SetUp();
        ASSERT_TRUE(folder.isValid());
        hostfw::session().executableFolder = folder.path();
        login("DEMO", "demo", "0001");
    }
    QTemporaryDir folder;
    QList<QVariant> opened;  // what the survey opener received
    SurveyOpener recorder() {
        return [this](const QVariant& param) { opened.append(param); };
    }
};

int patientsOfBranch(const std::string& branch) {
    const auto count = db::scalarNumber(hostfw::hostDatabase(),
                                        "SELECT COUNT(*) FROM PACIENTE WHERE CDFILIAL = :P_CDFILIAL",
                                        {{"P_CDFILIAL", branch}});
    return count ? int(*count) : -1;
}

} // namespace

TEST_F(WindowsTest, PatientsOfTheBranchWithAccentFreeFilter) {
    PatientsWindow w(recorder());
    w.reload();
    EXPECT_EQ(w.visibleCount(), patientsOfBranch("0001"));
    EXPECT_GT(w.visibleCount(), 0);
    EXPECT_FALSE(w.selectPatient("ZN0001"));  // a patient of branch 0002

    w.setFilterText("jose carlos");
    ASSERT_EQ(w.visibleCount(), 1);
    EXPECT_EQ(w.selectedCode(), "000000000002");
    w.setFilterText("000000000001");
    EXPECT_EQ(w.visibleCount(), 1);
    w.setFilterText("");
    EXPECT_EQ(w.visibleCount(), patientsOfBranch("0001"));

    hostfw::session().branchCode = "0002";
    w.reload();
    EXPECT_TRUE(w.selectPatient("ZN0001"));
}

TEST_F(WindowsTest, OpenSurveyPassesBranchPatientAndName) {
    PatientsWindow w(recorder());
    w.reload();
    ASSERT_TRUE(w.selectPatient("000000000001"));
    w.findChild<QPushButton*>("btnAbrirInquerito")->click();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].toStringList(),
              QStringList({"0001", "000000000001", "Maria Aparecida Nogueira Campos"}));

    PatientsWindow withoutModule(nullptr);
    EXPECT_FALSE(withoutModule.findChild<QPushButton*>("btnAbrirInquerito")->isEnabled());
}

TEST_F(WindowsTest, SavedFilterHoldsTheSelectedPatient) {
    PatientsWindow w(recorder());
    w.reload();
    ASSERT_TRUE(w.selectPatient("000000000002"));
    w.findChild<QPushButton*>("btnGravarFiltro")->click();
    const QString path = folder.filePath("FILPACI.cds");
    ASSERT_TRUE(QFileInfo::exists(path)) << dialogs->lastText().toStdString();
    EXPECT_EQ(dialogs->shown.back().kind, hostfw::DialogKind::Information);

    // Loaded the way the module loads it: into the main window's data set.
    QObject owner;
    hostfw::TClientDataSet* cds = createFilterDataSet(&owner);
    cds->LoadFromFile(path);
    ASSERT_EQ(cds->RecordCount(), 1);
    cds->First();
    EXPECT_EQ(cds->FieldByName("CDFILIAL")->AsString(), "0001");
    EXPECT_EQ(cds->FieldByName("CDPACIENTE")->AsString(), "000000000002");

    // A later choice replaces the file rather than adding to it.
    ASSERT_TRUE(w.selectPatient("000000000001"));
    w.saveFilter();
    cds->LoadFromFile(path);
    EXPECT_EQ(cds->RecordCount(), 1);
    EXPECT_EQ(cds->FieldByName("CDPACIENTE")->AsString(), "000000000001");
}

TEST_F(WindowsTest, FilterIntoMissingFolderFailsWithAMessage) {
    hostfw::session().executableFolder = folder.filePath("nao/existe");
    PatientsWindow w(recorder());
    w.reload();
    w.findChild<QPushButton*>("btnGravarFiltro")->click();
    EXPECT_EQ(dialogs->shown.back().kind, hostfw::DialogKind::Error);
    EXPECT_TRUE(dialogs->lastText().contains("nao/existe"));
}

TEST_F(WindowsTest, MainWindowPublishesItselfToTheModule) {
    {
        MainWindow main(recorder());
        const auto& s = hostfw::session();
        EXPECT_EQ(s.mainWindow, &main);
        EXPECT_EQ(s.mdiArea, main.mdiArea());
        ASSERT_TRUE(bool(s.openScreen));
        // The module finds the filter data set by name.
        auto* cds = s.mainWindow->findChild<hostfw::TClientDataSet*>("cdsFiltro");
        ASSERT_NE(cds, nullptr);
        EXPECT_NE(cds->FindField("CDFILIAL"), nullptr);
        EXPECT_NE(cds->FindField("CDPACIENTE"), nullptr);

        main.surveyAction()->trigger();
        ASSERT_EQ(opened.size(), 1);
        EXPECT_TRUE(opened[0].isNull());  // the menu passes a null argument

        PatientsWindow* p = main.openPatients();
        EXPECT_EQ(main.openPatients(), p);  // one patients window at a time
        EXPECT_EQ(main.mdiArea()->subWindowList().size(), 1);
        EXPECT_TRUE(main.findChild<QLabel*>("lblFilial")->text().contains("0001 - Hospital Central"));
    }
    EXPECT_EQ(hostfw::session().mainWindow, nullptr);
    EXPECT_FALSE(bool(hostfw::session().openScreen));

    MainWindow withoutModule(nullptr);
    EXPECT_FALSE(withoutModule.surveyAction()->isEnabled());
}

TEST_F(WindowsTest, FirstStartShowsToolbarBranchAndPatients) {
    MainWindow main(recorder());
    main.show();
    main.openStartWindows();
    QApplication::processEvents();
    EXPECT_EQ(main.windowTitle(), QString("Nutrição e Dietética - Filial 0001 - Hospital Central"));
    auto* bar = main.findChild<QToolBar*>("tlbPrincipal");
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_TRUE(bar->actions().contains(main.surveyAction()));
    EXPECT_TRUE(bar->actions().contains(main.patientsAction()));
    EXPECT_FALSE(main.surveyAction()->icon().isNull());
    ASSERT_EQ(main.mdiArea()->subWindowList().size(), 1);
    EXPECT_TRUE(qobject_cast<PatientsWindow*>(main.mdiArea()->subWindowList()[0]->widget()));

    main.surveyAction()->trigger();
    EXPECT_EQ(opened.size(), 1) << "the toolbar opens the survey";
    const QString dir = QStringLiteral(HOSTAPP_TEST_OUTPUT_DIR "/screenshots");
    ASSERT_TRUE(QDir().mkpath(dir));
    ASSERT_TRUE(main.grab().save(dir + "/host-first-start.png"));
}

// The picture shows the patients window open in the main window's MDI area
// with a patient chosen: the window is in the picture and was drawn.
TEST_F(WindowsTest, ScreenshotOfMainWindowWithPatients) {
    MainWindow main(recorder());
    main.show();
    PatientsWindow* p = main.openPatients();
    ASSERT_TRUE(p->selectPatient("000000000001"));
    QApplication::processEvents();
    EXPECT_EQ(p->selectedCode(), "000000000001");
    ASSERT_EQ(main.mdiArea()->subWindowList().size(), 1);
    QMdiSubWindow* sub = main.mdiArea()->subWindowList().front();
    EXPECT_EQ(sub->widget(), p);
    EXPECT_TRUE(sub->isVisible());

    const QImage image = main.grab().toImage();
    const QRect shown(sub->mapTo(&main, QPoint(0, 0)), sub->size());
    EXPECT_TRUE(image.rect().intersects(shown));
    const QImage part = image.copy(shown.intersected(image.rect()));
    QSet<QRgb> colours;
    for (int y = 0; y < part.height(); y += 2)
        for (int x = 0; x < part.width(); x += 2) colours.insert(part.pixel(x, y));
    EXPECT_GT(colours.size(), 3) << "the patients window area is blank";

    const QString dir = QStringLiteral(HOSTAPP_TEST_OUTPUT_DIR "/screenshots");
    ASSERT_TRUE(QDir().mkpath(dir));
    ASSERT_TRUE(image.save(dir + "/host-main.png"));
}

#include "SurveyFixture.h"

#include "db/Query.h"
#include "host/core/Failures.h"
#include "host/connection/HostDatabase.h"
#include "host/core/Session.h"

#include <QApplication>
#include <QDir>
#include <QMdiSubWindow>
#include <QTest>

extern "C" void Initialize();
extern "C" void Finalize();
extern "C" void IniProc(const QVariant& param);

void SurveyTest::SetUp() {
    if (std::string why; !testsupport::TestDatabase::available(engine(), &why)) GTEST_SKIP() << why;
    db_ = testsupport::TestDatabase::create(engine());
    server_ = std::make_unique<testsupport::RunningServer>(db_->url());
    dialogs_ = &hostfw::useScriptedDialogs();
    dialogs_->clear();

    main_ = std::make_unique<QMainWindow>();
    main_->setObjectName("frmPrincipal");
    mdi_ = new QMdiArea(main_.get());
    main_->setCentralWidget(mdi_);
    main_->resize(1000, 650);
    main_->show();
    main_->activateWindow();
    QApplication::setActiveWindow(main_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(main_.get()));

    hostfw::closeHostDatabase();
    auto& s = hostfw::session();
    s = hostfw::HostSession();
    s.branchCode = "0001";
    s.operatorCode = "DEMO";
    s.serverHost = "127.0.0.1";
    s.serverPort = server_->port();
    s.databaseUrl = QString::fromStdString(db_->url().toString());
    s.branchName = QString::fromStdString(
        db::scalarText(hostfw::hostDatabase(), "SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = '0001'", {}).value_or(""));
    s.operatorBranches = {"0001", "0002"};
    s.productPicture = {"99.99.999", 3};
    s.dishPicture = {"99.999", 2};
    s.activeModule = 1;
    s.executableFolder = QDir::tempPath();
    s.mainWindow = main_.get();
    s.mdiArea = mdi_;
    Initialize();
    initialized_ = true;
}

void SurveyTest::TearDown() {
    if (!initialized_) return;  // skipped before anything was set up
    if (frmInquerito) {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(frmInquerito->parentWidget()))
            sub->close();
        else
            frmInquerito->close();
        processEvents();
    }
    Finalize();
    main_.reset();
    hostfw::session() = hostfw::HostSession();
    hostfw::closeHostDatabase();
    server_.reset();
    db_.reset();
}

void SurveyTest::open(const QVariant& param) {
    hostfw::guard([&] { IniProc(param); });
    processEvents();
}

void SurveyTest::openFor(const QString& branch, const QString& patient, const QString& name) {
    open(QVariantList{branch, patient, name});
}

void SurveyTest::focus(QWidget* w) {
    w->setFocus(Qt::TabFocusReason);
    processEvents();
}

void SurveyTest::typeInto(QWidget* w, const QString& text) {
    focus(w);
    QTest::keyClicks(QApplication::focusWidget() ? QApplication::focusWidget() : w, text);
    processEvents();
}

void SurveyTest::processEvents() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

bool SurveyTest::enabled(const char* name) const {
    if (auto* a = screen()->findChild<QAction*>(name)) return a->isEnabled();
    if (auto* w = screen()->findChild<QWidget*>(name)) return w->isEnabled();
    ADD_FAILURE() << "no component " << name;
    return false;
}

void SurveyTest::saveScreenshot(const QString& name) {
    const QString dir = QCoreApplication::applicationDirPath() + "/screenshots";
    QDir().mkpath(dir);
    main_->grab().save(QDir(dir).filePath(name + ".png"));
}

#pragma once
// The desktop host with the real survey module and the real server: logged
// in as the demo operator at branch 0001, main window shown. Scenario tests
// of every screen start here.
#include "HostAppFixture.h"
#include "ServerFixture.h"
#include "hostapp/MainWindow.h"
#include "hostapp/ModuleLoader.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

class RealModuleHostTest : public HostAppTest {
protected:
    void SetUp() override {
        HostAppTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        server = std::make_unique<testsupport::RunningServer>(database->url());
        ASSERT_TRUE(folder.isValid());
        auto& s = hostfw::session();
        s.serverHost = "127.0.0.1";
        s.serverPort = server->port();
        s.executableFolder = folder.path();
        login("DEMO", "demo", "0001");
        ASSERT_TRUE(loader.load({REAL_MODULE_PATH})) << loader.error().toStdString();
        main = new hostapp::MainWindow([this](const QVariant& p) { loader.openSurvey(p); });
        main->resize(1000, 650);
        main->show();
        QApplication::setActiveWindow(main);
    }
    void TearDown() override {
        delete main;
        loader.unload();
        server.reset();
        HostAppTest::TearDown();
    }

    std::unique_ptr<testsupport::RunningServer> server;
    QTemporaryDir folder;
    hostapp::ModuleLoader loader;
    hostapp::MainWindow* main = nullptr;
};

#pragma once
// The desktop host with the real survey module and the real server: logged
// in as the demo operator at branch 0001, main window shown. Scenario tests
// of every screen start here.
#include "HostAppFixture.h"
#include "ServerFixture.h"
#include "db/Query.h"
#include "host/connection/HostDatabase.h"
#include "hostapp/MainWindow.h"
#include "hostapp/ModuleLoader.h"
#include "host/core/Dialogs.h"
#include "host/routines/QtDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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

    // A query's rows read straight from the database, every value as text
    // (numbers as Qt writes them: 50, 1.5).
    static std::vector<std::vector<std::string>> storedRows(const std::string& sql, const db::Params& params,
                                                             const std::vector<protocol::Field>& fields) {
        const auto p = db::query(hostfw::hostDatabase(), sql, params, fields);
        std::vector<std::vector<std::string>> out;
        for (const auto& row : p.rows) {
            std::vector<std::string> line;
            for (const auto& v : row)
                line.push_back(v.is_string() ? v.get<std::string>() : QString::number(v.get<double>()).toStdString());
            out.push_back(line);
        }
        return out;
    }

    std::unique_ptr<testsupport::RunningServer> server;
    QTemporaryDir folder;
    hostapp::ModuleLoader loader;
    hostapp::MainWindow* main = nullptr;
};

// The same with real message boxes, as the user gets them: each one shown is
// noted in `seen` and answered with the button answerOf picks (none: left
// open), so a refusal fails the test instead of hanging it.
class RealDialogsHostTest : public RealModuleHostTest {
protected:
    void SetUp() override {
        RealModuleHostTest::SetUp();
        hostfw::setDialogs(std::make_unique<hostfw::QtDialogs>());
        boxes.setInterval(10);
        boxes.callOnTimeout([this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || box == answered) return;
            answered = box;
            seen << box->text();
            if (QAbstractButton* button = answerOf(box)) {
                button->click();
                reactivate();
            }
        });
        boxes.start();
    }
    void TearDown() override {
        boxes.stop();
        hostfw::useScriptedDialogs();
        RealModuleHostTest::TearDown();
    }

    virtual QAbstractButton* answerOf(QMessageBox* box) const { return box->buttons().value(0); }
    // As a window manager does once a dialog is gone: the main window is active again.
    void reactivate() {
        QTimer::singleShot(0, main, [this] { QApplication::setActiveWindow(main); });
    }

    QTimer boxes;
    QPointer<QMessageBox> answered;
    QStringList seen;
};

#pragma once
// A private demo database as the host database, the application server on
// it (logins go through the server), a fresh session and scripted dialogs,
// for each test.
#include "ServerFixture.h"
#include "TestDatabase.h"
#include "host/core/Dialogs.h"
#include "host/connection/HostDatabase.h"
#include "host/core/Session.h"
#include "hostapp/Login.h"

#include <gtest/gtest.h>

class HostAppTest : public ::testing::Test {
protected:
    // The engine of the demo database; SQLite unless a test asks for another.
    virtual db::Engine engine() const { return db::Engine::SQLite; }

    void SetUp() override {
        dialogs = &hostfw::useScriptedDialogs();
        dialogs->clear();
        database = testsupport::TestDatabase::create(engine());
        appServer = std::make_unique<testsupport::RunningServer>(database->url());
        hostfw::closeHostDatabase();
        hostfw::session() = hostfw::HostSession{};
        hostfw::session().databaseUrl = QString::fromStdString(database->url().toString());
        hostfw::session().serverHost = "127.0.0.1";
        hostfw::session().serverPort = appServer->port();
    }
    void TearDown() override {
        hostfw::closeHostDatabase();
        appServer.reset();
    }

    // Logs in through the same path the dialog takes.
    void login(const QString& op, const QString& password, const QString& branch) {
        const hostapp::LoginResult r = hostapp::authenticate(hostfw::hostDatabase(), op, password, branch);
        ASSERT_TRUE(r.ok) << r.error.toStdString();
        hostapp::applyLoginToSession(hostfw::hostDatabase(), r);
    }

    hostfw::ScriptedDialogs* dialogs = nullptr;
    std::unique_ptr<testsupport::TestDatabase> database;
    std::unique_ptr<testsupport::RunningServer> appServer;
};

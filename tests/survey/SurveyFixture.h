#pragma once
// A test host for the survey module: the real server on a private demo
// database, host session values as after a login, a main window with an MDI
// area, scripted dialogs, and the module's entry point.
#include "ServerFixture.h"
#include "host/core/Dialogs.h"
#include "survey/Cli_Zep12600.h"

#include <QMainWindow>
#include <QMdiArea>

#include <memory>

class SurveyTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The engine of the private demo database (a suite run per engine overrides it).
    virtual db::Engine engine() const { return db::Engine::SQLite; }

    // Calls the module's entry point as the host does (null: from the menu).
    void open(const QVariant& param = QVariant());
    void openFor(const QString& branch, const QString& patient, const QString& name);
    TfrmInquerito* screen() const { return frmInquerito; }

    // Moves the focus as the user would (runs enter and exit handlers).
    void focus(QWidget* w);
    void typeInto(QWidget* w, const QString& text);
    void processEvents();
    bool enabled(const char* actionOrButton) const;
    QString shownText() const { return dialogs_->lastText(); }
    void saveScreenshot(const QString& name);

    std::unique_ptr<testsupport::TestDatabase> db_;
    std::unique_ptr<testsupport::RunningServer> server_;
    std::unique_ptr<QMainWindow> main_;
    QMdiArea* mdi_ = nullptr;
    hostfw::ScriptedDialogs* dialogs_ = nullptr;
    bool initialized_ = false;
};

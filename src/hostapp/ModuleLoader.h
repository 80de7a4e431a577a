#pragma once
// Loads the survey module library at run time and calls its entry points.
// A missing library or entry point leaves the host running without it.
#include "host/core/ModuleApi.h"

#include <QLibrary>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace hostapp {

class ModuleLoader {
public:
    ModuleLoader() = default;
    ~ModuleLoader();
    ModuleLoader(const ModuleLoader&) = delete;
    ModuleLoader& operator=(const ModuleLoader&) = delete;

    // Where to look: the configured path alone when given, else
    // libinquerito.so beside the executable, then in ../module (build layout).
    static QStringList candidatePaths(const QString& configured, const QString& exeFolder);

    // Loads the first candidate that exists, resolves the entry points and
    // calls Initialize once. Answers false and sets error() when it cannot.
    bool load(const QStringList& candidates);
    bool loaded() const { return iniProc_ != nullptr; }
    QString error() const { return error_; }
    QString path() const { return library_.fileName(); }
    const PackageInfoTable* packageInfo() const { return packageInfo_; }

    // Calls IniProc under the host's failure guard; false when it failed or
    // the module is not loaded.
    bool openSurvey(const QVariant& param) const;

    // Deletes the module's parentless windows and the module's objects given
    // to the application object, calls Finalize, then unloads: no object may
    // outlive the code of its class.
    void unload();

private:
    bool fail(const QString& reason);
    void deleteModuleObjects();
    QLibrary library_;
    InitializeFn initialize_ = nullptr;
    FinalizeFn finalize_ = nullptr;
    IniProcFn iniProc_ = nullptr;
    const PackageInfoTable* packageInfo_ = nullptr;
    QString error_;
};

} // namespace hostapp

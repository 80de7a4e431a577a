#include "hostapp/ModuleLoader.h"

#include "host/core/Failures.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QWidget>

#include <dlfcn.h>

namespace hostapp {

namespace {
const QString kLibraryName = QStringLiteral("libinquerito.so");
}

ModuleLoader::~ModuleLoader() { unload(); }

QStringList ModuleLoader::candidatePaths(const QString& configured, const QString& exeFolder) {
    if (!configured.isEmpty()) return {configured};
    const QDir exe(exeFolder);
    return {exe.absoluteFilePath(kLibraryName), QDir::cleanPath(exe.absoluteFilePath("../module/" + kLibraryName))};
}

bool ModuleLoader::fail(const QString& reason) {
    error_ = QStringLiteral("Módulo Inquérito do Paciente não encontrado: %1").arg(reason);
    initialize_ = nullptr;
    finalize_ = nullptr;
    iniProc_ = nullptr;
    packageInfo_ = nullptr;
    if (library_.isLoaded()) library_.unload();
    return false;
}

bool ModuleLoader::load(const QStringList& candidates) {
    unload();
    error_.clear();
    QString path;
    for (const QString& candidate : candidates) {
        if (QFileInfo::exists(candidate)) {
            path = candidate;
            break;
        }
    }
    if (path.isEmpty()) return fail(candidates.join(QStringLiteral(", ")));

    library_.setFileName(path);
    if (!library_.load()) return fail(QStringLiteral("%1 (%2)").arg(path, library_.errorString()));

    initialize_ = reinterpret_cast<InitializeFn>(library_.resolve("Initialize"));
    finalize_ = reinterpret_cast<FinalizeFn>(library_.resolve("Finalize"));
    auto getInfo = reinterpret_cast<GetPackageInfoTableFn>(library_.resolve("GetPackageInfoTable"));
    auto iniProc = reinterpret_cast<IniProcFn>(library_.resolve("IniProc"));
    QStringList missing;
    if (!initialize_) missing << QStringLiteral("Initialize");
    if (!finalize_) missing << QStringLiteral("Finalize");
    if (!getInfo) missing << QStringLiteral("GetPackageInfoTable");
    if (!iniProc) missing << QStringLiteral("IniProc");
    if (!missing.isEmpty())
        return fail(QStringLiteral("%1 (sem o ponto de entrada %2)").arg(path, missing.join(QStringLiteral(", "))));

    if (!hostfw::guard([&] { initialize_(); })) return fail(QStringLiteral("%1 (falha ao iniciar)").arg(path));
    hostfw::guard([&] { packageInfo_ = getInfo(); });
    iniProc_ = iniProc;
    return true;
}

bool ModuleLoader::openSurvey(const QVariant& param) const {
    if (!iniProc_) return false;
    return hostfw::guard([&] { iniProc_(param); });
}

void ModuleLoader::deleteModuleObjects() {
    Dl_info where{};
    if (!iniProc_ || !dladdr(reinterpret_cast<void*>(iniProc_), &where)) return;
    const void* moduleBase = where.dli_fbase;
    // An object is the module's when a class of its hierarchy is defined there.
    auto fromModule = [moduleBase](const QObject* o) {
        for (const QMetaObject* mo = o->metaObject(); mo; mo = mo->superClass()) {
            Dl_info info{};
            if (dladdr(mo, &info) && info.dli_fbase == moduleBase) return true;
        }
        return false;
    };
    QList<QPointer<QObject>> doomed;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (!w->parentWidget() && fromModule(w)) doomed << w;
    if (qApp)
        for (QObject* o : qApp->children())
            if (fromModule(o)) doomed << o;
    for (const QPointer<QObject>& o : doomed) delete o.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void ModuleLoader::unload() {
    if (!library_.isLoaded()) return;
    deleteModuleObjects();
    if (iniProc_ && finalize_) hostfw::guard([&] { finalize_(); });
    initialize_ = nullptr;
    finalize_ = nullptr;
    iniProc_ = nullptr;
    packageInfo_ = nullptr;
    library_.unload();
}

} // namespace hostapp

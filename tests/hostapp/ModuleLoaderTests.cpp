// Loading the survey module library and calling its entry points.
#include "host/core/Dialogs.h"
#include "hostapp/ModuleLoader.h"

#include <QApplication>
#include <QPointer>

#include <dlfcn.h>

#include <gtest/gtest.h>

using namespace hostapp;

namespace {

QString calls(void* handle) {
    auto fn = reinterpret_cast<const char* (*)()>(dlsym(handle, "FakeModuleCalls"));
    return fn ? QString::fromUtf8(fn()) : QStringLiteral("<sem registro>");
}

} // namespace

TEST(ModuleLoaderTest, MissingLibraryIsReportedAndNothingRuns) {
    hostfw::useScriptedDialogs().clear();
    ModuleLoader loader;
    EXPECT_FALSE(loader.load({"/nao/existe/libinquerito.so", "/tambem/nao/libinquerito.so"}));
    EXPECT_FALSE(loader.loaded());
    EXPECT_TRUE(loader.error().startsWith("Módulo Inquérito do Paciente não encontrado: ")) << loader.error().toStdString();
    EXPECT_TRUE(loader.error().contains("/tambem/nao/libinquerito.so"));
    EXPECT_FALSE(loader.openSurvey(QVariant()));
    loader.unload();  // harmless when nothing is loaded
}

TEST(ModuleLoaderTest, LibraryWithoutEntryPointIsRefused) {
    ModuleLoader loader;
    EXPECT_FALSE(loader.load({FAKE_MODULE_PARTIAL_PATH}));
    EXPECT_FALSE(loader.loaded());
    EXPECT_TRUE(loader.error().startsWith("Módulo Inquérito do Paciente não encontrado: "));
    EXPECT_TRUE(loader.error().contains("IniProc")) << loader.error().toStdString();
}

TEST(ModuleLoaderTest, EntryPointsRunInOrderAndFailuresAreShown) {
    auto& dialogs = hostfw::useScriptedDialogs();
    dialogs.clear();
    // A handle of our own keeps the log readable after the loader unloads
    // (QLibrary handles of one file share a single load count).
    void* handle = dlopen(FAKE_MODULE_PATH, RTLD_NOW);
    ASSERT_NE(handle, nullptr) << dlerror();
    QPointer<QObject> hostObject;
    {
        ModuleLoader loader;
        ASSERT_TRUE(loader.load({"/nao/existe.so", FAKE_MODULE_PATH})) << loader.error().toStdString();
        hostObject = new QObject(qApp);  // not the module's: must survive the unload
        ASSERT_NE(loader.packageInfo(), nullptr);
        EXPECT_EQ(loader.packageInfo()->unitCount, 1);
        EXPECT_TRUE(loader.openSurvey(QVariant()));
        EXPECT_TRUE(loader.openSurvey(QVariantList{"0001", "000000000001", "Maria"}));
        // An exception from the module stops at the guard and is shown.
        EXPECT_FALSE(loader.openSurvey(QVariantList{"FALHA", "", ""}));
        EXPECT_EQ(dialogs.lastText(), "Falha simulada no módulo.");
    }
    EXPECT_EQ(calls(handle), "Initialize;IniProc(null);IniProc(0001,000000000001,Maria);Deleted;Finalize;");
    EXPECT_FALSE(hostObject.isNull());
    delete hostObject.data();
    dlclose(handle);
}

// A stand-in for the survey module library: records the calls the host's
// loader makes, so the loader can be tested without the real module.
#include <QCoreApplication>
#include <QObject>
#include <QVariant>
#include <QtCore/qglobal.h>

#include <stdexcept>
#include <string>

namespace {
std::string calls;

// An object of a module class left to the application object, as module
// screens are: the host must delete it while the module is still loaded.
class FakeOwned : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~FakeOwned() override { calls += "Deleted;"; }
};

const struct Entry {
    const char* unitName;
    int flags;
} units[] = {{"Cli_Zep12600", 0}};
const struct Table {
    int unitCount;
    const Entry* units;
} table = {1, units};
}  // namespace

extern "C" {
Q_DECL_EXPORT void Initialize() {
    calls += "Initialize;";
    new FakeOwned(QCoreApplication::instance());
}
Q_DECL_EXPORT void Finalize() { calls += "Finalize;"; }
Q_DECL_EXPORT const void* GetPackageInfoTable() { return &table; }
#ifndef FAKE_MODULE_WITHOUT_INIPROC
Q_DECL_EXPORT void IniProc(const QVariant& param) {
    if (param.isNull()) {
        calls += "IniProc(null);";
        return;
    }
    const QStringList values = param.toStringList();
    if (values.value(0) == "FALHA") throw std::runtime_error("Falha simulada no módulo.");
    calls += "IniProc(" + values.join(',').toStdString() + ");";
}
#endif
// Read by the tests through a second handle on the library.
Q_DECL_EXPORT const char* FakeModuleCalls() { return calls.c_str(); }
}

#include "FakeModule.moc"

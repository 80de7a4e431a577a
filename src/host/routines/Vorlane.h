#pragma once
// Values of the host's login and configuration, and host services the
// module reaches by name.
#include "host/core/HostExport.h"

#include <QString>
#include <QStringList>
#include <QVariantList>

namespace hostfw {
class TDataSource;
}

namespace Vorlane {

HOSTFW_EXPORT QString FiliProc();
HOSTFW_EXPORT QString NomeFiliProc();
HOSTFW_EXPORT bool ModuFili();
HOSTFW_EXPORT QString Operador();
HOSTFW_EXPORT QString WebURL();
HOSTFW_EXPORT int WebPort();
// Packs alternating names and values: "P_CDFILIAL=0001&P_X=..." (percent-encoded).
HOSTFW_EXPORT QString SQLParams(const QStringList& namesAndValues);
// Opens another module's screen with those values.
HOSTFW_EXPORT void LoadBPL(const QString& screenCode, const QVariantList& values);
HOSTFW_EXPORT QString DBPict(int pictureType);

class HOSTFW_EXPORT TDBPicture {
public:
    explicit TDBPicture(int levels) : levels_(levels) {}
    int GetTtNiveis() const { return levels_; }

private:
    int levels_;
};
HOSTFW_EXPORT TDBPicture DBPictObj(int pictureType);

} // namespace Vorlane

namespace Geral {
HOSTFW_EXPORT int ModuloAtiv();
}

namespace Showavi {
// Busy indicator; kinds: 0 opening a screen, 1 saving, 6 reading or searching.
HOSTFW_EXPORT void ActiveShowAvi(QWidget* mainWindow, int kind);
HOSTFW_EXPORT void DeactiveShowAvi(QWidget* mainWindow);

// Switches the indicator on for a scope; off on both paths.
class HOSTFW_EXPORT Scope {
public:
    explicit Scope(int kind, QWidget* mainWindow = nullptr);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    QWidget* main_;
};
} // namespace Showavi

namespace Pesquisa {
// Runs a lookup query that the application server knows, with the parameter
// text of Vorlane::SQLParams, loads its rows into the data source's data set
// and lets the user pick one. Answers true when a row was picked.
HOSTFW_EXPORT bool Pesquisar_Serv(hostfw::TDataSource* source, const QString& title, const QStringList& sql,
                                  const QString& params, bool);
}

#pragma once
// Values of the host's login and configuration that the module reads
// through Vorlane and Geral.
#include "host/core/HostExport.h"

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>

class QMdiArea;
class QWidget;

namespace hostfw {

struct CodePicture {
    QString mask;      // edit mask, e.g. "99.99.999"
    int levels = 0;
};

struct HostSession {
    QString branchCode;            // current branch (FiliProc)
    QString branchName;            // NomeFiliProc
    QString operatorCode;          // Operador
    QString operatorName;
    bool operatorIsAdministrator = false;  // manages operators, reads the audit trail
    bool moduleBoundToBranch = false;  // ModuFili
    int activeModule = 0;          // Geral::ModuloAtiv
    QString serverHost = "127.0.0.1";  // WebURL
    int serverPort = 8211;         // WebPort
    // Further addresses of the same server ("HOST:PORT"), tried in order
    // when a call cannot reach serverHost:serverPort.
    QStringList serverAlternates;
    bool serverTls = false;        // https to the application server
    QString serverCaFile;          // certificate(s) trusted for https; empty: the system's
    // The application server's session of the logged-in operator; every
    // TNetConnection sends it. Empty: the token the process holds for that
    // server (protocol::rememberSessionToken), if any.
    QString sessionToken;
    QString sessionExpires;        // ISO 8601, UTC
    QString databaseUrl;           // sqlite:PATH or postgresql://...
    QString executableFolder;      // where FILPACI.cds is looked for
    CodePicture productPicture;    // picture 0
    CodePicture dishPicture;       // picture 1
    QStringList operatorBranches;  // branches the operator may use
    QWidget* mainWindow = nullptr;  // the host main form (owns "cdsFiltro")
    QMdiArea* mdiArea = nullptr;    // where non-modal screens open as MDI children
    // Opens another module's screen by code (LoadBPL); set by the host.
    std::function<void(const QString& screenCode, const QVariantList& values)> openScreen;
    // Set by the host: asks the operator for the password again after the
    // server answered "Sessão expirada" and opens a new session; answers
    // whether it did (TNetConnection then repeats the call).
    std::function<bool()> renewSession;
};

HOSTFW_EXPORT HostSession& session();

} // namespace hostfw

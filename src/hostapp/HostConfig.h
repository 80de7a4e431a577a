#pragma once
// The desktop host's configuration: an INI file read through QSettings, with
// command-line overrides. A damaged file or value never stops the host: the
// problem is reported and the default stands.
#include <QString>
#include <QList>
#include <QStringList>

#include <optional>

namespace hostapp {

struct AutoLogin {
    QString operatorCode;
    QString password;
    QString branchCode;
    bool enabled() const { return !operatorCode.isEmpty(); }
};

struct HostConfig {
    QString serverHost = QStringLiteral("127.0.0.1");
    int serverPort = 8211;
    // [Servidor] Alternativos: further "HOST:PORT" addresses of the same
    // server (other instances or balancers), tried in order when a call
    // cannot reach the first.
    QStringList serverAlternates;
    bool serverTls = false;        // [Servidor] Protocolo=https
    QString serverCaFile;          // [Servidor] CertificadoCA: certificates trusted for https
    QString databaseUrl;           // sqlite:PATH or postgresql://...
    bool moduleBoundToBranch = false;
    int activeModule = 0;
    QString executableFolder;      // where FILPACI.cds lives; empty: the executable's folder
    QString moduleLibrary;         // empty: searched beside the executable
    AutoLogin autoLogin;

    // Defaults for a host whose executable lives in exeFolder.
    static HostConfig defaults(const QString& exeFolder);
};

// Reads the file over the defaults. A missing file is not a problem; every
// damage found is described in problems (Portuguese, for the user).
HostConfig loadConfig(const QString& path, const QString& exeFolder, QStringList* problems);

// Writes every value; answers false (with the reason) when it cannot.
bool saveConfig(const HostConfig& config, const QString& path, QString* error = nullptr);

// "sqlite:RELATIVE" made absolute against baseFolder; other URLs unchanged.
QString resolveDatabaseUrl(const QString& url, const QString& baseFolder);

// "HOST:PORT", optionally after "http://" or "https://"; nullopt when it is not that.
struct ServerAddress {
    QString host;
    int port = 0;
    std::optional<bool> tls;  // set when a scheme was given
};
std::optional<ServerAddress> parseServerAddress(const QString& text);

// "HOST:PORT, HOST:PORT, ..." (commas or semicolons); nullopt when any part is not an address.
std::optional<QList<ServerAddress>> parseServerAddresses(const QString& text);

// The command line: --config FILE, --server HOST:PORT[,HOST:PORT...], --db URL, --help.
// Arguments it does not know (Qt's own, such as -platform) are left alone.
struct CommandLine {
    QString configPath;
    std::optional<ServerAddress> server;
    QList<ServerAddress> alternates;  // the further addresses of --server
    QString databaseUrl;
    bool help = false;
    QString error;  // non-empty: the command line is wrong
};
CommandLine parseCommandLine(const QStringList& arguments);
QString usageText();

// The config file used when --config is not given: inquerito-host.ini beside
// the executable, else in the current folder; the first when neither exists.
QString defaultConfigPath(const QString& exeFolder, const QString& currentFolder);

// Applies the command line's overrides to a loaded configuration.
void applyOverrides(HostConfig& config, const CommandLine& line, const QString& currentFolder);

} // namespace hostapp

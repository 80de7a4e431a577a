#include "hostapp/HostConfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStringDecoder>

namespace hostapp {

namespace {

// Keys of the file; sections group what a user changes together.
constexpr auto kServerHost = "Servidor/Endereco";
constexpr auto kServerPort = "Servidor/Porta";
constexpr auto kServerAlternates = "Servidor/Alternativos";
constexpr auto kServerScheme = "Servidor/Protocolo";
constexpr auto kServerCaFile = "Servidor/CertificadoCA";
constexpr auto kDatabaseUrl = "BancoDados/Url";
constexpr auto kBoundToBranch = "Sessao/ModuloFilial";
constexpr auto kActiveModule = "Sessao/ModuloAtivo";
constexpr auto kExecutableFolder = "Sessao/PastaExecutavel";
constexpr auto kModuleLibrary = "Modulo/Biblioteca";
constexpr auto kAutoOperator = "AcessoAutomatico/Operador";
constexpr auto kAutoPassword = "AcessoAutomatico/Senha";
constexpr auto kAutoBranch = "AcessoAutomatico/Filial";

// QSettings accepts almost any text as INI, so a damaged file would pass
// silently; this check finds the lines that are neither section nor key.
QString findDamage(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError() || bytes.contains('\0')) return QStringLiteral("o conteúdo não é texto.");
    const QStringList lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#')) continue;
        if (line.startsWith('[')) {
            if (!line.endsWith(']') || line.size() < 3)
                return QStringLiteral("linha %1: seção mal formada: %2").arg(i + 1).arg(line);
            continue;
        }
        const int eq = line.indexOf('=');
        if (eq <= 0) return QStringLiteral("linha %1: esperado CHAVE=VALOR: %2").arg(i + 1).arg(line);
    }
    return {};
}

std::optional<bool> parseFlag(const QString& text) {
    const QString t = text.trimmed().toLower();
    if (t == "true" || t == "1" || t == "s" || t == "sim") return true;
    if (t == "false" || t == "0" || t == "n" || t == "nao" || t == QStringLiteral("não")) return false;
    return std::nullopt;
}

std::optional<int> parseInt(const QString& text, int low, int high) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < low || value > high) return std::nullopt;
    return value;
}

QString valueText(const QSettings& s, const char* key) { return s.value(key).toString(); }

} // namespace

HostConfig HostConfig::defaults(const QString& exeFolder) {
    HostConfig c;
    c.databaseUrl = resolveDatabaseUrl(QStringLiteral("sqlite:data/inquerito.db"), QDir::currentPath());
    c.executableFolder = exeFolder;
    return c;
}

HostConfig loadConfig(const QString& path, const QString& exeFolder, QStringList* problems) {
    HostConfig c = HostConfig::defaults(exeFolder);
    auto report = [&](const QString& text) {
        if (problems) problems->append(text);
    };
    if (!QFileInfo::exists(path)) return c;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        report(QStringLiteral("Não foi possível ler o arquivo de configuração %1; valores padrão em uso.").arg(path));
        return c;
    }
    if (const QString damage = findDamage(file.readAll()); !damage.isEmpty()) {
        report(QStringLiteral("Arquivo de configuração %1 danificado (%2); valores padrão em uso.").arg(path, damage));
        return c;
    }
    file.close();

    QSettings s(path, QSettings::IniFormat);
    if (s.status() != QSettings::NoError) {
        report(QStringLiteral("Arquivo de configuração %1 danificado; valores padrão em uso.").arg(path));
        return c;
    }
    const QString base = QFileInfo(path).absolutePath();
    auto bad = [&](const char* key, const QString& text) {
        report(QStringLiteral("Valor inválido em %1: \"%2\" (%3); valor padrão em uso.").arg(path, text, key));
    };

    if (s.contains(kServerHost)) {
        const QString host = valueText(s, kServerHost).trimmed();
        if (host.isEmpty()) bad(kServerHost, host);
        else c.serverHost = host;
    }
    if (s.contains(kServerPort)) {
        const QString text = valueText(s, kServerPort);
        if (auto port = parseInt(text, 1, 65535)) c.serverPort = *port;
        else bad(kServerPort, text);
    }
    if (s.contains(kServerAlternates)) {
        // QSettings splits an unquoted value at its commas.
        const QVariant value = s.value(kServerAlternates);
        const QString text =
            value.typeId() == QMetaType::QStringList ? value.toStringList().join(',') : value.toString();
        if (auto list = parseServerAddresses(text)) {
            for (const ServerAddress& a : *list) c.serverAlternates.append(a.host + ':' + QString::number(a.port));
        } else {
            bad(kServerAlternates, text);
        }
    }
    if (s.contains(kServerScheme)) {
        const QString scheme = valueText(s, kServerScheme).trimmed().toLower();
        if (scheme == "http" || scheme == "https") c.serverTls = scheme == "https";
        else bad(kServerScheme, scheme);
    }
    if (const QString ca = valueText(s, kServerCaFile).trimmed(); !ca.isEmpty())
        c.serverCaFile = QDir(base).absoluteFilePath(ca);
    if (s.contains(kDatabaseUrl)) {
        const QString url = valueText(s, kDatabaseUrl).trimmed();
        if (url.startsWith("sqlite:") || url.startsWith("postgresql://") || url.startsWith("postgres://"))
            c.databaseUrl = resolveDatabaseUrl(url, base);
        else bad(kDatabaseUrl, url);
    }
    if (s.contains(kBoundToBranch)) {
        const QString text = valueText(s, kBoundToBranch);
        if (auto flag = parseFlag(text)) c.moduleBoundToBranch = *flag;
        else bad(kBoundToBranch, text);
    }
    if (s.contains(kActiveModule)) {
        const QString text = valueText(s, kActiveModule);
        if (auto module = parseInt(text, 0, 9999)) c.activeModule = *module;
        else bad(kActiveModule, text);
    }
    if (const QString folder = valueText(s, kExecutableFolder).trimmed(); !folder.isEmpty())
        c.executableFolder = QDir(base).absoluteFilePath(folder);
    if (const QString library = valueText(s, kModuleLibrary).trimmed(); !library.isEmpty())
        c.moduleLibrary = QDir(base).absoluteFilePath(library);
    c.autoLogin.operatorCode = valueText(s, kAutoOperator).trimmed();
    c.autoLogin.password = valueText(s, kAutoPassword);
    c.autoLogin.branchCode = valueText(s, kAutoBranch).trimmed();
    return c;
}

bool saveConfig(const HostConfig& c, const QString& path, QString* error) {
    if (const QString folder = QFileInfo(path).absolutePath(); !QDir().mkpath(folder)) {
        if (error) *error = QStringLiteral("Não foi possível criar a pasta %1.").arg(folder);
        return false;
    }
    QSettings s(path, QSettings::IniFormat);
    s.clear();
    s.setValue(kServerHost, c.serverHost);
    s.setValue(kServerPort, c.serverPort);
    if (!c.serverAlternates.isEmpty()) s.setValue(kServerAlternates, c.serverAlternates.join(", "));
    s.setValue(kServerScheme, c.serverTls ? "https" : "http");
    if (!c.serverCaFile.isEmpty()) s.setValue(kServerCaFile, c.serverCaFile);
    s.setValue(kDatabaseUrl, c.databaseUrl);
    s.setValue(kBoundToBranch, c.moduleBoundToBranch);
    s.setValue(kActiveModule, c.activeModule);
    s.setValue(kExecutableFolder, c.executableFolder);
    s.setValue(kModuleLibrary, c.moduleLibrary);
    if (c.autoLogin.enabled()) {
        s.setValue(kAutoOperator, c.autoLogin.operatorCode);
        s.setValue(kAutoPassword, c.autoLogin.password);
        s.setValue(kAutoBranch, c.autoLogin.branchCode);
    }
    s.sync();
    if (s.status() != QSettings::NoError) {
        if (error) *error = QStringLiteral("Não foi possível gravar o arquivo de configuração %1.").arg(path);
        return false;
    }
    return true;
}

QString resolveDatabaseUrl(const QString& url, const QString& baseFolder) {
    if (!url.startsWith("sqlite:")) return url;
    const QString file = url.mid(int(qstrlen("sqlite:")));
    if (file.isEmpty() || QDir::isAbsolutePath(file)) return url;
    return "sqlite:" + QDir::cleanPath(QDir(baseFolder).absoluteFilePath(file));
}

std::optional<ServerAddress> parseServerAddress(const QString& given) {
    QString text = given.trimmed();
    std::optional<bool> tls;
    for (const char* scheme : {"http://", "https://"})
        if (text.startsWith(scheme, Qt::CaseInsensitive)) {
            tls = QString(scheme) == "https://";
            text = text.mid(int(qstrlen(scheme)));
        }
    const int colon = text.lastIndexOf(':');
    if (colon <= 0) return std::nullopt;
    const QString host = text.left(colon).trimmed();
    const auto port = parseInt(text.mid(colon + 1), 1, 65535);
    if (host.isEmpty() || !port) return std::nullopt;
    return ServerAddress{host, *port, tls};
}

std::optional<QList<ServerAddress>> parseServerAddresses(const QString& text) {
    QList<ServerAddress> list;
    for (const QString& part : text.split(QRegularExpression("[,;]"), Qt::SkipEmptyParts)) {
        if (part.trimmed().isEmpty()) continue;
        auto address = parseServerAddress(part);
        if (!address) return std::nullopt;
        list.append(*address);
    }
    return list;
}

CommandLine parseCommandLine(const QStringList& arguments) {
    CommandLine line;
    // The value of "--name VALUE" or "--name=VALUE"; nullopt when the
    // argument is another one. A missing or blank value is an error.
    auto valueOf = [&](int& i, const QString& name) -> std::optional<QString> {
        QString value;
        if (arguments[i] == name && i + 1 < arguments.size()) value = arguments[++i];
        else if (arguments[i].startsWith(name + "=")) value = arguments[i].mid(name.size() + 1);
        else if (arguments[i] != name) return std::nullopt;
        if (value.trimmed().isEmpty()) line.error = QStringLiteral("A opção %1 precisa de um valor.").arg(name);
        return value.trimmed();
    };
    for (int i = 1; i < arguments.size() && line.error.isEmpty(); ++i) {
        if (arguments[i] == "-h" || arguments[i] == "--help") {
            line.help = true;
        } else if (auto config = valueOf(i, "--config")) {
            line.configPath = *config;
        } else if (auto url = valueOf(i, "--db")) {
            line.databaseUrl = *url;
        } else if (auto server = valueOf(i, "--server"); server && line.error.isEmpty()) {
            const auto list = parseServerAddresses(*server);
            if (list && !list->isEmpty()) {
                line.server = list->first();
                line.alternates = list->mid(1);
            } else {
                line.error = QStringLiteral("Endereço do servidor inválido: \"%1\" (use ENDEREÇO:PORTA).").arg(*server);
            }
        }
    }
    return line;
}

QString usageText() {
    return QStringLiteral(
        "Uso: inquerito-host [--config ARQUIVO] [--server ENDEREÇO:PORTA] [--db URL]\n"
        "  --config ARQUIVO   arquivo de configuração (padrão: inquerito-host.ini ao lado do\n"
        "                     executável ou na pasta atual)\n"
        "  --server END:PORTA servidor de aplicação (padrão do arquivo, ou 127.0.0.1:8211);\n"
        "                     https://END:PORTA para um servidor com TLS; vários endereços\n"
        "                     separados por vírgula são tentados em ordem quando um falha\n"
        "  --db URL           banco de dados: sqlite:CAMINHO ou postgresql://USUARIO@HOST:PORTA/BANCO\n");
}

QString defaultConfigPath(const QString& exeFolder, const QString& currentFolder) {
    const QString name = QStringLiteral("inquerito-host.ini");
    const QString besideExe = QDir(exeFolder).absoluteFilePath(name);
    if (QFileInfo::exists(besideExe)) return besideExe;
    const QString inCurrent = QDir(currentFolder).absoluteFilePath(name);
    if (QFileInfo::exists(inCurrent)) return inCurrent;
    return besideExe;
}

void applyOverrides(HostConfig& config, const CommandLine& line, const QString& currentFolder) {
    if (line.server) {
        config.serverHost = line.server->host;
        config.serverPort = line.server->port;
        if (line.server->tls) config.serverTls = *line.server->tls;
        config.serverAlternates.clear();
        for (const ServerAddress& a : line.alternates) config.serverAlternates.append(a.host + ':' + QString::number(a.port));
    }
    if (!line.databaseUrl.isEmpty()) config.databaseUrl = resolveDatabaseUrl(line.databaseUrl, currentFolder);
}

} // namespace hostapp

#include "hostapp/Login.h"

#include "db/Database.h"
#include "db/Query.h"
#include "host/routines/Consiste.h"
#include "host/core/Session.h"
#include "protocol/RpcClient.h"

#include <QFileInfo>

namespace hostapp {

namespace {

QString text(const protocol::Value& v) {
    return v.is_string() ? QString::fromStdString(v.get<std::string>()) : QString();
}

QString normalizedOperator(const QString& code) { return code.trimmed().toUpper(); }

hostfw::CodePicture picture(soci::session& db, int type) {
    const auto packet = db::query(db, "SELECT DSMASCARA, QTNIVEIS FROM PICTCODIGO WHERE IDTIPOPICT = :P_IDTIPOPICT",
                                  {{"P_IDTIPOPICT", std::to_string(type)}},
                                  {{"DSMASCARA", protocol::FieldType::String, 30},
                                   {"QTNIVEIS", protocol::FieldType::Integer, 0}});
    hostfw::CodePicture p;
    if (packet.rows.empty()) return p;
    p.mask = text(packet.rows[0][0]);
    if (packet.rows[0][1].is_number()) p.levels = packet.rows[0][1].get<int>();
    return p;
}

} // namespace

QList<Branch> operatorBranches(soci::session& db, const QString& operatorCode) {
    const auto packet = db::query(db,
                                  "SELECT F.CDFILIAL, F.NMFILIAL FROM OPERFILI O "
                                  "JOIN FILIAL F ON F.CDFILIAL = O.CDFILIAL "
                                  "WHERE O.CDOPERADOR = :P_CDOPERADOR ORDER BY F.CDFILIAL",
                                  {{"P_CDOPERADOR", normalizedOperator(operatorCode).toStdString()}},
                                  {{"CDFILIAL", protocol::FieldType::String, 4},
                                   {"NMFILIAL", protocol::FieldType::String, 30}});
    QList<Branch> branches;
    for (const auto& row : packet.rows) branches.append({text(row[0]), text(row[1])});
    return branches;
}

namespace {

// The server's address and its alternates: a session opened on one is valid on all.
std::vector<protocol::ServerEndpoint> serverEndpoints() {
    const auto& s = hostfw::session();
    std::vector<protocol::ServerEndpoint> list{
        {s.serverHost.toStdString(), s.serverPort, s.serverTls, s.serverCaFile.toStdString()}};
    for (const QString& address : s.serverAlternates)
        if (auto a = parseServerAddress(address))
            list.push_back({a->host.toStdString(), a->port, s.serverTls, s.serverCaFile.toStdString()});
    return list;
}

}  // namespace

namespace {

// Login or password change: one call that answers a session.
LoginResult openSession(const QString& operatorCode, const QString& password, const QString* newPassword,
                        const QString& branchCode) {
    LoginResult result;
    const auto endpoints = serverEndpoints();
    const auto& endpoint = endpoints.front();
    try {
        protocol::RpcClient client(endpoints, 30);
        // Padded as the branch edits pad ("2" is "0002").
        const std::string branch = Consiste::Ajusta(branchCode.trimmed(), 4).toStdString();
        const std::string code = normalizedOperator(operatorCode).toStdString();
        protocol::json data;
        if (newPassword) {
            data = client.call("Host.Sessao.TrocarSenha",
                               {code, password.toStdString(), newPassword->toStdString(), branch})
                       .data;
            if (data.contains("token") && data["token"].is_string()) client.setToken(data["token"].get<std::string>());
        } else {
            data = client.login(code, password.toStdString(), branch);
        }
        auto field = [&](const char* name) {
            return data.contains(name) ? text(data[name]) : QString();
        };
        result.token = QString::fromStdString(client.token());
        result.expires = field("expira");
        result.operatorCode = field("CDOPERADOR");
        result.operatorName = field("NMOPERADOR");
        result.administrator = field("IDPERFIL") == QLatin1String("A");
        result.branch = {field("CDFILIAL"), field("NMFILIAL")};
        if (data.contains("filiais")) {
            const auto packet = protocol::DataPacket::fromJson(data["filiais"]);
            for (const auto& row : packet.rows) result.branches.append({text(row[0]), text(row[1])});
        }
        result.ok = !result.token.isEmpty();
        if (!result.ok) result.error = QStringLiteral("O servidor de aplicação não abriu a sessão.");
    } catch (const protocol::RpcFailure& e) {
        result = {};
        result.mustChangePassword = e.code() == protocol::rpc_error::PasswordChangeRequired;
        if (e.code() == protocol::rpc_error::Transport) result.unreachable = QString::fromStdString(endpoint.key());
        result.error = e.code() == protocol::rpc_error::Transport
                           ? QStringLiteral("Não foi possível conectar ao servidor de aplicação em %1:%2.")
                                 .arg(QString::fromStdString(endpoint.host))
                                 .arg(endpoint.port)
                           : QString::fromStdString(e.what());
    } catch (const std::exception& e) {
        result = {};
        result.error = QStringLiteral("Falha no acesso ao servidor de aplicação: %1").arg(QString::fromUtf8(e.what()));
    }
    return result;
}

}  // namespace

LoginResult authenticate(const QString& operatorCode, const QString& password, const QString& branchCode) {
    return openSession(operatorCode, password, nullptr, branchCode);
}

LoginResult changePassword(const QString& operatorCode, const QString& password, const QString& newPassword,
                           const QString& branchCode) {
    return openSession(operatorCode, password, &newPassword, branchCode);
}

LoginResult authenticate(soci::session&, const QString& operatorCode, const QString& password,
                         const QString& branchCode) {
    return authenticate(operatorCode, password, branchCode);
}

void logout() {
    auto& s = hostfw::session();
    if (s.sessionToken.isEmpty()) return;
    try {
        protocol::RpcClient client(serverEndpoints(), 10);
        client.setToken(s.sessionToken.toStdString());
        client.logout();
    } catch (const std::exception&) {
        // The session ends by itself at its expiry.
    }
    for (const auto& e : serverEndpoints())
        if (protocol::rememberedSessionToken(e.key()) == s.sessionToken.toStdString())
            protocol::forgetSessionToken(e.key());
    s.sessionToken.clear();
    s.sessionExpires.clear();
}

void applyConfigToSession(const HostConfig& config) {
    auto& s = hostfw::session();
    s.serverHost = config.serverHost;
    s.serverPort = config.serverPort;
    s.serverAlternates = config.serverAlternates;
    s.serverTls = config.serverTls;
    s.serverCaFile = config.serverCaFile;
    s.databaseUrl = config.databaseUrl;
    s.moduleBoundToBranch = config.moduleBoundToBranch;
    s.activeModule = config.activeModule;
    s.executableFolder = config.executableFolder;
}

void applyLoginToSession(soci::session& db, const LoginResult& login) {
    auto& s = hostfw::session();
    s.operatorCode = login.operatorCode;
    s.operatorName = login.operatorName;
    s.operatorIsAdministrator = login.administrator;
    s.branchCode = login.branch.code;
    s.branchName = login.branch.name;
    s.operatorBranches.clear();
    for (const Branch& b : login.branches) s.operatorBranches.append(b.code);
    s.sessionToken = login.token;
    s.sessionExpires = login.expires;
    if (!login.token.isEmpty())
        for (const auto& e : serverEndpoints()) protocol::rememberSessionToken(e.key(), login.token.toStdString());
    s.productPicture = picture(db, 0);
    s.dishPicture = picture(db, 1);
}

QString databaseProblem(const QString& databaseUrl) {
    if (databaseUrl.trimmed().isEmpty()) return QStringLiteral("Banco de dados não configurado.");
    db::DatabaseUrl url;
    try {
        url = db::DatabaseUrl::parse(databaseUrl.toStdString());
    } catch (const std::exception& e) {
        return QStringLiteral("Endereço do banco de dados inválido: %1").arg(databaseUrl);
    }
    // Opening a missing SQLite file would create an empty one, which the
    // server would then take for a database without demo data.
    if (url.engine == db::Engine::SQLite && !QFileInfo::exists(QString::fromStdString(url.sqlitePath)))
        return QStringLiteral("Banco de dados não encontrado: %1\nInicie o servidor de aplicação "
                              "(inquerito-server), que o cria com os dados de demonstração.")
            .arg(QString::fromStdString(url.sqlitePath));
    return {};
}

} // namespace hostapp

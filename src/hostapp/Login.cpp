#include "hostapp/Login.h"

#include "db/Database.h"
#include "db/Password.h"
#include "db/Query.h"
#include "host/core/Consiste.h"
#include "host/core/Session.h"

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

LoginResult authenticate(soci::session& db, const QString& operatorCode, const QString& password,
                         const QString& branchCode) {
    LoginResult result;
    const QString code = normalizedOperator(operatorCode);
    try {
        const auto op = db::query(db, "SELECT NMOPERADOR, DSSENHA FROM OPERADOR WHERE CDOPERADOR = :P_CDOPERADOR",
                                  {{"P_CDOPERADOR", code.toStdString()}},
                                  {{"NMOPERADOR", protocol::FieldType::String, 60},
                                   {"DSSENHA", protocol::FieldType::String, 200}});
        // Unknown operator and wrong password get the same answer on purpose.
        if (code.isEmpty() || op.rows.empty() ||
            !db::verifyPassword(password.toStdString(), text(op.rows[0][1]).toStdString())) {
            result.error = QStringLiteral("Operador ou senha inválidos.");
            return result;
        }
        result.operatorCode = code;
        result.operatorName = text(op.rows[0][0]);
        result.branches = operatorBranches(db, code);
        if (result.branches.isEmpty()) {
            result.error = QStringLiteral("Operador sem filial liberada para acesso.");
            return result;
        }
        const QString branch = Consiste::Ajusta(branchCode.trimmed(), 4);
        if (branch.isEmpty()) {
            result.error = QStringLiteral("Filial deve ser informada.");
            return result;
        }
        for (const Branch& b : result.branches) {
            if (b.code == branch) {
                result.branch = b;
                result.ok = true;
                return result;
            }
        }
        result.error = QStringLiteral("Operador sem permissão de acesso à filial %1.").arg(branch);
    } catch (const std::exception& e) {
        result.error = QStringLiteral("Não foi possível consultar o banco de dados: %1").arg(QString::fromUtf8(e.what()));
    }
    return result;
}

void applyConfigToSession(const HostConfig& config) {
    auto& s = hostfw::session();
    s.serverHost = config.serverHost;
    s.serverPort = config.serverPort;
    s.databaseUrl = config.databaseUrl;
    s.moduleBoundToBranch = config.moduleBoundToBranch;
    s.activeModule = config.activeModule;
    s.executableFolder = config.executableFolder;
}

void applyLoginToSession(soci::session& db, const LoginResult& login) {
    auto& s = hostfw::session();
    s.operatorCode = login.operatorCode;
    s.operatorName = login.operatorName;
    s.branchCode = login.branch.code;
    s.branchName = login.branch.name;
    s.operatorBranches.clear();
    for (const Branch& b : login.branches) s.operatorBranches.append(b.code);
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

#pragma once
// Operator login through the application server (Host.Sessao.Login): the
// server checks the password and the branch and opens a session whose token
// every later call carries; the session values are filled after a successful
// login.
#include "hostapp/HostConfig.h"

#include <QList>
#include <QString>

namespace soci {
class session;
}

namespace hostapp {

struct Branch {
    QString code;
    QString name;
};

struct LoginResult {
    bool ok = false;
    QString error;  // shown to the user when not ok
    QString unreachable;  // the server's address ("HOST:PORT") when it could not be reached
    QString operatorCode;
    QString operatorName;
    Branch branch;
    QList<Branch> branches;  // every branch the operator may use
    bool administrator = false;       // manages operators and reads the audit trail
    bool mustChangePassword = false;  // the password was reset: TrocarSenha before a session
    QString token;           // the server's session token
    QString expires;         // when the session ends (ISO 8601, UTC)
};

// Branches of an operator (OPERFILI), by code; empty for an unknown operator.
QList<Branch> operatorBranches(soci::session& db, const QString& operatorCode);

// Checks operator, password and branch on the application server named by
// the session values (serverHost, serverPort, serverTls, serverCaFile). Never
// throws; a server that cannot be reached is reported in error.
LoginResult authenticate(const QString& operatorCode, const QString& password, const QString& branchCode);
// Changes the operator's password (the current one, a reset one included)
// and logs in with the new one (Host.Sessao.TrocarSenha).
LoginResult changePassword(const QString& operatorCode, const QString& password, const QString& newPassword,
                           const QString& branchCode);
// The same; the host database is not used (kept for callers that pass it).
LoginResult authenticate(soci::session& db, const QString& operatorCode, const QString& password,
                         const QString& branchCode);

// Ends the session on the server and forgets its token.
void logout();

// Fills hostfw::session() with the configuration's values (server, database,
// module binding, active module, executable folder).
void applyConfigToSession(const HostConfig& config);

// Fills hostfw::session() with the login: operator, branch, branches, the
// session token (also remembered for the server, so every connection of the
// process sends it) and the code pictures of products (0) and dishes (1).
void applyLoginToSession(soci::session& db, const LoginResult& login);

// Whether the configured database can be opened without creating anything:
// an SQLite file must exist (the application server creates it). Answers the
// message to show, or an empty text.
QString databaseProblem(const QString& databaseUrl);

} // namespace hostapp

#pragma once
// Operator login against the host database: password check, the branches the
// operator may use, and the session values filled after a successful login.
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
    QString operatorCode;
    QString operatorName;
    Branch branch;
    QList<Branch> branches;  // every branch the operator may use
};

// Branches of an operator (OPERFILI), by code; empty for an unknown operator.
QList<Branch> operatorBranches(soci::session& db, const QString& operatorCode);

// Checks operator, password and branch. Never throws for bad input; a
// database failure is reported in error.
LoginResult authenticate(soci::session& db, const QString& operatorCode, const QString& password,
                         const QString& branchCode);

// Fills hostfw::session() with the configuration's values (server, database,
// module binding, active module, executable folder).
void applyConfigToSession(const HostConfig& config);

// Fills hostfw::session() with the login: operator, branch, branches and the
// code pictures of products (0) and dishes (1).
void applyLoginToSession(soci::session& db, const LoginResult& login);

// Whether the configured database can be opened without creating anything:
// an SQLite file must exist (the application server creates it). Answers the
// message to show, or an empty text.
QString databaseProblem(const QString& databaseUrl);

} // namespace hostapp

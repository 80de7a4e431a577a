#pragma once
// Operator management (see Operators.cpp): shared by the server object
// "Host.Operador" and the server's --add-operator command line.
#include "db/Database.h"

#include <string>
#include <vector>

namespace server {

struct OperatorSpec {
    std::string code;
    std::string name;
    std::string profile;  // A administrador, N nutricionista
    std::vector<std::string> branches;
    std::string password;
};

// Checks a new operator's data (OperationError with the reason) and answers it normalised.
OperatorSpec operatorSpec(soci::session& session, const std::string& code, const std::string& name,
                          const std::string& branches, const std::string& profile, const std::string& password);
// Inserts the operator and its branches, inside the caller's transaction.
void insertOperator(soci::session& session, const OperatorSpec& spec, bool mustChangePassword);
// Inserts the operator in a transaction of its own, audited as made from the console.
void addOperatorFromConsole(soci::session& session, const OperatorSpec& spec);

} // namespace server

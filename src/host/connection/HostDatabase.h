#pragma once
// The host's database connection, which the module's catalogue queries use.
#include "db/Database.h"
#include "host/core/HostExport.h"

#include <QString>

namespace hostfw {

// Opened on first use from session().databaseUrl; throws EHostError when it cannot be.
HOSTFW_EXPORT soci::session& hostDatabase();
HOSTFW_EXPORT db::Engine hostEngine();
// Drops the connection (the next use opens it again, e.g. after the URL changed).
HOSTFW_EXPORT void closeHostDatabase();

} // namespace hostfw

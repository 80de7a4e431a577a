#include "host/connection/HostDatabase.h"

#include "host/core/Failures.h"
#include "host/core/Session.h"

#include <memory>

namespace hostfw {

namespace {
std::unique_ptr<soci::session>& connection() {
    static std::unique_ptr<soci::session> s;
    return s;
}
}  // namespace

soci::session& hostDatabase() {
    auto& s = connection();
    if (!s) {
        if (session().databaseUrl.isEmpty()) throw EHostError("Banco de dados do sistema não configurado.");
        try {
            s = db::openSession(db::DatabaseUrl::parse(session().databaseUrl.toStdString()));
        } catch (const std::exception& e) {
            throw EHostError(QStringLiteral("Não foi possível abrir o banco de dados: %1").arg(QString::fromStdString(e.what())));
        }
    }
    return *s;
}

db::Engine hostEngine() { return db::engineOf(hostDatabase()); }

void closeHostDatabase() { connection().reset(); }

} // namespace hostfw

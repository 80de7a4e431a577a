#include "host/connection/ADOIBQuery.h"

#include "db/Query.h"
#include "host/core/Failures.h"
#include "host/connection/HostDatabase.h"

#include <QRegularExpression>

namespace hostfw {

TADOIBQuery::TADOIBQuery(QObject* owner, const QString& name) : TClientDataSet(owner, name) {}
TADOIBQuery::~TADOIBQuery() = default;

TParam& TADOIBQuery::ParamByName(const QString& name) {
    for (auto& p : params_)
        if (p->Name().compare(name, Qt::CaseInsensitive) == 0) return *p;
    params_.push_back(std::make_unique<TParam>(name));
    return *params_.back();
}

QString TADOIBQuery::ActiveSQL() const {
    // SQLite and PostgreSQL both run the generic text, with the helper
    // functions (NVL, NVLSTR, INSTR, PARAM) the database layer provides.
    return SQL.join('\n');
}

void TADOIBQuery::Open() {
    const QString sql = ActiveSQL();
    db::Params params;
    static const QRegularExpression named(QStringLiteral(":(P_[A-Za-z0-9_]+)"));
    QStringList seen;
    for (auto it = named.globalMatch(sql); it.hasNext();) {
        const QString name = it.next().captured(1);
        if (seen.contains(name, Qt::CaseInsensitive)) continue;
        seen << name;
        const TParam& p = ParamByName(name);
        params.push_back({name.toStdString(),
                          p.IsNull() ? std::nullopt : std::optional<std::string>(p.AsString().toStdString())});
    }
    protocol::DataPacket packet;
    try {
        packet = db::query(hostDatabase(), sql.toStdString(), params);
    } catch (const EHostError&) {
        throw;
    } catch (const std::exception& e) {
        throw EHostError(QStringLiteral("Erro ao consultar o banco de dados (%1): %2")
                             .arg(objectName(), QString::fromStdString(e.what())));
    }
    // An expression column (NVL(VRPESOMEDI, 0)) has no declared type in SQLite
    // and may come back as text: a declared numeric field decides its type.
    for (size_t c = 0; c < packet.fields.size(); ++c) {
        const TField* f = FindField(QString::fromStdString(packet.fields[c].name));
        if (!f || (f->DataType() != TFieldType::ftFloat && f->DataType() != TFieldType::ftInteger)) continue;
        const bool isFloat = f->DataType() == TFieldType::ftFloat;
        packet.fields[c].type = isFloat ? protocol::FieldType::Float : protocol::FieldType::Integer;
        for (auto& row : packet.rows) {
            if (!row[c].is_string()) continue;
            bool ok = false;
            const double number = QString::fromStdString(row[c].get<std::string>()).trimmed().toDouble(&ok);
            if (!ok) continue;
            if (isFloat)
                row[c] = number;
            else
                row[c] = static_cast<long long>(number);
        }
    }
    SetData(packet.toJson());
}

void TADOIBQuery::Close() { TClientDataSet::Close(); }

} // namespace hostfw

#include "host/reports/ReportParams.h"

#include "host/core/Failures.h"

namespace hostfw {

std::optional<std::string> TReportParam::boundText() const {
    if (value_.isNull() || !value_.isValid()) return std::nullopt;
    if (type_ == TReportParamType::String) return value_.toString().toStdString();

    QDateTime moment;
    if (value_.typeId() == QMetaType::QDate) {
        moment = QDateTime(value_.toDate(), QTime(0, 0));
    } else if (value_.typeId() == QMetaType::QDateTime) {
        moment = value_.toDateTime();
    } else {
        const QString text = value_.toString().trimmed();
        if (text.isEmpty()) return std::nullopt;
        for (const char* format : {"dd/MM/yyyy", "yyyy-MM-dd"})
            if (const QDate d = QDate::fromString(text, QLatin1String(format)); d.isValid()) moment = QDateTime(d, QTime(0, 0));
        if (!moment.isValid()) moment = QDateTime::fromString(text, Qt::ISODate);
        if (!moment.isValid())
            throw EHostError(QStringLiteral("O valor '%1' do parâmetro '%2' não é uma data válida.").arg(text, name_));
    }
    // Dates are compared as text on SQLite: a midnight value binds as the bare date.
    const QString bound = moment.time() == QTime(0, 0) ? moment.date().toString(Qt::ISODate)
                                                        : moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return bound.toStdString();
}

TReportParams::TReportParams(const std::vector<TReportParamDef>& declared) {
    for (const auto& d : declared)
        if (!ExistParam(d.name)) params_.emplace_back(d.name, d.type);
}

const TReportParam* TReportParams::Find(const QString& name) const {
    QString key = name;
    if (key.startsWith(':')) key.remove(0, 1);
    for (const auto& p : params_)
        if (p.Name().compare(key, Qt::CaseInsensitive) == 0) return &p;
    return nullptr;
}

bool TReportParams::ExistParam(const QString& name) const { return Find(name) != nullptr; }

TReportParam& TReportParams::ParamByName(const QString& name) {
    if (const TReportParam* p = Find(name)) return const_cast<TReportParam&>(*p);
    throw EHostError(QStringLiteral("O parâmetro '%1' não existe na consulta do relatório.").arg(name));
}

}  // namespace hostfw

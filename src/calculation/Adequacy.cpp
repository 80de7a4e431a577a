#include "calculation/Adequacy.h"

#include "host/core/BrNumber.h"

namespace calculation {

namespace {

QString amount(double value, const QString& unit) {
    return hostfw::FormatPlain(value, true) + " " + unit + "/dia";
}

QString limitName(const QString& kind) {
    return kind == QLatin1String("CDRR") ? QStringLiteral("CDRR (redução de risco de doença crônica)")
                                         : QStringLiteral("UL (limite superior tolerável)");
}

}  // namespace

Adequacy adequacyOf(double total, int days, const std::optional<Reference>& reference, const QString& missing) {
    Adequacy a;
    if (!reference) {
        a.tip = missing.isEmpty() ? QStringLiteral("Sem valor de referência (DRI) para este nutriente.") : missing;
        return a;
    }
    if (days <= 0) {
        a.tip = QStringLiteral("Nenhum dia do período tem item registrado nos serviços escolhidos: sem média diária.");
        return a;
    }
    const Reference& r = *reference;
    const double mean = total / days;
    QStringList lines;
    lines << QStringLiteral("Média diária: %1 %2.").arg(hostfw::FormatFixed(mean, 3), r.unit);
    if (r.value) {
        a.percent = mean * 100 / *r.value;
        a.level = *a.percent < LowShare ? Adequacy::Level::Low : Adequacy::Level::Adequate;
        lines << QStringLiteral("%1 %2 de %3 (DRI, %4).")
                     .arg(hostfw::FormatFixed(*a.percent, 1) + " %", r.kind == QLatin1String("AI") ? "da AI" : "da RDA",
                          amount(*r.value, r.unit), r.group);
    } else {
        lines << QStringLiteral("Sem RDA ou AI para este nutriente; a DRI (%1) dá só o limite superior.").arg(r.group);
    }
    if (r.limit) {
        if (mean > *r.limit) {
            a.level = Adequacy::Level::AboveLimit;
            lines << QStringLiteral("Acima do %1 de %2.").arg(limitName(r.limitKind), amount(*r.limit, r.unit));
        } else {
            lines << QStringLiteral("%1: %2.").arg(limitName(r.limitKind), amount(*r.limit, r.unit));
        }
    }
    if (a.level == Adequacy::Level::Low)
        lines << QStringLiteral("Abaixo de %1 % da recomendação.").arg(hostfw::FormatPlain(LowShare));
    a.tip = lines.join('\n');
    return a;
}

}  // namespace calculation

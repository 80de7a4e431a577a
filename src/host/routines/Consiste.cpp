#include "host/routines/Consiste.h"

#include "db/Query.h"
#include "host/data/DataSet.h"
#include "host/core/Dialogs.h"
#include "host/core/Failures.h"
#include "host/connection/HostDatabase.h"

#include <QRegularExpression>
#include <QWidget>

#include <cmath>

namespace Consiste {

using namespace hostfw;

void MensErro(const QString& text, bool) {
    dialogs().message(DialogKind::Error, text);
    Abort();
}

bool EmptyString(const QString& text) { return text.trimmed().isEmpty(); }

QString AllTrim(const QString& text) { return text.trimmed(); }

QString Ajusta(const QString& text, int width) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() >= width) return t;
    return QString(width - t.size(), QLatin1Char('0')) + t;
}

QString PadL(const QString& text, int width) {
    if (text.size() >= width) return text;
    return QString(width - text.size(), QLatin1Char('0')) + text;
}

double RoundDec(double value, int decimals) {
    const double factor = std::pow(10.0, decimals);
    // The tiny nudge keeps 2.0005 (stored as 2.000499999…) rounding up.
    const double scaled = value * factor;
    const double rounded = std::round(scaled + (scaled >= 0 ? 1e-9 : -1e-9));
    return rounded / factor;
}

QString DateMask() { return QStringLiteral("99/99/9999;1; "); }

QDate ParseDate(const QString& typed) {
    const QString t = typed.trimmed();
    if (t.isEmpty()) return {};
    QString digits;
    for (QChar c : t)
        if (c.isDigit()) digits += c;
    QStringList parts = t.split(QRegularExpression(QStringLiteral("[/\\-. ]+")), Qt::SkipEmptyParts);
    int d = 0, m = 0, y = 0;
    if (parts.size() == 3) {
        d = parts[0].toInt();
        m = parts[1].toInt();
        y = parts[2].toInt();
        if (parts[2].size() <= 2) y += 2000;
    } else if (digits.size() == 8 && digits == t) {
        d = digits.left(2).toInt();
        m = digits.mid(2, 2).toInt();
        y = digits.mid(4).toInt();
    } else if (digits.size() == 6 && digits == t) {
        d = digits.left(2).toInt();
        m = digits.mid(2, 2).toInt();
        y = 2000 + digits.mid(4).toInt();
    } else {
        return {};
    }
    return QDate(y, m, d);
}

void DateSetText(TField* field, const QString& text) {
    const QDate date = ParseDate(text);
    if (!date.isValid()) throw EHostError(QStringLiteral("'%1' não é uma data válida.").arg(text.trimmed()));
    field->SetAsDate(date);
}

QString NomeSemana(const QDate& date) {
    static const char* names[] = {"Domingo", "Segunda", "Terça", "Quarta", "Quinta", "Sexta", "Sábado"};
    if (!date.isValid()) return {};
    return QString::fromUtf8(names[date.dayOfWeek() % 7]);
}

void SetChildEnabled(QWidget* container, bool enabled) {
    for (QWidget* child : container->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        child->setEnabled(enabled);
    }
}

QString ValidaFilial(const QString& branchCode, const QString& operatorCode, bool) {
    if (EmptyString(branchCode)) MensErro(QStringLiteral("Filial deve ser informada."));
    protocol::DataPacket branch;
    protocol::DataPacket allowed;
    try {
        branch = db::query(hostDatabase(), "SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = :P_CDFILIAL",
                           {{"P_CDFILIAL", branchCode.toStdString()}});
        allowed = db::query(hostDatabase(),
                            "SELECT CDFILIAL FROM OPERFILI WHERE CDOPERADOR = :P_CDOPERADOR AND CDFILIAL = :P_CDFILIAL",
                            {{"P_CDOPERADOR", operatorCode.toStdString()}, {"P_CDFILIAL", branchCode.toStdString()}});
    } catch (const EHostError&) {
        throw;
    } catch (const std::exception& e) {
        throw EHostError(QString::fromStdString(e.what()));
    }
    if (branch.rows.empty()) MensErro(QStringLiteral("Filial não cadastrada."));
    if (allowed.rows.empty()) MensErro(QStringLiteral("Operador sem permissão de acesso à filial %1.").arg(branchCode));
    return QString::fromStdString(branch.rows[0][0].get<std::string>());
}

protocol::json CheckResultServ(const RemoteResult& result, bool, int) {
    if (!result.ok) throw EHostError(result.error.isEmpty() ? QStringLiteral("Erro no servidor de aplicação.") : result.error);
    return result.data;
}

} // namespace Consiste

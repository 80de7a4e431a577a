#pragma once
// The host's checks and text helpers.
#include "host/core/HostExport.h"
#include "host/connection/NetConnection.h"

#include <QDate>
#include <QString>

class QWidget;

namespace hostfw {
class TField;
class TDBGrid;
}

namespace Consiste {

// Shows the text as an error, then abandons the operation (silent abort).
[[noreturn]] HOSTFW_EXPORT void MensErro(const QString& text, bool = true);
HOSTFW_EXPORT bool EmptyString(const QString& text);  // empty or blanks only
HOSTFW_EXPORT QString AllTrim(const QString& text);
// Fills a code with zeros on the left up to the width; empty stays empty,
// a longer text is not cut.
HOSTFW_EXPORT QString Ajusta(const QString& text, int width);
HOSTFW_EXPORT QString PadL(const QString& text, int width);
// Rounds to the decimals, halves away from zero.
HOSTFW_EXPORT double RoundDec(double value, int decimals);
HOSTFW_EXPORT QString DateMask();  // edit mask of date fields
// The field takes the typed date (dd/MM/yyyy, ddMMyyyy, dd/MM/yy); throws EHostError when it is no date.
HOSTFW_EXPORT void DateSetText(hostfw::TField* field, const QString& text);
HOSTFW_EXPORT QDate ParseDate(const QString& text);  // invalid QDate when it is no date
HOSTFW_EXPORT QString NomeSemana(const QDate& date);
HOSTFW_EXPORT void SetChildEnabled(QWidget* container, bool enabled);
HOSTFW_EXPORT QString GridText(hostfw::TDBGrid* grid, const QString& fieldName, bool = false);
HOSTFW_EXPORT int IndiceCol(hostfw::TDBGrid* grid, const QString& fieldName);
// The branch name when the operator may use the branch; raises otherwise.
HOSTFW_EXPORT QString ValidaFilial(const QString& branchCode, const QString& operatorCode, bool headerLeft);
// The payload of a good reply; raises the server's message for a failed one.
HOSTFW_EXPORT protocol::json CheckResultServ(const hostfw::RemoteResult& result, bool = true, int = 0);

} // namespace Consiste

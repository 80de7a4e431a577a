#pragma once
// Turns a layout and its query rows into a rich-text document, and prints
// such a document page by page with a page header and footer.
#include "host/core/HostExport.h"
#include "host/reports/ReportLayout.h"
#include "host/reports/ReportParams.h"
#include "protocol/Packets.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QPrinter;
class QTextDocument;

namespace hostfw {

// What a layout's queries answered, ready to render.
struct HOSTFW_EXPORT TReportData {
    std::vector<protocol::DataPacket> tables;  // one per table of the layout, the first table first
    std::vector<TReportParams> params;         // the parameters each table's query got
    std::vector<protocol::DataPacket> pivots;  // per table, the rows of its pivot's own query (if any)
    QStringList header;                        // page header lines, templates filled
    QString operatorName;
    QDateTime printedAt;
};

// Fills "{NAME}", "{NAME:date}", "{NAME:weekday}", "{NAME:time}", "{NAME:numberN}" and
// "{NAME|text when empty}" with the values the lookup answers (nullopt: empty).
HOSTFW_EXPORT QString fillReportTemplate(const QString& text,
                                         const std::function<std::optional<QString>(const QString&)>& value);

// Evaluates a computed column's expression: + - * / and parentheses over
// numbers, names (value(name); nullopt makes the result null) and SUM(NAME).
// A division by zero is null. Throws EHostError when the text is malformed.
HOSTFW_EXPORT std::optional<double> evaluateReportExpression(
    const QString& expression, const std::function<std::optional<double>(const QString&)>& value,
    const std::function<double(const QString&)>& sum);

// The value of a parameter in an expression: dates as day numbers, numeric texts as numbers.
HOSTFW_EXPORT std::optional<double> reportParamNumber(const TReportParam& param);

// The report body as HTML: per table its header, rows, group headers and sums, the sums at the end.
HOSTFW_EXPORT QString renderReportHtml(const TReportLayout& layout, const TReportData& data);

// A document of that HTML that also remembers the title, the page header, the
// operator, the printing time and the orientation for the page bands and the printer.
HOSTFW_EXPORT std::unique_ptr<QTextDocument> makeReportDocument(const TReportLayout& layout, const TReportData& data);

// A4, the document's orientation, 12 mm margins.
HOSTFW_EXPORT void setupReportPrinter(QPrinter& printer, const QTextDocument& document);

// Prints every page: the title and the page header on top; the printing time,
// the operator and "Página i de n" at the bottom. Throws EHostError when the
// printer cannot start.
HOSTFW_EXPORT void printReportDocument(const QTextDocument& document, QPrinter& printer);

}  // namespace hostfw

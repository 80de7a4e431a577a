#pragma once
// Turns a layout and its query rows into a rich-text document, and prints
// such a document page by page with a page header and footer.
#include "host/core/HostExport.h"
#include "host/reports/ReportLayout.h"
#include "protocol/Packets.h"

#include <QDateTime>
#include <QString>

#include <memory>

class QPrinter;
class QTextDocument;

namespace hostfw {

// The report as HTML: title, date of printing, column headers, rows, group
// headers and sums, the sums at the end.
HOSTFW_EXPORT QString renderReportHtml(const TReportLayout& layout, const protocol::DataPacket& rows,
                                       const QDateTime& printedAt);

// A document of that HTML that also remembers the title, the printing time and
// the orientation for the page header and the printer.
HOSTFW_EXPORT std::unique_ptr<QTextDocument> makeReportDocument(const TReportLayout& layout,
                                                                const protocol::DataPacket& rows,
                                                                const QDateTime& printedAt);

// A4, the document's orientation, 12 mm margins.
HOSTFW_EXPORT void setupReportPrinter(QPrinter& printer, const QTextDocument& document);

// Prints every page: the title and the printing time on top, "Página i de n"
// at the bottom. Throws EHostError when the printer cannot start.
HOSTFW_EXPORT void printReportDocument(const QTextDocument& document, QPrinter& printer);

}  // namespace hostfw

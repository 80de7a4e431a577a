#pragma once
// Printing of a pivot grid as it is shown (expanded rows only): a title and
// header lines on every page, the column headers repeated, the nesting as
// indentation, the print time and "Página N de M" in the footer. Columns that
// do not fit across a page continue on following pages, the labels repeated.
#include "host/core/HostExport.h"

#include <QObject>
#include <QPageLayout>
#include <QPageSize>
#include <QStringList>

#include <functional>

class QPrinter;

namespace hostfw {

class THierCubeGrid;

class HOSTFW_EXPORT THierCubeGridPrint : public QObject {
    Q_OBJECT
public:
    explicit THierCubeGridPrint(QObject* owner = nullptr, const QString& name = QString());

    THierCubeGrid* Grid = nullptr;
    QString Title;
    QStringList HeaderLines;  // shown under the title (patient, period, ...)
    QPageLayout::Orientation Orientation = QPageLayout::Landscape;
    QPageSize::PageSizeId PageSize = QPageSize::A4;
    double MarginLeft = 10, MarginTop = 10, MarginRight = 24, MarginBottom = 10;  // millimetres
    double HeaderMargin = 10;  // millimetres between the header and the rows
    bool ShowHeader = true;
    bool ShowFooter = true;
    QChar DecimalSeparator = QLatin1Char(',');

    // Paints every page on a printer already set up (see setupPrinter);
    // answers the number of pages.
    int PrintTo(QPrinter& printer) const;
    void setupPrinter(QPrinter& printer) const;

    // Preview (with its own print button, which offers printing to PDF too),
    // print through the printer dialog, or save straight to a PDF file.
    void Preview();
    void Print();
    void SavePdf(const QString& path);

    // Modal parts, replaceable so tests run headless.
    std::function<void(QPrinter& printer, const std::function<void(QPrinter*)>& paint)> ShowPreview;
    std::function<bool(QPrinter& printer)> AskPrinter;  // false: cancelled
};

}  // namespace hostfw

#include "host/pivot/HierCubeGridPrint.h"

#include "host/core/BrNumber.h"
#include "host/core/Failures.h"
#include "host/pivot/HierCubeGrid.h"
#include "host/pivot/HierCube.h"
#include "host/pivot/HierCubeModel.h"

#include <QDateTime>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <cmath>

namespace hostfw {

namespace {

struct PageSlice {
    int firstRow, lastRow;      // rows on the page (end exclusive)
    int firstColumn, lastColumn;  // value columns on the page (end exclusive)
};

}  // namespace

THierCubeGridPrint::THierCubeGridPrint(QObject* owner, const QString& name) : QObject(owner) {
    setObjectName(name);
    ShowPreview = [](QPrinter& printer, const std::function<void(QPrinter*)>& paint) {
        QPrintPreviewDialog dialog(&printer);
        dialog.setWindowTitle(QStringLiteral("Visualizar impressão"));
        QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter* p) { paint(p); });
        dialog.resize(1000, 700);
        dialog.exec();
    };
    AskPrinter = [](QPrinter& printer) {
        QPrintDialog dialog(&printer);
        return dialog.exec() == QDialog::Accepted;
    };
}

void THierCubeGridPrint::setupPrinter(QPrinter& printer) const {
    printer.setPageLayout(QPageLayout(QPageSize(PageSize), Orientation,
                                      QMarginsF(MarginLeft, MarginTop, MarginRight, MarginBottom),
                                      QPageLayout::Millimeter));
    printer.setDocName(Title);
}

int THierCubeGridPrint::PrintTo(QPrinter& printer) const {
    if (!Grid) return 0;
    const QStringList headers = Grid->headers();
    const auto rows = Grid->visibleRows();
    QPainter p;
    if (!p.begin(&printer)) throw EHostError(QStringLiteral("Não foi possível iniciar a impressão."));

    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QRectF area(0, 0, page.width(), page.height());
    const double mm = printer.resolution() / 25.4;
    QFont base(QStringLiteral("DejaVu Sans"), 8);
    QFont bold = base;
    bold.setBold(true);
    QFont titleFont = base;
    titleFont.setPointSize(12);
    titleFont.setBold(true);
    p.setFont(base);
    const QFontMetricsF fm(base, &printer);
    const double line = fm.height() * 1.35;
    const double labelWidth = std::min(area.width() * 0.38, 75 * mm);
    const double numberWidth = std::max(fm.horizontalAdvance(QStringLiteral("000.000,000")) + 2 * mm, 24 * mm);

    // Header block height: title, header lines, margin; column titles wrap on two lines.
    const double headerBlock =
        ShowHeader ? QFontMetricsF(titleFont, &printer).height() * 1.4 + HeaderLines.size() * line + HeaderMargin * mm : 0;
    const double columnHeader = 2 * line;
    const double footer = ShowFooter ? 2 * line : 0;
    const int rowsPerPage = std::max(1, int((area.height() - headerBlock - columnHeader - footer) / line));
    const int valueColumns = headers.size() - 1;
    const int columnsPerPage = std::max(1, int((area.width() - labelWidth) / numberWidth));

    std::vector<PageSlice> slices;
    for (int r = 0; r < std::max<int>(1, rows.size()); r += rowsPerPage)
        for (int c = 0; c < std::max(1, valueColumns); c += columnsPerPage)
            slices.push_back({r, std::min<int>(r + rowsPerPage, rows.size()), c, std::min(c + columnsPerPage, valueColumns)});

    const QString printedAt = QLocale(QLocale::Portuguese, QLocale::Brazil)
                                  .toString(QDateTime::currentDateTime(), QStringLiteral("dd/MM/yyyy HH:mm"));
    for (size_t s = 0; s < slices.size(); ++s) {
        if (s > 0) printer.newPage();
        const auto& slice = slices[s];
        double y = 0;
        if (ShowHeader) {
            p.setFont(titleFont);
            const double th = QFontMetricsF(titleFont, &printer).height();
            p.drawText(QRectF(0, y, area.width(), th), Qt::AlignLeft | Qt::AlignVCenter, Title);
            y += th * 1.4;
            p.setFont(base);
            for (const auto& h : HeaderLines) {
                p.drawText(QRectF(0, y, area.width(), line), Qt::AlignLeft | Qt::AlignVCenter, h);
                y += line;
            }
            y += HeaderMargin * mm;
        }
        // Column titles.
        p.setFont(bold);
        p.drawText(QRectF(0, y, labelWidth, columnHeader), Qt::AlignLeft | Qt::AlignBottom | Qt::TextWordWrap,
                   headers.value(0));
        for (int c = slice.firstColumn; c < slice.lastColumn; ++c) {
            const double x = labelWidth + (c - slice.firstColumn) * numberWidth;
            p.drawText(QRectF(x, y, numberWidth - mm, columnHeader), Qt::AlignRight | Qt::AlignBottom | Qt::TextWordWrap,
                       headers.value(c + 1));
        }
        y += columnHeader;
        p.drawLine(QPointF(0, y), QPointF(labelWidth + (slice.lastColumn - slice.firstColumn) * numberWidth, y));
        // Rows.
        for (int r = slice.firstRow; r < slice.lastRow; ++r) {
            const auto& row = rows[static_cast<size_t>(r)];
            p.setFont(row.isTotal ? bold : base);
            const double indent = row.depth * 3 * mm;
            p.drawText(QRectF(indent, y, labelWidth - indent, line), Qt::AlignLeft | Qt::AlignVCenter,
                       fm.elidedText(row.label, Qt::ElideRight, labelWidth - indent - mm));
            for (int c = slice.firstColumn; c < slice.lastColumn; ++c) {
                const double x = labelWidth + (c - slice.firstColumn) * numberWidth;
                const double sum = row.values[static_cast<size_t>(c)];
                QString text = std::isnan(sum) ? QString() : FormatFixed(sum, 3);
                if (DecimalSeparator != QLatin1Char(',')) text.replace(',', DecimalSeparator);
                p.drawText(QRectF(x, y, numberWidth - mm, line), Qt::AlignRight | Qt::AlignVCenter, text);
            }
            y += line;
        }
        if (ShowFooter) {
            const double fy = area.height() - line;
            p.setFont(base);
            p.drawLine(QPointF(0, fy - line * 0.3), QPointF(area.width(), fy - line * 0.3));
            p.drawText(QRectF(0, fy, area.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                       QStringLiteral("Impresso em %1").arg(printedAt));
            p.drawText(QRectF(0, fy, area.width(), line), Qt::AlignRight | Qt::AlignVCenter,
                       QStringLiteral("Página %1 de %2").arg(s + 1).arg(slices.size()));
        }
    }
    p.end();
    return static_cast<int>(slices.size());
}

void THierCubeGridPrint::Preview() {
    QPrinter printer(QPrinter::HighResolution);
    setupPrinter(printer);
    ShowPreview(printer, [this](QPrinter* p) { PrintTo(*p); });
}

void THierCubeGridPrint::Print() {
    QPrinter printer(QPrinter::HighResolution);
    setupPrinter(printer);
    if (!AskPrinter(printer)) return;
    PrintTo(printer);
}

void THierCubeGridPrint::SavePdf(const QString& path) {
    QPrinter printer(QPrinter::HighResolution);
    setupPrinter(printer);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    PrintTo(printer);
}

}  // namespace hostfw

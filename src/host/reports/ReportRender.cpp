#include "host/reports/ReportRender.h"

#include "host/core/BrNumber.h"
#include "host/core/Failures.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QTextDocument>

#include <cmath>

namespace hostfw {

namespace {

const char* const kPrintedAt = "reportPrintedAt";
const char* const kLandscape = "reportLandscape";

std::optional<double> number(const protocol::Value& v) {
    if (v.is_number()) return v.get<double>();
    if (v.is_string()) {
        bool ok = false;
        const double d = QString::fromStdString(v.get<std::string>()).toDouble(&ok);
        if (ok) return d;
    }
    return std::nullopt;
}

QString plain(const protocol::Value& v) {
    if (v.is_null()) return {};
    if (v.is_string()) return QString::fromStdString(v.get<std::string>());
    if (v.is_number_integer()) return QString::number(v.get<long long>());
    if (v.is_number()) return FormatPlain(v.get<double>(), true);
    return QString::fromStdString(v.dump());
}

QString formatted(const TReportColumn& c, const protocol::Value& v) {
    if (v.is_null()) return {};
    if (c.format == TReportColumnFormat::Number) {
        if (const auto d = number(v)) return FormatFixed(*d, c.decimals);
    } else if (c.format == TReportColumnFormat::Date) {
        const QString text = plain(v);
        if (const QDate d = QDate::fromString(text.left(10), Qt::ISODate); d.isValid())
            return d.toString(QStringLiteral("dd/MM/yyyy"));
        return text;
    }
    return plain(v);
}

QString align(Qt::Alignment a) {
    return a & Qt::AlignRight ? QStringLiteral("right") : a & Qt::AlignHCenter ? QStringLiteral("center")
                                                                               : QStringLiteral("left");
}

QString cell(const TReportColumn& c, const QString& text, bool bold = false) {
    const QString body = text.toHtmlEscaped();
    return QStringLiteral("<td align=\"%1\">%2</td>").arg(align(c.alignment), bold ? "<b>" + body + "</b>" : body);
}

// Printable width in millimetres of A4 with 12 mm margins.
double bodyWidthMm(bool landscape) { return (landscape ? 297.0 : 210.0) - 24.0; }

struct Sums {
    std::vector<double> values;
    int rows = 0;
    explicit Sums(int n) : values(static_cast<size_t>(n), 0.0) {}
    void reset() { std::fill(values.begin(), values.end(), 0.0); rows = 0; }
};

// A sum line: the label spans the columns before the first summed one.
QString sumRow(const TReportLayout& layout, const QString& label, const Sums& sums, const QString& style) {
    const int n = static_cast<int>(layout.columns.size());
    int first = n;
    for (int i = 0; i < n; ++i)
        if (layout.sums.contains(layout.columns[i].field)) { first = i; break; }
    QString html = QStringLiteral("<tr style=\"%1\">").arg(style);
    if (first == 0) {  // no room on the left: the label gets its own line
        html += QStringLiteral("<td colspan=\"%1\"><b>%2</b></td></tr><tr style=\"%3\">").arg(n).arg(label.toHtmlEscaped(), style);
    } else {
        html += QStringLiteral("<td colspan=\"%1\"><b>%2</b></td>").arg(first).arg(label.toHtmlEscaped());
    }
    for (int i = first; i < n; ++i) {
        const TReportColumn& c = layout.columns[i];
        const int s = static_cast<int>(layout.sums.indexOf(c.field));
        html += s < 0 ? QStringLiteral("<td></td>") : cell(c, FormatFixed(sums.values[s], c.decimals), true);
    }
    return html + QStringLiteral("</tr>\n");
}

}  // namespace

QString renderReportHtml(const TReportLayout& layout, const protocol::DataPacket& rows, const QDateTime& printedAt) {
    const int n = static_cast<int>(layout.columns.size());
    std::vector<int> index;  // column of the packet behind each layout column
    for (const auto& c : layout.columns) {
        const int at = rows.indexOf(c.field.toStdString());
        if (at < 0 && !rows.rows.empty())
            throw EHostError(QStringLiteral("A consulta do relatório '%1' não retorna o campo '%2'.").arg(layout.title, c.field));
        index.push_back(at);
    }
    const int groupIndex = layout.groupField.isEmpty() ? -1 : rows.indexOf(layout.groupField.toStdString());
    if (!layout.groupField.isEmpty() && groupIndex < 0 && !rows.rows.empty())
        throw EHostError(QStringLiteral("A consulta do relatório '%1' não retorna o campo '%2'.").arg(layout.title, layout.groupField));

    double totalWidth = 0;
    for (const auto& c : layout.columns) totalWidth += c.widthMm;
    const double scale = 100.0 / std::max(totalWidth, bodyWidthMm(layout.landscape));

    QString html = QStringLiteral("<html><head><meta charset=\"utf-8\"><title>%1</title></head>"
                                  "<body style=\"font-family: sans-serif; font-size: 9pt;\">\n")
                       .arg(layout.title.toHtmlEscaped());
    html += QStringLiteral("<h2 align=\"center\">%1</h2>\n").arg(layout.title.toHtmlEscaped());
    html += QStringLiteral("<p align=\"right\">Impresso em %1</p>\n")
                .arg(printedAt.toString(QStringLiteral("dd/MM/yyyy HH:mm")));
    if (rows.rows.empty()) return html + QStringLiteral("<p>Nenhum registro encontrado.</p></body></html>");

    html += QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"3\">\n<thead><tr style=\"background-color: #d9d9d9;\">");
    for (const auto& c : layout.columns)
        html += QStringLiteral("<th width=\"%1%\" align=\"%2\">%3</th>")
                    .arg(std::round(c.widthMm * scale * 10) / 10)
                    .arg(align(c.alignment), c.caption.toHtmlEscaped());
    html += QStringLiteral("</tr></thead>\n");

    std::vector<int> sumIndex;  // packet column behind each summed field
    for (const auto& s : layout.sums) sumIndex.push_back(rows.indexOf(s.toStdString()));
    Sums group(static_cast<int>(layout.sums.size())), total(static_cast<int>(layout.sums.size()));
    const QString groupStyle = QStringLiteral("background-color: #efefef;");
    const QString groupCaption = layout.groupCaption.isEmpty() ? QString() : layout.groupCaption + QStringLiteral(": ");
    const bool summed = !layout.sums.isEmpty();
    QString currentGroup;

    auto closeGroup = [&] {
        if (summed) html += sumRow(layout, QStringLiteral("Total de %1").arg(currentGroup), group, groupStyle);
        group.reset();
    };
    for (size_t r = 0; r < rows.rows.size(); ++r) {
        const protocol::Row& row = rows.rows[r];
        if (groupIndex >= 0) {
            const QString value = plain(row[groupIndex]);
            if (r == 0 || value != currentGroup) {
                if (r > 0) closeGroup();
                currentGroup = value;
                html += QStringLiteral("<tr style=\"%1\"><td colspan=\"%2\"><b>%3</b></td></tr>\n")
                            .arg(groupStyle).arg(n).arg((groupCaption + value).toHtmlEscaped());
            }
        }
        html += QStringLiteral("<tr>");
        for (int i = 0; i < n; ++i)
            html += cell(layout.columns[i], index[i] < 0 ? QString() : formatted(layout.columns[i], row[index[i]]));
        html += QStringLiteral("</tr>\n");
        for (size_t s = 0; s < sumIndex.size(); ++s) {
            const double v = sumIndex[s] < 0 ? 0.0 : number(row[sumIndex[s]]).value_or(0.0);
            group.values[s] += v;
            total.values[s] += v;
        }
        ++group.rows;
        ++total.rows;
    }
    if (groupIndex >= 0) closeGroup();
    if (summed) html += sumRow(layout, QStringLiteral("Total geral"), total, QStringLiteral("background-color: #d9d9d9;"));
    html += QStringLiteral("</table>\n<p>Registros: %1</p></body></html>").arg(total.rows);
    return html;
}

std::unique_ptr<QTextDocument> makeReportDocument(const TReportLayout& layout, const protocol::DataPacket& rows,
                                                  const QDateTime& printedAt) {
    auto document = std::make_unique<QTextDocument>();
    document->setHtml(renderReportHtml(layout, rows, printedAt));
    document->setMetaInformation(QTextDocument::DocumentTitle, layout.title);
    document->setProperty(kPrintedAt, printedAt);
    document->setProperty(kLandscape, layout.landscape);
    return document;
}

void setupReportPrinter(QPrinter& printer, const QTextDocument& document) {
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(document.property(kLandscape).toBool() ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
    printer.setDocName(document.metaInformation(QTextDocument::DocumentTitle));
}

void printReportDocument(const QTextDocument& document, QPrinter& printer) {
    // Laid out on a copy sized to the printer, so the screen copy keeps its own layout.
    std::unique_ptr<QTextDocument> copy(document.clone());
    QPainter painter;
    if (!painter.begin(&printer))
        throw EHostError(QStringLiteral("Não foi possível iniciar a impressão do relatório '%1'.")
                             .arg(document.metaInformation(QTextDocument::DocumentTitle)));
    copy->documentLayout()->setPaintDevice(&printer);

    const QRectF page(QPointF(0, 0), QSizeF(painter.viewport().size()));
    QFont bandFont(QStringLiteral("sans-serif"));
    bandFont.setPointSizeF(8);
    const QFontMetricsF metrics(bandFont, &printer);
    const double band = metrics.height() * 2;
    const QRectF body(0, band, page.width(), page.height() - 2 * band);
    copy->setPageSize(body.size());

    const QString title = document.metaInformation(QTextDocument::DocumentTitle);
    const QString printedAt =
        QStringLiteral("Impresso em ") + document.property(kPrintedAt).toDateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm"));
    const int pages = copy->pageCount();
    for (int p = 0; p < pages; ++p) {
        if (p > 0) printer.newPage();
        painter.save();
        painter.translate(body.left(), body.top() - p * body.height());
        copy->drawContents(&painter, QRectF(0, p * body.height(), body.width(), body.height()));
        painter.restore();

        painter.setFont(bandFont);
        const QRectF header(0, 0, page.width(), metrics.height());
        painter.drawText(header, Qt::AlignLeft | Qt::AlignVCenter, title);
        painter.drawText(header, Qt::AlignRight | Qt::AlignVCenter, printedAt);
        painter.drawLine(QPointF(0, metrics.height() * 1.3), QPointF(page.width(), metrics.height() * 1.3));
        painter.drawText(QRectF(0, page.height() - metrics.height(), page.width(), metrics.height()), Qt::AlignCenter,
                         QStringLiteral("Página %1 de %2").arg(p + 1).arg(pages));
    }
    painter.end();
}

}  // namespace hostfw

#include "host/pivot/HierCubeExport.h"

#include "host/core/BrNumber.h"
#include "host/core/Failures.h"
#include "host/pivot/HierCubeGrid.h"
#include "host/pivot/HierCube.h"
#include "host/pivot/HierCubeModel.h"

#include <QFile>

#include <xlsxwriter.h>

#include <cmath>
#include <map>

namespace hostfw {

namespace {

QString csvCell(QString text) {
    if (text.contains(';') || text.contains('"') || text.contains('\n')) {
        text.replace('"', QStringLiteral("\"\""));
        return '"' + text + '"';
    }
    return text;
}

// Numbers in the CSV carry no thousands separator: spreadsheet programs read
// "1234,5" as a number, "1.234,500" not always.
QString csvNumber(double value) {
    if (std::isnan(value)) return {};
    return FormatFixed(value, 3, false);
}

QString cannotWrite(const QString& path) { return QStringLiteral("Não foi possível gravar o arquivo %1.").arg(path); }

}  // namespace

void ExportCubeGridCsv(const THierCubeGrid& grid, const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) throw EHostError(cannotWrite(path));
    QByteArray out("\xEF\xBB\xBF");
    QStringList header;
    for (const auto& h : grid.headers()) header << csvCell(h);
    out += header.join(';').toUtf8() + "\r\n";
    for (const auto& row : grid.visibleRows()) {
        QStringList cells;
        // The nesting shows as leading spaces in the label, as on screen.
        cells << csvCell(QString(row.depth * 2, ' ') + row.label);
        for (double v : row.values) cells << csvNumber(v);
        out += cells.join(';').toUtf8() + "\r\n";
    }
    if (f.write(out) != out.size() || !f.flush()) throw EHostError(cannotWrite(path));
}

void ExportCubeGridXlsx(const THierCubeGrid& grid, const QString& path, const QString& sheetTitle) {
    lxw_workbook* book = workbook_new(path.toUtf8().constData());
    if (!book) throw EHostError(cannotWrite(path));
    lxw_worksheet* sheet = workbook_add_worksheet(book, sheetTitle.left(31).toUtf8().constData());
    lxw_format* head = workbook_add_format(book);
    format_set_bold(head);
    format_set_bottom(head, LXW_BORDER_THIN);
    format_set_align(head, LXW_ALIGN_CENTER);
    format_set_text_wrap(head);
    // One label and one number format per depth and weight.
    std::map<std::pair<int, bool>, lxw_format*> labels, numbers;
    auto labelFormat = [&](int depth, bool bold) {
        auto& f = labels[{depth, bold}];
        if (!f) {
            f = workbook_add_format(book);
            format_set_indent(f, static_cast<uint8_t>(std::min(depth, 15)));
            if (bold) format_set_bold(f);
        }
        return f;
    };
    auto numberFormat = [&](bool bold) {
        auto& f = numbers[{0, bold}];
        if (!f) {
            f = workbook_add_format(book);
            format_set_num_format(f, "#,##0.000");
            if (bold) format_set_bold(f);
        }
        return f;
    };

    const QStringList headers = grid.headers();
    for (int c = 0; c < headers.size(); ++c)
        worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), headers[c].toUtf8().constData(), head);
    worksheet_set_column(sheet, 0, 0, 48, nullptr);
    if (headers.size() > 1) worksheet_set_column(sheet, 1, static_cast<lxw_col_t>(headers.size() - 1), 16, nullptr);
    worksheet_freeze_panes(sheet, 1, 1);
    // Totals sit above their members, as in the grid.
    worksheet_outline_settings(sheet, LXW_TRUE, LXW_FALSE, LXW_FALSE, LXW_FALSE);

    lxw_row_t r = 1;
    for (const auto& row : grid.visibleRows()) {
        lxw_row_col_options options{};
        options.level = static_cast<uint8_t>(std::min(row.depth, 7));
        worksheet_set_row_opt(sheet, r, LXW_DEF_ROW_HEIGHT, nullptr, &options);
        worksheet_write_string(sheet, r, 0, row.label.toUtf8().constData(), labelFormat(row.depth, row.isTotal));
        for (size_t c = 0; c < row.values.size(); ++c)
            if (!std::isnan(row.values[c]))
                worksheet_write_number(sheet, r, static_cast<lxw_col_t>(c + 1), row.values[c], numberFormat(row.isTotal));
        ++r;
    }
    if (workbook_close(book) != LXW_NO_ERROR) throw EHostError(cannotWrite(path));
}

}  // namespace hostfw

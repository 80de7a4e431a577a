#include "host/reports/ReportRender.h"

#include "host/core/BrNumber.h"
#include "host/core/Failures.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QMap>
#include <QPaintEngine>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QTextDocument>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace hostfw {

namespace {

const char* const kPrintedAt = "reportPrintedAt";
const char* const kLandscape = "reportLandscape";
const char* const kHeader = "reportHeader";
const char* const kOperator = "reportOperator";

// ---------------------------------------------------------------- values

std::optional<double> number(const QVariant& v) {
    if (v.isNull() || !v.isValid()) return std::nullopt;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? std::optional<double>(d) : std::nullopt;
}

QVariant fromWire(const protocol::Value& v) {
    if (v.is_null()) return {};
    if (v.is_string()) return QString::fromStdString(v.get<std::string>());
    if (v.is_number_integer()) return QVariant::fromValue(v.get<long long>());
    if (v.is_number()) return v.get<double>();
    return QString::fromStdString(v.dump());
}

QString plain(const QVariant& v) {
    if (v.isNull() || !v.isValid()) return {};
    if (v.typeId() == QMetaType::Double) return FormatPlain(v.toDouble(), true);
    return v.toString();
}

QString dateText(const QString& text) {
    if (const QDate d = QDate::fromString(text.left(10), Qt::ISODate); d.isValid())
        return d.toString(QStringLiteral("dd/MM/yyyy"));
    return text;
}

QString weekdayText(const QString& text) {
    static const char* const names[] = {"Segunda", "Terça", "Quarta", "Quinta", "Sexta", "Sábado", "Domingo"};
    const QDate d = QDate::fromString(text.left(10), Qt::ISODate);
    return d.isValid() ? QString::fromUtf8(names[d.dayOfWeek() - 1]) : QString();
}

// "0730" or "07:30" as 07:30.
QString timeText(const QString& text) {
    QString digits = text;
    digits.remove(':');
    digits = digits.trimmed();
    if (digits.size() == 4) return digits.left(2) + ':' + digits.mid(2);
    return text;
}

QString formatted(TReportColumnFormat format, int decimals, const QVariant& v) {
    if (v.isNull() || !v.isValid()) return {};
    switch (format) {
    case TReportColumnFormat::Number:
        if (const auto d = number(v)) return FormatFixed(*d, decimals);
        break;
    case TReportColumnFormat::Date: return dateText(plain(v));
    case TReportColumnFormat::Time: return timeText(plain(v));
    case TReportColumnFormat::Text: break;
    }
    return plain(v);
}

// ---------------------------------------------------------------- rows

struct PivotKey {
    QString caption;
    QString unit;
};

// A table's rows after folding the cross-tab lines and computing columns.
struct Table {
    QHash<QString, int> index;  // field -> column
    std::vector<std::vector<QVariant>> rows;
    std::vector<QMap<QString, double>> pivot;  // per row: key -> value
    QMap<QString, PivotKey> keys;              // every key met, in key order

    int at(const QString& field) const { return index.value(field.toUpper(), -1); }
    QVariant value(size_t row, int column) const { return column < 0 ? QVariant() : rows[row][column]; }
};

[[noreturn]] void missingField(const QString& title, const QString& field) {
    throw EHostError(QStringLiteral("A consulta do relatório '%1' não retorna o campo '%2'.").arg(title, field));
}

// The values of a pivot with its own query, added to the rows they match by rowKey.
void addPivotRows(const TReportSection& s, const protocol::DataPacket& values, Table& t, const QString& title) {
    auto columnOf = [&](const protocol::DataPacket& p, const QString& field) {
        const int at = p.indexOf(field.toStdString());
        if (at < 0 && !p.rows.empty()) missingField(title, field);
        return at;
    };
    auto keyOf = [](auto&& valueAt, const std::vector<int>& columns) {
        QStringList parts;
        for (int c : columns) parts << plain(valueAt(c));
        return parts.join(QChar(0x1f));
    };
    std::vector<int> rowColumns, valueColumns;
    for (const QString& f : s.pivot.rowKey) {
        rowColumns.push_back(t.at(f));
        if (rowColumns.back() < 0 && !t.rows.empty()) missingField(title, f);
        valueColumns.push_back(columnOf(values, f));
    }
    QHash<QString, size_t> rowOfKey;
    for (size_t r = 0; r < t.rows.size(); ++r)
        rowOfKey.insert(keyOf([&](int c) { return t.rows[r][static_cast<size_t>(c)]; }, rowColumns), r);
    const int key = columnOf(values, s.pivot.key), caption = columnOf(values, s.pivot.caption);
    const int value = columnOf(values, s.pivot.value);
    const int unit = s.pivot.unit.isEmpty() ? -1 : columnOf(values, s.pivot.unit);
    for (const auto& row : values.rows) {
        auto at = [&](int c) { return fromWire(row[static_cast<size_t>(c)]); };
        const auto it = rowOfKey.constFind(keyOf(at, valueColumns));
        const QVariant k = at(key);
        if (it == rowOfKey.cend() || k.isNull()) continue;  // a value of a row the table does not show
        const QString code = k.toString();
        if (!t.keys.contains(code)) t.keys.insert(code, {plain(at(caption)), unit < 0 ? QString() : plain(at(unit))});
        t.pivot[*it][code] += number(at(value)).value_or(0.0);
    }
}

Table tableOf(const TReportSection& s, const protocol::DataPacket& packet, const protocol::DataPacket& pivotRows,
              const TReportParams& params, const QString& title) {
    Table t;
    for (size_t i = 0; i < packet.fields.size(); ++i)
        t.index.insert(QString::fromStdString(packet.fields[i].name).toUpper(), static_cast<int>(i));
    const int width = static_cast<int>(packet.fields.size());
    auto need = [&](const QString& field) {
        const int at = t.at(field);
        if (at < 0 && !packet.rows.empty()) missingField(title, field);
        return at;
    };

    if (!s.pivot.active() || !s.pivot.sql.isEmpty()) {
        t.rows.reserve(packet.rows.size());
        for (const auto& row : packet.rows) {
            std::vector<QVariant> r(static_cast<size_t>(width));
            for (int i = 0; i < width; ++i) r[static_cast<size_t>(i)] = fromWire(row[static_cast<size_t>(i)]);
            t.rows.push_back(std::move(r));
        }
        t.pivot.resize(t.rows.size());
        if (s.pivot.active()) addPivotRows(s, pivotRows, t, title);
    } else {
        std::vector<int> rowKey;
        for (const QString& f : s.pivot.rowKey) rowKey.push_back(need(f));
        const int key = need(s.pivot.key), caption = need(s.pivot.caption), value = need(s.pivot.value);
        const int unit = s.pivot.unit.isEmpty() ? -1 : need(s.pivot.unit);
        const protocol::Row* previous = nullptr;
        for (const auto& row : packet.rows) {
            bool same = previous != nullptr;
            for (int k : rowKey) same = same && row[static_cast<size_t>(k)] == (*previous)[static_cast<size_t>(k)];
            if (!same) {
                std::vector<QVariant> r(static_cast<size_t>(width));
                for (int i = 0; i < width; ++i) r[static_cast<size_t>(i)] = fromWire(row[static_cast<size_t>(i)]);
                t.rows.push_back(std::move(r));
                t.pivot.emplace_back();
            }
            previous = &row;
            const QVariant k = fromWire(row[static_cast<size_t>(key)]);
            if (k.isNull()) continue;  // a row without values, e.g. an item without composition
            const QString code = k.toString();
            if (!t.keys.contains(code))
                t.keys.insert(code, {plain(fromWire(row[static_cast<size_t>(caption)])),
                                     unit < 0 ? QString() : plain(fromWire(row[static_cast<size_t>(unit)]))});
            t.pivot.back()[code] += number(fromWire(row[static_cast<size_t>(value)])).value_or(0.0);
        }
    }

    for (const TReportComputed& c : s.computed) {
        const int column = static_cast<int>(t.index.size());
        t.index.insert(c.field, column);
        for (auto& r : t.rows) r.emplace_back();
        QHash<QString, double> sums;
        auto sum = [&](const QString& name) {
            const QString field = name.toUpper();
            if (auto it = sums.find(field); it != sums.end()) return *it;
            const int at = t.at(field);
            if (at < 0 && !t.rows.empty()) missingField(title, field);
            double total = 0;
            for (size_t i = 0; i < t.rows.size(); ++i) total += number(t.value(i, at)).value_or(0.0);
            sums.insert(field, total);
            return total;
        };
        for (size_t i = 0; i < t.rows.size(); ++i) {
            auto value = [&](const QString& name) -> std::optional<double> {
                const int at = t.at(name);
                if (at >= 0) return number(t.rows[i][static_cast<size_t>(at)]);
                if (const TReportParam* p = params.Find(name)) return reportParamNumber(*p);
                missingField(title, name.toUpper());
            };
            const auto result = evaluateReportExpression(c.expression, value, sum);
            t.rows[i][static_cast<size_t>(column)] = result ? QVariant(*result) : QVariant();
        }
    }
    return t;
}

// ---------------------------------------------------------------- html

QString align(Qt::Alignment a) {
    return a & Qt::AlignRight ? QStringLiteral("right") : a & Qt::AlignHCenter ? QStringLiteral("center")
                                                                               : QStringLiteral("left");
}

QString td(const QString& alignment, const QString& text, bool bold = false, int span = 1) {
    const QString body = text.toHtmlEscaped();
    const QString spanText = span > 1 ? QStringLiteral(" colspan=\"%1\"").arg(span) : QString();
    return QStringLiteral("<td align=\"%1\"%2>%3</td>").arg(alignment, spanText, bold ? "<b>" + body + "</b>" : body);
}

// Lines break at spaces only: a word is never split across lines.
void wrapAtSpaces(QTextDocument& document) {
    QTextOption option = document.defaultTextOption();
    option.setWrapMode(QTextOption::WordWrap);
    document.setDefaultTextOption(option);
}

// Printable width in millimetres of A4 with 12 mm margins.
double bodyWidthMm(bool landscape) { return (landscape ? 297.0 : 210.0) - 24.0; }

struct Sums {
    std::vector<double> values;
    QMap<QString, double> pivot;
    int rows = 0;
    explicit Sums(size_t n = 0) : values(n, 0.0) {}
    void reset() { std::fill(values.begin(), values.end(), 0.0); pivot.clear(); rows = 0; }
};

// Width in millimetres of the longest word of a column title, in the bold
// face of the titles (8 pt, 7 pt in bands), with the cell's padding: a
// narrower column would break the word ("Carboidrat" / "o (g)").
double titleWordMm(const QString& caption, bool small = false) {
    static const auto metricsOf = [](double points) {
        QFont font(QStringLiteral("sans-serif"));
        font.setPointSizeF(points);
        font.setBold(true);
        QImage image(1, 1, QImage::Format_Mono);  // 72 dpi: one pixel is one point
        image.setDotsPerMeterX(qRound(72 / 0.0254));
        image.setDotsPerMeterY(qRound(72 / 0.0254));
        return QFontMetricsF(font, &image);
    };
    static const QFontMetricsF normal = metricsOf(8), smaller = metricsOf(7);
    double widest = 0;
    for (const QString& word : caption.split(' ', Qt::SkipEmptyParts))
        widest = std::max(widest, (small ? smaller : normal).horizontalAdvance(word));
    return widest * 25.4 / 72 + 2.5;
}

// Splits `total` grid columns among columns of these widths, at least one
// each, by largest remainders.
std::vector<int> spansOf(const std::vector<double>& widths, int total) {
    const double sum = std::accumulate(widths.begin(), widths.end(), 0.0);
    const int extra = total - static_cast<int>(widths.size());
    std::vector<int> spans(widths.size(), 1);
    std::vector<std::pair<double, size_t>> remainders;
    int given = 0;
    for (size_t i = 0; i < widths.size(); ++i) {
        const double share = extra * widths[i] / std::max(sum, 1.0);
        spans[i] += static_cast<int>(share);
        given += static_cast<int>(share);
        remainders.push_back({share - static_cast<int>(share), i});
    }
    std::sort(remainders.begin(), remainders.end(), std::greater<>());
    for (size_t i = 0; given < extra; ++i, ++given) ++spans[remainders[i % remainders.size()].second];
    return spans;
}

class SectionWriter {
public:
    SectionWriter(const TReportLayout& layout, const TReportSection& s, const Table& t, const TReportParams& params)
        : layout_(layout), s_(s), t_(t), params_(params) {
        std::vector<double> widths;
        for (const auto& c : s.columns) widths.push_back(std::max(c.widthMm, titleWordMm(c.caption)));
        double keyWidth = s.pivot.widthMm;
        for (auto k = t.keys.cbegin(); k != t.keys.cend(); ++k) keyWidth = std::max(keyWidth, titleWordMm(keyTitle(*k)));
        const double fixed = std::accumulate(widths.begin(), widths.end(), 0.0);
        const double body = bodyWidthMm(layout.landscape);
        const int columns = static_cast<int>(s.columns.size());
        pivotColumns_ = !t.keys.isEmpty() && fixed + t.keys.size() * keyWidth <= body;
        if (pivotColumns_ || t.keys.isEmpty()) {
            // Columns share the whole width in proportion to their widths.
            const double total = fixed + (pivotColumns_ ? t.keys.size() * keyWidth : 0.0);
            for (double w : widths) percents_.push_back(w * 100.0 / std::max(total, 1.0));
            for (qsizetype k = 0; pivotColumns_ && k < t.keys.size(); ++k) percents_.push_back(keyWidth * 100.0 / total);
            spans_.assign(s.columns.size(), 1);
            columnCount_ = static_cast<int>(percents_.size());
        } else {
            // Too many keys for one row: a grid of equal columns, the keys in
            // bands of as many as fit across (titles in the smaller face), the
            // fixed columns spanning it.
            double bandWidth = s.pivot.widthMm;
            for (auto k = t.keys.cbegin(); k != t.keys.cend(); ++k)
                bandWidth = std::max(bandWidth, titleWordMm(keyTitle(*k), true));
            columnCount_ = std::max(columns, static_cast<int>(body / bandWidth));
            percents_.assign(static_cast<size_t>(columnCount_), 100.0 / columnCount_);
            spans_ = spansOf(widths, columnCount_);
            QStringList band;
            for (auto k = t.keys.cbegin(); k != t.keys.cend(); ++k) {
                band << k.key();
                if (band.size() == columnCount_) bands_.push_back(std::exchange(band, {}));
            }
            if (!band.isEmpty()) bands_.push_back(band);
        }
        for (const auto& c : s.columns) {
            const int at = t.at(c.field);
            if (at < 0 && !t.rows.empty()) missingField(layout.title, c.field);
            columnIndex_.push_back(at);
        }
        for (const auto& g : s.groups) {
            const int at = t.at(g.field);
            if (at < 0 && !t.rows.empty()) missingField(layout.title, g.field);
            groupIndex_.push_back(at);
        }
        for (const auto& f : s.sums) sumIndex_.push_back(t.at(f));
    }

    QString html() {
        QString out;
        if (!s_.caption.isEmpty()) out += QStringLiteral("<h3>%1</h3>\n").arg(s_.caption.toHtmlEscaped());
        if (t_.rows.empty()) return out + QStringLiteral("<p>Nenhum registro encontrado.</p>\n");
        const QString start = tableStart();
        out += start;

        const size_t levels = s_.groups.size();
        std::vector<Sums> group(levels, Sums(s_.sums.size()));
        std::vector<size_t> opened(levels, 0);  // first row of each open group
        Sums total(s_.sums.size());
        for (size_t r = 0; r < t_.rows.size(); ++r) {
            size_t changed = levels;
            for (size_t g = 0; g < levels && r > 0; ++g)
                if (t_.value(r, groupIndex_[g]) != t_.value(r - 1, groupIndex_[g])) { changed = g; break; }
            if (r == 0) changed = 0;
            if (r > 0)
                for (size_t g = levels; g-- > changed;) closeGroup(out, g, group[g], opened[g]);
            // A new outer group starts a new table; without groups there is one table.
            if (r > 0 && levels > 0 && changed == 0) out += QStringLiteral("</table>\n") + start;
            for (size_t g = changed; g < levels; ++g) {
                opened[g] = r;
                group[g].reset();
                out += QStringLiteral("<tr style=\"%1\"><td colspan=\"%2\"><b>%3</b></td></tr>\n")
                           .arg(groupStyle(g))
                           .arg(columnCount_)
                           .arg(groupText(s_.groups[g].header, QStringLiteral("{%1}").arg(s_.groups[g].field), r).toHtmlEscaped());
            }
            out += QStringLiteral("<tr>");
            for (size_t i = 0; i < s_.columns.size(); ++i) {
                const TReportColumn& c = s_.columns[i];
                out += td(align(c.alignment), formatted(c.format, c.decimals, t_.value(r, columnIndex_[i])), false, spans_[i]);
            }
            if (pivotColumns_)
                for (auto k = t_.keys.cbegin(); k != t_.keys.cend(); ++k) {
                    const auto v = t_.pivot[r].find(k.key());
                    out += td(QStringLiteral("right"), v == t_.pivot[r].cend() ? QString() : FormatFixed(*v, s_.pivot.decimals));
                }
            out += QStringLiteral("</tr>\n");
            if (!t_.pivot[r].isEmpty()) out += bandRows(t_.pivot[r], false);
            add(total, r);
            for (auto& g : group) add(g, r);
        }
        for (size_t g = levels; g-- > 0;) closeGroup(out, g, group[g], opened[g]);
        if (!s_.sums.isEmpty() || !t_.keys.isEmpty()) {
            out += sumRow(s_.totalCaption, total, QStringLiteral("background-color: #d9d9d9;"));
            for (const auto& line : s_.endLines) out += endLine(line, total);
        }
        out += QStringLiteral("</table>\n");
        if (s_.showCount) out += QStringLiteral("<p>Registros: %1</p>\n").arg(total.rows);
        if (!s_.footnote.isEmpty())
            out += QStringLiteral("<p style=\"font-size: 7pt;\"><i>%1</i></p>\n").arg(s_.footnote.toHtmlEscaped());
        return out;
    }

private:
    static QString keyTitle(const PivotKey& k) {
        const QString unit = k.unit.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(k.unit);
        return k.caption + (k.caption.contains(k.unit) ? QString() : unit);
    }

    static QString th(double percent, const QString& alignment, const QString& text, int span = 1, bool small = false) {
        const QString spanText = span > 1 ? QStringLiteral(" colspan=\"%1\"").arg(span) : QString();
        const QString body = small ? QStringLiteral("<span style=\"font-size: 7pt;\">%1</span>").arg(text.toHtmlEscaped())
                                   : text.toHtmlEscaped();
        // Right-aligned titles side by side need room between them.
        return QStringLiteral("<th width=\"%1%\" align=\"%2\" style=\"padding-left: 4px;\"%3>%4</th>")
            .arg(std::round(percent * 10) / 10)
            .arg(alignment, spanText, body);
    }

    // A table with its column titles, printed again at the top of each page
    // the table continues on. Each outer group gets a table of its own: the
    // text layout of one very long table grows much faster than its rows.
    QString tableStart() const {
        QString html = QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"1\">\n<thead><tr style=\"background-color: #d9d9d9;\">");
        size_t grid = 0;
        for (size_t i = 0; i < s_.columns.size(); ++i) {
            double percent = 0;
            for (int k = 0; k < spans_[i]; ++k) percent += percents_[grid++];
            html += th(percent, align(s_.columns[i].alignment), s_.columns[i].caption, spans_[i]);
        }
        if (pivotColumns_)
            for (const auto& k : t_.keys) html += th(percents_[grid++], QStringLiteral("right"), keyTitle(k));
        html += QStringLiteral("</tr>");
        for (const QStringList& band : bands_) {
            html += QStringLiteral("<tr style=\"background-color: #eeeeee;\">");
            for (int c = 0; c < columnCount_; ++c)
                html += th(percents_[static_cast<size_t>(c)], QStringLiteral("right"),
                           c < band.size() ? keyTitle(t_.keys[band[c]]) : QString(), 1, true);
            html += QStringLiteral("</tr>");
        }
        return html + QStringLiteral("</thead>\n");
    }

    static QString groupStyle(size_t level) {
        return level == 0 ? QStringLiteral("background-color: #e4e4e4;") : QStringLiteral("background-color: #f2f2f2;");
    }

    QString groupText(const QString& text, const QString& fallback, size_t row) const {
        return fillReportTemplate(text.isEmpty() ? fallback : text, [&](const QString& name) -> std::optional<QString> {
            const int at = t_.at(name);
            if (at >= 0) {
                const QVariant v = t_.value(row, at);
                return v.isNull() ? std::nullopt : std::optional<QString>(plain(v));
            }
            if (const TReportParam* p = params_.Find(name); p && !p->IsNull()) return p->AsString();
            return std::nullopt;
        });
    }

    void add(Sums& s, size_t r) const {
        for (size_t i = 0; i < sumIndex_.size(); ++i) s.values[i] += number(t_.value(r, sumIndex_[i])).value_or(0.0);
        for (auto v = t_.pivot[r].cbegin(); v != t_.pivot[r].cend(); ++v) s.pivot[v.key()] += v.value();
        ++s.rows;
    }

    void closeGroup(QString& out, size_t level, const Sums& sums, size_t firstRow) const {
        if (s_.sums.isEmpty() && t_.keys.isEmpty()) return;
        const QString fallback = QStringLiteral("Total de {%1}").arg(s_.groups[level].field);
        out += sumRow(groupText(s_.groups[level].footer, fallback, firstRow), sums, groupStyle(level));
    }

    // The values of the keys under a row, one line per band, each value under
    // its key's title.
    QString bandRows(const QMap<QString, double>& values, bool bold) const {
        QString html;
        for (const QStringList& band : bands_) {
            html += QStringLiteral("<tr>");
            for (int c = 0; c < columnCount_; ++c) {
                const auto v = c < band.size() ? values.find(band[c]) : values.cend();
                const QString text = v == values.cend() ? QString() : FormatFixed(*v, s_.pivot.decimals);
                html += QStringLiteral("<td align=\"right\"><span style=\"font-size: 7pt;\">%1</span></td>")
                            .arg(bold ? "<b>" + text + "</b>" : text);
            }
            html += QStringLiteral("</tr>\n");
        }
        return html;
    }

    // A sum line: the label spans the columns before the first summed one.
    QString sumRow(const QString& label, const Sums& sums, const QString& style) const {
        std::vector<QString> cells;
        for (size_t i = 0; i < s_.columns.size(); ++i) {
            const TReportColumn& c = s_.columns[i];
            const auto s = s_.sums.indexOf(c.field);
            cells.push_back(s < 0 ? QString() : FormatFixed(sums.values[static_cast<size_t>(s)], c.decimals));
        }
        QString html = labelledRow(label, cells, style, [&](std::vector<QString>& extra) {
            if (!pivotColumns_) return;
            for (auto k = t_.keys.cbegin(); k != t_.keys.cend(); ++k)
                extra.push_back(FormatFixed(sums.pivot.value(k.key(), 0.0), s_.pivot.decimals));
        });
        return html + bandRows(sums.pivot, true);
    }

    QString endLine(const TReportSection::Line& line, const Sums& total) const {
        auto value = [&](const QString& name) -> std::optional<double> {
            if (const auto s = s_.sums.indexOf(name.toUpper()); s >= 0) return total.values[static_cast<size_t>(s)];
            if (const TReportParam* p = params_.Find(name)) return reportParamNumber(*p);
            if (const int at = t_.at(name); at >= 0) return t_.rows.empty() ? std::nullopt : number(t_.value(0, at));
            throw EHostError(QStringLiteral("O relatório '%1' usa o nome '%2' desconhecido na linha '%3'.")
                                 .arg(layout_.title, name, line.caption));
        };
        auto noSum = [&](const QString& name) -> double {
            throw EHostError(QStringLiteral("O relatório '%1' não permite SUM(%2) na linha '%3'.").arg(layout_.title, name, line.caption));
        };
        std::vector<QString> cells;
        for (size_t i = 0; i < s_.columns.size(); ++i) {
            const TReportColumn& c = s_.columns[i];
            const auto s = s_.sums.indexOf(c.field);
            QString text;
            if (s >= 0 && s < line.expressions.size() && !line.expressions[s].trimmed().isEmpty())
                if (const auto v = evaluateReportExpression(line.expressions[s], value, noSum))
                    text = FormatFixed(*v, c.decimals);
            cells.push_back(text);
        }
        QMap<QString, double> pivot;
        if (!line.pivot.isEmpty())
            for (auto k = total.pivot.cbegin(); k != total.pivot.cend(); ++k) {
                auto withValue = [&](const QString& name) -> std::optional<double> {
                    if (name.compare(QLatin1String("VALUE"), Qt::CaseInsensitive) == 0) return k.value();
                    return value(name);
                };
                if (const auto v = evaluateReportExpression(line.pivot, withValue, noSum)) pivot[k.key()] = *v;
            }
        const QString style = QStringLiteral("background-color: #d9d9d9;");
        QString html = labelledRow(line.caption, cells, style, [&](std::vector<QString>& extra) {
            if (!pivotColumns_) return;
            for (auto k = t_.keys.cbegin(); k != t_.keys.cend(); ++k)
                extra.push_back(pivot.contains(k.key()) ? FormatFixed(pivot[k.key()], s_.pivot.decimals) : QString());
        });
        return html + bandRows(pivot, true);
    }

    // Grid columns a cell takes: a fixed column its span, a key column one.
    int spanOf(size_t cell) const { return cell < spans_.size() ? spans_[cell] : 1; }

    // The label spans the leading empty cells (its own line when there is none).
    template <typename AddPivot>
    QString labelledRow(const QString& label, std::vector<QString> cells, const QString& style, AddPivot addPivot) const {
        addPivot(cells);
        size_t first = 0;
        while (first < cells.size() && cells[first].isEmpty()) ++first;
        if (first == cells.size()) first = s_.columns.size();  // nothing summed: the label takes the table's width
        QString html = QStringLiteral("<tr style=\"%1\">").arg(style);
        if (first == 0) {
            html += QStringLiteral("<td colspan=\"%1\"><b>%2</b></td></tr><tr style=\"%3\">")
                        .arg(columnCount_)
                        .arg(label.toHtmlEscaped(), style);
        } else {
            int span = 0;
            for (size_t i = 0; i < first && i < cells.size(); ++i) span += spanOf(i);
            html += QStringLiteral("<td colspan=\"%1\"><b>%2</b></td>").arg(std::min(std::max(span, 1), columnCount_)).arg(label.toHtmlEscaped());
        }
        for (size_t i = first; i < cells.size(); ++i) {
            const QString alignment =
                i < s_.columns.size() ? align(s_.columns[i].alignment) : QStringLiteral("right");
            html += td(alignment, cells[i], true, spanOf(i));
        }
        return html + QStringLiteral("</tr>\n");
    }

    const TReportLayout& layout_;
    const TReportSection& s_;
    const Table& t_;
    const TReportParams& params_;
    bool pivotColumns_ = false;
    std::vector<double> percents_;      // width of each grid column, in per cent
    std::vector<int> spans_;            // grid columns of each fixed column
    std::vector<QStringList> bands_;    // keys per line under a row, when they do not fit as columns
    int columnCount_ = 0;
    std::vector<int> columnIndex_, groupIndex_, sumIndex_;
};

// ---------------------------------------------------------------- expressions

class ExpressionParser {
public:
    ExpressionParser(const QString& text, const std::function<std::optional<double>(const QString&)>& value,
                     const std::function<double(const QString&)>& sum)
        : text_(text), value_(value), sum_(sum) {}

    std::optional<double> run() {
        const auto v = expression();
        skip();
        if (pos_ < text_.size()) fail();
        return v;
    }

private:
    [[noreturn]] void fail() const {
        throw EHostError(QStringLiteral("Expressão inválida no relatório: '%1'.").arg(text_));
    }
    void skip() {
        while (pos_ < text_.size() && text_[pos_].isSpace()) ++pos_;
    }
    bool take(QChar c) {
        skip();
        if (pos_ < text_.size() && text_[pos_] == c) { ++pos_; return true; }
        return false;
    }
    QString name() {
        skip();
        const qsizetype start = pos_;
        while (pos_ < text_.size() && (text_[pos_].isLetterOrNumber() || text_[pos_] == '_')) ++pos_;
        return text_.mid(start, pos_ - start);
    }
    std::optional<double> expression() {
        auto v = term();
        for (;;) {
            if (take('+')) { const auto r = term(); v = v && r ? std::optional<double>(*v + *r) : std::nullopt; }
            else if (take('-')) { const auto r = term(); v = v && r ? std::optional<double>(*v - *r) : std::nullopt; }
            else return v;
        }
    }
    std::optional<double> term() {
        auto v = factor();
        for (;;) {
            if (take('*')) { const auto r = factor(); v = v && r ? std::optional<double>(*v * *r) : std::nullopt; }
            else if (take('/')) {
                const auto r = factor();
                v = v && r && *r != 0.0 ? std::optional<double>(*v / *r) : std::nullopt;
            } else return v;
        }
    }
    std::optional<double> factor() {
        if (take('-')) { const auto v = factor(); return v ? std::optional<double>(-*v) : std::nullopt; }
        if (take('(')) {
            const auto v = expression();
            if (!take(')')) fail();
            return v;
        }
        skip();
        if (pos_ < text_.size() && (text_[pos_].isDigit() || text_[pos_] == '.')) {
            const qsizetype start = pos_;
            while (pos_ < text_.size() && (text_[pos_].isDigit() || text_[pos_] == '.')) ++pos_;
            bool ok = false;
            const double d = text_.mid(start, pos_ - start).toDouble(&ok);
            if (!ok) fail();
            return d;
        }
        const QString id = name();
        if (id.isEmpty() || id[0].isDigit()) fail();
        if (id.compare(QLatin1String("SUM"), Qt::CaseInsensitive) == 0 && take('(')) {
            const QString field = name();
            if (field.isEmpty() || field[0].isDigit() || !take(')')) fail();
            return sum_(field);
        }
        return value_(id);
    }

    const QString& text_;
    const std::function<std::optional<double>(const QString&)>& value_;
    const std::function<double(const QString&)>& sum_;
    qsizetype pos_ = 0;
};

// ---------------------------------------------------------------- printing

// Hands what the text layout paints on to the printer's painter, except text
// outside the page body. Qt's text layout draws, of a paragraph that runs over
// a page break, the line just above the area asked for once more: the clip
// hides it from the eye, but the PDF would still hold it for search and copy.
class BodyOnlyEngine : public QPaintEngine {
public:
    BodyOnlyEngine(QPainter& target, const QRectF& body) : QPaintEngine(AllFeatures), target_(target), body_(body) {}

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return User; }

    void updateState(const QPaintEngineState& s) override {
        const DirtyFlags f = s.state();
        if (f & DirtyTransform) target_.setTransform(s.transform());
        if (f & DirtyPen) target_.setPen(s.pen());
        if (f & DirtyBrush) target_.setBrush(s.brush());
        if (f & DirtyBrushOrigin) target_.setBrushOrigin(s.brushOrigin());
        if (f & DirtyFont) target_.setFont(s.font());
        if (f & DirtyBackground) target_.setBackground(s.backgroundBrush());
        if (f & DirtyBackgroundMode) target_.setBackgroundMode(s.backgroundMode());
        if (f & DirtyHints) target_.setRenderHints(s.renderHints());
        if (f & DirtyCompositionMode) target_.setCompositionMode(s.compositionMode());
        if (f & DirtyOpacity) target_.setOpacity(s.opacity());
    }
    void drawRects(const QRectF* rects, int count) override { target_.drawRects(rects, count); }
    void drawLines(const QLineF* lines, int count) override { target_.drawLines(lines, count); }
    void drawPath(const QPainterPath& path) override { target_.drawPath(path); }
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override {
        if (mode == PolylineMode) target_.drawPolyline(points, count);
        else target_.drawPolygon(points, count, mode == WindingMode ? Qt::WindingFill : Qt::OddEvenFill);
    }
    void drawPixmap(const QRectF& r, const QPixmap& pixmap, const QRectF& source) override {
        target_.drawPixmap(r, pixmap, source);
    }
    void drawImage(const QRectF& r, const QImage& image, const QRectF& source, Qt::ImageConversionFlags flags) override {
        target_.drawImage(r, image, source, flags);
    }
    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        // A line of the page before ends above the body, one of the page
        // after starts below it; a line of this page has its baseline inside.
        const double baseline = target_.transform().map(p).y();
        if (baseline <= body_.top() || baseline - item.ascent() >= body_.bottom()) return;
        target_.drawTextItem(p, item);
    }

private:
    QPainter& target_;
    QRectF body_;  // device coordinates
};

// A paint device of the printer's size and resolution that paints through BodyOnlyEngine.
class BodyOnlyDevice : public QPaintDevice {
public:
    BodyOnlyDevice(QPainter& target, const QRectF& body) : like_(*target.device()), engine_(target, body) {}
    QPaintEngine* paintEngine() const override { return &engine_; }

protected:
    int metric(PaintDeviceMetric m) const override {
        switch (m) {
        case PdmWidth: return like_.width();
        case PdmHeight: return like_.height();
        case PdmWidthMM: return like_.widthMM();
        case PdmHeightMM: return like_.heightMM();
        case PdmNumColors: return like_.colorCount();
        case PdmDepth: return like_.depth();
        case PdmDpiX: return like_.logicalDpiX();
        case PdmDpiY: return like_.logicalDpiY();
        case PdmPhysicalDpiX: return like_.physicalDpiX();
        case PdmPhysicalDpiY: return like_.physicalDpiY();
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    const QPaintDevice& like_;
    mutable BodyOnlyEngine engine_;
};

}  // namespace

QString fillReportTemplate(const QString& text, const std::function<std::optional<QString>(const QString&)>& value) {
    static const QRegularExpression placeholder(QStringLiteral("\\{([A-Za-z_][A-Za-z0-9_]*)(?::([a-z]+)(\\d*))?(?:\\|([^}]*))?\\}"));
    QString out;
    qsizetype last = 0;
    for (auto it = placeholder.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        out += text.mid(last, m.capturedStart() - last);
        last = m.capturedEnd();
        const auto v = value(m.captured(1));
        QString shown = v.value_or(QString());
        const QString format = m.captured(2);
        if (!shown.isEmpty()) {
            if (format == QLatin1String("date")) shown = dateText(shown);
            else if (format == QLatin1String("time")) shown = timeText(shown);
            else if (format == QLatin1String("weekday")) shown = weekdayText(shown);
            else if (format == QLatin1String("number")) {
                bool ok = false;
                const double d = shown.toDouble(&ok);
                if (ok) shown = FormatFixed(d, m.captured(3).isEmpty() ? 0 : m.captured(3).toInt());
            }
        }
        if (shown.trimmed().isEmpty()) shown = m.captured(4);
        out += shown;
    }
    return out + text.mid(last);
}

std::optional<double> evaluateReportExpression(const QString& expression,
                                               const std::function<std::optional<double>(const QString&)>& value,
                                               const std::function<double(const QString&)>& sum) {
    return ExpressionParser(expression, value, sum).run();
}

std::optional<double> reportParamNumber(const TReportParam& param) {
    if (param.IsNull()) return std::nullopt;
    if (param.Type() == TReportParamType::Date) {
        const auto bound = param.boundText();
        if (!bound) return std::nullopt;
        return static_cast<double>(QDate::fromString(QString::fromStdString(bound->substr(0, 10)), Qt::ISODate).toJulianDay());
    }
    bool ok = false;
    const double d = param.AsString().toDouble(&ok);
    return ok ? std::optional<double>(d) : std::nullopt;
}

QString renderReportHtml(const TReportLayout& layout, const TReportData& data) {
    QString html = QStringLiteral("<html><head><meta charset=\"utf-8\"><title>%1</title></head>"
                                  "<body style=\"font-family: sans-serif; font-size: 8pt;\">\n")
                       .arg(layout.title.toHtmlEscaped());
    if (data.header.isEmpty()) {  // no page header: title and time on top of the body
        html += QStringLiteral("<h2 align=\"center\">%1</h2>\n").arg(layout.title.toHtmlEscaped());
        html += QStringLiteral("<p align=\"right\">Impresso em %1</p>\n")
                    .arg(data.printedAt.toString(QStringLiteral("dd/MM/yyyy HH:mm")));
    }
    std::vector<const TReportSection*> sections{&layout};
    for (const auto& s : layout.sections) sections.push_back(&s);
    static const TReportParams none;
    static const protocol::DataPacket noRows;
    for (size_t i = 0; i < sections.size() && i < data.tables.size(); ++i) {
        const TReportParams& params = i < data.params.size() ? data.params[i] : none;
        const protocol::DataPacket& pivotRows = i < data.pivots.size() ? data.pivots[i] : noRows;
        const Table table = tableOf(*sections[i], data.tables[i], pivotRows, params, layout.title);
        html += SectionWriter(layout, *sections[i], table, params).html();
    }
    return html + QStringLiteral("</body></html>");
}

std::unique_ptr<QTextDocument> makeReportDocument(const TReportLayout& layout, const TReportData& data) {
    auto document = std::make_unique<QTextDocument>();
    QFont font(QStringLiteral("sans-serif"));
    font.setPointSizeF(8);
    document->setDefaultFont(font);
    wrapAtSpaces(*document);
    document->setHtml(renderReportHtml(layout, data));
    document->setMetaInformation(QTextDocument::DocumentTitle, layout.title);
    document->setProperty(kPrintedAt, data.printedAt);
    document->setProperty(kLandscape, layout.landscape);
    document->setProperty(kHeader, data.header);
    document->setProperty(kOperator, data.operatorName);
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
    wrapAtSpaces(*copy);
    copy->documentLayout()->setPaintDevice(&printer);

    const QRectF page(QPointF(0, 0), QSizeF(painter.viewport().size()));
    QFont bandFont(QStringLiteral("sans-serif"));
    bandFont.setPointSizeF(8);
    QFont titleFont(bandFont);
    titleFont.setPointSizeF(11);
    titleFont.setBold(true);
    const QFontMetricsF metrics(bandFont, &printer);
    const QFontMetricsF titleMetrics(titleFont, &printer);
    const double line = metrics.height();
    const QStringList header = document.property(kHeader).toStringList();
    const double headerHeight = header.isEmpty() ? line * 1.3 : titleMetrics.height() * 1.2 + line * header.size() + line * 0.3;
    const double top = headerHeight + line * 0.7;
    const double bottom = line * 2;
    const QRectF body(0, top, page.width(), page.height() - top - bottom);
    copy->setPageSize(body.size());

    const QString title = document.metaInformation(QTextDocument::DocumentTitle);
    const QString printedAt =
        QStringLiteral("Impresso em ") + document.property(kPrintedAt).toDateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm"));
    const QString operatorName = document.property(kOperator).toString();
    const int pages = copy->pageCount();
    for (int p = 0; p < pages; ++p) {
        if (p > 0) printer.newPage();
        painter.save();
        painter.setClipRect(body);
        {
            BodyOnlyDevice bodyOnly(painter, body);
            QPainter pagePainter(&bodyOnly);
            pagePainter.translate(body.left(), body.top() - p * body.height());
            QAbstractTextDocumentLayout::PaintContext context;
            context.clip = QRectF(0, p * body.height(), body.width(), body.height());
            context.palette.setColor(QPalette::Text, Qt::black);
            copy->documentLayout()->draw(&pagePainter, context);
        }
        painter.restore();

        if (header.isEmpty()) {
            painter.setFont(bandFont);
            const QRectF band(0, 0, page.width(), line);
            painter.drawText(band, Qt::AlignLeft | Qt::AlignVCenter, title);
            painter.drawText(band, Qt::AlignRight | Qt::AlignVCenter, printedAt);
        } else {
            painter.setFont(titleFont);
            painter.drawText(QRectF(0, 0, page.width(), titleMetrics.height()), Qt::AlignCenter, title);
            painter.setFont(bandFont);
            double y = titleMetrics.height() * 1.2;
            for (const QString& text : header) {
                const QRectF band(0, y, page.width(), line);
                painter.drawText(band, Qt::AlignLeft | Qt::AlignVCenter, text.section('\t', 0, 0));
                if (text.contains('\t')) painter.drawText(band, Qt::AlignRight | Qt::AlignVCenter, text.section('\t', 1));
                y += line;
            }
        }
        painter.drawLine(QPointF(0, headerHeight), QPointF(page.width(), headerHeight));

        painter.setFont(bandFont);
        const QRectF footer(0, page.height() - line, page.width(), line);
        painter.drawLine(QPointF(0, footer.top() - line * 0.3), QPointF(page.width(), footer.top() - line * 0.3));
        if (header.isEmpty()) {
            painter.drawText(footer, Qt::AlignCenter, QStringLiteral("Página %1 de %2").arg(p + 1).arg(pages));
        } else {
            painter.drawText(footer, Qt::AlignLeft | Qt::AlignVCenter, printedAt);
            if (!operatorName.isEmpty())
                painter.drawText(footer, Qt::AlignCenter, QStringLiteral("Operador: %1").arg(operatorName));
            painter.drawText(footer, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Página %1 de %2").arg(p + 1).arg(pages));
        }
    }
    painter.end();
}

}  // namespace hostfw

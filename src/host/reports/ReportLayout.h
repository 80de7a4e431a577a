#pragma once
// Report layouts: one JSON file per layout in the reports folder, named
// after the report code ("ZEP126*.json"). A layout holds the title, the page
// orientation, a page header, and one or more tables ("sections"), each with
// its query and declared parameters, columns, computed columns, nested
// groups, a cross-tab of values per key and the columns summed per group and
// at the end.
#include "host/core/HostExport.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace hostfw {

enum class TReportParamType { String, Date };

struct TReportParamDef {
    QString name;  // "P_CDFILIAL", as written in the SQL after ':'
    TReportParamType type = TReportParamType::String;
};

enum class TReportColumnFormat { Text, Number, Date, Time };  // Time: "0730" shown as 07:30

struct TReportColumn {
    QString field;
    QString caption;
    double widthMm = 30;
    Qt::Alignment alignment = Qt::AlignLeft;
    TReportColumnFormat format = TReportColumnFormat::Text;
    int decimals = 0;
};

// A group level: rows sharing the field's value are printed under a header
// and closed by a footer with the sums of the group. Header and footer are
// templates (see fillTemplate); empty, the defaults "<field value>" and
// "Total de <field value>" are used.
struct TReportGroup {
    QString field;
    QString header;
    QString footer;
};

// A column computed from the row after the query: an arithmetic expression
// over fields, numbers, parameters (dates count as day numbers) and SUM(FIELD)
// over the rows of the section, e.g. "TOTAL / (P_DTFIM - P_DTINI + 1)".
struct TReportComputed {
    QString field;
    QString expression;
};

// Cross-tab of one value per key: the query gives one line per row and key
// (rows identified by rowKey); the value of a key is the sum of its lines.
// With a query of its own, the table's query gives one line per row and the
// pivot's query the lines of values, matched to the rows by rowKey (so each
// query stays a plain, indexed one). The keys become columns when they fit
// in the page width, otherwise one line of "caption value unit" under each row.
struct TReportPivot {
    QString sql;  // empty: the values come with the table's rows
    std::vector<TReportParamDef> params;
    QString key;        // e.g. CDNUTRIENTE; null keys add nothing
    QString caption;    // e.g. NMNUTRIENTE
    QString unit;       // e.g. SGUNIDADE; optional
    QString value;      // e.g. QTNUTRITEM
    QStringList rowKey;
    int decimals = 2;
    double widthMm = 17;

    bool active() const { return !key.isEmpty(); }
};

// One table of the report: its query, columns and grouping.
struct HOSTFW_EXPORT TReportSection {
    QString caption;  // shown above the table (sections after the first)
    QString sql;
    std::vector<TReportParamDef> params;
    std::vector<TReportColumn> columns;
    std::vector<TReportComputed> computed;
    std::vector<TReportGroup> groups;  // outermost first
    QStringList sums;                  // fields summed per group and at the end
    QString totalCaption;              // label of the sum line at the end ("Total geral")
    // Extra lines after the end sums, each a column with an expression over
    // the end sums (fields), parameters and fields the query answers alike on
    // every row (read from its first row, e.g. a count of days).
    struct Line {
        QString caption;
        QStringList expressions;  // one per summed field, in the order of sums; empty: blank
        QString pivot;            // for each pivot key; VALUE is the key's end sum
    };
    std::vector<Line> endLines;
    TReportPivot pivot;
    bool showCount = false;            // "Registros: N" under the table
    QString footnote;                  // small print under the table (how a column is computed)

    const TReportColumn* column(const QString& field) const;
};

// The page header of every page: a query whose one row and the parameters
// fill the lines' templates; each line may hold a tab between a left and a
// right part.
struct TReportPageHeader {
    QString sql;
    std::vector<TReportParamDef> params;
    QStringList lines;
};

struct HOSTFW_EXPORT TReportLayout : TReportSection {
    QString fileName;  // absolute path of the layout file
    QString title;
    bool landscape = false;
    QString groupField;    // the first group's field (empty: no grouping)
    QString groupCaption;  // shown before the group value in the group header
    TReportPageHeader pageHeader;
    std::vector<TReportSection> sections;  // tables after the first

    // Reads and checks a layout file; throws EHostError with a Portuguese
    // message when it is missing or damaged.
    static TReportLayout load(const QString& fileName);
    // Parses layout text (the file's content); throws EHostError when damaged.
    static TReportLayout parse(const QByteArray& text, const QString& fileName);
    // A copy of the layout file under a new title, beside it: answers the new
    // file's path. Throws EHostError when it cannot be written.
    static QString saveCopy(const QString& fileName, const QString& reportCode, const QString& newTitle);
};

// The folder holding the layouts: $INQUERITO_REPORTS_DIR when set, else
// "reports" in the host's executable folder, else beside the application.
HOSTFW_EXPORT QString reportsFolder();

// Layout files of a report code, sorted by name; empty when none (or no folder).
HOSTFW_EXPORT QStringList reportLayoutFiles(const QString& reportCode, const QString& folder = reportsFolder());

// The "layout not found" text: the template's first %s takes the code, the second the folder.
HOSTFW_EXPORT QString reportNotFoundText(const QString& messageTemplate, const QString& reportCode,
                                         const QString& folder);

// The standard text of "Arq_Rel_Err".
HOSTFW_EXPORT QString reportNotFoundTemplate();

}  // namespace hostfw

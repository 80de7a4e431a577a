#pragma once
// Report layouts: one JSON file per layout in the reports folder, named
// after the report code ("ZEP126*.json"). A layout holds the title, the page
// orientation, the query with its declared parameters, the columns, an
// optional grouping and the numeric columns summed per group and at the end.
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

enum class TReportColumnFormat { Text, Number, Date };

struct TReportColumn {
    QString field;
    QString caption;
    double widthMm = 30;
    Qt::Alignment alignment = Qt::AlignLeft;
    TReportColumnFormat format = TReportColumnFormat::Text;
    int decimals = 0;
};

struct HOSTFW_EXPORT TReportLayout {
    QString fileName;  // absolute path of the layout file
    QString title;
    bool landscape = false;
    QString sql;
    std::vector<TReportParamDef> params;
    std::vector<TReportColumn> columns;
    QString groupField;    // empty: no grouping
    QString groupCaption;  // shown before the group value in the group header
    QStringList sums;      // fields summed per group and at the end

    const TReportColumn* column(const QString& field) const;

    // Reads and checks a layout file; throws EHostError with a Portuguese
    // message when it is missing or damaged.
    static TReportLayout load(const QString& fileName);
    // Parses layout text (the file's content); throws EHostError when damaged.
    static TReportLayout parse(const QByteArray& text, const QString& fileName);
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

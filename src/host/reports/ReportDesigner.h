#pragma once
// The report designer dialog of the base report screen (rpddPadrao): runs a
// layout's query with the parameters the screen fills, renders the rows and
// prints, previews or saves them as PDF. The modal parts (printer choice,
// preview window, file name) are replaceable so tests run headless.
#include "host/core/HostExport.h"
#include "host/reports/ReportLayout.h"
#include "host/reports/ReportParams.h"
#include "host/reports/ReportRender.h"
#include "protocol/Packets.h"

#include <QObject>

#include <functional>
#include <map>
#include <memory>

class QPrinter;
class QTextDocument;

namespace hostfw {

enum class TReportOutput { Print, Preview, SaveAs };

class HOSTFW_EXPORT TReportDesignerDialog : public QObject {
    Q_OBJECT
public:
    explicit TReportDesignerDialog(QObject* owner, const QString& name = QStringLiteral("rpddPadrao"));
    ~TReportDesignerDialog() override;

    // Raised before the query runs, with the parameters the layout declares.
    std::function<void(TReportParams&)> BeforeGetQueryParams;
    // Named SQL texts a layout's query may hold as {{NAME}}: the screen hands
    // in rules written once elsewhere, so a layout does not restate them.
    std::map<QString, QString> SqlFragments;

    // Modal parts; unset, the Qt dialogs run.
    std::function<bool(QPrinter&)> AskPrinter;                        // false: cancelled
    std::function<void(QTextDocument&)> ShowPreview;
    std::function<QString(const QString& suggested)> AskSaveFileName;  // empty: cancelled

    // The declared parameters of one query, filled by BeforeGetQueryParams.
    TReportParams QueryParams(const std::vector<TReportParamDef>& declared) const;
    TReportParams QueryParams(const TReportLayout& layout) const { return QueryParams(layout.params); }
    // Runs a query; parameters the SQL does not use are not bound, used ones
    // that are not declared are null. Throws EHostError.
    protocol::DataPacket RunQuery(const QString& title, const QString& sql, const TReportParams& params) const;
    protocol::DataPacket RunQuery(const TReportLayout& layout, const TReportParams& params) const;
    // Every query of the layout (each with its own BeforeGetQueryParams) and the page header.
    TReportData Generate(const TReportLayout& layout) const;
    // Parameters, queries and rendering in one.
    std::unique_ptr<QTextDocument> BuildDocument(const TReportLayout& layout) const;

    void Print(const TReportLayout& layout);
    void Preview(const TReportLayout& layout);
    // Answers the PDF written, or an empty text when the user cancelled.
    QString SaveAs(const TReportLayout& layout);
    void Execute(const TReportLayout& layout, TReportOutput output);

private:
    QWidget* dialogParent() const;
};

}  // namespace hostfw

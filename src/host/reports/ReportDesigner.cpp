#include "host/reports/ReportDesigner.h"

#include "db/Query.h"
#include "host/core/Failures.h"
#include "host/connection/HostDatabase.h"
#include "host/reports/ReportRender.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QTextDocument>

namespace hostfw {

TReportDesignerDialog::TReportDesignerDialog(QObject* owner, const QString& name) : QObject(owner) {
    setObjectName(name);
}

TReportDesignerDialog::~TReportDesignerDialog() = default;

QWidget* TReportDesignerDialog::dialogParent() const { return qobject_cast<QWidget*>(parent()); }

TReportParams TReportDesignerDialog::QueryParams(const TReportLayout& layout) const {
    TReportParams params(layout.params);
    if (BeforeGetQueryParams) BeforeGetQueryParams(params);
    return params;
}

protocol::DataPacket TReportDesignerDialog::RunQuery(const TReportLayout& layout, const TReportParams& params) const {
    // Only the names the text uses are bound: the database refuses extra ones.
    static const QRegularExpression named(QStringLiteral("(?<!:):([A-Za-z_][A-Za-z0-9_]*)"));
    db::Params bound;
    QStringList seen;
    static const QRegularExpression literal(QStringLiteral("'[^']*'"));
    const QString code = QString(layout.sql).replace(literal, QStringLiteral("''"));
    for (auto it = named.globalMatch(code); it.hasNext();) {
        const QString name = it.next().captured(1);
        if (seen.contains(name, Qt::CaseInsensitive)) continue;
        seen << name;
        const TReportParam* p = params.Find(name);
        bound.push_back({name.toStdString(), p ? p->boundText() : std::nullopt});
    }
    try {
        return db::query(hostDatabase(), layout.sql.toStdString(), bound);
    } catch (const EHostError&) {
        throw;
    } catch (const std::exception& e) {
        throw EHostError(QStringLiteral("Erro ao executar a consulta do relatório '%1': %2")
                             .arg(layout.title, QString::fromStdString(e.what()).trimmed()));
    }
}

std::unique_ptr<QTextDocument> TReportDesignerDialog::BuildDocument(const TReportLayout& layout) const {
    const TReportParams params = QueryParams(layout);
    return makeReportDocument(layout, RunQuery(layout, params), QDateTime::currentDateTime());
}

void TReportDesignerDialog::Print(const TReportLayout& layout) {
    auto document = BuildDocument(layout);
    QPrinter printer(QPrinter::HighResolution);
    setupReportPrinter(printer, *document);
    const bool chosen = AskPrinter ? AskPrinter(printer) : [&] {
        QPrintDialog dialog(&printer, dialogParent());
        dialog.setWindowTitle(QStringLiteral("Imprimir"));
        return dialog.exec() == QDialog::Accepted;
    }();
    if (chosen) printReportDocument(*document, printer);
}

void TReportDesignerDialog::Preview(const TReportLayout& layout) {
    auto document = BuildDocument(layout);
    if (ShowPreview) {
        ShowPreview(*document);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    setupReportPrinter(printer, *document);
    QPrintPreviewDialog dialog(&printer, dialogParent());
    dialog.setWindowTitle(QStringLiteral("Visualizar - %1").arg(layout.title));
    // A failure while painting must not cross the event loop.
    connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
            guarded([&document](QPrinter* target) { printReportDocument(*document, *target); }));
    dialog.exec();
}

QString TReportDesignerDialog::SaveAs(const TReportLayout& layout) {
    auto document = BuildDocument(layout);
    const QString suggested = QFileInfo(layout.fileName).completeBaseName() + QStringLiteral(".pdf");
    QString fileName = AskSaveFileName ? AskSaveFileName(suggested)
                                       : QFileDialog::getSaveFileName(dialogParent(), QStringLiteral("Salvar como"),
                                                                      QDir::home().filePath(suggested),
                                                                      QStringLiteral("Documento PDF (*.pdf)"));
    if (fileName.isEmpty()) return {};
    if (!fileName.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) fileName += QStringLiteral(".pdf");

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(fileName);
    setupReportPrinter(printer, *document);
    try {
        printReportDocument(*document, printer);
    } catch (const EHostError&) {
        throw EHostError(QStringLiteral("Não foi possível gravar o arquivo '%1'.").arg(QDir::toNativeSeparators(fileName)));
    }
    return fileName;
}

void TReportDesignerDialog::Execute(const TReportLayout& layout, TReportOutput output) {
    switch (output) {
    case TReportOutput::Print: Print(layout); break;
    case TReportOutput::Preview: Preview(layout); break;
    case TReportOutput::SaveAs: SaveAs(layout); break;
    }
}

}  // namespace hostfw

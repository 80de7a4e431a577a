#include "host/reports/ReportDesigner.h"

#include "db/Query.h"
#include "host/core/Failures.h"
#include "host/core/Session.h"
#include "host/routines/Vorlane.h"
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

TReportParams TReportDesignerDialog::QueryParams(const std::vector<TReportParamDef>& declared) const {
    TReportParams params(declared);
    if (BeforeGetQueryParams) BeforeGetQueryParams(params);
    return params;
}

protocol::DataPacket TReportDesignerDialog::RunQuery(const TReportLayout& layout, const TReportParams& params) const {
    return RunQuery(layout.title, layout.sql, params);
}

protocol::DataPacket TReportDesignerDialog::RunQuery(const QString& title, const QString& layoutSql,
                                                     const TReportParams& params) const {
    static const QRegularExpression fragment(QStringLiteral("\\{\\{([A-Za-z_][A-Za-z0-9_]*)\\}\\}"));
    QString sql = layoutSql;
    for (auto match = fragment.match(sql); match.hasMatch();) {
        const auto it = SqlFragments.find(match.captured(1));
        if (it == SqlFragments.end())
            throw EHostError(QStringLiteral("A consulta do relatório '%1' usa o trecho {{%2}}, que esta tela não fornece.")
                                 .arg(title, match.captured(1)));
        sql.replace(match.capturedStart(), match.capturedLength(), it->second);
        match = fragment.match(sql, match.capturedStart() + it->second.size());
    }
    // Only the names the text uses are bound: the database refuses extra ones.
    static const QRegularExpression named(QStringLiteral("(?<!:):([A-Za-z_][A-Za-z0-9_]*)"));
    db::Params bound;
    QStringList seen;
    static const QRegularExpression literal(QStringLiteral("'[^']*'"));
    const QString code = QString(sql).replace(literal, QStringLiteral("''"));
    for (auto it = named.globalMatch(code); it.hasNext();) {
        const QString name = it.next().captured(1);
        if (seen.contains(name, Qt::CaseInsensitive)) continue;
        seen << name;
        const TReportParam* p = params.Find(name);
        bound.push_back({name.toStdString(), p ? p->boundText() : std::nullopt});
    }
    try {
        return db::query(hostDatabase(), sql.toStdString(), bound);
    } catch (const EHostError&) {
        throw;
    } catch (const std::exception& e) {
        throw EHostError(QStringLiteral("Erro ao executar a consulta do relatório '%1': %2")
                             .arg(title, QString::fromStdString(e.what()).trimmed()));
    }
}

TReportData TReportDesignerDialog::Generate(const TReportLayout& layout) const {
    TReportData data;
    data.printedAt = QDateTime::currentDateTime();
    const HostSession& host = session();
    data.operatorName = host.operatorName.isEmpty() ? Vorlane::Operador()
                                                    : QStringLiteral("%1 - %2").arg(Vorlane::Operador(), host.operatorName);
    std::vector<const TReportSection*> sections{&layout};
    for (const auto& s : layout.sections) sections.push_back(&s);
    for (const TReportSection* s : sections) {
        data.params.push_back(QueryParams(s->params));
        data.tables.push_back(RunQuery(layout.title, s->sql, data.params.back()));
        data.pivots.emplace_back();
        if (!s->pivot.sql.isEmpty())
            data.pivots.back() = RunQuery(layout.title, s->pivot.sql, QueryParams(s->pivot.params));
    }
    if (!layout.pageHeader.lines.isEmpty()) {
        const TReportParams params = QueryParams(layout.pageHeader.params);
        protocol::DataPacket row;
        if (!layout.pageHeader.sql.isEmpty()) row = RunQuery(layout.title, layout.pageHeader.sql, params);
        for (const QString& line : layout.pageHeader.lines)
            data.header << fillReportTemplate(line, [&](const QString& name) -> std::optional<QString> {
                if (const int at = row.indexOf(name.toUpper().toStdString()); at >= 0 && !row.rows.empty()) {
                    const auto& v = row.rows[0][static_cast<size_t>(at)];
                    if (v.is_null()) return std::nullopt;
                    return v.is_string() ? QString::fromStdString(v.get<std::string>()) : QString::fromStdString(v.dump());
                }
                if (const TReportParam* p = params.Find(name); p && !p->IsNull()) {
                    if (p->Type() == TReportParamType::Date) {
                        const auto bound = p->boundText();
                        return bound ? std::optional<QString>(QString::fromStdString(*bound)) : std::nullopt;
                    }
                    return p->AsString();
                }
                return std::nullopt;
            });
    }
    return data;
}

std::unique_ptr<QTextDocument> TReportDesignerDialog::BuildDocument(const TReportLayout& layout) const {
    return makeReportDocument(layout, Generate(layout));
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

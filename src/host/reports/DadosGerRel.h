#pragma once
// The standard report screen: a modal dialog with a data group box for the
// screen's parameters, the list of the report layouts kept for its report
// code, and print, preview and save-as commands run by rpddPadrao.
#include "host/core/HostExport.h"
#include "host/core/Messages.h"
#include "host/screens/ModalScreen.h"
#include "host/reports/ReportDesigner.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>

#include <functional>
#include <optional>

namespace hostfw {

class TButtonFlat;

class HOSTFW_EXPORT TfrmDadosGerRel : public TModalScreen {
    Q_OBJECT
public:
    explicit TfrmDadosGerRel(QWidget* parent = nullptr);
    ~TfrmDadosGerRel() override;

    QLabel* lblCodRel;       // the report code, e.g. "ZEP126"
    QFrame* panRelat;
    QComboBox* cbbReportNames;
    TButtonFlat* sbtPrint;
    TButtonFlat* sbtPreview;
    TButtonFlat* sbtSalvarComo;
    TButtonFlat* sbtCancel;
    TReportDesignerDialog* rpddPadrao;

    QString ReportCode() const { return lblCodRel->text().trimmed(); }
    // Layout files listed in cbbReportNames, in the same order.
    const QStringList& ReportFiles() const { return files_; }
    // Fills cbbReportNames with the titles of the layouts of ReportCode().
    void LoadReportNames();

    virtual void FormCreate() { LoadReportNames(); }
    // Run the selected layout; failures are shown, never thrown.
    virtual void sbtPrintClick() { RunReport(TReportOutput::Print); }
    virtual void sbtPreviewClick() { RunReport(TReportOutput::Preview); }
    // Asks the title ("NovoCaption", "NovoPrompt"); a new title keeps a copy of
    // the layout under it, listed and selected; then the report is saved as PDF.
    virtual void sbtSalvarComoClick();

    // Asks a text (caption, prompt, initial value); nullopt when cancelled.
    // Unset, Qt's input dialog runs.
    std::function<std::optional<QString>(const QString&, const QString&, const QString&)> AskText;

protected:
    void RunReport(TReportOutput output);
    // The selected layout file; none (or gone): "Arq_Rel_Err" and the command stops.
    QString SelectedFile() const;

private:
    std::optional<QString> askText(const QString& caption, const QString& prompt, const QString& value);
    QStringList files_;
};

}  // namespace hostfw

#include "host/reports/DadosGerRel.h"

#include "host/controls/Buttons.h"
#include "host/core/Dialogs.h"
#include "host/core/Failures.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QStyle>
#include <QVBoxLayout>

namespace hostfw {

TfrmDadosGerRel::TfrmDadosGerRel(QWidget* parent) : TModalScreen(parent) {
    panRelat = new QFrame(this);
    panRelat->setObjectName("panRelat");
    panRelat->setFrameShape(QFrame::StyledPanel);
    auto* relat = new QHBoxLayout(panRelat);
    relat->setContentsMargins(6, 4, 6, 4);
    relat->addWidget(new QLabel(QStringLiteral("Relatório"), panRelat));
    cbbReportNames = new QComboBox(panRelat);
    cbbReportNames->setObjectName("cbbReportNames");
    relat->addWidget(cbbReportNames, 1);
    leftColumn()->insertWidget(1, panRelat);

    lblCodRel = new QLabel(this);
    lblCodRel->setObjectName("lblCodRel");
    codesRow()->addWidget(lblCodRel);

    QStyle* st = style();
    sbtPrint = addSideButton("sbtPrint", QStringLiteral("Imprimir"),
                             QIcon::fromTheme(QStringLiteral("document-print"), st->standardIcon(QStyle::SP_FileIcon)),
                             [this] { sbtPrintClick(); });
    sbtPreview = addSideButton("sbtPreview", QStringLiteral("Visualizar"),
                               st->standardIcon(QStyle::SP_FileDialogContentsView), [this] { sbtPreviewClick(); });
    sbtSalvarComo = addSideButton("sbtSalvarComo", QStringLiteral("Salvar como"),
                                  st->standardIcon(QStyle::SP_DialogSaveButton), [this] { sbtSalvarComoClick(); });
    sbtCancel = addSideButton("sbtCancel", QStringLiteral("Fechar"), st->standardIcon(QStyle::SP_DialogCloseButton),
                              [this] { reject(); });

    msgPadrao->Lines << QStringLiteral("Arq_Rel_Err|") + reportNotFoundTemplate()
                     << QStringLiteral("NovoCaption|Título do relatório")
                     << QStringLiteral("NovoPrompt|Informe o título do relatório:");
    rpddPadrao = new TReportDesignerDialog(this, QStringLiteral("rpddPadrao"));
}

TfrmDadosGerRel::~TfrmDadosGerRel() = default;

void TfrmDadosGerRel::LoadReportNames() {
    files_ = reportLayoutFiles(ReportCode());
    cbbReportNames->clear();
    for (const QString& file : files_) {
        // A damaged layout is still listed under its file name; running it says what is wrong.
        QString title = QFileInfo(file).completeBaseName();
        try {
            title = TReportLayout::load(file).title;
        } catch (const EHostError&) {
        }
        cbbReportNames->addItem(title, file);
    }
    if (!files_.isEmpty()) cbbReportNames->setCurrentIndex(0);
}

QString TfrmDadosGerRel::SelectedFile() const {
    const int index = cbbReportNames->currentIndex();
    if (files_.isEmpty() || index < 0 || index >= files_.size() || !QFileInfo::exists(files_[index])) {
        dialogs().message(DialogKind::Error,
                          reportNotFoundText(msgPadrao->Msg(QStringLiteral("Arq_Rel_Err")), ReportCode(), reportsFolder()));
        Abort();
    }
    return files_[index];
}

void TfrmDadosGerRel::RunReport(TReportOutput output) {
    guard([&] {
        // Read again: the file may have changed since the list was made.
        rpddPadrao->Execute(TReportLayout::load(SelectedFile()), output);
    });
}

void TfrmDadosGerRel::sbtSalvarComoClick() {
    guard([&] {
        const QString file = SelectedFile();
        TReportLayout layout = TReportLayout::load(file);
        const auto title = AskText ? AskText(msgPadrao->Msg(QStringLiteral("NovoCaption")),
                                             msgPadrao->Msg(QStringLiteral("NovoPrompt")), layout.title)
                                   : askText(msgPadrao->Msg(QStringLiteral("NovoCaption")),
                                             msgPadrao->Msg(QStringLiteral("NovoPrompt")), layout.title);
        if (!title) return;
        const QString newTitle = title->trimmed();
        if (!newTitle.isEmpty() && newTitle != layout.title) {
            const QString copy = TReportLayout::saveCopy(file, ReportCode(), newTitle);
            LoadReportNames();
            cbbReportNames->setCurrentIndex(static_cast<int>(files_.indexOf(copy)));
            layout = TReportLayout::load(copy);
        }
        rpddPadrao->SaveAs(layout);
    });
}

std::optional<QString> TfrmDadosGerRel::askText(const QString& caption, const QString& prompt, const QString& value) {
    bool ok = false;
    const QString text = QInputDialog::getText(this, caption, prompt, QLineEdit::Normal, value, &ok);
    return ok ? std::optional<QString>(text) : std::nullopt;
}


}  // namespace hostfw

#include "host/DadosGerRel.h"

#include "host/Buttons.h"
#include "host/Dialogs.h"
#include "host/Failures.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>

namespace hostfw {

namespace {

TButtonFlat* sideButton(QWidget* panel, const char* name, const QString& caption, const QIcon& icon) {
    auto* button = new TButtonFlat(panel, QString::fromLatin1(name), caption);
    button->SetGlyph(icon);
    button->SetHint(caption);
    return button;
}

}  // namespace

TfrmDadosGerRel::TfrmDadosGerRel(QWidget* parent) : TModalScreen(parent) {
    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(6, 6, 6, 6);

    auto* left = new QVBoxLayout();
    grbDadosRel = new QGroupBox(this);
    grbDadosRel->setObjectName("grbDadosRel");
    left->addWidget(grbDadosRel, 1);

    panRelat = new QFrame(this);
    panRelat->setObjectName("panRelat");
    panRelat->setFrameShape(QFrame::StyledPanel);
    auto* relat = new QHBoxLayout(panRelat);
    relat->setContentsMargins(6, 4, 6, 4);
    relat->addWidget(new QLabel(QStringLiteral("Relatório"), panRelat));
    cbbReportNames = new QComboBox(panRelat);
    cbbReportNames->setObjectName("cbbReportNames");
    relat->addWidget(cbbReportNames, 1);
    left->addWidget(panRelat);

    auto* codes = new QHBoxLayout();
    lblCodTela = new QLabel(this);
    lblCodTela->setObjectName("lblCodTela");
    lblCodRel = new QLabel(this);
    lblCodRel->setObjectName("lblCodRel");
    codes->addWidget(lblCodTela);
    codes->addStretch(1);
    codes->addWidget(lblCodRel);
    left->addLayout(codes);
    root->addLayout(left, 1);

    panMenu = new QFrame(this);
    panMenu->setObjectName("panMenu");
    panMenu->setFrameShape(QFrame::StyledPanel);
    auto* side = new QVBoxLayout(panMenu);
    panBotoes = new QFrame(panMenu);
    panBotoes->setObjectName("panBotoes");
    auto* buttons = new QVBoxLayout(panBotoes);
    buttons->setContentsMargins(0, 0, 0, 0);
    QStyle* st = style();
    sbtPrint = sideButton(panBotoes, "sbtPrint", QStringLiteral("Imprimir"),
                          QIcon::fromTheme(QStringLiteral("document-print"), st->standardIcon(QStyle::SP_FileIcon)));
    sbtPreview = sideButton(panBotoes, "sbtPreview", QStringLiteral("Visualizar"),
                            st->standardIcon(QStyle::SP_FileDialogContentsView));
    sbtSalvarComo = sideButton(panBotoes, "sbtSalvarComo", QStringLiteral("Salvar como"),
                               st->standardIcon(QStyle::SP_DialogSaveButton));
    sbtCancel = sideButton(panBotoes, "sbtCancel", QStringLiteral("Fechar"), st->standardIcon(QStyle::SP_DialogCloseButton));
    for (auto* b : {sbtPrint, sbtPreview, sbtSalvarComo, sbtCancel}) buttons->addWidget(b);
    side->addWidget(panBotoes);
    side->addStretch(1);
    root->addWidget(panMenu);

    msgPadrao = new TMessages(this, "msgPadrao");
    msgPadrao->Lines << QStringLiteral("Arq_Rel_Err|") + reportNotFoundTemplate()
                     << QStringLiteral("NovoCaption|Título do relatório")
                     << QStringLiteral("NovoPrompt|Informe o título do relatório:");
    rpddPadrao = new TReportDesignerDialog(this, QStringLiteral("rpddPadrao"));

    sbtPrint->OnClick = [this] { sbtPrintClick(); };
    sbtPreview->OnClick = [this] { sbtPreviewClick(); };
    sbtSalvarComo->OnClick = [this] { sbtSalvarComoClick(); };
    sbtCancel->OnClick = [this] { reject(); };
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

void TfrmDadosGerRel::RunReport(TReportOutput output) {
    guard([&] {
        const int index = cbbReportNames->currentIndex();
        if (files_.isEmpty() || index < 0) {
            dialogs().message(DialogKind::Error,
                              reportNotFoundText(msgPadrao->Msg(QStringLiteral("Arq_Rel_Err")), ReportCode(), reportsFolder()));
            return;
        }
        // Read again: the file may have changed since the list was made.
        rpddPadrao->Execute(TReportLayout::load(files_[index]), output);
    });
}


}  // namespace hostfw

#include "hostapp/AuditScreen.h"

#include "host/connection/NetConnection.h"
#include "host/controls/DateEditPlus.h"
#include "host/routines/Consiste.h"
#include "host/core/Failures.h"
#include "host/core/Session.h"
#include "host/data/DBGrid.h"
#include "host/data/DataSet.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace hostapp {

AuditScreen::AuditScreen(QWidget* parent) : TfrmPadraoGrid(parent) {
    setObjectName(QStringLiteral("frmAuditoria"));
    setWindowTitle(QStringLiteral("Auditoria"));
    lblCodTela->setText(QStringLiteral("AUDITORIA"));
    cdsAuditoria = new hostfw::TClientDataSet(this, QStringLiteral("cdsAuditoria"));
    dtsPadrao->SetDataSet(cdsAuditoria);
    netOperador = new hostfw::TNetConnection(this, QStringLiteral("netOperador"));
    netOperador->ServerName = QStringLiteral("Host.Operador");
    netOperador->Host = hostfw::session().serverHost;
    netOperador->Port = hostfw::session().serverPort;
    pgcPadrao->setTabText(0, QStringLiteral("Registros"));
    dbgPadrao->SetReadOnly(true);

    auto* filters = new QWidget(body());
    filters->setObjectName(QStringLiteral("panFiltro"));
    auto* row = new QHBoxLayout(filters);
    edtPaciente = new QLineEdit(filters);
    edtPaciente->setObjectName(QStringLiteral("edtPaciente"));
    edtPaciente->setMaxLength(12);
    edtOperador = new QLineEdit(filters);
    edtOperador->setObjectName(QStringLiteral("edtOperador"));
    edtOperador->setMaxLength(10);
    dtpInicio = new hostfw::TDateEditPlus(filters, QStringLiteral("dtpInicio"));
    dtpFim = new hostfw::TDateEditPlus(filters, QStringLiteral("dtpFim"));
    btnConsultar = new QPushButton(QStringLiteral("Consultar"), filters);
    btnConsultar->setObjectName(QStringLiteral("btnConsultar"));
    row->addWidget(new QLabel(QStringLiteral("Paciente:"), filters));
    row->addWidget(edtPaciente);
    row->addWidget(new QLabel(QStringLiteral("Operador:"), filters));
    row->addWidget(edtOperador);
    row->addWidget(new QLabel(QStringLiteral("De:"), filters));
    row->addWidget(dtpInicio);
    row->addWidget(new QLabel(QStringLiteral("Até:"), filters));
    row->addWidget(dtpFim);
    row->addWidget(btnConsultar);
    row->addStretch(1);
    static_cast<QVBoxLayout*>(body()->layout())->insertWidget(0, filters);
    connect(btnConsultar, &QPushButton::clicked, this, [this] { hostfw::guard([this] { btnConsultarClick(); }); });

    for (QAction* unused : {mnuIncluir, mnuAlterar, mnuExcluir, mnuProcurar, mnuConfirmar, mnuCancelar, mnuImprimir})
        unused->setVisible(false);
    for (QToolButton* unused : {sbtIncluir, sbtAlterar, sbtExcluir, sbtProcurar, sbtConfirmar, sbtCancelar, sbtImprimir})
        unused->setVisible(false);
    resize(980, 480);
}

void AuditScreen::btnConsultarClick() {
    const QDate from = dtpInicio->Date();
    const QDate to = dtpFim->Date();
    if (from.isValid() && to.isValid() && to < from)
        Consiste::MensErro(QStringLiteral("A data final deve ser igual ou posterior à inicial."));
    netOperador->Open();
    cdsAuditoria->SetData(Consiste::CheckResultServ(netOperador->AppServer(
        QStringLiteral("ConsultarAuditoria"),
        {edtPaciente->text().trimmed(), edtOperador->text().trimmed().toUpper(), hostfw::NetArg(from),
         hostfw::NetArg(to)})));
    const struct {
        const char* field;
        const char* title;
        int width;
    } columns[] = {{"DTHRREGISTRO", "Data e hora (UTC)", 23}, {"CDOPERADOR", "Operador", 10},
                   {"CDFILIAL", "Filial", 6},                {"CDPACIENTE", "Paciente", 12},
                   {"NMOPERACAO", "Operação", 36},           {"IDACAO", "Ação", 5},
                   {"DSCHAVE", "Registro", 40},              {"DSENDERECO", "Endereço", 15}};
    for (const auto& c : columns) {
        hostfw::TField* f = cdsAuditoria->FieldByName(QString::fromLatin1(c.field));
        f->DisplayLabel = QString::fromUtf8(c.title);
        f->DisplayWidth = c.width;
    }
    dtsPadraoStateChange();
}

void AuditScreen::dtsPadraoStateChange() {
    TfrmPadraoGrid::dtsPadraoStateChange();
    SetCommand(mnuVerificar, true);
}

} // namespace hostapp

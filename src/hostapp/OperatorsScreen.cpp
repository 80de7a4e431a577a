#include "hostapp/OperatorsScreen.h"

#include "host/connection/NetConnection.h"
#include "host/routines/Consiste.h"
#include "host/core/Dialogs.h"
#include "host/core/Failures.h"
#include "host/core/Session.h"
#include "host/data/DBGrid.h"
#include "host/data/DataSet.h"
#include "hostapp/SessionDialogs.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QStyle>

namespace hostapp {

namespace {

hostfw::TNetConnection* operatorConnection(QObject* owner) {
    auto* net = new hostfw::TNetConnection(owner, QStringLiteral("netOperador"));
    net->ServerName = QStringLiteral("Host.Operador");
    net->Host = hostfw::session().serverHost;
    net->Port = hostfw::session().serverPort;
    return net;
}

QLineEdit* edit(QWidget* parent, const char* name, int maxLength, bool password = false) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setMaxLength(maxLength);
    if (password) e->setEchoMode(QLineEdit::Password);
    return e;
}

}  // namespace

OperatorsScreen::OperatorsScreen(QWidget* parent) : TfrmPadraoGrid(parent) {
    setObjectName(QStringLiteral("frmOperadores"));
    setWindowTitle(QStringLiteral("Operadores"));
    lblCodTela->setText(QStringLiteral("OPERADORES"));
    cdsOperadores = new hostfw::TClientDataSet(this, QStringLiteral("cdsOperadores"));
    dtsPadrao->SetDataSet(cdsOperadores);
    dtsPadrao->OnStateChange = [this](hostfw::TDataSource*) { dtsPadraoStateChange(); };
    netOperador = operatorConnection(this);
    pgcPadrao->setTabText(0, QStringLiteral("Operadores"));
    dbgPadrao->SetReadOnly(true);

    mnuAtivar = mnuManutencao->addAction(QStringLiteral("A&tivar/Desativar"));
    mnuAtivar->setObjectName(QStringLiteral("mnuAtivar"));
    mnuAtivar->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
    mnuRedefinirSenha = mnuManutencao->addAction(QStringLiteral("&Redefinir Senha"));
    mnuRedefinirSenha->setObjectName(QStringLiteral("mnuRedefinirSenha"));
    mnuRedefinirSenha->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    sbtAtivar = addCommand(QStringLiteral("sbtAtivar"), mnuAtivar, QStringLiteral("Ativar ou desativar o operador"));
    sbtRedefinirSenha =
        addCommand(QStringLiteral("sbtRedefinirSenha"), mnuRedefinirSenha, QStringLiteral("Redefinir a senha"));
    // Beside the base commands, not after the screen code.
    auto* bar = static_cast<QHBoxLayout*>(panMenu->layout());
    for (QToolButton* b : {sbtRedefinirSenha, sbtAtivar}) {
        bar->removeWidget(b);
        bar->insertWidget(bar->indexOf(sbtIncluir) + 1, b);
    }
    connect(mnuAtivar, &QAction::triggered, this, [this] { hostfw::guard([this] { sbtAtivarClick(); }); });
    connect(mnuRedefinirSenha, &QAction::triggered, this,
            [this] { hostfw::guard([this] { sbtRedefinirSenhaClick(); }); });
    // Operators are never deleted (the audit trail names them) nor edited in the grid.
    for (QAction* unused : {mnuAlterar, mnuExcluir, mnuProcurar, mnuConfirmar, mnuCancelar, mnuImprimir})
        unused->setVisible(false);
    for (QToolButton* unused : {sbtAlterar, sbtExcluir, sbtProcurar, sbtConfirmar, sbtCancelar, sbtImprimir})
        unused->setVisible(false);
    resize(760, 420);
}

void OperatorsScreen::Load() {
    netOperador->Open();
    cdsOperadores->SetData(Consiste::CheckResultServ(netOperador->AppServer(QStringLiteral("Listar"), {})));
    const struct {
        const char* field;
        const char* title;
        int width;
    } columns[] = {{"CDOPERADOR", "Operador", 10}, {"NMOPERADOR", "Nome", 34}, {"IDPERFIL", "Perfil", 6},
                   {"IDATIVO", "Ativo", 5},        {"IDTROCASENHA", "Trocar senha", 12}, {"DSFILIAIS", "Filiais", 20}};
    for (const auto& c : columns) {
        hostfw::TField* f = cdsOperadores->FieldByName(QString::fromLatin1(c.field));
        f->DisplayLabel = QString::fromUtf8(c.title);
        f->DisplayWidth = c.width;
    }
    dtsPadraoStateChange();
}

QString OperatorsScreen::currentCode() const {
    if (!cdsOperadores->Active() || cdsOperadores->IsEmpty()) return {};
    return cdsOperadores->FieldByName(QStringLiteral("CDOPERADOR"))->AsString();
}

void OperatorsScreen::dtsPadraoStateChange() {
    TfrmPadraoGrid::dtsPadraoStateChange();
    const bool row = !currentCode().isEmpty();
    SetCommand(mnuIncluir, cdsOperadores->Active());
    SetCommand(mnuVerificar, true);
    if (mnuAtivar) SetCommand(mnuAtivar, row);
    if (mnuRedefinirSenha) SetCommand(mnuRedefinirSenha, row);
}

void OperatorsScreen::sbtIncluirClick() {
    // A modal screen deletes itself when it closes.
    auto* screen = new NewOperatorScreen(netOperador, this);
    if (screen->exec() == QDialog::Accepted) Load();
}

void OperatorsScreen::sbtAtivarClick() {
    const QString code = currentCode();
    if (code.isEmpty()) return;
    const bool active = cdsOperadores->FieldByName(QStringLiteral("IDATIVO"))->AsString() == QLatin1String("S");
    const QString question = active ? QStringLiteral("Desativar o operador %1? Ele não poderá mais entrar no sistema.")
                                    : QStringLiteral("Ativar o operador %1?");
    if (!hostfw::dialogs().confirm(question.arg(code))) return;
    Consiste::CheckResultServ(netOperador->AppServer(active ? QStringLiteral("Desativar") : QStringLiteral("Ativar"),
                                                     {code}));
    Load();
    cdsOperadores->Locate(QStringLiteral("CDOPERADOR"), {code});
}

void OperatorsScreen::sbtRedefinirSenhaClick() {
    const QString code = currentCode();
    if (code.isEmpty()) return;
    ChangePasswordDialog dialog(code, this);
    dialog.setWindowTitle(QStringLiteral("Redefinir Senha"));
    if (dialog.exec() != QDialog::Accepted) return;
    if (dialog.newPassword() != dialog.confirmation())
        Consiste::MensErro(QStringLiteral("As senhas não conferem."));
    Consiste::CheckResultServ(netOperador->AppServer(QStringLiteral("RedefinirSenha"), {code, dialog.newPassword()}));
    hostfw::dialogs().message(hostfw::DialogKind::Information,
                              QStringLiteral("Senha do operador %1 redefinida: ele deverá trocá-la ao entrar.").arg(code));
    Load();
    cdsOperadores->Locate(QStringLiteral("CDOPERADOR"), {code});
}

NewOperatorScreen::NewOperatorScreen(hostfw::TNetConnection* net, QWidget* parent)
    : TfrmRotiGeral(parent), net_(net) {
    setObjectName(QStringLiteral("frmIncluirOperador"));
    setWindowTitle(QStringLiteral("Incluir Operador"));
    grbDadosRel->setTitle(QStringLiteral("Operador"));
    edtCodigo = edit(grbDadosRel, "edtCodigo", 10);
    edtNome = edit(grbDadosRel, "edtNome", 60);
    edtFiliais = edit(grbDadosRel, "edtFiliais", 200);
    edtFiliais->setPlaceholderText(QStringLiteral("0001,0002"));
    cbxPerfil = new QComboBox(grbDadosRel);
    cbxPerfil->setObjectName(QStringLiteral("cbxPerfil"));
    cbxPerfil->addItem(QStringLiteral("Nutricionista"), QStringLiteral("N"));
    cbxPerfil->addItem(QStringLiteral("Administrador"), QStringLiteral("A"));
    edtSenha = edit(grbDadosRel, "edtSenha", 128, true);
    edtConfirmaSenha = edit(grbDadosRel, "edtConfirmaSenha", 128, true);
    auto* form = new QFormLayout(grbDadosRel);
    form->addRow(QStringLiteral("Código:"), edtCodigo);
    form->addRow(QStringLiteral("Nome:"), edtNome);
    form->addRow(QStringLiteral("Filiais:"), edtFiliais);
    form->addRow(QStringLiteral("Perfil:"), cbxPerfil);
    form->addRow(QStringLiteral("Senha inicial:"), edtSenha);
    form->addRow(QStringLiteral("Confirme a senha:"), edtConfirmaSenha);
}

void NewOperatorScreen::sbtConfirmaClick() {
    hostfw::guard([this] {
        if (edtSenha->text() != edtConfirmaSenha->text()) Consiste::MensErro(QStringLiteral("As senhas não conferem."));
        Consiste::CheckResultServ(net_->AppServer(
            QStringLiteral("Incluir"), {edtCodigo->text(), edtNome->text(), edtFiliais->text(),
                                        cbxPerfil->currentData().toString(), edtSenha->text()}));
        accept();
    });
}

} // namespace hostapp

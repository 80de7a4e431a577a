#include "hostapp/SessionDialogs.h"

#include "host/connection/HostDatabase.h"
#include "host/connection/NetConnection.h"
#include "host/core/Dialogs.h"
#include "host/core/Session.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace hostapp {

namespace {

QLineEdit* passwordEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setEchoMode(QLineEdit::Password);
    edit->setMaxLength(128);
    return edit;
}

QDialogButtonBox* okCancel(QDialog* dialog, const QString& okText, const char* okName) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(okText);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QString::fromLatin1(okName));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancelar"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

}  // namespace

ChangePasswordDialog::ChangePasswordDialog(const QString& operatorCode, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmTrocaSenha"));
    setWindowTitle(QStringLiteral("Troca de Senha"));
    setModal(true);
    new_ = passwordEdit(this, "edtNovaSenha");
    confirm_ = passwordEdit(this, "edtConfirmaSenha");
    auto* hint = new QLabel(QStringLiteral("Operador %1: defina uma nova senha, com ao menos 10 caracteres, "
                                           "diferente do código do operador e das senhas mais comuns.")
                                .arg(operatorCode),
                            this);
    hint->setWordWrap(true);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Nova senha:"), new_);
    form->addRow(QStringLiteral("Confirme a nova senha:"), confirm_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addLayout(form);
    layout->addWidget(okCancel(this, QStringLiteral("Confirmar"), "btnConfirmar"));
}

QString ChangePasswordDialog::newPassword() const { return new_->text(); }
QString ChangePasswordDialog::confirmation() const { return confirm_->text(); }

bool changePasswordAndLogin(QWidget* parent, const QString& operatorCode, const QString& password,
                            const QString& branchCode, LoginResult& result) {
    for (;;) {
        ChangePasswordDialog dialog(operatorCode.trimmed().toUpper(), parent);
        if (dialog.exec() != QDialog::Accepted) return false;
        if (dialog.newPassword() != dialog.confirmation()) {
            hostfw::dialogs().message(hostfw::DialogKind::Error, QStringLiteral("As senhas não conferem."));
            continue;
        }
        result = changePassword(operatorCode, password, dialog.newPassword(), branchCode);
        if (result.ok) {
            applyLoginToSession(hostfw::hostDatabase(), result);
            return true;
        }
        hostfw::dialogs().message(hostfw::DialogKind::Error, result.error);
    }
}

RenewSessionDialog::RenewSessionDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSessaoExpirada"));
    setWindowTitle(QStringLiteral("Sessão Expirada"));
    setModal(true);
    const auto& s = hostfw::session();
    auto* text = new QLabel(QStringLiteral("A sessão expirou. Informe a senha do operador %1 para continuar; "
                                           "o que foi digitado na tela é mantido.")
                                .arg(s.operatorCode),
                            this);
    text->setWordWrap(true);
    password_ = passwordEdit(this, "edtSenha");
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Senha:"), password_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(form);
    layout->addWidget(okCancel(this, QStringLiteral("Entrar"), "btnEntrar"));
}

QString RenewSessionDialog::password() const { return password_->text(); }
void RenewSessionDialog::clearPassword() { password_->clear(); }

bool SessionRenewal::renew(QWidget* parent) {
    // A call made while the dialog is up, or after giving up, is not asked again.
    if (gaveUp_ || asking_) return false;
    asking_ = true;
    const auto& s = hostfw::session();
    const QString operatorCode = s.operatorCode;
    const QString branch = s.branchCode;
    bool renewed = false;
    int wrong = 0;
    while (wrong < Tries) {
        RenewSessionDialog dialog(parent);
        if (dialog.exec() != QDialog::Accepted) break;
        const LoginResult result = authenticate(operatorCode, dialog.password(), branch);
        if (result.ok) {
            applyLoginToSession(hostfw::hostDatabase(), result);
            renewed = true;
            break;
        }
        // A server that cannot be reached says nothing of the password: not a try.
        if (!result.unreachable.isEmpty()) {
            hostfw::dialogs().message(hostfw::DialogKind::Error, hostfw::serverDownMessage(result.unreachable));
            continue;
        }
        if (result.mustChangePassword) {
            LoginResult changed;
            renewed = changePasswordAndLogin(parent, operatorCode, dialog.password(), branch, changed);
            break;
        }
        ++wrong;
        if (wrong < Tries) hostfw::dialogs().message(hostfw::DialogKind::Error, result.error);
    }
    asking_ = false;
    if (wrong >= Tries) {
        gaveUp_ = true;
        hostfw::dialogs().message(hostfw::DialogKind::Error,
                                  QStringLiteral("Senha incorreta três vezes: o sistema será encerrado."));
        // Queued, so the failed call returns first and its screen unwinds.
        auto giveUp = onGiveUp ? onGiveUp : [] { QApplication::exit(0); };
        QTimer::singleShot(0, qApp, giveUp);
    }
    return renewed;
}

} // namespace hostapp

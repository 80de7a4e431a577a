#include "hostapp/LoginDialog.h"

#include "hostapp/SessionDialogs.h"

#include "host/core/Dialogs.h"
#include "host/core/Failures.h"
#include "host/connection/HostDatabase.h"
#include "host/core/Session.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace hostapp {

LoginDialog::LoginDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAcesso"));
    setWindowTitle(QStringLiteral("Acesso ao Sistema"));
    setModal(true);

    operator_ = new QLineEdit(this);
    operator_->setObjectName(QStringLiteral("edtOperador"));
    operator_->setMaxLength(10);
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("edtSenha"));
    password_->setEchoMode(QLineEdit::Password);
    branch_ = new QComboBox(this);
    branch_->setObjectName(QStringLiteral("cbxFilial"));
    branch_->setMinimumWidth(260);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Operador:"), operator_);
    form->addRow(QStringLiteral("Senha:"), password_);
    form->addRow(QStringLiteral("Filial:"), branch_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Entrar"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btnEntrar"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancelar"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(operator_, &QLineEdit::editingFinished, this, [this] { hostfw::guard([this] { refreshBranches(); }); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { hostfw::guard([this] { submit(); }); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QStringList LoginDialog::branchChoices() const {
    QStringList codes;
    for (int i = 0; i < branch_->count(); ++i) codes << branch_->itemData(i).toString();
    return codes;
}

void LoginDialog::refreshBranches() {
    const QString code = operator_->text().trimmed().toUpper();
    if (code == branchesOf_) return;
    const QString chosen = branch_->currentData().toString();
    branch_->clear();
    branchesOf_ = code;
    if (code.isEmpty() || !databaseProblem(hostfw::session().databaseUrl).isEmpty()) return;
    for (const Branch& b : operatorBranches(hostfw::hostDatabase(), code))
        branch_->addItem(QStringLiteral("%1 - %2").arg(b.code, b.name), b.code);
    if (const int i = branch_->findData(chosen); i >= 0) branch_->setCurrentIndex(i);
}

void LoginDialog::setCredentials(const QString& operatorCode, const QString& password, const QString& branchCode) {
    operator_->setText(operatorCode);
    password_->setText(password);
    hostfw::guard([this] { refreshBranches(); });
    if (const int i = branch_->findData(branchCode.trimmed()); i >= 0) branch_->setCurrentIndex(i);
}

void LoginDialog::submit() {
    refreshBranches();
    if (tryLogin(operator_->text(), password_->text(), branch_->currentData().toString())) {
        accept();
        return;
    }
    password_->clear();
    password_->setFocus();
}

bool LoginDialog::tryLogin(const QString& operatorCode, const QString& password, const QString& branchCode) {
    result_ = {};
    const QString problem = databaseProblem(hostfw::session().databaseUrl);
    if (!problem.isEmpty()) {
        hostfw::dialogs().message(hostfw::DialogKind::Error, problem);
        return false;
    }
    bool ok = false;
    hostfw::guard([&] {
        soci::session& db = hostfw::hostDatabase();
        result_ = authenticate(db, operatorCode, password, branchCode);
        if (!result_.ok && result_.mustChangePassword) {
            // A reset password: the new one opens the session.
            hostfw::dialogs().message(hostfw::DialogKind::Information, result_.error);
            LoginResult changed;
            ok = changePasswordAndLogin(this, operatorCode, password, branchCode, changed);
            if (ok) result_ = changed;
            return;
        }
        if (!result_.ok) {
            hostfw::dialogs().message(hostfw::DialogKind::Error, result_.error);
            return;
        }
        applyLoginToSession(db, result_);
        ok = true;
    });
    return ok;
}

} // namespace hostapp

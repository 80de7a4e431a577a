#pragma once
// The dialogs of the operator's session besides the login: "Troca de Senha"
// (a reset password must be changed before the session opens) and "Sessão
// Expirada" (the password asked again when the server ends the session under
// a running host).
#include "hostapp/Login.h"

#include <QDialog>

class QLabel;
class QLineEdit;

namespace hostapp {

class ChangePasswordDialog : public QDialog {
    Q_OBJECT
public:
    explicit ChangePasswordDialog(const QString& operatorCode, QWidget* parent = nullptr);
    QString newPassword() const;
    QString confirmation() const;

private:
    QLineEdit* new_ = nullptr;
    QLineEdit* confirm_ = nullptr;
};

// Asks for a new password until the server takes it or the operator gives
// up; on success the session is open and its values filled. `password` is
// the one just typed (the reset one).
bool changePasswordAndLogin(QWidget* parent, const QString& operatorCode, const QString& password,
                            const QString& branchCode, LoginResult& result);

class RenewSessionDialog : public QDialog {
    Q_OBJECT
public:
    explicit RenewSessionDialog(QWidget* parent = nullptr);
    QString password() const;
    void clearPassword();

private:
    QLineEdit* password_ = nullptr;
};

// The host's answer to "Sessão expirada": the operator's password again, at
// most three tries, then a new session of the same operator and branch. A
// server that cannot be reached is said so and is not a try.
// After three wrong passwords the host closes (onGiveUp, queued) and no
// further renewal is asked. Answers whether the session was renewed.
class SessionRenewal {
public:
    static constexpr int Tries = 3;
    std::function<void()> onGiveUp;  // default: quit the application's event loops
    bool renew(QWidget* parent);
    bool gaveUp() const { return gaveUp_; }

private:
    bool gaveUp_ = false;
    bool asking_ = false;
};

} // namespace hostapp

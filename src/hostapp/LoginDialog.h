#pragma once
// "Acesso ao Sistema": operator, password and one of the operator's branches.
#include "hostapp/Login.h"

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace hostapp {

class LoginDialog : public QDialog {
    Q_OBJECT
public:
    explicit LoginDialog(QWidget* parent = nullptr);

    // Fills the fields (auto-login, or a retry after a failed one).
    void setCredentials(const QString& operatorCode, const QString& password, const QString& branchCode);

    // Checks the credentials against the host database (hostfw::session().databaseUrl).
    // On success fills the session and answers true; otherwise shows why and
    // answers false, the dialog staying as it is.
    bool tryLogin(const QString& operatorCode, const QString& password, const QString& branchCode);

    const LoginResult& loginResult() const { return result_; }
    QStringList branchChoices() const;  // codes offered in the branch list

private:
    void refreshBranches();
    void submit();
    QLineEdit* operator_ = nullptr;
    QLineEdit* password_ = nullptr;
    QComboBox* branch_ = nullptr;
    QString branchesOf_;  // operator whose branches the list holds
    LoginResult result_;
};

} // namespace hostapp

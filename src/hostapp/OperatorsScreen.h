#pragma once
// "Operadores": the administrator's list of operators (code, name, profile,
// state, branches), with commands to include one, enable or disable it and
// reset its password (to be changed at its next login). Every command goes
// through the application server (Host.Operador), which checks the
// administrator's role and audits the change.
#include "host/screens/PadraoGrid.h"
#include "host/screens/RotiGeral.h"

class QComboBox;
class QLineEdit;

namespace hostfw {
class TNetConnection;
class TClientDataSet;
}

namespace hostapp {

class OperatorsScreen : public hostfw::TfrmPadraoGrid {
    Q_OBJECT
public:
    explicit OperatorsScreen(QWidget* parent = nullptr);

    hostfw::TClientDataSet* cdsOperadores = nullptr;
    hostfw::TNetConnection* netOperador = nullptr;
    QAction* mnuAtivar = nullptr;
    QAction* mnuRedefinirSenha = nullptr;
    QToolButton* sbtAtivar = nullptr;
    QToolButton* sbtRedefinirSenha = nullptr;

    void Load();
    void sbtIncluirClick() override;
    void sbtVerificarClick() override { Load(); }
    void sbtAtivarClick();
    void sbtRedefinirSenhaClick();
    void dtsPadraoStateChange() override;

private:
    QString currentCode() const;
};

// "Incluir Operador": code, name, branches, profile and first password.
class NewOperatorScreen : public hostfw::TfrmRotiGeral {
    Q_OBJECT
public:
    NewOperatorScreen(hostfw::TNetConnection* net, QWidget* parent = nullptr);
    QLineEdit *edtCodigo, *edtNome, *edtFiliais, *edtSenha, *edtConfirmaSenha;
    QComboBox* cbxPerfil;
    void sbtConfirmaClick() override;

private:
    hostfw::TNetConnection* net_;
};

} // namespace hostapp

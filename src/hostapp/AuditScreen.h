#pragma once
// "Auditoria": the administrator's query of the audit trail (who wrote or
// read which patient's data, when and from where), filtered by patient,
// operator and dates, through Host.Operador.ConsultarAuditoria.
#include "host/screens/PadraoGrid.h"

class QLineEdit;
class QPushButton;

namespace hostfw {
class TNetConnection;
class TClientDataSet;
class TDateEditPlus;
}

namespace hostapp {

class AuditScreen : public hostfw::TfrmPadraoGrid {
    Q_OBJECT
public:
    explicit AuditScreen(QWidget* parent = nullptr);

    QLineEdit* edtPaciente = nullptr;
    QLineEdit* edtOperador = nullptr;
    hostfw::TDateEditPlus* dtpInicio = nullptr;
    hostfw::TDateEditPlus* dtpFim = nullptr;
    QPushButton* btnConsultar = nullptr;
    hostfw::TClientDataSet* cdsAuditoria = nullptr;
    hostfw::TNetConnection* netOperador = nullptr;

    void btnConsultarClick();
    void sbtVerificarClick() override { btnConsultarClick(); }
    void dtsPadraoStateChange() override;
};

} // namespace hostapp

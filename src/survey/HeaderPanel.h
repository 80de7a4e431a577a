#pragma once
// The survey screen's header: branch and patient. It settles on a branch and
// patient when the user leaves it and publishes them in the survey context.
#include "survey/SurveyContextHolder.h"

#include <QFrame>

class QLabel;

namespace hostfw {
class TADOIBQuery;
class TBtnPesquisa;
class TClientDataSet;
class TDataSource;
class TEdit;
class TMaskEdit;
}

namespace survey {

class Q_DECL_EXPORT HeaderPanel : public QFrame {
    Q_OBJECT
public:
    HeaderPanel(QWidget* parent, const PanelServices& services);

    QLabel *lblFilial, *lblPaciente;
    hostfw::TMaskEdit* medFilial;
    hostfw::TBtnPesquisa* btpPesqFilial;
    hostfw::TEdit *edtNmFilial, *edtCdPaciente, *edtNmPaciente;
    hostfw::TBtnPesquisa* btnPesqPaciente;

    hostfw::TClientDataSet *cdsPaciente, *cdsPesqPaci;
    hostfw::TDataSource *dtsPaciente, *dtsFilial;
    hostfw::TADOIBQuery *qryFilial, *qryPesqPaci, *qryParaDiet;

    // Presets branch and patient from the host's patient filter file, or the
    // host's branch; true when a patient was taken from the filter.
    bool FiltroPaci();
    // Checks branch and patient as the user leaves the header and publishes them.
    void panPacienteExit();
    // The header is being edited: no patient is chosen until it is left again.
    void forgetPatient();
    // Branch and patient editable (outside an edit of a period or an item); the
    // branch stays locked when the module works in one branch only.
    void setEditable(bool editable);
    void lockBranchForModule();

    void medFilialChange();
    void medFilialKeyPress(QChar& key);
    void medFilialExit();
    void btpPesqFilialBeforePesq(bool& cancel);
    void btpPesqFilialAfterPesq();
    void edtCdPacienteChange();
    void edtCdPacienteKeyPress(QChar& key);
    void edtCdPacienteExit();
    void btnPesqPacienteClick();
    void Vd_Paciente(bool required);

private:
    void buildDataSets();
    void buildWidgets();
    void connectHandlers();
    PanelServices services_;
};

}  // namespace survey

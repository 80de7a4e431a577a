#pragma once
// Unit Cli_Zep12630: the survey copy screen "ZEP12630". Copies the items of
// one day and service of the survey screen's current period to another day
// or service of that period; the server does the copy (SetConfirmar).
#include "host/screens/RotiGeral.h"
#include "survey/SurveyContext.h"

class QCheckBox;
class QGroupBox;
class QLabel;

namespace hostfw {
class TADOIBQuery;
class TBtnPesquisa;
class TDataSource;
class TDateEditPlus;
class TEdit;
class TMaskEdit;
class TNetConnection;
}

class TfrmCopiarInq;

// The open copy screen, while it is shown.
extern Q_DECL_EXPORT TfrmCopiarInq* frmCopiarInq;

// Creates the copy screen for the survey's context into frmCopiarInq, shows
// it modally and answers its modal result.
Q_DECL_EXPORT int CriaCopiaInquerito(const survey::SurveyContext& context);
// The exported creator, for callers outside the survey: the context of the
// open survey screen (none: an empty context).
Q_DECL_EXPORT int CriaCopiaInquerito();

class Q_DECL_EXPORT TfrmCopiarInq : public hostfw::TfrmRotiGeral {
    Q_OBJECT
public:
    // The context is the survey screen's, handed over by the creator.
    explicit TfrmCopiarInq(const survey::SurveyContext& context, QWidget* parent = nullptr);
    ~TfrmCopiarInq() override;

    QGroupBox *grbOrigem, *grbDestino, *grbOpcao;
    QLabel *lblDataOrigem, *lblServOrig, *lblDataDestino, *lblServDest;
    hostfw::TDateEditPlus *depOrigem, *depDestino;
    hostfw::TEdit *edtDiaOrigem, *edtDiaDestino;
    hostfw::TMaskEdit *medCdServOrig, *medNmServOrig, *medCdServDest, *medNmServDest;
    hostfw::TBtnPesquisa *btnServicoOrig, *btnDestino;
    QCheckBox *chkProduto, *chkPrato;

    hostfw::TNetConnection* netCopiarInq;
    hostfw::TADOIBQuery* qryServico;
    hostfw::TDataSource* dtsServico;

    // Lifecycle.
    void FormCreate() override;
    void FormActivate() override;
    void FormClose() override;
    void netCopiarInqBeforeConnect();

    // Controls.
    void depOrigemDateChange();
    void depDestinoDateChange();
    void depOrigemExit();
    void depDestinoExit();
    void medCdServOrigChange();
    void medCdServDestChange();
    void medCdServOrigExit();
    void medCdServDestExit();
    void btnServicoOrigBeforePesq(bool& cancel);
    void btnServicoOrigAfterPesq();
    void btnDestinoBeforePesq(bool& cancel);
    void btnDestinoAfterPesq();

    // Checks and the copy.
    void Vd_Servico(hostfw::TMaskEdit* code, hostfw::TMaskEdit* name, bool required);
    void ValidaCopia();
    void sbtConfirmaClick() override;
    // "" both kinds, "1" dishes only, "0" products only.
    QString copyOption() const;

private:
    void buildMessages();
    void buildData();
    void buildControls();
    void connectHandlers();
    // Branch, patient and period of the survey screen that opened this one.
    const survey::SurveyContext& surveyContext() const { return context_; }
    // Reopens qryServico for the branch: one service, or every one (null code).
    void openServices(const QString& code);

    const survey::SurveyContext context_;
};

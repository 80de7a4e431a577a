#pragma once
// Unit Cli_Zep12620: the survey report screen "ZEP12620". Collects the
// report's parameters (period, nutrient group, nutrients, services) and hands
// them to the layouts of report code "ZEP126" run by the base screen.
#include "host/reports/DadosGerRel.h"
#include "survey/SurveyContext.h"

#include <QString>

class QRadioButton;

namespace hostfw {
class TADOIBQuery;
class TBtnPesquisa;
class TButtonFlat;
class TDataSource;
class TDateEditPlus;
class TEdit;
class TReportParams;
}  // namespace hostfw

class Q_DECL_EXPORT TfrmRelInquerito : public hostfw::TfrmDadosGerRel {
    Q_OBJECT
public:
    // The context is the survey screen's, handed over by the creator.
    explicit TfrmRelInquerito(const survey::SurveyContext& context, QWidget* parent = nullptr);

    QLabel* Label1;
    hostfw::TEdit* edtGrupo;
    hostfw::TBtnPesquisa* BtnPesquisa2;
    hostfw::TEdit* edtNmGrupo;
    QGroupBox* grbInq;
    QLabel* lblDe;
    QLabel* lblAte;
    hostfw::TDateEditPlus* depIni;
    hostfw::TDateEditPlus* depFim;
    QGroupBox* grbNutriente;
    QRadioButton* rbtTNutri;
    QRadioButton* rbtLNutri;
    hostfw::TButtonFlat* btnNutriente;
    QGroupBox* grbServico;
    QRadioButton* rbtTServ;
    QRadioButton* rbtLServ;
    hostfw::TButtonFlat* btnServico;

    hostfw::TADOIBQuery* qryGrupo;
    hostfw::TADOIBQuery* qryNutriente;
    hostfw::TADOIBQuery* qryServico;
    hostfw::TDataSource* dtsGrupo;
    hostfw::TDataSource* dtsNutriente;
    hostfw::TDataSource* dtsServico;

    // Code lists ("_001_002_"), empty when the screen opens.
    QString stListaNutriente;
    QString stListaServico;

    void FormCreate() override;
    void FormActivate() override;
    void sbtPrintClick() override;
    void sbtPreviewClick() override;
    void sbtSalvarComoClick() override;

    // The check before print, preview and save-as; stops the command through Consiste::MensErro.
    void Valid();
    void Vd_Grupo();
    void edtGrupoChange();
    void edtGrupoExit();
    void depIniExit();
    void depFimExit();
    void BtnPesquisa2BeforePesq(bool& cancel);
    void BtnPesquisa2AfterPesq();
    void rbtTNutriClick();
    void rbtTServClick();
    void rbtLNutriKeyDown(int key);
    void btnNutrienteClick();
    void btnServicoClick();
    void rpddPadraoBeforeGetQueryParams(hostfw::TReportParams& params);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildQueries();
    void connectHandlers();
    QString branchCode() const { return context_.branch; }
    [[noreturn]] void failAt(QWidget* control, const QString& key);

    const survey::SurveyContext context_;
};

extern Q_DECL_EXPORT TfrmRelInquerito* frmRelInquerito;

// Creates the report screen for the survey's context into frmRelInquerito,
// shows it modally and answers its modal result (registered with the survey
// by the module entry).
Q_DECL_EXPORT int CriaRelInquerito(const survey::SurveyContext& context);

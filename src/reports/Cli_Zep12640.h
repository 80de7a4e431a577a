#pragma once
// Unit Cli_Zep12640: the nutrient spreadsheet screen "ZEP12640": intake of
// the survey screen's patient by nutrient, as a pivot of date, service,
// product or dish, measure and quantity against nutrients.
#include "host/screens/RotiGeral.h"
#include "survey/SurveyContext.h"

#include <QString>

class QFrame;
class QGroupBox;
class QLabel;
class QRadioButton;

namespace hostfw {
class TADOIBQuery;
class TBtnPesquisa;
class TButtonFlat;
class TClientDataSet;
class TDataSource;
class TDateEditPlus;
class TEdit;
class THierCube;
class THierCubeGrid;
class THierCubeGridPrint;
class TNetConnection;
}  // namespace hostfw

class Q_DECL_EXPORT TfrmPlaInqNutr : public hostfw::TfrmRotiGeral {
    Q_OBJECT
public:
    // The context is the survey screen's, handed over by the creator.
    explicit TfrmPlaInqNutr(const survey::SurveyContext& context, QWidget* parent = nullptr);
    ~TfrmPlaInqNutr() override;

    // Filter panel.
    QFrame* panFiltro;
    QLabel* Label1;
    hostfw::TEdit *edtGrupo, *edtNmGrupo;
    hostfw::TBtnPesquisa* BtnPesquisa2;
    QGroupBox* grbInq;
    hostfw::TDateEditPlus *depIni, *depFim;
    QGroupBox *grbNutriente, *grbServico;
    QRadioButton *rbtTNutri, *rbtLNutri, *rbtTServ, *rbtLServ;
    hostfw::TButtonFlat *btnNutriente, *btnServico;

    // Grid panel, side buttons.
    QFrame* panDadosGrid;
    hostfw::THierCubeGrid* hcgInquNutri;
    hostfw::TButtonFlat *sbtImprimir, *sbtExportar;

    // Data.
    hostfw::TNetConnection* netPlaInqNutr;
    hostfw::TClientDataSet* cdsInquNutr;
    hostfw::THierCube* hcbInquNutr;
    hostfw::THierCubeGridPrint* PrintGrid;
    hostfw::TADOIBQuery *qryGrupo, *qryVerifGrup, *qryNutriente, *qryServico;
    hostfw::TDataSource *dtsGrupo, *dtsNutriente, *dtsServico;

    QString stListaNutriente;
    QString stListaServico;

    void FormCreate() override;
    void FormActivate() override;
    void FormClose() override;
    void sbtConfirmaClick() override;
    void sbtImprimirClick();
    void sbtExportarClick();

    void edtGrupoChange();
    void edtGrupoExit();
    void BtnPesquisa2BeforePesq(bool& cancel);
    void BtnPesquisa2AfterPesq();
    void depIniChange();
    void depFimChange();
    void rbtTNutriClick();
    void rbtTServClick();
    void rbtLNutriKeyDown(int key);
    void rbtLServKeyDown(int key);
    void btnNutrienteClick();
    void btnServicoClick();
    void panFiltroEnter();
    void panFiltroExit();
    void panDadosGridExit();

    // Where "Exportar" writes; replaceable so tests run headless. Answers an
    // empty text when the user gives up.
    std::function<QString(const QString& suggestedName)> AskExportFile;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildFilter();
    void buildGrid();
    void buildData();
    void wire();
    void closeSheet(bool unbindCube);
    bool sheetLoaded() const;
    QString codeListOfQuery(hostfw::TADOIBQuery* query, const QString& keyField);
    void loadAndShow();

    const survey::SurveyContext context_;
};

extern Q_DECL_EXPORT TfrmPlaInqNutr* frmPlaInqNutr;

// Creates the spreadsheet screen for the survey's context, shows it modally
// and answers its modal result.
Q_DECL_EXPORT int CriaInquNutr(const survey::SurveyContext& context);
// The exported creator, for callers outside the survey: the context of the
// open survey screen (none: an empty context).
Q_DECL_EXPORT int CriaInquNutr();

#pragma once
// Unit Cli_Zep12610: the calculation screen "ZEP12610". Nutrient totals of the
// survey screen's patient over a period, for chosen services and nutrients,
// and the energy split of the four macronutrients.
#include "host/screens/RotiGeral.h"
#include "survey/SurveyContext.h"

#include <QRadioButton>
#include <QString>
#include <QVariant>

#include <functional>

class QFrame;
class QGroupBox;
class QLabel;
class QTabWidget;

namespace hostfw {
class TADOIBQuery;
class TBtnPesquisa;
class TClientDataSet;
class TDataSource;
class TDateEditPlus;
class TDBGrid;
class TEdit;
class TField;
class TNetConnection;
class TNumberEdit;
}  // namespace hostfw

namespace calculation {
class DayChart;
class EnergyChart;
struct Adequacy;
}

class Q_DECL_EXPORT TfrmCalculo : public hostfw::TfrmRotiGeral {
    Q_OBJECT
public:
    // The context is the survey screen's, handed over by the creator.
    explicit TfrmCalculo(const survey::SurveyContext& context, QWidget* parent = nullptr);
    ~TfrmCalculo() override;

    // Server connection and data sets.
    hostfw::TNetConnection* netCalculo;
    hostfw::TClientDataSet *cdsServico, *cdsNutriente, *cdsParaDieto, *cdsMacro, *cdsCalc, *cdsParamGeral,
        *cdsNutrCalc;
    hostfw::TDataSource *dtsServico, *dtsNutriente, *dtsMacro, *dtsCalc, *dtsGrupo;
    hostfw::TADOIBQuery *qryGrupo, *qryNutriente;
    hostfw::TField *cdsMacroQTMEDIADIA, *cdsCalcQTMEDIADIA, *cdsCalcPCRECOMEND;
    hostfw::TClientDataSet* cdsMacroDia;

    // Controls.
    QFrame* panData;
    QGroupBox *grbPeriodo, *grbServico;
    hostfw::TDateEditPlus *depPerIni, *depPerFim;
    QRadioButton *rbtTodos, *rbtLista;
    hostfw::TBtnPesquisa* btnServ;
    QLabel* lblMacro;
    hostfw::TDBGrid* dbgNutriente;
    QFrame* panVct;
    hostfw::TNumberEdit *nedVct, *nedProt, *nedLipidio, *nedCarbo, *nedAlcool;
    QTabWidget* pgcGraficos;
    calculation::EnergyChart* chtEnergia;
    QGroupBox* grbNutriente;
    QFrame* panGrupo;
    hostfw::TEdit* medCdGrupo;
    hostfw::TBtnPesquisa* btpGrupo;
    hostfw::TEdit* edtNmGrupo;
    QGroupBox* grbNutri;
    QRadioButton *rbtTNutri, *rbtLNutri;
    hostfw::TBtnPesquisa* btnNutriente;
    QLabel* lblMicro;
    hostfw::TDBGrid* dbgMicro;
    QWidget* panLegendaDri;
    calculation::DayChart* chtDias;

    // The chosen services and nutrients as code lists ("_a_b_"; empty: none).
    QString stListaServico;
    QString stListaNutriente;

    // Handlers.
    void FormCreate() override;
    void FormActivate() override;
    void FormClose() override;
    void netCalculoBeforeConnect();
    void depPerIniExit();
    void depPerFimExit();
    void rbtTodosClick();
    void btnServClick();
    void rbtTNutriClick();
    void btnNutrienteClick();
    void medCdGrupoChange();
    void medCdGrupoExit();
    void Vd_Grupo();
    void btpGrupoBeforePesq(bool& cancel);
    void btpGrupoAfterPesq();
    void panDataEnter();
    void panGrupoEnter();
    void dbgNutrienteEnter();
    void dbgMicroEnter();
    void sbtConfirmaClick() override;

    // The computation: the macronutrient table, then validation, the
    // micronutrient totals and the energy split.
    void Calc_Macro();
    void Calcular();

    // Days of the period holding at least one recorded item of the chosen
    // services, as of the last Calc_Macro (divisor of the daily averages).
    int recordedDays() const { return recordedDays_; }
    // The micronutrient of cdsCalc's row against its reference intake (the
    // "% da recomendação" column, its colour and tooltip).
    calculation::Adequacy adequacyAt(int row) const;
    // The same for the record cdsCalc's fields read now (the row being drawn or the current one).
    calculation::Adequacy currentAdequacy() const;

private:
    void buildMessages();
    void buildDataSets();
    void buildLayout();
    void connectHandlers();
    void fillServiceList();
    void validate();
    void computeEnergy();
    double macronutrientEnergy(const QString& code, double factor);
    void showEnergySplit(double protein, double carbohydrate, double lipid, double alcohol);
    void resetEnergy();
    void clearEnergy();
    void loadDays();
    void setupAdequacy();
    calculation::Adequacy adequacyOf(const std::function<QVariant(const char*)>& value) const;
    QString branch() const { return context_.branch; }
    QString patient() const { return context_.patient; }

    const survey::SurveyContext context_;
    int recordedDays_ = 0;
};

// The open calculation screen, while it is shown.
extern Q_DECL_EXPORT TfrmCalculo* frmCalculo;

// Creates the calculation screen for the survey's context into frmCalculo,
// shows it modally and answers its modal result (registered with the survey
// by the module entry).
Q_DECL_EXPORT int CriaCalculo(const survey::SurveyContext& context);

#pragma once
// Unit NecesNutr: the screen "Necessidades Nutricionais" (ZEP12660). Records
// the patient's weight, height, energy method and factors for the survey
// period and shows the targets they give, computed as the server computes
// them (catalog/NutritionNeeds.h). The server stores them (SetNecesNutr).
#include "host/screens/RotiGeral.h"
#include "survey/SurveyContext.h"

#include "catalog/NutritionNeeds.h"

class QComboBox;
class QGroupBox;
class QLabel;

namespace hostfw {
class TEdit;
class TNetConnection;
class TNumberEdit;
}

class TfrmNecesNutr;

// The open needs screen, while it is shown.
extern Q_DECL_EXPORT TfrmNecesNutr* frmNecesNutr;

// Creates the needs screen for the survey's context, shows it modally and
// answers its modal result.
Q_DECL_EXPORT int CriaNecesNutr(const survey::SurveyContext& context);

class Q_DECL_EXPORT TfrmNecesNutr : public hostfw::TfrmRotiGeral {
    Q_OBJECT
public:
    explicit TfrmNecesNutr(const survey::SurveyContext& context, QWidget* parent = nullptr);
    ~TfrmNecesNutr() override;

    QGroupBox *grbPaciente, *grbMedidas, *grbMetas;
    hostfw::TEdit *edtNmPaciente, *edtSexo, *edtIdade, *edtPeriodo;
    hostfw::TNumberEdit *nedPeso, *nedAltura, *nedFatorAtiv, *nedFatorLesao, *nedKcalKg, *nedProtKg, *nedPercCarb,
        *nedPercLipi, *nedLiquKg;
    QComboBox* cbxMetodo;
    hostfw::TEdit *edtEnergia, *edtProteina, *edtCarboidrato, *edtLipidio, *edtLiquido;
    QLabel *lblAviso, *lblRegistro;
    hostfw::TNetConnection* netNecesNutr;

    void FormCreate() override;
    void FormClose() override;
    void sbtConfirmaClick() override;

    // The values on screen, and the targets they give (recomputed on every change).
    catalog::needs::Inputs inputs() const;
    catalog::needs::Patient patient() const { return patient_; }
    void recalculate();

private:
    void buildControls();
    void load();
    void showStored(const protocol::DataPacket& packet);
    void methodChanged();

    const survey::SurveyContext context_;
    catalog::needs::Patient patient_;
};

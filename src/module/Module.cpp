// Entry points of the module: the host's package loader calls Initialize and
// Finalize; the host opens the survey through IniProc.
#include "host/core/ModuleApi.h"
#include "host/core/Failures.h"
#include "host/routines/Vorlane.h"
#include "calculation/Cli_Zep12610.h"
#include "copy/Cli_Zep12630.h"
#include "needs/NecesNutr.h"
#include "reports/Cli_Zep12620.h"
#include "reports/Cli_Zep12640.h"
#include "reports/Decisioncubebugworkaround.h"
#include "survey/Cli_Zep12600.h"
#include "survey/SecondaryScreens.h"

#include <QVariantList>

namespace {

bool initialized = false;

const PackageInfoEntry units[] = {
    {"Cli_Zep12600", 0}, {"Cli_Zep12610", 0}, {"Cli_Zep12620", 0}, {"Cli_Zep12630", 0}, {"Cli_Zep12640", 0}};
const PackageInfoTable table = {static_cast<int>(sizeof units / sizeof units[0]), units};

}  // namespace

extern "C" {

Q_DECL_EXPORT void Initialize() {
    if (initialized) return;
    initialized = true;
    Cli_Zep12600_Initialization();
    Decisioncubebugworkaround_Initialization();
    // The survey screen opens the secondary screens through these, with its
    // context; it does not depend on their units.
    using Creator = int (*)(const survey::SurveyContext&);
    survey::secondaryScreens() = {Creator(&CriaCalculo), Creator(&CriaRelInquerito), Creator(&CriaCopiaInquerito),
                                  Creator(&CriaInquNutr), Creator(&CriaNecesNutr)};
}

Q_DECL_EXPORT void Finalize() {
    if (!initialized) return;
    initialized = false;
    Cli_Zep12600_Finalization();
    survey::secondaryScreens() = {};
}

Q_DECL_EXPORT const PackageInfoTable* GetPackageInfoTable() { return &table; }

Q_DECL_EXPORT void IniProc(const QVariant& param) {
    if (param.isNull() || !param.isValid()) {
        boConsulta = false;
        CriaInquerito(QStringLiteral("MENU"), Vorlane::FiliProc(), QString(), QString());
        return;
    }
    const QVariantList values = param.toList();
    if (param.typeId() != QMetaType::QVariantList && param.typeId() != QMetaType::QStringList)
        throw hostfw::EHostError(QStringLiteral("Parâmetro de abertura do inquérito inválido."));
    if (values.size() < 3)
        throw hostfw::EHostError(
            QStringLiteral("Parâmetro de abertura do inquérito inválido: informe filial, paciente e nome."));
    boConsulta = true;
    CriaInquerito(QStringLiteral("PROGRAMA"), values[0].toString(), values[1].toString(), values[2].toString());
}
}

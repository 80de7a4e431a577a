// The computation of the calculation screen: the macronutrient table, the
// validation, the micronutrient totals and the energy split of the four
// macronutrients with the total energy value (VCT).
#include "calculation/Cli_Zep12610.h"
#include "calculation/DayChart.h"
#include "calculation/EnergyChart.h"
#include "calculation/EnergySplit.h"

#include "host/connection/NetConnection.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/controls/Lookups.h"
#include "host/controls/NumberEdit.h"
#include "host/routines/Consiste.h"
#include "host/data/DBGrid.h"
#include "host/data/DataSet.h"

using namespace hostfw;

namespace {

// Shows a validation message, then puts the focus on the control it names.
[[noreturn]] void failAt(QWidget* control, const QString& text) {
    try {
        Consiste::MensErro(text, true);
    } catch (...) {
        control->setFocus(Qt::OtherFocusReason);
        throw;
    }
}

}  // namespace

void TfrmCalculo::fillServiceList() {
    cdsServico->SetData(Consiste::CheckResultServ(netCalculo->AppServer("GetServico", {"T", branch()})));
    stListaServico = codeListOfRows(cdsServico, QStringLiteral("CDSERVFILI"));
}

void TfrmCalculo::Calc_Macro() {
    if (rbtTodos->isChecked()) fillServiceList();
    cdsMacro->SetData(Consiste::CheckResultServ(netCalculo->AppServer(
        "getMacro", {patient(), depPerIni->Date(), depPerFim->Date(), branch(), NetArg::ref(stListaServico)})));
    // Divisor of the daily averages of both grids.
    const protocol::json days = Consiste::CheckResultServ(netCalculo->AppServer(
        "GetDiasInq", {patient(), depPerIni->Date(), depPerFim->Date(), branch(), NetArg::ref(stListaServico)}));
    const auto packet = protocol::DataPacket::fromJson(days);
    recordedDays_ = packet.rows.empty() ? 0 : packet.at(0, "NRDIAS").get<int>();
    dbgNutriente->viewport()->update();
    dbgMicro->viewport()->update();
}

void TfrmCalculo::validate() {
    depPerIni->CheckValidDate();
    depPerFim->CheckValidDate();
    Vd_Grupo();
    update();
    if (depPerIni->IsEmpty()) failAt(depPerIni, msgPadrao->Msg("DTIni_Inf"));
    if (depPerFim->IsEmpty()) failAt(depPerFim, msgPadrao->Msg("DtFim_Inf"));
    if (depPerFim->Date() < depPerIni->Date()) failAt(depPerIni, msgPadrao->Msg("DT_Inv"));
    if (rbtLista->isChecked() && stListaServico.isEmpty()) failAt(rbtLista, msgPadrao->Msg("Serv_Inf"));
    if (rbtLNutri->isChecked() && stListaNutriente.isEmpty()) failAt(rbtLNutri, msgPadrao->Msg("Nutri_Inf"));
}

void TfrmCalculo::Calcular() {
    validate();
    if (rbtTodos->isChecked()) fillServiceList();
    cdsParamGeral->SetData(Consiste::CheckResultServ(netCalculo->AppServer("GetParamGeral", {})));
    try {
        computeEnergy();
    } catch (...) {
        resetEnergy();
        throw;
    }
    // Outside the computation block: a failure here leaves the VCT shown.
    loadDays();
}

void TfrmCalculo::loadDays() {
    chtDias->clear();
    cdsMacroDia->SetData(Consiste::CheckResultServ(netCalculo->AppServer(
        "GetMacroDia", {patient(), depPerIni->Date(), depPerFim->Date(), branch(), NetArg::ref(stListaServico)})));
    auto value = [&](const char* name) -> std::optional<double> {
        TField* f = cdsMacroDia->FieldByName(QString::fromLatin1(name));
        return f->IsNull() ? std::nullopt : std::optional<double>(f->AsFloat());
    };
    // A day's energy is worked out as the VCT is.
    std::vector<calculation::DayChart::Day> days;
    for (cdsMacroDia->First(); !cdsMacroDia->Eof(); cdsMacroDia->Next()) {
        calculation::DayChart::Day day;
        day.date = cdsMacroDia->FieldByName(QStringLiteral("DTINQUERITO"))->AsDate();
        day.protein = value("QTPROTEINA").value_or(0);
        day.kcal = calculation::totalEnergy(calculation::energyOf(day.protein, calculation::ProteinFactor),
                                            calculation::energyOf(value("QTCARBOIDRATO").value_or(0),
                                                                  calculation::CarbohydrateFactor),
                                            calculation::energyOf(value("QTLIPIDIO").value_or(0),
                                                                  calculation::LipidFactor),
                                            calculation::energyOf(value("QTALCOOL").value_or(0),
                                                                  calculation::AlcoholFactor));
        day.kcalTarget = value("QTENERGIAMETA");
        day.proteinTarget = value("QTPROTEINAMETA");
        days.push_back(day);
    }
    chtDias->showDays(days);
}

double TfrmCalculo::macronutrientEnergy(const QString& role, double factor) {
    const QString code = cdsParamGeral->FieldByName(role)->AsString();
    cdsNutrCalc->SetData(Consiste::CheckResultServ(netCalculo->AppServer(
        "GetNutrCalc",
        {patient(), depPerIni->Date(), depPerFim->Date(), branch(), NetArg::ref(stListaServico), code})));
    if (cdsNutrCalc->IsEmpty()) return 0;
    cdsNutrCalc->First();
    return calculation::energyOf(cdsNutrCalc->FieldByName(QStringLiteral("VRNUTRI"))->AsFloat(), factor);
}

void TfrmCalculo::computeEnergy() {
    const QString group = medCdGrupo->Text();
    const NetArg nutrients = rbtTNutri->isChecked() ? NetArg("T") : NetArg::ref(stListaNutriente);
    cdsCalc->SetData(Consiste::CheckResultServ(
        netCalculo->AppServer("GetCalc", {patient(), depPerIni->Date(), depPerFim->Date(), branch(), group, nutrients,
                                          NetArg::ref(stListaServico)})));

    // In this order: carbohydrate, protein, lipid, alcohol.
    const double carbohydrate = macronutrientEnergy(QStringLiteral("CDCARBOHIDRA"), calculation::CarbohydrateFactor);
    const double protein = macronutrientEnergy(QStringLiteral("CDPROTEINA"), calculation::ProteinFactor);
    const double lipid = macronutrientEnergy(QStringLiteral("CDLIPIDIOS"), calculation::LipidFactor);
    const double alcohol = macronutrientEnergy(QStringLiteral("CDALCOOL"), calculation::AlcoholFactor);
    showEnergySplit(protein, carbohydrate, lipid, alcohol);
}

void TfrmCalculo::showEnergySplit(double protein, double carbohydrate, double lipid, double alcohol) {
    nedVct->SetNumber(calculation::totalEnergy(protein, carbohydrate, lipid, alcohol));
    const bool hasTotal = nedVct->GetNumber() != 0 && !Consiste::EmptyString(nedVct->Text());
    // Each share against the number the VCT field holds, read for each division.
    auto share = [&](double energy) { return hasTotal ? calculation::percentOf(energy, nedVct->GetNumber()) : 0.0; };
    nedProt->SetNumber(share(protein));
    nedAlcool->SetNumber(share(alcohol));
    nedCarbo->SetNumber(share(carbohydrate));
    nedLipidio->SetNumber(share(lipid));

    chtEnergia->showSplit({{QStringLiteral("Proteína"), protein, nedProt->GetNumber()},
                           {QStringLiteral("Lipídio"), lipid, nedLipidio->GetNumber()},
                           {QStringLiteral("Carboidrato"), carbohydrate, nedCarbo->GetNumber()},
                           {QStringLiteral("Álcool"), alcohol, nedAlcool->GetNumber()}});
}

void TfrmCalculo::clearEnergy() {
    for (TNumberEdit* n : {nedVct, nedProt, nedLipidio, nedCarbo, nedAlcool}) n->Clear();
    chtEnergia->clear();
    chtDias->clear();
}

void TfrmCalculo::resetEnergy() {
    for (TNumberEdit* n : {nedVct, nedProt, nedLipidio, nedCarbo, nedAlcool}) n->SetNumber(0);
    chtEnergia->clear();
    chtDias->clear();
}

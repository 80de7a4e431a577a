#pragma once
// A patient's nutritional needs for one survey period, written once for the
// server (which refuses and stores them) and the needs screen (which shows
// the targets while they are typed).
//
// Energy (kcal/day) = base x activity factor x injury factor, the base being
// - Harris-Benedict: men 66,47 + 13,75 P + 5,003 A - 6,755 I;
//                    women 655,1 + 9,563 P + 1,850 A - 4,676 I;
// - Mifflin-St Jeor: 10 P + 6,25 A - 5 I + 5 (men) or - 161 (women);
// - kcal per kg: kcal/kg x P;
// with P weight in kg, A height in cm, I age in whole years on the period's
// start. Protein g/day = g/kg x P; carbohydrate and lipid g/day from their
// share of the energy (4 and 9 kcal/g); fluid ml/day = ml/kg x P.
#include "protocol/Dates.h"

#include <optional>
#include <string>

namespace catalog::needs {

// IDMETODOENER
inline constexpr char HarrisBenedict = 'H';
inline constexpr char MifflinStJeor = 'M';
inline constexpr char KcalPerKg = 'K';

// What the dietitian records (NECESNUTRPACI).
struct Inputs {
    double peso = 0;           // QTPESOPACI, kg
    double altura = 0;         // QTALTUPACI, cm
    char metodo = HarrisBenedict;
    double fatorAtividade = 1; // QTFATORATIV
    double fatorLesao = 1;     // QTFATORLESAO
    double kcalKg = 0;         // QTKCALKG, used by KcalPerKg only
    double proteinaKg = 0;     // QTPROTKG, g/kg
    double percCarboidrato = 0;  // QTPERCCARB, % of energy
    double percLipidio = 0;      // QTPERCLIPI, % of energy
    double liquidoKg = 0;        // QTLIQUMLKG, ml/kg
};

// What the patient's record gives: sex 'M'/'F' (0 if unknown), age in years.
struct Patient {
    char sexo = 0;
    std::optional<int> idade;
};

struct Targets {
    double energia = 0;      // kcal/day
    double proteina = 0;     // g/day
    double carboidrato = 0;  // g/day
    double lipidio = 0;      // g/day
    double liquido = 0;      // ml/day
};

// Plausible ranges; anything outside is refused.
namespace range {
inline constexpr double PesoMin = 1, PesoMax = 350;
inline constexpr double AlturaMin = 40, AlturaMax = 250;
inline constexpr double FatorMin = 1, FatorMax = 2;
inline constexpr double KcalKgMin = 10, KcalKgMax = 60;
inline constexpr double ProteinaKgMin = 0.3, ProteinaKgMax = 3;
inline constexpr double CarbMin = 20, CarbMax = 80;
inline constexpr double LipiMin = 10, LipiMax = 60;
inline constexpr double LiquidoKgMin = 10, LiquidoKgMax = 100;
inline constexpr double EnergiaMin = 500, EnergiaMax = 10000;  // kcal/day
inline constexpr int IdadeAdulto = 18;  // the two equations were fitted on adults
}  // namespace range

// Whole years from birth to the day; nullopt without a birth date or when
// the day comes before it.
inline std::optional<int> ageOn(const std::optional<protocol::Date>& birth, const protocol::Date& day) {
    if (!birth || day < *birth) return std::nullopt;
    int years = day.year - birth->year;
    if (day.month < birth->month || (day.month == birth->month && day.day < birth->day)) --years;
    return years;
}

namespace detail {
inline std::string br(double v) {
    std::string s = std::to_string(v);
    s.erase(s.find_last_not_of('0') + 1);
    if (!s.empty() && s.back() == '.') s.pop_back();
    for (char& c : s)
        if (c == '.') c = ',';
    return s;
}
inline bool within(double v, double lo, double hi) { return v >= lo && v <= hi; }  // false for NaN
inline std::string outside(const char* what, double lo, double hi, const char* unit) {
    return std::string(what) + " deve estar entre " + br(lo) + " e " + br(hi) + unit + ".";
}
}  // namespace detail

inline double baseEnergy(const Inputs& in, const Patient& patient);

// The energy that values within their ranges give may still be absurd (a
// tiny weight with a great age); refuse that too.
inline std::string checkEnergy(const Inputs& in, const Patient& patient) {
    const double e = baseEnergy(in, patient) * in.fatorAtividade * in.fatorLesao;
    if (!detail::within(e, range::EnergiaMin, range::EnergiaMax))
        return "A energia calculada deve ficar entre " + detail::br(range::EnergiaMin) + " e " +
               detail::br(range::EnergiaMax) + " kcal/dia; confira peso, altura, idade e fatores.";
    return {};
}

// The first reason to refuse the values, in Portuguese; "" when they are usable.
inline std::string check(const Inputs& in, const Patient& patient) {
    using namespace range;
    using detail::outside;
    using detail::within;
    if (!within(in.peso, PesoMin, PesoMax)) return outside("O peso", PesoMin, PesoMax, " kg");
    if (!within(in.altura, AlturaMin, AlturaMax)) return outside("A altura", AlturaMin, AlturaMax, " cm");
    if (in.metodo != HarrisBenedict && in.metodo != MifflinStJeor && in.metodo != KcalPerKg)
        return "Método de cálculo da energia inválido.";
    if (!within(in.fatorAtividade, FatorMin, FatorMax))
        return outside("O fator atividade", FatorMin, FatorMax, "");
    if (!within(in.fatorLesao, FatorMin, FatorMax)) return outside("O fator lesão", FatorMin, FatorMax, "");
    if (in.metodo == KcalPerKg) {
        if (!within(in.kcalKg, KcalKgMin, KcalKgMax)) return outside("A energia por kg", KcalKgMin, KcalKgMax, " kcal/kg");
    } else {
        if (patient.sexo != 'M' && patient.sexo != 'F')
            return "Informe o sexo do paciente para usar as equações de Harris-Benedict ou Mifflin-St Jeor.";
        if (!patient.idade)
            return "Informe a data de nascimento do paciente para usar as equações de Harris-Benedict ou "
                   "Mifflin-St Jeor.";
        if (*patient.idade < IdadeAdulto)
            return "As equações de Harris-Benedict e Mifflin-St Jeor valem a partir de 18 anos; use kcal por kg.";
    }
    if (!within(in.proteinaKg, ProteinaKgMin, ProteinaKgMax))
        return outside("A proteína", ProteinaKgMin, ProteinaKgMax, " g/kg");
    if (!within(in.percCarboidrato, CarbMin, CarbMax))
        return outside("O carboidrato", CarbMin, CarbMax, " % da energia");
    if (!within(in.percLipidio, LipiMin, LipiMax)) return outside("O lipídio", LipiMin, LipiMax, " % da energia");
    if (in.percCarboidrato + in.percLipidio > 100)
        return "Carboidrato e lipídio somam mais de 100 % da energia.";
    if (!within(in.liquidoKg, LiquidoKgMin, LiquidoKgMax))
        return outside("O líquido", LiquidoKgMin, LiquidoKgMax, " ml/kg");
    return checkEnergy(in, patient);
}

// The base energy before the factors (kcal/day); call after check() passed.
inline double baseEnergy(const Inputs& in, const Patient& patient) {
    const double p = in.peso, a = in.altura, i = patient.idade.value_or(0);
    switch (in.metodo) {
        case HarrisBenedict:
            return patient.sexo == 'M' ? 66.47 + 13.75 * p + 5.003 * a - 6.755 * i
                                       : 655.1 + 9.563 * p + 1.850 * a - 4.676 * i;
        case MifflinStJeor: return 10 * p + 6.25 * a - 5 * i + (patient.sexo == 'M' ? 5 : -161);
        default: return in.kcalKg * p;
    }
}

// The targets of values that passed check().
inline Targets compute(const Inputs& in, const Patient& patient) {
    Targets t;
    t.energia = baseEnergy(in, patient) * in.fatorAtividade * in.fatorLesao;
    t.proteina = in.proteinaKg * in.peso;
    t.carboidrato = t.energia * in.percCarboidrato / 100 / 4;
    t.lipidio = t.energia * in.percLipidio / 100 / 9;
    t.liquido = in.liquidoKg * in.peso;
    return t;
}

}  // namespace catalog::needs

#pragma once
// Energy arithmetic of the four macronutrients: each total times its energy
// factor, the total energy value (VCT) and the share of each in per cent.

namespace calculation {

// Energy factors, kcal per gram.
inline constexpr double CarbohydrateFactor = 4;
inline constexpr double ProteinFactor = 4;
inline constexpr double LipidFactor = 9;
inline constexpr double AlcoholFactor = 7;

// total x factor taken at extended precision, rounded to 3 decimals.
double energyOf(double total, double factor);
// protein + carbohydrate + lipid + alcohol, added in that order at extended precision.
double totalEnergy(double protein, double carbohydrate, double lipid, double alcohol);
// energy x 100 / total; 0 when the total is 0.
double percentOf(double energy, double total);

}  // namespace calculation

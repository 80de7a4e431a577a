#include "calculation/EnergySplit.h"

#include "host/routines/Consiste.h"

namespace calculation {

double energyOf(double total, double factor) {
    const long double product = static_cast<long double>(total) * factor;
    return Consiste::RoundDec(static_cast<double>(product), 3);
}

double totalEnergy(double protein, double carbohydrate, double lipid, double alcohol) {
    long double sum = protein;
    sum += carbohydrate;
    sum += lipid;
    sum += alcohol;
    return static_cast<double>(sum);
}

double percentOf(double energy, double total) { return total == 0 ? 0 : energy * 100 / total; }

}  // namespace calculation

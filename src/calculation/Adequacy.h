#pragma once
// Adequacy of a nutrient's intake against its Dietary Reference Intake: the
// period's daily mean (total over the days with a recorded item) as a share
// of the RDA or AI, and whether it is below 70 % of it or above the upper
// limit (UL, or sodium's CDRR). The reference comes with the micronutrient
// totals from the server; the mean is the screen's own daily average.
#include <QString>

#include <optional>

namespace calculation {

// Below this share of the RDA/AI the intake is marked low.
inline constexpr double LowShare = 70;

struct Reference {
    std::optional<double> value;  // RDA or AI; none for a nutrient with an upper limit only
    QString kind;                 // "RDA" or "AI"
    std::optional<double> limit;  // upper limit
    QString limitKind;            // "UL" or "CDRR"
    QString group;                // life-stage group, "mulheres de 51 a 70 anos"
    QString unit;                 // the nutrient's unit
};

struct Adequacy {
    enum class Level { None, Low, Adequate, AboveLimit };
    std::optional<double> percent;  // daily mean x 100 / RDA or AI
    Level level = Level::None;
    QString tip;  // what the cell shows on hover: the reference and value, or why there is none
};

// `missing` is the server's reason when there is no reference; days is the
// number of days with a recorded item (0: no mean).
Q_DECL_EXPORT Adequacy adequacyOf(double total, int days, const std::optional<Reference>& reference, const QString& missing);

}  // namespace calculation

#pragma once
// Line chart of energy (kcal, left axis) and protein (g, right axis) per day
// of the calculation's period, one point per day with a recorded item, with
// the targets of the patient's needs as dashed lines (horizontal over the
// days of one survey period) where they are recorded.
#include <QChartView>
#include <QDate>
#include <QString>

#include <optional>
#include <vector>

class QCategoryAxis;
class QChart;
class QLineSeries;
class QValueAxis;

namespace calculation {

class Q_DECL_EXPORT DayChart : public QChartView {
    Q_OBJECT
public:
    struct Day {
        QDate date;
        double kcal = 0;
        double protein = 0;
        std::optional<double> kcalTarget;
        std::optional<double> proteinTarget;
    };

    explicit DayChart(QWidget* parent = nullptr, const QString& name = QString());

    void showDays(const std::vector<Day>& days);
    // No days (before a calculation, after the period changed or a failure).
    void clear();

    QLineSeries* energySeries() const { return energy_; }
    QLineSeries* proteinSeries() const { return protein_; }
    // Every target line: energy ones first (one series per run of days with a target).
    std::vector<QLineSeries*> targetSeries() const;
    // The dates written under the axis (every day up to MaxLabels days, else some).
    QStringList dayLabels() const;
    static constexpr int MaxLabels = 10;

private:
    void addTargets(const std::vector<Day>& days, std::optional<double> Day::*target, QValueAxis* axis,
                    const QString& name, const QColor& color, std::vector<QLineSeries*>& out);
    void fitAxes(const std::vector<Day>& days);

    QChart* chart_;
    QLineSeries* energy_;
    QLineSeries* protein_;
    std::vector<QLineSeries*> energyTargets_, proteinTargets_;
    QCategoryAxis* axisDays_;
    QValueAxis* axisKcal_;
    QValueAxis* axisProtein_;
};

}  // namespace calculation

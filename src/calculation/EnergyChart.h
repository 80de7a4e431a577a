#pragma once
// Pie chart of the energy split: one slice per macronutrient, its kcal and
// its share in per cent in the legend.
#include <QChartView>
#include <QString>
#include <QStringList>

#include <vector>

class QPieSeries;

namespace calculation {

class Q_DECL_EXPORT EnergyChart : public QChartView {
    Q_OBJECT
public:
    struct Part {
        QString name;
        double kcal = 0;
        double percent = 0;
    };

    explicit EnergyChart(QWidget* parent = nullptr, const QString& name = QString());

    // Redraws the chart with these parts, in this order.
    void showSplit(const std::vector<Part>& parts);
    // No split (before a calculation or after a failed one).
    void clear();

    // What the chart shows: one text per slice, and each slice's share.
    QStringList sliceTexts() const;
    std::vector<double> sliceShares() const;

private:
    QPieSeries* series_;
};

}  // namespace calculation

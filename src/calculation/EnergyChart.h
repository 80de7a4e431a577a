#pragma once
// Pie chart of the energy split: one slice per macronutrient, and beside it a
// legend line per slice with its share in per cent and its kcal.
#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

class QChartView;
class QLabel;
class QPieSeries;

namespace calculation {

class Q_DECL_EXPORT EnergyChart : public QWidget {
    Q_OBJECT
public:
    struct Part {
        QString name;
        double kcal = 0;
        double percent = 0;
    };

    explicit EnergyChart(QWidget* parent = nullptr, const QString& name = QString());

    // Redraws the chart with these parts, in this order (at most four).
    void showSplit(const std::vector<Part>& parts);
    // No split (before a calculation or after a failed one).
    void clear();

    // What the chart shows: one text per slice, and each slice's share (0 to 1).
    QStringList sliceTexts() const;
    std::vector<double> sliceShares() const;
    QChartView* view() const { return view_; }

private:
    QChartView* view_;
    QPieSeries* series_;
    std::vector<std::pair<QLabel*, QLabel*>> legend_;  // colour mark, text
};

}  // namespace calculation

#include "calculation/EnergyChart.h"

#include "calculation/NumberText.h"

#include <QChart>
#include <QLegend>
#include <QPieSeries>
#include <QPieSlice>

namespace calculation {

namespace {
const QColor SliceColors[] = {QColor(0xc0, 0x39, 0x2b), QColor(0xe6, 0x7e, 0x22), QColor(0x27, 0x80, 0xb9),
                              QColor(0x8e, 0x44, 0xad)};
}

EnergyChart::EnergyChart(QWidget* parent, const QString& name) : QChartView(parent) {
    if (!name.isEmpty()) setObjectName(name);
    setFocusPolicy(Qt::NoFocus);
    setRenderHint(QPainter::Antialiasing);
    auto* chart = new QChart();
    chart->setTitle(QStringLiteral("Distribuição energética"));
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->setBackgroundRoundness(0);
    chart->legend()->setAlignment(Qt::AlignRight);
    series_ = new QPieSeries(chart);
    series_->setPieSize(0.9);
    chart->addSeries(series_);
    setChart(chart);
    setMinimumSize(420, 170);
}

void EnergyChart::showSplit(const std::vector<Part>& parts) {
    series_->clear();
    int i = 0;
    for (const Part& p : parts) {
        const QString text = QStringLiteral("%1: %2 % (%3 kcal)")
                                 .arg(p.name, numberText(p.percent, 3), numberText(p.kcal, 3));
        QPieSlice* slice = series_->append(text, p.kcal > 0 ? p.kcal : 0);
        slice->setColor(SliceColors[i++ % 4]);
        slice->setBorderColor(Qt::white);
    }
}

void EnergyChart::clear() { series_->clear(); }

QStringList EnergyChart::sliceTexts() const {
    QStringList texts;
    for (QPieSlice* s : series_->slices()) texts << s->label();
    return texts;
}

std::vector<double> EnergyChart::sliceShares() const {
    std::vector<double> shares;
    for (QPieSlice* s : series_->slices()) shares.push_back(s->percentage());
    return shares;
}

}  // namespace calculation

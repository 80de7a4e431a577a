#include "calculation/DayChart.h"

#include "host/core/BrNumber.h"

#include <QCategoryAxis>
#include <QChart>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace calculation {

namespace {

const QColor EnergyColor(0xc0, 0x39, 0x2b);
const QColor ProteinColor(0x27, 0x80, 0xb9);

QLineSeries* line(QChart* chart, const QString& name, const QColor& color, Qt::PenStyle style) {
    auto* s = new QLineSeries(chart);
    s->setName(name);
    QPen pen(color);
    pen.setWidth(2);
    pen.setStyle(style);
    s->setPen(pen);
    return s;
}

// A round top for an axis: 1, 2 or 5 times a power of ten at or above the value.
double niceTop(double value) {
    if (value <= 0) return 1;
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (double step : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (step * power >= value) return step * power;
    return 10 * power;
}

}  // namespace

DayChart::DayChart(QWidget* parent, const QString& name) : QChartView(parent) {
    if (!name.isEmpty()) setObjectName(name);
    setFocusPolicy(Qt::NoFocus);
    setRenderHint(QPainter::Antialiasing);
    chart_ = new QChart();
    chart_->setMargins(QMargins(2, 2, 2, 0));
    chart_->setBackgroundRoundness(0);
    chart_->legend()->setAlignment(Qt::AlignBottom);
    // A small chart beside the numbers: smaller type, so nothing is cut.
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    chart_->legend()->setFont(small);
    setChart(chart_);

    // Days with an item one step apart, each date written at its point.
    axisDays_ = new QCategoryAxis(chart_);
    axisDays_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axisKcal_ = new QValueAxis(chart_);
    axisKcal_->setTitleText(QStringLiteral("kcal"));
    axisKcal_->setLabelFormat(QStringLiteral("%.0f"));
    axisProtein_ = new QValueAxis(chart_);
    axisProtein_->setTitleText(QStringLiteral("g"));
    axisProtein_->setLabelFormat(QStringLiteral("%.0f"));
    for (QAbstractAxis* a : {static_cast<QAbstractAxis*>(axisDays_), static_cast<QAbstractAxis*>(axisKcal_),
                             static_cast<QAbstractAxis*>(axisProtein_)}) {
        a->setLabelsFont(small);
        a->setTitleFont(small);
    }
    chart_->addAxis(axisDays_, Qt::AlignBottom);
    chart_->addAxis(axisKcal_, Qt::AlignLeft);
    chart_->addAxis(axisProtein_, Qt::AlignRight);

    // Units are on the axes: kcal on the left, g on the right.
    energy_ = line(chart_, QStringLiteral("Energia"), EnergyColor, Qt::SolidLine);
    protein_ = line(chart_, QStringLiteral("Proteína"), ProteinColor, Qt::SolidLine);
    for (auto [series, axis] : {std::pair{energy_, axisKcal_}, std::pair{protein_, axisProtein_}}) {
        series->setPointsVisible(true);
        chart_->addSeries(series);
        series->attachAxis(axisDays_);
        series->attachAxis(axis);
    }
    clear();
}

std::vector<QLineSeries*> DayChart::targetSeries() const {
    std::vector<QLineSeries*> all = energyTargets_;
    all.insert(all.end(), proteinTargets_.begin(), proteinTargets_.end());
    return all;
}

QStringList DayChart::dayLabels() const { return axisDays_->categoriesLabels(); }

void DayChart::clear() {
    energy_->clear();
    protein_->clear();
    for (QLineSeries* s : targetSeries()) {
        chart_->removeSeries(s);
        delete s;
    }
    energyTargets_.clear();
    proteinTargets_.clear();
    for (const QString& label : axisDays_->categoriesLabels()) axisDays_->remove(label);
    axisDays_->setRange(0, 1);
    axisKcal_->setRange(0, 1);
    axisProtein_->setRange(0, 1);
    // Nothing to read on empty axes.
    for (QAbstractAxis* a : {static_cast<QAbstractAxis*>(axisKcal_), static_cast<QAbstractAxis*>(axisProtein_)})
        a->setLabelsVisible(false);
}

void DayChart::showDays(const std::vector<Day>& days) {
    clear();
    if (days.empty()) return;
    // A long period writes every few dates, so they never overlap.
    const size_t every = (days.size() + MaxLabels - 1) / MaxLabels;
    for (size_t i = 0; i < days.size(); ++i) {
        if (i % every == 0) axisDays_->append(days[i].date.toString(QStringLiteral("dd/MM")), double(i));
        energy_->append(double(i), days[i].kcal);
        protein_->append(double(i), days[i].protein);
    }
    axisDays_->setRange(-0.5, double(days.size()) - 0.5);
    addTargets(days, &Day::kcalTarget, axisKcal_, QStringLiteral("Meta de energia"), EnergyColor, energyTargets_);
    addTargets(days, &Day::proteinTarget, axisProtein_, QStringLiteral("Meta de proteína"), ProteinColor,
               proteinTargets_);
    fitAxes(days);
}

void DayChart::addTargets(const std::vector<Day>& days, std::optional<double> Day::*target, QValueAxis* axis,
                          const QString& name, const QColor& color, std::vector<QLineSeries*>& out) {
    // One series per run of days with a target: steps where a new survey
    // period brings another target, nothing over days without one.
    QLineSeries* run = nullptr;
    for (size_t i = 0; i < days.size(); ++i) {
        const auto& value = days[i].*target;
        if (!value) {
            run = nullptr;
            continue;
        }
        if (!run) {
            run = line(chart_, name, color, Qt::DashLine);
            chart_->addSeries(run);
            run->attachAxis(axisDays_);
            run->attachAxis(axis);
            // One legend entry per target, however many runs.
            if (!out.empty())
                for (QLegendMarker* m : chart_->legend()->markers(run)) m->setVisible(false);
            out.push_back(run);
        }
        run->append(double(i) - 0.5, *value);
        run->append(double(i) + 0.5, *value);
    }
}

void DayChart::fitAxes(const std::vector<Day>& days) {
    double kcal = 0, protein = 0;
    for (const Day& d : days) {
        kcal = std::max({kcal, d.kcal, d.kcalTarget.value_or(0)});
        protein = std::max({protein, d.protein, d.proteinTarget.value_or(0)});
    }
    axisKcal_->setRange(0, niceTop(kcal * 1.05));
    axisProtein_->setRange(0, niceTop(protein * 1.05));
    for (QValueAxis* a : {axisKcal_, axisProtein_}) {
        a->setTickCount(3);
        a->setLabelsVisible(true);
    }
}

}  // namespace calculation

#include "calculation/EnergyChart.h"

#include "host/core/BrNumber.h"

#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QPieSeries>
#include <QPieSlice>
#include <QPixmap>
#include <QVBoxLayout>

namespace calculation {

namespace {
const QColor SliceColors[] = {QColor(0xc0, 0x39, 0x2b), QColor(0xe6, 0x7e, 0x22), QColor(0x27, 0x80, 0xb9),
                              QColor(0x8e, 0x44, 0xad)};
}

EnergyChart::EnergyChart(QWidget* parent, const QString& name) : QWidget(parent) {
    if (!name.isEmpty()) setObjectName(name);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);

    auto* chart = new QChart();
    chart->setMargins(QMargins(0, 0, 0, 0));
    chart->setBackgroundRoundness(0);
    chart->legend()->hide();
    series_ = new QPieSeries(chart);
    series_->setPieSize(0.95);
    chart->addSeries(series_);
    view_ = new QChartView(chart, this);
    view_->setObjectName(QStringLiteral("chvEnergia"));
    view_->setFocusPolicy(Qt::NoFocus);
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setFixedSize(170, 170);
    row->addWidget(view_);

    // The legend in plain labels, so the layout gives every text its width.
    auto* legend = new QVBoxLayout();
    auto* title = new QLabel(QStringLiteral("Distribuição energética"), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    legend->addStretch(1);
    legend->addWidget(title);
    for (const QColor& color : SliceColors) {
        auto* line = new QHBoxLayout();
        auto* mark = new QLabel(this);
        QPixmap square(10, 10);
        square.fill(color);
        mark->setPixmap(square);
        auto* text = new QLabel(this);
        // Room for the longest text, so the screen does not grow on the first calculation.
        text->setMinimumWidth(text->fontMetrics().horizontalAdvance(
            QStringLiteral("Carboidrato: 100,000 % (10.000,000 kcal)")));
        // Hidden lines keep their room too, or the window widens when they first show.
        for (QLabel* l : {mark, text}) {
            QSizePolicy policy = l->sizePolicy();
            policy.setRetainSizeWhenHidden(true);
            l->setSizePolicy(policy);
        }
        line->addWidget(mark);
        line->addWidget(text, 1);
        legend->addLayout(line);
        legend_.push_back({mark, text});
    }
    legend->addStretch(1);
    row->addLayout(legend, 1);
    clear();
}

void EnergyChart::showSplit(const std::vector<Part>& parts) {
    series_->clear();
    for (size_t i = 0; i < legend_.size(); ++i) {
        const bool shown = i < parts.size();
        legend_[i].first->setVisible(shown);
        legend_[i].second->setVisible(shown);
        if (!shown) continue;
        const Part& p = parts[i];
        const QString text = QStringLiteral("%1: %2 % (%3 kcal)")
                                 .arg(p.name, hostfw::FormatFixed(p.percent, 3), hostfw::FormatFixed(p.kcal, 3));
        QPieSlice* slice = series_->append(text, p.kcal > 0 ? p.kcal : 0);
        slice->setColor(SliceColors[i]);
        slice->setBorderColor(Qt::white);
        legend_[i].second->setText(text);
    }
}

void EnergyChart::clear() {
    series_->clear();
    for (auto& [mark, text] : legend_) {
        mark->hide();
        text->hide();
        text->clear();
    }
}

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

#include "survey/DayPanel.h"

#include "host/connection/NetConnection.h"
#include "host/core/BrNumber.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QTableWidget>

#include <algorithm>
#include <cmath>

namespace survey {

namespace {

struct Measure {
    const char* name;      // objectName suffix
    const char* label;
    const char* value;     // day and service field
    const char* target;    // day field
    const char* unit;
    int decimals;
};

// In the order of the lines and of the service table's columns.
constexpr std::array<Measure, 4> Measures = {{
    {"Energia", "Energia", "VRENERGIA", "QTENERGIA", "kcal", 0},
    {"Proteina", "Proteína", "VRPROTEINA", "QTPROTEINA", "g", 1},
    {"Carboidrato", "Carboidrato", "VRCARBOIDRATO", "QTCARBOIDRATO", "g", 1},
    {"Lipidio", "Lipídio", "VRLIPIDIO", "QTLIPIDIO", "g", 1},
}};

QString amount(double value, const Measure& m) {
    return hostfw::FormatFixed(value, m.decimals) + QLatin1Char(' ') + QLatin1String(m.unit);
}

double numberAt(const protocol::DataPacket& p, size_t row, const char* field) {
    const auto& v = p.at(row, field);
    return v.is_number() ? v.get<double>() : 0.0;
}

// Amber, green and red, light enough for the black percentage over them.
QString bandColour(DayPanel::Band band) {
    switch (band) {
    case DayPanel::Band::Below: return QStringLiteral("#f0b429");
    case DayPanel::Band::Within: return QStringLiteral("#5cb85c");
    case DayPanel::Band::Above: return QStringLiteral("#e8735f");
    }
    return {};
}

QString keyOf(const SurveyContext& c) {
    return c.branch + QLatin1Char('|') + c.patient + QLatin1Char('|') + c.periodStart.toString(Qt::ISODate) +
           QLatin1Char('|') + c.day.toString(Qt::ISODate);
}

bool hasDayInPeriod(const SurveyContext& c) {
    return c.hasPeriod() && c.day.isValid() && c.day >= c.periodStart && c.day <= c.periodEnd;
}

}  // namespace

DayPanel* dayPanelOf(const QWidget* screen) { return screen->findChild<DayPanel*>(QStringLiteral("pnlDia")); }

DayPanel::Band DayPanel::bandOf(double percent) {
    if (percent < 75) return Band::Below;
    if (percent > 110) return Band::Above;
    return Band::Within;
}

const char* DayPanel::bandName(Band band) {
    switch (band) {
    case Band::Below: return "abaixo";
    case Band::Within: return "adequada";
    case Band::Above: return "acima";
    }
    return "";
}

DayPanel::DayPanel(hostfw::TNetConnection* net, QWidget* parent) : QFrame(parent), net_(net) {
    setObjectName("pnlDia");
    setFrameShape(QFrame::StyledPanel);
    // Information only: the focus stays in the items grid and the header.
    setFocusPolicy(Qt::NoFocus);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 3, 6, 3);
    row->setSpacing(10);

    auto* day = new QGridLayout();
    day->setHorizontalSpacing(6);
    day->setVerticalSpacing(1);
    title_ = new QLabel(this);
    title_->setObjectName("lblDiaTitulo");
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    day->addWidget(title_, 0, 0, 1, 4);
    const int barWidth = fontMetrics().horizontalAdvance(QStringLiteral("000 %")) * 2;
    for (size_t i = 0; i < Measures.size(); ++i) {
        const Measure& m = Measures[i];
        const int r = static_cast<int>(i) + 1;
        auto* name = new QLabel(QString::fromUtf8(m.label), this);
        name->setObjectName(QStringLiteral("lblDiaNome%1").arg(QLatin1String(m.name)));
        Line& line = lines_[i];
        line.value = new QLabel(this);
        line.value->setObjectName(QStringLiteral("lblDia%1").arg(QLatin1String(m.name)));
        line.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        line.value->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00.000 kcal")));
        line.bar = new QProgressBar(this);
        line.bar->setObjectName(QStringLiteral("barDia%1").arg(QLatin1String(m.name)));
        line.bar->setRange(0, 100);
        line.bar->setTextVisible(true);
        line.bar->setAlignment(Qt::AlignCenter);
        line.bar->setFixedSize(barWidth, fontMetrics().height() + 2);
        line.target = new QLabel(this);
        line.target->setObjectName(QStringLiteral("lblMeta%1").arg(QLatin1String(m.name)));
        day->addWidget(name, r, 0);
        day->addWidget(line.value, r, 1);
        day->addWidget(line.bar, r, 2);
        day->addWidget(line.target, r, 3);
    }
    day->setColumnStretch(4, 1);
    day->setRowStretch(static_cast<int>(Measures.size()) + 1, 1);
    row->addLayout(day, 0);

    services_ = new QTableWidget(0, 1 + static_cast<int>(Measures.size()), this);
    services_->setObjectName("tblDiaServicos");
    services_->setHorizontalHeaderLabels({QStringLiteral("Serviço"), QStringLiteral("kcal"),
                                          QStringLiteral("Prot. (g)"), QStringLiteral("Carb. (g)"),
                                          QStringLiteral("Líp. (g)")});
    services_->verticalHeader()->hide();
    const int rowHeight = std::max(fontMetrics().height() + 2, services_->verticalHeader()->minimumSectionSize());
    services_->verticalHeader()->setDefaultSectionSize(rowHeight);
    services_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c < services_->columnCount(); ++c)
        services_->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    services_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    services_->setSelectionMode(QAbstractItemView::NoSelection);
    services_->setFocusPolicy(Qt::NoFocus);
    services_->setShowGrid(false);
    services_->setAlternatingRowColors(true);
    row->addWidget(services_, 1);

    // Five services in view (a day rarely has more; the table scrolls), and
    // the title with the four lines.
    const int table =
        services_->horizontalHeader()->sizeHint().height() + 5 * rowHeight + 2 * services_->frameWidth() + 8;
    setFixedHeight(std::max(table, day->sizeHint().height()) + row->contentsMargins().top() +
                   row->contentsMargins().bottom() + 2 * frameWidth());
    clear();
}

void DayPanel::clear() {
    shown_.clear();
    title_->setText(QStringLiteral("Totais do dia"));
    title_->setToolTip(QString());
    for (Line& line : lines_) {
        line.value->setText(QStringLiteral("–"));
        line.bar->hide();
        line.target->clear();
    }
    services_->setRowCount(0);
}

void DayPanel::showDay(const SurveyContext& context) {
    if (!hasDayInPeriod(context)) return clear();
    if (keyOf(context) == shown_) return;
    refresh(context);
}

void DayPanel::refresh(const SurveyContext& context) {
    if (!hasDayInPeriod(context)) return clear();
    // Hidden with the periods page: read when the items page shows it again.
    if (!isVisible()) {
        shown_.clear();
        return;
    }
    const hostfw::RemoteResult reply =
        net_->AppServer("GetTotDia", {context.patient, context.branch, context.periodStart, context.day, "T"});
    if (!reply.ok) return showFailure(reply.error);
    try {
        showReply(context.day, reply.data);
        shown_ = keyOf(context);
    } catch (const std::exception& e) {
        showFailure(QString::fromUtf8(e.what()));
    }
}

void DayPanel::showFailure(const QString& message) {
    clear();
    // The panel only informs: a failure is told here, not in a message box
    // over the item just saved.
    title_->setText(QStringLiteral("Totais do dia indisponíveis"));
    title_->setToolTip(message);
}

void DayPanel::showReply(const QDate& date, const protocol::json& data) {
    if (!data.is_array() || data.size() != 2) throw std::runtime_error("Resposta inesperada do servidor.");
    const auto day = protocol::DataPacket::fromJson(data.at(0));
    const auto services = protocol::DataPacket::fromJson(data.at(1));
    if (day.rows.size() != 1) throw std::runtime_error("Resposta inesperada do servidor.");

    title_->setText(QStringLiteral("Totais do dia %1").arg(date.toString(QStringLiteral("dd/MM/yyyy"))));
    title_->setToolTip(QString());
    for (size_t i = 0; i < Measures.size(); ++i) {
        const Measure& m = Measures[i];
        Line& line = lines_[i];
        const double value = numberAt(day, 0, m.value);
        line.value->setText(amount(value, m));
        const auto& target = day.at(0, m.target);
        if (!target.is_number() || target.get<double>() <= 0) {
            line.bar->hide();
            line.target->clear();
            continue;
        }
        const double percent = value * 100 / target.get<double>();
        const Band band = bandOf(percent);
        line.bar->setValue(static_cast<int>(std::lround(std::min(percent, 100.0))));
        line.bar->setFormat(hostfw::FormatFixed(percent, 0) + QStringLiteral(" %"));
        line.bar->setProperty("faixa", QString::fromLatin1(bandName(band)));
        line.bar->setStyleSheet(QStringLiteral("QProgressBar { border: 1px solid #a0a0a0; border-radius: 2px; background: #f4f4f4; "
                                                   "color: black; } QProgressBar::chunk { background: %1; }")
                                    .arg(bandColour(band)));
        line.bar->setToolTip(QStringLiteral("%1 de %2").arg(amount(value, m), amount(target.get<double>(), m)));
        line.bar->show();
        line.target->setText(QStringLiteral("meta %1").arg(amount(target.get<double>(), m)));
    }

    services_->setRowCount(static_cast<int>(services.rows.size()));
    for (size_t r = 0; r < services.rows.size(); ++r) {
        const auto& name = services.at(r, "NMSERVICO");
        const auto& code = services.at(r, "CDSERVFILI");
        auto* service = new QTableWidgetItem(QString::fromStdString(
            name.is_string() ? name.get<std::string>() : code.is_string() ? code.get<std::string>() : std::string()));
        services_->setItem(static_cast<int>(r), 0, service);
        for (size_t i = 0; i < Measures.size(); ++i) {
            auto* cell = new QTableWidgetItem(hostfw::FormatFixed(numberAt(services, r, Measures[i].value),
                                                                  Measures[i].decimals));
            // As an int: a Qt::Alignment variant would register its type from
            // this module, and the registration would dangle once it is unloaded.
            cell->setData(Qt::TextAlignmentRole, int(Qt::AlignRight | Qt::AlignVCenter));
            services_->setItem(static_cast<int>(r), static_cast<int>(i) + 1, cell);
        }
    }
}

}  // namespace survey

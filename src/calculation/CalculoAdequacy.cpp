// The "% da recomendação" column of the micronutrient grid: each nutrient's
// daily mean against its reference intake, coloured below 70 % and above
// the upper limit, with a tooltip naming the reference.
#include "calculation/Adequacy.h"
#include "calculation/Cli_Zep12610.h"

#include "host/controls/PointToolTips.h"
#include "host/data/DBGrid.h"
#include "host/data/DataSet.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QPixmap>
#include <QToolTip>

using namespace hostfw;

namespace {

const QColor LowColor(0xff, 0xd9, 0x80);
const QColor AboveLimitColor(0xf1, 0x94, 0x94);

std::optional<double> numberOf(const QVariant& v) {
    if (v.isNull() || !v.isValid()) return std::nullopt;
    return v.toDouble();
}

}  // namespace

calculation::Adequacy TfrmCalculo::adequacyOf(const std::function<QVariant(const char*)>& value) const {
    std::optional<calculation::Reference> reference;
    const auto base = numberOf(value("VRREFERENCIA"));
    const auto limit = numberOf(value("VRLIMITE"));
    if (base || limit)
        reference = calculation::Reference{base,
                                           value("IDTIPOREF").toString(),
                                           limit,
                                           value("IDTIPOLIMITE").toString(),
                                           value("DSGRUPOREF").toString(),
                                           value("SGUNIDADE").toString()};
    return calculation::adequacyOf(value("TOTAL").toDouble(), recordedDays_, reference,
                                   value("DSSEMREF").toString());
}

calculation::Adequacy TfrmCalculo::adequacyAt(int row) const {
    if (!cdsCalc->Active() || row < 0 || row >= cdsCalc->RecordCount()) return {};
    return adequacyOf([&](const char* name) {
        return cdsCalc->ValueAt(row, cdsCalc->FieldByName(QString::fromLatin1(name))->Index());
    });
}

calculation::Adequacy TfrmCalculo::currentAdequacy() const {
    return adequacyOf([&](const char* name) { return cdsCalc->FieldByName(QString::fromLatin1(name))->Value(); });
}

void TfrmCalculo::setupAdequacy() {
    TColumn* percent = dbgMicro->ColumnByField(QStringLiteral("PCRECOMEND"));
    percent->SetWidth(dbgMicro->fontMetrics().horizontalAdvance(QStringLiteral("% da recomendação")) + 16);
    dbgMicro->OnDrawColumnCell = [this, percent](QPainter*, const QRect& rect, int dataCol, TColumn* column,
                                                 TGridDrawState state) {
        if (column != percent) return;
        const auto level = adequacyAt(dbgMicro->PaintRow()).level;
        if (level != calculation::Adequacy::Level::Low && level != calculation::Adequacy::Level::AboveLimit) return;
        TGridCanvas& canvas = dbgMicro->Canvas();
        canvas.BrushColor = level == calculation::Adequacy::Level::Low ? LowColor : AboveLimitColor;
        canvas.FontColor = Qt::black;
        dbgMicro->DefaultDrawColumnCell(rect, dataCol, column, state);
    };
    new hostfw::PointToolTips(dbgMicro->viewport(), [this, percent](const QPoint& pos) {
        const int row = dbgMicro->rowAt(pos.y());
        const int column = dbgMicro->columnAt(pos.x());
        if (row < 0 || column < 0 || dbgMicro->Columns().value(column) != percent) return QString();
        return adequacyAt(row).tip;
    });

    // What the two colours mean, under the grid.
    panLegendaDri = new QWidget(grbNutriente);
    panLegendaDri->setObjectName(QStringLiteral("panLegendaDri"));
    auto* line = new QHBoxLayout(panLegendaDri);
    line->setContentsMargins(2, 0, 2, 0);
    line->setSpacing(4);
    const int size = fontMetrics().height() - 4;
    auto entry = [&](const char* name, const QColor& color, const QString& text) {
        auto* mark = new QLabel(panLegendaDri);
        QPixmap square(size, size);
        square.fill(color);
        mark->setPixmap(square);
        line->addWidget(mark);
        auto* caption = new QLabel(text, panLegendaDri);
        caption->setObjectName(QString::fromLatin1(name));
        line->addWidget(caption);
        line->addSpacing(12);
    };
    entry("lblDriBaixo", LowColor, QStringLiteral("Abaixo de 70 % da recomendação (RDA/AI)"));
    entry("lblDriAcima", AboveLimitColor, QStringLiteral("Acima do limite superior (UL/CDRR)"));
    line->addStretch(1);
    panLegendaDri->setToolTip(
        QStringLiteral("Ingestão dietética de referência (DRI) para o sexo e a idade do paciente no início do período."));
}

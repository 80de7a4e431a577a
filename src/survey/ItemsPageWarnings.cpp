// The restriction, intolerance and interaction marks of the items: the sets
// fetched from the server, the marks drawn in the grid, their tooltips and
// legend, and the interaction screen opened from a mark.
#include "survey/ItemsPage.h"

#include "host/controls/PointToolTips.h"
#include "host/connection/NetConnection.h"
#include "host/core/Failures.h"
#include "host/routines/Consiste.h"
#include "host/routines/Vorlane.h"
#include "survey/MarkImages.h"
#include "survey/ItemsPageParts.h"
#include "survey/PanelParts.h"
#include "survey/SurveyNotice.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHBoxLayout>

using namespace hostfw;
using namespace survey::parts;
using namespace survey::itemspage;

namespace survey {

namespace {

// Rows of a warning set whose code field equals the code, whatever the letter case.
QList<int> rowsOf(TClientDataSet* set, const char* field, const QString& code) {
    QList<int> rows;
    if (!set->Active() || Consiste::EmptyString(code)) return rows;
    const int index = set->FieldByName(QString::fromLatin1(field))->Index();
    const QString wanted = code.trimmed();
    for (int r = 0; r < set->RecordCount(); ++r)
        if (set->ValueAt(r, index).toString().trimmed().compare(wanted, Qt::CaseInsensitive) == 0) rows.append(r);
    return rows;
}

}  // namespace

QString ItemsPage::itemValue(int row, const char* fieldName) const {
    TField* f = item(fieldName);
    // The row being edited holds values the saved rows do not.
    if (row == cdsProdPrat->CurrentRow()) return f->AsString();
    return cdsProdPrat->ValueAt(row, f->Index()).toString();
}

void ItemsPage::setupWarnings() {
    dbgProdPrat->OnDrawColumnCell = [this](QPainter*, const QRect& rect, int, TColumn* column, TGridDrawState state) {
        dbgProdPratDrawColumnCell(rect, column, state);
    };
    new hostfw::PointToolTips(dbgProdPrat->viewport(), [this](const QPoint& pos) { return markToolTip(pos); });

    // A legend under the grid says what each mark means.
    auto* legend = new QWidget(this);
    legend->setObjectName("panLegenda");
    auto* line = new QHBoxLayout(legend);
    line->setContentsMargins(4, 0, 4, 0);
    line->setSpacing(4);
    const int size = fontMetrics().height();
    auto entry = [&](const QPixmap& image, const QString& text) {
        auto* picture = new QLabel(legend);
        picture->setPixmap(image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        line->addWidget(picture);
        auto* caption = new QLabel(text, legend);
        line->addWidget(caption);
        line->addSpacing(12);
    };
    entry(restrictionMark(), QStringLiteral("Restrição alimentar da dieta"));
    entry(intoleranceMark(), QStringLiteral("Intolerância do paciente"));
    entry(interactionMark(), QStringLiteral("Interação com medicamento"));
    legend->setToolTip(QStringLiteral("Duplo clique ou Espaço sobre a marca de interação mostra os detalhes."));
    line->addStretch(1);
    panLegenda = legend;
}

void ItemsPage::forgetWarnings() {
    for (TClientDataSet* set :
         {cdsPratoRest, cdsPratoIntol, cdsVerMedicaPrato, cdsProdutoRest, cdsProdutoIntol, cdsVerMedica})
        set->Close();
    warningFailureShown_ = false;
    if (auto* notice = findChild<QLabel*>(QStringLiteral("lblAvisoItem"))) notice->hide();  // another day's items
}

bool ItemsPage::fetchWarnings(int paintedRow) {
    const SurveyContext& c = context();
    try {
        if (!cdsPratoRest->Active()) {
            const protocol::json sets = Consiste::CheckResultServ(services_.net->AppServer(
                "GetPratoRest", {c.patient, itemValue(paintedRow, "CDFILAUXPRAT"), c.branch, c.service, c.periodStart,
                                 c.periodEnd, c.day}));
            cdsPratoIntol->SetData(sets.at(1));
            cdsVerMedicaPrato->SetData(sets.at(2));
            cdsPratoRest->SetData(sets.at(0));
        }
        if (!cdsProdutoRest->Active()) {
            const protocol::json sets = Consiste::CheckResultServ(services_.net->AppServer(
                "GetProdutoRest", {c.patient, c.branch, c.periodStart, c.periodEnd, c.day}));
            cdsProdutoIntol->SetData(sets.at(1));
            cdsVerMedica->SetData(sets.at(2));
            cdsProdutoRest->SetData(sets.at(0));
        }
    } catch (...) {
        // Nothing half loaded stays; the next paint asks again, but the user
        // hears of the failure once, not at every paint.
        for (TClientDataSet* set :
             {cdsPratoRest, cdsPratoIntol, cdsVerMedicaPrato, cdsProdutoRest, cdsProdutoIntol, cdsVerMedica})
            set->Close();
        if (warningFailureShown_) return false;
        warningFailureShown_ = true;
        throw;
    }
    return true;
}

ItemsPage::ItemMark ItemsPage::itemMark(int row) const {
    const QString code = itemValue(row, "CDPRATPROD");
    const bool dish = itemValue(row, "IDTIPOINQUER") == QLatin1String("1");
    const char* field = dish ? "CDPRATO" : "CDPRODUTO";
    if (!rowsOf(dish ? cdsPratoRest : cdsProdutoRest, field, code).isEmpty()) return ItemMark::Restriction;
    if (!rowsOf(dish ? cdsPratoIntol : cdsProdutoIntol, field, code).isEmpty()) return ItemMark::Intolerance;
    return ItemMark::None;
}

QStringList ItemsPage::itemInteractions(int row) const {
    const bool dish = itemValue(row, "IDTIPOINQUER") == QLatin1String("1");
    TClientDataSet* set = dish ? cdsVerMedicaPrato : cdsVerMedica;
    QStringList out;
    for (int r : rowsOf(set, dish ? "CDPRATO" : "CDPRODUTO", itemValue(row, "CDPRATPROD"))) {
        const QString drug = set->ValueAt(r, set->FieldByName("NMMEDICAMENT")->Index()).toString().trimmed();
        const QString nutrient = set->ValueAt(r, set->FieldByName("NMNUTRIENTE")->Index()).toString().trimmed();
        const QString text = drug + QStringLiteral(" – ") + nutrient;
        if (!out.contains(text)) out.append(text);
    }
    return out;
}

void ItemsPage::dbgProdPratDrawColumnCell(const QRect& rect, TColumn* column, TGridDrawState state) {
    const int row = dbgProdPrat->PaintRow();
    if (row < 0 || !fetchWarnings(row)) return;
    TGridCanvas& canvas = dbgProdPrat->Canvas();
    const QString name = column->FieldName();
    if (name == kMeasure) {
        const QString measure = itemValue(row, "CDMEDICASE");
        if (Consiste::EmptyString(measure)) return;
        const bool underEditor = dbgProdPrat->EditorMode() && state == TGridDrawState(gdSelected);
        canvas.TextRect(rect, rect.left() + 3, rect.top() + 3, underEditor ? measure : itemValue(row, "NMMEDICASE"));
    } else if (name == kName) {
        const QString text = itemValue(row, "NMPRATPROD");
        if (text.isEmpty()) return;
        canvas.FillRect(rect);
        QWidget* focused = QApplication::focusWidget();
        const bool gridActive = focused && (focused == dbgProdPrat || dbgProdPrat->isAncestorOf(focused));
        if (state & gdSelected) {
            canvas.BrushColor = palette().color(QPalette::Highlight);
            canvas.FontColor = palette().color(QPalette::HighlightedText);
        } else if (gridActive) {
            canvas.BrushColor = palette().color(QPalette::ToolTipBase);
            canvas.FontColor = palette().color(QPalette::WindowText);
        }
        canvas.TextRect(rect, rect.left() + 20, rect.top() + 2, text);
        const ItemMark mark = itemMark(row);
        if (mark == ItemMark::None) return;
        const QPixmap picture = (mark == ItemMark::Restriction ? restrictionMark() : intoleranceMark());
        canvas.StretchDraw(QRect(rect.left() + 2, rect.top(), picture.width(), rect.height()), picture);
    } else if (name == kInteraction) {
        if (itemInteractions(row).isEmpty()) return;
        canvas.FillRect(rect);
        const QPixmap picture = interactionMark();
        canvas.StretchDraw(QRect(rect.left() + 5, rect.top(), picture.width(), rect.height()), picture);
    }
}

QString ItemsPage::markToolTip(const QPoint& pos) const {
    const QModelIndex index = dbgProdPrat->indexAt(pos);
    TColumn* column = index.isValid() ? dbgProdPrat->Columns().value(index.column()) : nullptr;
    if (!column || !cdsProdPrat->Active() || !cdsPratoRest->Active() || !cdsProdutoRest->Active()) return {};
    const QRect cell = dbgProdPrat->visualRect(index);
    // The reasons, not only the mark's meaning (WarningReasons.h).
    const auto reasons = [this](int row) {
        return survey::itemWarnings(survey::warningSetsOf(*this), survey::itemKindOf(itemValue(row, "IDTIPOINQUER")),
                                    itemValue(row, "CDPRATPROD"));
    };
    if (column->FieldName() == kName && pos.x() < cell.left() + 20 && !itemValue(index.row(), "NMPRATPROD").isEmpty()) {
        const survey::ItemWarnings w = reasons(index.row());
        return (w.restrictions + w.intolerances).join(QLatin1Char('\n'));
    }
    if (column->FieldName() == kInteraction) return reasons(index.row()).interactions.join(QLatin1Char('\n'));
    return {};
}

void ItemsPage::dbgProdPratDblClick() {
    if (itemColumn() != kInteraction || !cdsProdPrat->Active() || cdsProdPrat->IsEmpty()) return;
    const SurveyContext context = this->context();
    const QString code = item("CDPRATPROD")->AsString();
    const QDateTime day(context.day, QTime(0, 0));
    if (itemKind() == survey::ItemKind::Dish) {
        const QString owner = item("CDFILAUXPRAT")->AsString();
        cdsPratoVerMedica->SetData(Consiste::CheckResultServ(services_.net->AppServer(
            "GetVerMedicaPrato", {context.patient, context.day, code, owner, context.branch})));
        if (!cdsPratoVerMedica->IsEmpty())
            Vorlane::LoadBPL(QStringLiteral("ZEP12650"), {context.patient, code, owner, context.branch, day});
    } else {
        cdsProdVerMedica->SetData(Consiste::CheckResultServ(
            services_.net->AppServer("GetVerMedica", {context.patient, context.branch, context.day, code})));
        if (!cdsProdVerMedica->IsEmpty())
            Vorlane::LoadBPL(QStringLiteral("ZEP12650"), {context.patient, code, QString(), context.branch, day});
    }
}

}  // namespace survey

// The items grid: columns, entry, the checks and completions run when a
// column is left, keys, and the lookups behind the column buttons.
#include "survey/ItemsPage.h"

#include "host/connection/ADOIBQuery.h"
#include "host/connection/NetConnection.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Lookups.h"
#include "host/core/BrNumber.h"
#include "host/core/Failures.h"
#include "host/core/Focus.h"
#include "host/core/Session.h"
#include "host/routines/Consiste.h"
#include "host/routines/Vorlane.h"
#include "survey/ItemsPageParts.h"
#include "survey/PanelParts.h"
#include "survey/RecentFoods.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>

using namespace hostfw;
using namespace survey::parts;
using namespace survey::itemspage;

namespace survey {

void ItemsPage::setupItemsGrid() {
    dbgProdPrat->SetOptions(dgEditing | dgTitles | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                            dgConfirmDelete | dgCancelOnExit | dgEnterNextRow);
    dbgProdPrat->SetColor(palette().color(QPalette::ToolTipBase));
    dbgProdPrat->SetTitleFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    struct Col {
        const char* field;
        const char* title;
        int width;
        bool readOnly;
    };
    const Col cols[] = {{"IDTIPOINQUER", "Tipo", 56, false},
                        {"CDPRATPROD", "Código", 94, false},
                        {"NMPRATPROD", "Nome", 153, true},
                        {"SGUNIDADE", "UN", 34, true},
                        {"CDMEDICASE", "Medida de Porcionamento", 130, false},
                        {"QTALIMMEDCAS", "Quantidade", -1, false},
                        {"QTALIMINQUER", "Quantidade Total", 90, true},
                        {"IDVERMEDICA", "  ", 21, true}};
    // The widths are a minimum: a heading is never cut, whatever the font.
    const QFontMetrics titles(dbgProdPrat->TitleFont());
    const int margin = 2 * dbgProdPrat->horizontalHeader()->style()->pixelMetric(QStyle::PM_HeaderMargin) + 2;
    for (const Col& c : cols) {
        TColumn* column = dbgProdPrat->AddColumn(QString::fromLatin1(c.field));
        column->SetTitle(QString::fromUtf8(c.title));
        const int needed = titles.horizontalAdvance(column->Title()) + margin;
        // Without a width of its own, a column is as wide as a quantity of thousands.
        const int own = c.width > 0 ? c.width : dbgProdPrat->fontMetrics().horizontalAdvance(QStringLiteral("99.999,999")) + 8;
        column->SetWidth(std::max(own, needed));
        column->SetReadOnly(c.readOnly);
    }
    dbgProdPrat->ColumnByField(QStringLiteral("NMPRATPROD"))->SetStretch(true);
    TColumn* type = dbgProdPrat->ColumnByField(kType);
    type->SetPickList({msg("Produto"), msg("Prato")});
    type->SetButtonStyle(TColumnButtonStyle::cbsNone);
    dbgProdPrat->ColumnByField(kCode)->SetButtonStyle(TColumnButtonStyle::cbsNone);
    // Letters typed as a code or measure search by name; Enter's next row keeps the type.
    dbgProdPrat->ColumnByField(kCode)->SetSearchOnLetters(true);
    dbgProdPrat->ColumnByField(kMeasure)->SetSearchOnLetters(true);
    type->SetKeepOnNewRow(true);
    dbgProdPrat->ColumnByField(kMeasure)->SetButtonStyle(TColumnButtonStyle::cbsEllipsis);
    for (const char* hidden : {"CDPACIENTE", "DTINIINQU", "DTFININQU", "DTINQUERITO", "CDFILIAL", "CDSERVFILI",
                               "CDFILAUXPRAT", "NRSEQUINQUER", "HRSERVINQ", "NMMEDICASE", "CDPRATPRODAUX"})
        item(hidden)->Visible = false;
    // Quantities shown with three decimals, typed as plain numbers.
    auto threeDecimals = [](TField* f, QString& text, bool display) {
        if (f->IsNull())
            text.clear();
        else
            text = display ? FormatFixed(f->AsFloat(), 3)
                           : f->AsString();
    };
    item("QTALIMMEDCAS")->OnGetText = threeDecimals;
    item("QTALIMINQUER")->OnGetText = threeDecimals;
    // The interaction column shows a mark, never the server's flag itself.
    item("IDVERMEDICA")->OnGetText = [](TField*, QString& text, bool) { text.clear(); };

    dbgProdPrat->OnColEnter = [this] { dbgProdPratColEnter(); };
    dbgProdPrat->OnColExit = [this] { dbgProdPratColExit(); };
    dbgProdPrat->OnKeyDown = [this](int& key, Qt::KeyboardModifiers shift) { dbgProdPratKeyDown(key, shift); };
    dbgProdPrat->OnKeyPress = [this](QChar& key) { dbgProdPratKeyPress(key); };
    dbgProdPrat->OnEditButtonClick = [this] { dbgProdPratEditButtonClick(); };
}

QString ItemsPage::itemColumn() const {
    TField* f = dbgProdPrat->SelectedField();
    return f ? f->FieldName() : QString();
}

// ---------------------------------------------------------------- entry

void ItemsPage::dbgProdPratEnter() {
    Vd_Servico(true);
    if (depInquerito->IsEmpty()) {
        depInquerito->setFocus();
        Consiste::MensErro(msg("Data_Inf"));
    }
    Showavi::Scope busy(6, session().mainWindow);
    GetHora(false);
    saveMealTime();
    LoadItems();
}

// ---------------------------------------------------------------- column moves

void ItemsPage::dbgProdPratColEnter() {
    const TGridOptions options = dbgProdPrat->Options();
    dbgProdPrat->SetOptions(itemColumn() == kInteraction ? options & ~TGridOptions(dgEditing) : options | dgEditing);
}

void ItemsPage::dbgProdPratColExit() {
    // A new row that got nothing yet may be left freely; the grid drops it.
    if (cdsProdPrat->InsertedRowUntouched()) return;
    Vd_Tipo();
    const QString column = itemColumn();
    if (column == kType && cdsProdPrat->State() == TDataSetState::dsInsert) {
        item("CDPRATPROD")->Clear();
        item("NMPRATPROD")->Clear();
        item("SGUNIDADE")->Clear();
    }
    if (!cdsProdPrat->Editing()) return;
    if (column == kCode)
        codeExit(itemKind());
    else if (column == kMeasure)
        measureExit(itemKind());
    else if (column == kPortions)
        storeTotalQuantity(false);
}

TADOIBQuery* ItemsPage::codeQuery(ItemKind kind) const {
    return kind == ItemKind::Dish ? qryValidaPrato : qryValidaProduto;
}

void ItemsPage::runCodeQuery(ItemKind kind, const QString& code) {
    TADOIBQuery* q = codeQuery(kind);
    q->Close();
    if (kind == ItemKind::Dish) {
        q->ParamByName("P_CDPRATO").SetAsString(code);
        q->ParamByName("P_CDFILIAL").SetAsString(context().branch);
    } else {
        q->ParamByName("P_CDARVPROD").SetAsString(code);
    }
    q->Open();
}

void ItemsPage::codeExit(ItemKind kind) {
    TField* code = item("CDPRATPROD");
    if (Consiste::EmptyString(code->AsString())) {
        item("NMPRATPROD")->Clear();
        item("SGUNIDADE")->Clear();
        return;
    }
    const bool dish = kind == ItemKind::Dish;
    const survey::KindRules& rules = survey::rulesOf(kind);
    refocusOnFailure(code, [&] {
        const QString held = code->AsString();
        runCodeQuery(kind, held);
        QString fitted = held;
        Tabvalid::ValidEx(dish ? dtsPrato : dtsProduto, dish ? 1 : 0, fitted, kValidOption, QString(), true);
        // A code typed with the picture's separators is looked up in its bare form.
        if (fitted != held) {
            runCodeQuery(kind, fitted);
            if (dish) code->SetAsString(fitted);
        }
        TADOIBQuery* found = codeQuery(kind);
        if (found->IsEmpty()) Consiste::MensErro(msg(rules.unknownCode));
        // A product is completed before its duplicate check, a dish after it.
        if (!dish) {
            item("NMPRATPROD")->SetAsString(found->FieldByName("NMPRODUTO")->AsString());
            item("SGUNIDADE")->SetAsString(found->FieldByName("SGUNIDADE")->AsString());
            code->SetAsString(found->FieldByName("CDARVPROD")->AsString());
            item("CDPRATPRODAUX")->SetAsString(found->FieldByName("CDPRODUTO")->AsString());
        }
        const QString owner = dish ? found->FieldByName("CDFILAUXPRAT")->AsString() : QString();
        std::vector<NetArg> args = context().dayArgs();
        if (dish) {
            args.emplace_back(code->AsString());
            args.emplace_back(owner);
        } else {
            args.emplace_back(item("CDPRATPRODAUX")->AsString());
        }
        TClientDataSet* meal = dish ? cdsPesqPrato : cdsPesqProd;
        meal->SetData(Consiste::CheckResultServ(
            services_.net->AppServer(dish ? "GetPesqPrato" : "GetPesqProd", std::move(args))));
        if (survey::refusedAsDuplicate(cdsProdPrat->State() == TDataSetState::dsInsert, !meal->IsEmpty()))
            Consiste::MensErro(msg(rules.duplicate));
        if (dish) {
            item("NMPRATPROD")->SetAsString(found->FieldByName("NMPRATO")->AsString());
            item("SGUNIDADE")->SetAsString(found->FieldByName("SGUNIDADE")->AsString());
            item("CDFILAUXPRAT")->SetAsString(owner);
        }
    });
}

TADOIBQuery* ItemsPage::measureQuery(ItemKind kind, const QString& measure, bool all) {
    const bool dish = kind == ItemKind::Dish;
    TADOIBQuery* q = dish ? qryMedicasePrato : qryMedicaseProd;
    q->Close();
    if (dish)
        q->ParamByName("P_CDPRATO").SetAsString(item("CDPRATPROD")->AsString());
    else
        q->ParamByName("P_CDPRODUTO").SetAsString(item("CDPRATPRODAUX")->AsString());
    q->ParamByName("P_CDMEDICASE").SetAsString(measure);
    q->ParamByName("P_TCDMEDICASE").SetAsString(all ? QStringLiteral("T") : QString());
    q->Open();
    return q;
}

void ItemsPage::measureExit(ItemKind kind) {
    TField* measure = item("CDMEDICASE");
    if (Consiste::EmptyString(measure->AsString())) return;
    measure->SetAsString(survey::fittedMeasure(measure->AsString()));
    TADOIBQuery* q = measureQuery(kind, measure->AsString(), false);
    if (q->IsEmpty()) {
        item("NMMEDICASE")->Clear();
        stopAt("CDMEDICASE", msg(survey::rulesOf(kind).unknownMeasure));
    }
    item("NMMEDICASE")->SetAsString(q->FieldByName("NMMEDICASE")->AsString());
}

void ItemsPage::storeTotalQuantity(bool posting) {
    const ItemKind kind = itemKind();
    const bool dish = kind == ItemKind::Dish;
    TADOIBQuery* q = dish ? qryQuantPrato : qryQuantProd;
    q->Close();
    if (dish)
        q->ParamByName("P_CDPRATO").SetAsString(item("CDPRATPROD")->AsString());
    else
        q->ParamByName("P_CDPRODUTO").SetAsString(item("CDPRATPRODAUX")->AsString());
    q->ParamByName("P_CDMEDICASE").SetAsString(item("CDMEDICASE")->AsString());
    q->Open();
    if (Consiste::GridText(dbgProdPrat, kPortions, false).isEmpty()) return;
    const double weight = q->IsEmpty() ? 0.0 : q->FieldByName(survey::rulesOf(kind).weightField)->AsFloat();
    const survey::TotalQuantity total = survey::totalQuantity(kind, item("QTALIMMEDCAS")->AsFloat(), weight);
    if (total.stop) {
        // Leaving the quantity keeps the cursor there; a post may stand elsewhere.
        const bool stays = !posting && QLatin1String(total.stop->field) == kPortions;
        if (!stays) item(total.stop->field)->FocusControl();
        Consiste::MensErro(msg(total.stop->key));
    }
    item("QTALIMINQUER")->SetAsFloat(total.total);
}

// ---------------------------------------------------------------- keys

void ItemsPage::dbgProdPratKeyDown(int& key, Qt::KeyboardModifiers shift) {
    if (key == Qt::Key_Delete) {
        key = 0;
        return;
    }
    const QString column = itemColumn();
    if (column == kInteraction) {
        if (key == Qt::Key_Space) {
            key = 0;
            dbgProdPratDblClick();
            return;
        }
        const TGridOptions options = dbgProdPrat->Options();
        const bool on = key == Qt::Key_Down || key == Qt::Key_Tab;
        dbgProdPrat->SetOptions(on ? options | dgEditing : options & ~TGridOptions(dgEditing));
        return;
    }
    // The type is chosen from its list: Alt+Down or F4 opens it from the keyboard.
    const bool openList = key == Qt::Key_F4 || (key == Qt::Key_Down && (shift & Qt::AltModifier));
    if (column == kType && openList && !dbgProdPrat->EditorMode() && cdsProdPrat->State() == TDataSetState::dsInsert) {
        dbgProdPrat->SetEditorMode(true);
        if (QComboBox* list = dbgProdPrat->InplacePickList()) {
            key = 0;
            list->showPopup();
        }
    }
}

void ItemsPage::dbgProdPratKeyPress(QChar& key) {
    TField* field = dbgProdPrat->SelectedField();
    if (!field) return;
    const bool protectedCell = field->Tag == 1 && cdsProdPrat->State() != TDataSetState::dsInsert;
    if (protectedCell && key != QLatin1Char('\t') && key != QLatin1Char('\r')) {
        key = QChar();
        return;
    }
    const QString column = field->FieldName();
    if (column == kPortions) {
        if (QStringLiteral("*+-/").contains(key)) {
            key = QChar();
            return;
        }
        if (key == QLatin1Char(',')) {
            const QString text = Consiste::GridText(dbgProdPrat, kPortions, false);
            if (text.isEmpty() || text.contains(QLatin1Char(','))) {
                key = QChar();
                return;
            }
        }
    }
    if (column == kType || key == QLatin1Char('-')) key = QChar();
}

// ---------------------------------------------------------------- lookups

void ItemsPage::dbgProdPratEditButtonClick() {
    const QString type = item("IDTIPOINQUER")->AsString();
    if (Consiste::EmptyString(type)) return;
    const ItemKind kind = survey::itemKindOf(type);
    const QString column = itemColumn();
    bool chosen = false;
    if (column == kCode) {
        if (cdsProdPrat->State() != TDataSetState::dsInsert) return;
        chosen = kind == ItemKind::Dish ? lookUpDish() : lookUpProduct();
    } else if (column == kMeasure) {
        chosen = lookUpMeasure(kind);
    }
    if (chosen && dbgProdPrat->EditorMode()) {
        // The editor shows the choice, not what was typed before the lookup.
        dbgProdPrat->SetEditorMode(false);
        dbgProdPrat->SetEditorMode(true);
    }
}

bool ItemsPage::lookUpProduct() {
    qryProduto->Close();
    qryProduto->ParamByName("P_NVPRODUTO").SetAsString(QString::number(Vorlane::DBPictObj(0).GetTtNiveis()));
    survey::setRecentFoodParams(qryProduto, recentFoods_.codes(context(), ItemKind::Product));
    qryProduto->Open();
    if (!Pesquisa::Pesquisar_Plus(dtsProduto, msg("Produto") + "|" + msg("NProduto"), false, true,
                                  dbgProdPrat->SearchText()))
        return false;
    item("CDPRATPROD")->SetAsString(qryProduto->FieldByName("CDARVPROD")->AsString());
    item("CDPRATPRODAUX")->SetAsString(qryProduto->FieldByName("CDPRODUTO")->AsString());
    item("NMPRATPROD")->SetAsString(qryProduto->FieldByName("NMPRODUTO")->AsString());
    item("SGUNIDADE")->SetAsString(qryProduto->FieldByName("SGUNIDADE")->AsString());
    return true;
}

bool ItemsPage::lookUpDish() {
    qryPrato->Close();
    qryPrato->ParamByName("P_CDFILIAL").SetAsString(context().branch);
    qryPrato->ParamByName("P_NVPRATO").SetAsString(QString::number(Vorlane::DBPictObj(1).GetTtNiveis()));
    survey::setRecentFoodParams(qryPrato, recentFoods_.codes(context(), ItemKind::Dish));
    qryPrato->Open();
    if (!Pesquisa::Pesquisar_Plus(dtsPrato, msg("Prato") + "|" + msg("NPrato"), false, true,
                                  dbgProdPrat->SearchText()))
        return false;
    item("CDPRATPROD")->SetAsString(qryPrato->FieldByName("CDPRATO")->AsString());
    item("NMPRATPROD")->SetAsString(qryPrato->FieldByName("NMPRATO")->AsString());
    item("SGUNIDADE")->SetAsString(qryPrato->FieldByName("SGUNIDADE")->AsString());
    item("CDFILAUXPRAT")->SetAsString(qryPrato->FieldByName("CDFILAUXPRAT")->AsString());
    item("CDPRATPRODAUX")->SetAsString(qryPrato->FieldByName("CDPRATO")->AsString());
    return true;
}

bool ItemsPage::lookUpMeasure(ItemKind kind) {
    if (cdsProdPrat->State() == TDataSetState::dsBrowse) cdsProdPrat->Edit();
    TADOIBQuery* q = measureQuery(kind, QString(), true);
    const QString caption = msg("Med") + "|" + msg(survey::rulesOf(kind).measureList);
    if (!Pesquisa::Pesquisar(kind == ItemKind::Dish ? dtsMediCasePrato : dtsMediCaseProd, caption, false, true,
                             dbgProdPrat->SearchText()))
        return false;
    if (cdsProdPrat->State() == TDataSetState::dsBrowse) cdsProdPrat->Edit();
    item("NMMEDICASE")->SetAsString(q->FieldByName("NMMEDICASE")->AsString());
    item("CDMEDICASE")->SetAsString(q->FieldByName("CDMEDICASE")->AsString());
    return true;
}

}  // namespace survey

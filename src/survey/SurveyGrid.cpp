// The items grid: columns, keys, the checks and completions run when a
// column is left, the lookups behind the column buttons and the grid's entry.
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/controls/Lookups.h"
#include "host/routines/Consiste.h"
#include "host/routines/Vorlane.h"
#include "host/data/DBGrid.h"
#include "survey/Cli_Zep12600.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include "host/core/BrNumber.h"

using namespace hostfw;

namespace {

// The one validation option the screen passes to Tabvalid::ValidEx.
constexpr int kValidOption = 0;

const QString kType = QStringLiteral("IDTIPOINQUER");
const QString kCode = QStringLiteral("CDPRATPROD");
const QString kMeasure = QStringLiteral("CDMEDICASE");
const QString kPortions = QStringLiteral("QTALIMMEDCAS");
const QString kInteraction = QStringLiteral("IDVERMEDICA");

// Runs a step; on any failure puts the focus on the field's column and lets the failure go on.
template <typename F>
void refocusOnFailure(TField* field, F step) {
    try {
        step();
    } catch (...) {
        field->FocusControl();
        throw;
    }
}

}  // namespace

void TfrmInquerito::setupItemsGrid() {
    dbgProdPrat->SetOptions(dgEditing | dgTitles | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                            dgConfirmDelete | dgCancelOnExit);
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
    type->SetPickList({msgPadrao->Msg("Produto"), msgPadrao->Msg("Prato")});
    type->SetButtonStyle(TColumnButtonStyle::cbsNone);
    dbgProdPrat->ColumnByField(kCode)->SetButtonStyle(TColumnButtonStyle::cbsNone);
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

QString TfrmInquerito::itemColumn() const {
    TField* f = dbgProdPrat->SelectedField();
    return f ? f->FieldName() : QString();
}

// ---------------------------------------------------------------- entry

void TfrmInquerito::dbgProdPratEnter() {
    Vd_Servico(true);
    if (depInquerito->IsEmpty()) {
        depInquerito->setFocus();
        Consiste::MensErro(msgPadrao->Msg("Data_Inf"));
    }
    Showavi::Scope busy(6, mainWindow());
    GetHora(false);
    saveMealTime();
    LoadItems();
}

// ---------------------------------------------------------------- column moves

void TfrmInquerito::dbgProdPratColEnter() {
    const TGridOptions options = dbgProdPrat->Options();
    dbgProdPrat->SetOptions(itemColumn() == kInteraction ? options & ~TGridOptions(dgEditing) : options | dgEditing);
}

void TfrmInquerito::dbgProdPratColExit() {
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
    const bool dish = itemIsDish();
    if (column == kCode) {
        if (dish)
            dishCodeExit();
        else
            productCodeExit();
    } else if (column == kMeasure) {
        measureExit(dish);
    } else if (column == kPortions) {
        storeTotalQuantity(false);
    }
}

void TfrmInquerito::productCodeExit() {
    TField* code = item("CDPRATPROD");
    if (Consiste::EmptyString(code->AsString())) {
        item("NMPRATPROD")->Clear();
        item("SGUNIDADE")->Clear();
        return;
    }
    refocusOnFailure(code, [&] {
        const QString held = code->AsString();
        auto check = [this](const QString& treeCode) {
            qryValidaProduto->Close();
            qryValidaProduto->ParamByName("P_CDARVPROD").SetAsString(treeCode);
            qryValidaProduto->Open();
        };
        check(held);
        QString fitted = held;
        Tabvalid::ValidEx(dtsProduto, 0, fitted, kValidOption, QString(), true);
        // A code typed with the picture's separators is looked up in its bare form.
        if (fitted != held) check(fitted);
        if (qryValidaProduto->IsEmpty()) Consiste::MensErro(msgPadrao->Msg("Produto_Inv"));
        item("NMPRATPROD")->SetAsString(qryValidaProduto->FieldByName("NMPRODUTO")->AsString());
        item("SGUNIDADE")->SetAsString(qryValidaProduto->FieldByName("SGUNIDADE")->AsString());
        code->SetAsString(qryValidaProduto->FieldByName("CDARVPROD")->AsString());
        item("CDPRATPRODAUX")->SetAsString(qryValidaProduto->FieldByName("CDPRODUTO")->AsString());
        std::vector<NetArg> args = surveyContext().dayArgs();
        args.emplace_back(item("CDPRATPRODAUX")->AsString());
        cdsPesqProd->SetData(Consiste::CheckResultServ(netInquerito->AppServer("GetPesqProd", std::move(args))));
        if (cdsProdPrat->State() == TDataSetState::dsInsert && !cdsPesqProd->IsEmpty())
            Consiste::MensErro(msgPadrao->Msg("Produto_NCad"));
    });
}

void TfrmInquerito::dishCodeExit() {
    TField* code = item("CDPRATPROD");
    if (Consiste::EmptyString(code->AsString())) {
        item("NMPRATPROD")->Clear();
        item("SGUNIDADE")->Clear();
        return;
    }
    refocusOnFailure(code, [&] {
        const QString held = code->AsString();
        auto check = [this](const QString& dishCode) {
            qryValidaPrato->Close();
            qryValidaPrato->ParamByName("P_CDPRATO").SetAsString(dishCode);
            qryValidaPrato->ParamByName("P_CDFILIAL").SetAsString(medFilial->Text());
            qryValidaPrato->Open();
        };
        check(held);
        QString fitted = held;
        Tabvalid::ValidEx(dtsPrato, 1, fitted, kValidOption, QString(), true);
        if (fitted != held) {
            check(fitted);
            code->SetAsString(fitted);
        }
        if (qryValidaPrato->IsEmpty()) Consiste::MensErro(msgPadrao->Msg("Prato_Inv"));
        const QString owner = qryValidaPrato->FieldByName("CDFILAUXPRAT")->AsString();
        std::vector<NetArg> args = surveyContext().dayArgs();
        args.emplace_back(code->AsString());
        args.emplace_back(owner);
        cdsPesqPrato->SetData(Consiste::CheckResultServ(netInquerito->AppServer("GetPesqPrato", std::move(args))));
        if (cdsProdPrat->State() == TDataSetState::dsInsert && !cdsPesqPrato->IsEmpty())
            Consiste::MensErro(msgPadrao->Msg("Prato_JCad"));
        item("NMPRATPROD")->SetAsString(qryValidaPrato->FieldByName("NMPRATO")->AsString());
        item("SGUNIDADE")->SetAsString(qryValidaPrato->FieldByName("SGUNIDADE")->AsString());
        item("CDFILAUXPRAT")->SetAsString(owner);
    });
}

void TfrmInquerito::measureExit(bool dish) {
    TField* measure = item("CDMEDICASE");
    if (Consiste::EmptyString(measure->AsString())) return;
    measure->SetAsString(Consiste::Ajusta(measure->AsString(), 5));
    TADOIBQuery* q = dish ? qryMedicasePrato : qryMedicaseProd;
    q->Close();
    if (dish)
        q->ParamByName("P_CDPRATO").SetAsString(item("CDPRATPROD")->AsString());
    else
        q->ParamByName("P_CDPRODUTO").SetAsString(item("CDPRATPRODAUX")->AsString());
    q->ParamByName("P_CDMEDICASE").SetAsString(measure->AsString());
    q->ParamByName("P_TCDMEDICASE").SetAsString(QString());
    q->Open();
    if (q->IsEmpty()) {
        item("NMMEDICASE")->Clear();
        stopAt("CDMEDICASE", msgPadrao->Msg(dish ? "Med_InvPrat" : "Med_Inv"));
    }
    item("NMMEDICASE")->SetAsString(q->FieldByName("NMMEDICASE")->AsString());
}

void TfrmInquerito::storeTotalQuantity(bool posting) {
    const bool dish = itemIsDish();
    TADOIBQuery* q = dish ? qryQuantPrato : qryQuantProd;
    q->Close();
    if (dish)
        q->ParamByName("P_CDPRATO").SetAsString(item("CDPRATPROD")->AsString());
    else
        q->ParamByName("P_CDPRODUTO").SetAsString(item("CDPRATPRODAUX")->AsString());
    q->ParamByName("P_CDMEDICASE").SetAsString(item("CDMEDICASE")->AsString());
    q->Open();
    if (Consiste::GridText(dbgProdPrat, kPortions, false).isEmpty()) return;
    const double portions = item("QTALIMMEDCAS")->AsFloat();
    if (Consiste::RoundDec(portions, 3) <= 0) {
        // Leaving the column keeps the cursor there; a post may stand elsewhere.
        if (posting) item("QTALIMMEDCAS")->FocusControl();
        Consiste::MensErro(msgPadrao->Msg(dish ? "Peso_Prat" : "Peso_Prod"));
    }
    const double weight = q->IsEmpty() ? 0.0 : q->FieldByName(dish ? "VRPESOMED" : "VRPESOMEDI")->AsFloat();
    if (!(weight > 0)) stopAt("CDMEDICASE", msgPadrao->Msg("Peso_Medi"));
    item("QTALIMINQUER")->SetAsFloat(portions * weight);
}

// ---------------------------------------------------------------- keys

void TfrmInquerito::dbgProdPratKeyDown(int& key, Qt::KeyboardModifiers shift) {
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

void TfrmInquerito::dbgProdPratKeyPress(QChar& key) {
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

void TfrmInquerito::dbgProdPratEditButtonClick() {
    const QString type = item("IDTIPOINQUER")->AsString();
    if (Consiste::EmptyString(type)) return;
    const bool dish = type == QLatin1String("1");
    const QString column = itemColumn();
    bool chosen = false;
    if (column == kCode) {
        if (cdsProdPrat->State() != TDataSetState::dsInsert) return;
        chosen = dish ? lookUpDish() : lookUpProduct();
    } else if (column == kMeasure) {
        chosen = lookUpMeasure(dish);
    }
    if (chosen && dbgProdPrat->EditorMode()) {
        // The editor shows the choice, not what was typed before the lookup.
        dbgProdPrat->SetEditorMode(false);
        dbgProdPrat->SetEditorMode(true);
    }
}

bool TfrmInquerito::lookUpProduct() {
    qryProduto->Close();
    qryProduto->ParamByName("P_NVPRODUTO").SetAsString(QString::number(Vorlane::DBPictObj(0).GetTtNiveis()));
    qryProduto->Open();
    if (!Pesquisa::Pesquisar_Plus(dtsProduto, msgPadrao->Msg("Produto") + "|" + msgPadrao->Msg("NProduto"), false,
                                  true))
        return false;
    item("CDPRATPROD")->SetAsString(qryProduto->FieldByName("CDARVPROD")->AsString());
    item("CDPRATPRODAUX")->SetAsString(qryProduto->FieldByName("CDPRODUTO")->AsString());
    item("NMPRATPROD")->SetAsString(qryProduto->FieldByName("NMPRODUTO")->AsString());
    item("SGUNIDADE")->SetAsString(qryProduto->FieldByName("SGUNIDADE")->AsString());
    return true;
}

bool TfrmInquerito::lookUpDish() {
    qryPrato->Close();
    qryPrato->ParamByName("P_CDFILIAL").SetAsString(medFilial->Text());
    qryPrato->ParamByName("P_NVPRATO").SetAsString(QString::number(Vorlane::DBPictObj(1).GetTtNiveis()));
    qryPrato->Open();
    if (!Pesquisa::Pesquisar_Plus(dtsPrato, msgPadrao->Msg("Prato") + "|" + msgPadrao->Msg("NPrato"), false, true))
        return false;
    item("CDPRATPROD")->SetAsString(qryPrato->FieldByName("CDPRATO")->AsString());
    item("NMPRATPROD")->SetAsString(qryPrato->FieldByName("NMPRATO")->AsString());
    item("SGUNIDADE")->SetAsString(qryPrato->FieldByName("SGUNIDADE")->AsString());
    item("CDFILAUXPRAT")->SetAsString(qryPrato->FieldByName("CDFILAUXPRAT")->AsString());
    item("CDPRATPRODAUX")->SetAsString(qryPrato->FieldByName("CDPRATO")->AsString());
    return true;
}

bool TfrmInquerito::lookUpMeasure(bool dish) {
    if (cdsProdPrat->State() == TDataSetState::dsBrowse) cdsProdPrat->Edit();
    TADOIBQuery* q = dish ? qryMedicasePrato : qryMedicaseProd;
    q->Close();
    if (dish)
        q->ParamByName("P_CDPRATO").SetAsString(item("CDPRATPROD")->AsString());
    else
        q->ParamByName("P_CDPRODUTO").SetAsString(item("CDPRATPRODAUX")->AsString());
    q->ParamByName("P_CDMEDICASE").SetAsString(QString());
    q->ParamByName("P_TCDMEDICASE").SetAsString(QStringLiteral("T"));
    q->Open();
    const QString caption = msgPadrao->Msg("Med") + "|" + msgPadrao->Msg(dish ? "NCad_MedPrat" : "NCad_Med");
    if (!Pesquisa::Pesquisar(dish ? dtsMediCasePrato : dtsMediCaseProd, caption, false, true)) return false;
    if (cdsProdPrat->State() == TDataSetState::dsBrowse) cdsProdPrat->Edit();
    item("NMMEDICASE")->SetAsString(q->FieldByName("NMMEDICASE")->AsString());
    item("CDMEDICASE")->SetAsString(q->FieldByName("CDMEDICASE")->AsString());
    return true;
}

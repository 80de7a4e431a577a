// Intake items of one day and service: the items grid and the loading of items.
#include "host/core/BrNumber.h"
#include "host/core/Consiste.h"
#include "host/data/DBGrid.h"
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/controls/MaskEdit.h"
#include "host/core/Vorlane.h"
#include "survey/Cli_Zep12600.h"


using namespace hostfw;

void TfrmInquerito::setupItemsGrid() {
    dbgProdPrat->SetOptions(dgEditing | dgTitles | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                            dgConfirmDelete | dgCancelOnExit);
    dbgProdPrat->SetColor(palette().color(QPalette::ToolTipBase));
    QFont title(QStringLiteral("MS Sans Serif"), 8);
    dbgProdPrat->SetTitleFont(title);
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
    for (const Col& c : cols) {
        TColumn* column = dbgProdPrat->AddColumn(QString::fromLatin1(c.field));
        column->SetTitle(QString::fromUtf8(c.title));
        if (c.width > 0) column->SetWidth(c.width);
        column->SetReadOnly(c.readOnly);
    }
    TColumn* type = dbgProdPrat->ColumnByField("IDTIPOINQUER");
    type->SetPickList({QStringLiteral("Produto"), QStringLiteral("Prato")});
    type->SetButtonStyle(TColumnButtonStyle::cbsNone);
    dbgProdPrat->ColumnByField("CDPRATPROD")->SetButtonStyle(TColumnButtonStyle::cbsNone);
    dbgProdPrat->ColumnByField("CDMEDICASE")->SetButtonStyle(TColumnButtonStyle::cbsEllipsis);
    for (const char* hidden : {"CDPACIENTE", "DTINIINQU", "DTFININQU", "DTINQUERITO", "CDFILIAL", "CDSERVFILI",
                               "CDFILAUXPRAT", "NRSEQUINQUER", "HRSERVINQ", "NMMEDICASE", "CDPRATPRODAUX"})
        cdsProdPrat->FieldByName(QString::fromLatin1(hidden))->Visible = false;
    // The type is shown by name.
    cdsProdPrat->FieldByName("IDTIPOINQUER")->OnGetText = [](TField* f, QString& text, bool) {
        const QString v = f->IsNull() ? QString() : f->Value().toString();
        text = v == QLatin1String("0") ? QStringLiteral("Produto") : v == QLatin1String("1") ? QStringLiteral("Prato")
                                                                                           : QString();
    };
    cdsProdPrat->FieldByName("IDTIPOINQUER")->OnSetText = [](TField* f, const QString& text) {
        if (text == QLatin1String("Produto"))
            f->SetAsString(QStringLiteral("0"));
        else if (text == QLatin1String("Prato"))
            f->SetAsString(QStringLiteral("1"));
        else
            f->Clear();
    };
    // Quantities shown with three decimals, typed as plain numbers.
    auto threeDecimals = [](TField* f, QString& text, bool display) {
        if (f->IsNull())
            text.clear();
        else
            text = display ? FormatFixed(f->AsFloat(), 3)
                           : f->AsString();
    };
    cdsProdPrat->FieldByName("QTALIMMEDCAS")->OnGetText = threeDecimals;
    // The interaction column shows a mark, never the server's flag itself.
    cdsProdPrat->FieldByName("IDVERMEDICA")->OnGetText = [](TField*, QString& text, bool) { text.clear(); };
    cdsProdPrat->FieldByName("QTALIMINQUER")->OnGetText = threeDecimals;
}

survey::SurveyContext TfrmInquerito::surveyContext() const {
    survey::SurveyContext c;
    c.branch = medFilial->Text();
    c.patient = edtCdPaciente->Text();
    if (cdsInqPaci->Active() && !cdsInqPaci->IsEmpty()) {
        c.periodStart = cdsInqPaciDTINIINQU->AsDate();
        c.periodEnd = cdsInqPaciDTFININQU->AsDate();
    }
    c.service = edtCdServico->Text();
    if (depInquerito->Date().isValid()) c.day = depInquerito->Date();
    return c;
}

void TfrmInquerito::LoadItems() {
    const survey::SurveyContext context = surveyContext();
    // Items belong to a service and a day; without both there is nothing to show.
    if (!context.hasDay()) {
        if (cdsProdPrat->Active()) cdsProdPrat->EmptyDataSet();
        return;
    }
    cdsProdPrat->SetData(Consiste::CheckResultServ(netInquerito->AppServer("GetItemProd", context.dayArgs())));
}

void TfrmInquerito::dbgProdPratEnter() {
    Vd_Servico(true);
    if (depInquerito->IsEmpty()) {
        depInquerito->setFocus();
        Consiste::MensErro(msgPadrao->Msg("Data_Inf"));
    }
    Showavi::Scope busy(6, mainWindow());
    GetHora(false);
    const QString typed = strippedMealTime();
    if (storedMealTime() != typed) {
        QString time = typed;
        const survey::SurveyContext context = surveyContext();
        std::vector<NetArg> args = context.dayArgs();
        args.push_back(NetArg::ref(time));
        Consiste::CheckResultServ(netInquerito->AppServer("SetHoraItem", std::move(args)));
        cdsHorario->SetData(Consiste::CheckResultServ(netInquerito->AppServer("GetHoraItem", context.dayArgs())));
    }
    LoadItems();
}

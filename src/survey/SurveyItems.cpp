// Intake items of one day and service: the item record's events and texts,
// loading, the post check and saving.
#include "host/controls/DateEditPlus.h"
#include "host/controls/Edits.h"
#include "host/controls/MaskEdit.h"
#include "host/routines/Consiste.h"
#include "host/core/Failures.h"
#include "host/routines/Vorlane.h"
#include "host/data/DBGrid.h"
#include "survey/Cli_Zep12600.h"
#include "survey/SurveyNotice.h"
#include "survey/SendChanges.h"

using namespace hostfw;

TField* TfrmInquerito::item(const char* fieldName) const {
    return cdsProdPrat->FieldByName(QString::fromLatin1(fieldName));
}

survey::ItemKind TfrmInquerito::itemKind() const { return survey::itemKindOf(item("IDTIPOINQUER")->AsString()); }

void TfrmInquerito::stopAt(const char* fieldName, const QString& text) {
    item(fieldName)->FocusControl();
    Consiste::MensErro(text);
}

void TfrmInquerito::postStopAt(const char* fieldName, const char* key) {
    // Moving the cursor leaves a column like any move: its completions and
    // its duplicate check run first, and their stop comes first.
    if (itemColumn() != QLatin1String(fieldName)) dbgProdPratColExit();
    stopAt(fieldName, msgPadrao->Msg(key));
}

void TfrmInquerito::settlePendingItem() {
    if (!cdsProdPrat->Active() || !cdsProdPrat->Editing()) return;
    dbgProdPrat->UpdateData();
    if (cdsProdPrat->InsertedRowUntouched()) {
        dbgProdPrat->SetEditorMode(false);
        cdsProdPrat->Cancel();
        return;
    }
    cdsProdPrat->Post();
}

void TfrmInquerito::bindItemEvents() {
    cdsProdPrat->BeforeInsert = [this](TClientDataSet*) { cdsProdPratBeforeInsert(); };
    // The stamp is a default of the new row, so a row the user left untouched
    // is still dropped when the focus leaves the grid.
    cdsProdPrat->OnNewRecord = [this](TClientDataSet*) { cdsProdPratAfterInsert(); };
    cdsProdPrat->BeforePost = [this](TClientDataSet*) { cdsProdPratBeforePost(); };
    cdsProdPrat->AfterPost = [this](TClientDataSet*) {
        cdsProdPratAfterPostOrDelete();
        survey::noticePostedItem(*this);  // warnings: a clashing item is named at once (SurveyNotice.cpp)
    };
    cdsProdPrat->AfterDelete = [this](TClientDataSet*) { cdsProdPratAfterPostOrDelete(); };
    cdsProdPrat->AfterCancel = [this](TClientDataSet*) { cdsProdPratAfterCancel(); };
    item("IDTIPOINQUER")->OnGetText = [this](TField* f, QString& text, bool) {
        cdsProdPratIDTIPOINQUERGetText(f, text);
    };
    item("IDTIPOINQUER")->OnSetText = [this](TField* f, const QString& text) {
        cdsProdPratIDTIPOINQUERSetText(f, text);
    };
    item("CDPRATPROD")->OnGetText = [this](TField* f, QString& text, bool display) {
        cdsProdPratCDPRATPRODGetText(f, text, display);
    };
    item("CDPRATPROD")->OnChange = [this](TField*) { cdsProdPratCDPRATPRODChange(); };
}

void TfrmInquerito::cdsProdPratIDTIPOINQUERGetText(TField* field, QString& text) {
    const QString value = field->AsString();
    if (value.startsWith(QLatin1Char('0')))
        text = msgPadrao->Msg("Produto");
    else if (value.startsWith(QLatin1Char('1')))
        text = msgPadrao->Msg("Prato");
    else
        text.clear();
}

void TfrmInquerito::cdsProdPratIDTIPOINQUERSetText(TField* field, const QString& text) {
    if (text == msgPadrao->Msg("Produto"))
        field->SetAsString(QStringLiteral("0"));
    else if (text == msgPadrao->Msg("Prato"))
        field->SetAsString(QStringLiteral("1"));
}

void TfrmInquerito::cdsProdPratCDPRATPRODGetText(TField* field, QString& text, bool display) {
    const QString type = item("IDTIPOINQUER")->AsString();
    const QString code = field->AsString();
    if (type != QLatin1String("0") && type != QLatin1String("1")) {
        text.clear();
        return;
    }
    // The editor holds the bare code the user types; the cell shows it through the picture.
    text = display ? FormatMaskText(Vorlane::DBPict(type == QLatin1String("1") ? 1 : 0), code.trimmed()) : code;
}

void TfrmInquerito::cdsProdPratCDPRATPRODChange() {
    if (!cdsProdPrat->Editing()) return;
    TField* code = item("CDPRATPROD");
    const QVariant saved = code->OldValue();
    const bool same = !saved.isNull() && !code->IsNull() && saved.toString() == code->AsString();
    if (same) return;
    item("NMMEDICASE")->Clear();
    item("CDMEDICASE")->Clear();
}

void TfrmInquerito::Vd_Tipo() {
    if (!cdsProdPrat->Editing() || !Consiste::EmptyString(item("IDTIPOINQUER")->AsString())) return;
    item("CDMEDICASE")->Clear();
    stopAt("IDTIPOINQUER", msgPadrao->Msg("tp_Inf"));
}

void TfrmInquerito::cdsProdPratBeforeInsert() { item("IDTIPOINQUER")->FocusControl(); }

void TfrmInquerito::cdsProdPratAfterInsert() { item("HRSERVINQ")->SetAsString(strippedMealTime()); }

void TfrmInquerito::cdsProdPratBeforePost() {
    Vd_Tipo();
    const survey::ItemEntry entry{item("IDTIPOINQUER")->AsString(), item("CDPRATPROD")->AsString(),
                                  item("CDMEDICASE")->AsString(), item("QTALIMMEDCAS")->Text()};
    if (const auto missing = survey::firstMissing(entry)) postStopAt(missing->field, missing->key);
    dbgProdPratColExit();
    // The stored total always belongs to the measure the row holds, whichever
    // column the row is posted from.
    storeTotalQuantity(true);

    const survey::SurveyContext context = surveyContext();
    item("CDFILIAL")->SetAsString(context.branch);
    item("CDPACIENTE")->SetAsString(context.patient);
    item("DTINIINQU")->SetAsDate(context.periodStart);
    item("DTFININQU")->SetAsDate(context.periodEnd);
    item("CDSERVFILI")->SetAsString(context.service);
    item("DTINQUERITO")->SetAsDate(context.day);

    cdsSeqInquer->SetData(Consiste::CheckResultServ(netInquerito->AppServer(
        "GetSeqInquer", {item("CDFILIAL")->AsString(), item("CDPACIENTE")->AsString(), item("DTINIINQU")->AsDate(),
                         item("DTFININQU")->AsDate(), item("CDSERVFILI")->AsString(), item("DTINQUERITO")->AsDate()})));
    const QString highest =
        cdsSeqInquer->IsEmpty() ? QString() : cdsSeqInquer->FieldByName("NRSEQUINQUER")->AsString().trimmed();
    bool ok = false;
    const int number = highest.toInt(&ok);
    if (!ok) throw EHostError(QStringLiteral("'%1' não é um valor inteiro válido.").arg(highest));
    item("NRSEQUINQUER")->SetAsString(Consiste::Ajusta(QString::number(number + 1), 3));
}

void TfrmInquerito::cdsProdPratAfterPostOrDelete() {
    const protocol::json stored = survey::sendChanges(netInquerito, "SetItemPrato", cdsProdPrat, mainWindow());
    // The server may have stored the row under another number than the one
    // proposed (another client took it meanwhile): the row takes the server's.
    if (stored.is_object()) cdsProdPrat->AdoptSavedRow(stored);
}

void TfrmInquerito::cdsProdPratAfterCancel() { cdsProdPrat->CancelUpdates(); }

survey::SurveyContext TfrmInquerito::surveyContext() const {
    survey::SurveyContext c;
    c.branch = medFilial->Text();
    c.patient = edtCdPaciente->Text();
    c.patientName = edtNmPaciente->Text();
    if (cdsInqPaci->Active() && !cdsInqPaci->IsEmpty()) {
        c.periodStart = cdsInqPaciDTINIINQU->AsDate();
        c.periodEnd = cdsInqPaciDTFININQU->AsDate();
    }
    c.service = edtCdServico->Text();
    if (depInquerito->Date().isValid()) c.day = depInquerito->Date();
    return c;
}

void TfrmInquerito::LoadItems() {
    settlePendingItem();
    const survey::SurveyContext context = surveyContext();
    // Items belong to a service and a day; without both there is nothing to show.
    if (!context.hasDay()) {
        forgetWarnings();
        if (cdsProdPrat->Active()) cdsProdPrat->EmptyDataSet();
        return;
    }
    // The marks follow the values the items are read for.
    forgetWarnings();
    // Every caller has the busy indicator (kind 6) on.
    const RemoteResult items = netInquerito->AppServer("GetItemProd", context.dayArgs());
    // The user hears of a failed read once: the repaint that asks for the
    // marks again keeps quiet when it fails too.
    if (!items.ok) warningFailureShown_ = true;
    cdsProdPrat->SetData(Consiste::CheckResultServ(items));
}

// The items of the day and service: their events, the post check, saving
// and loading, and a row being typed settled before anything drops it.
#include "survey/ItemsPage.h"
#include "survey/DayPanel.h"

#include "host/connection/NetConnection.h"
#include "host/controls/MaskPattern.h"
#include "host/core/Failures.h"
#include "host/core/Focus.h"
#include "host/core/Session.h"
#include "host/routines/Consiste.h"
#include "host/routines/Vorlane.h"
#include "survey/ItemsPageParts.h"
#include "survey/PanelParts.h"
#include "survey/SendChanges.h"
#include "survey/SurveyNotice.h"

using namespace hostfw;
using namespace survey::parts;
using namespace survey::itemspage;

namespace survey {

namespace {

using FT = TFieldType;

}  // namespace

void ItemsPage::settlePendingItem() {
    if (!cdsProdPrat->Active() || !cdsProdPrat->Editing()) return;
    dbgProdPrat->UpdateData();
    if (cdsProdPrat->InsertedRowUntouched()) {
        dbgProdPrat->SetEditorMode(false);
        cdsProdPrat->Cancel();
        return;
    }
    cdsProdPrat->Post();
}

void ItemsPage::bindItemEvents() {
    cdsProdPrat->BeforeInsert = [this](TClientDataSet*) { cdsProdPratBeforeInsert(); };
    // The stamp is a default of the new row, so a row the user left untouched
    // is still dropped when the focus leaves the grid.
    cdsProdPrat->OnNewRecord = [this](TClientDataSet*) { cdsProdPratAfterInsert(); };
    cdsProdPrat->BeforePost = [this](TClientDataSet*) { cdsProdPratBeforePost(); };
    cdsProdPrat->AfterPost = [this](TClientDataSet*) { cdsProdPratAfterPost(); };
    cdsProdPrat->AfterDelete = [this](TClientDataSet*) { cdsProdPratAfterDelete(); };
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

void ItemsPage::cdsProdPratIDTIPOINQUERGetText(TField* field, QString& text) {
    const QString value = field->AsString();
    if (value.startsWith(QLatin1Char('0')))
        text = msg("Produto");
    else if (value.startsWith(QLatin1Char('1')))
        text = msg("Prato");
    else
        text.clear();
}

void ItemsPage::cdsProdPratIDTIPOINQUERSetText(TField* field, const QString& text) {
    if (text == msg("Produto"))
        field->SetAsString(QStringLiteral("0"));
    else if (text == msg("Prato"))
        field->SetAsString(QStringLiteral("1"));
}

void ItemsPage::cdsProdPratCDPRATPRODGetText(TField* field, QString& text, bool display) {
    const QString type = item("IDTIPOINQUER")->AsString();
    const QString code = field->AsString();
    if (type != QLatin1String("0") && type != QLatin1String("1")) {
        text.clear();
        return;
    }
    // The editor holds the bare code the user types; the cell shows it through the picture.
    text = display ? FormatMaskText(Vorlane::DBPict(type == QLatin1String("1") ? 1 : 0), code.trimmed()) : code;
}

void ItemsPage::cdsProdPratCDPRATPRODChange() {
    if (!cdsProdPrat->Editing()) return;
    TField* code = item("CDPRATPROD");
    const QVariant saved = code->OldValue();
    const bool same = !saved.isNull() && !code->IsNull() && saved.toString() == code->AsString();
    if (same) return;
    item("NMMEDICASE")->Clear();
    item("CDMEDICASE")->Clear();
}

void ItemsPage::Vd_Tipo() {
    if (!cdsProdPrat->Editing() || !Consiste::EmptyString(item("IDTIPOINQUER")->AsString())) return;
    item("CDMEDICASE")->Clear();
    stopAt("IDTIPOINQUER", msg("tp_Inf"));
}

void ItemsPage::cdsProdPratBeforeInsert() { item("IDTIPOINQUER")->FocusControl(); }

void ItemsPage::cdsProdPratAfterInsert() { item("HRSERVINQ")->SetAsString(strippedMealTime()); }

void ItemsPage::cdsProdPratBeforePost() {
    Vd_Tipo();
    const survey::ItemEntry entry{item("IDTIPOINQUER")->AsString(), item("CDPRATPROD")->AsString(),
                                  item("CDMEDICASE")->AsString(), item("QTALIMMEDCAS")->Text()};
    if (const auto missing = survey::firstMissing(entry)) postStopAt(missing->field, missing->key);
    dbgProdPratColExit();
    // The stored total always belongs to the measure the row holds, whichever
    // column the row is posted from.
    storeTotalQuantity(true);

    const SurveyContext context = this->context();
    item("CDFILIAL")->SetAsString(context.branch);
    item("CDPACIENTE")->SetAsString(context.patient);
    item("DTINIINQU")->SetAsDate(context.periodStart);
    item("DTFININQU")->SetAsDate(context.periodEnd);
    item("CDSERVFILI")->SetAsString(context.service);
    item("DTINQUERITO")->SetAsDate(context.day);

    cdsSeqInquer->SetData(Consiste::CheckResultServ(services_.net->AppServer(
        "GetSeqInquer", {item("CDFILIAL")->AsString(), item("CDPACIENTE")->AsString(), item("DTINIINQU")->AsDate(),
                         item("DTFININQU")->AsDate(), item("CDSERVFILI")->AsString(), item("DTINQUERITO")->AsDate()})));
    const QString highest =
        cdsSeqInquer->IsEmpty() ? QString() : cdsSeqInquer->FieldByName("NRSEQUINQUER")->AsString().trimmed();
    bool ok = false;
    const int number = highest.toInt(&ok);
    if (!ok) throw EHostError(QStringLiteral("'%1' não é um valor inteiro válido.").arg(highest));
    item("NRSEQUINQUER")->SetAsString(Consiste::Ajusta(QString::number(number + 1), 3));
}

void ItemsPage::sendItems() {
    const protocol::json stored = survey::sendChanges(services_.net, "SetItemPrato", cdsProdPrat, session().mainWindow);
    // The server may have stored the row under another number than the one
    // proposed (another client took it meanwhile): the row takes the server's.
    if (stored.is_object()) cdsProdPrat->AdoptSavedRow(stored);
}

void ItemsPage::cdsProdPratAfterPost() {
    sendItems();
    survey::noticePostedItem(*this);
    emit itemPosted();
}

void ItemsPage::cdsProdPratAfterDelete() {
    sendItems();
    emit itemDeleted();
}

void ItemsPage::cdsProdPratAfterCancel() { cdsProdPrat->CancelUpdates(); }

void ItemsPage::LoadItems() {
    settlePendingItem();
    const SurveyContext context = this->context();
    dayPanel_->refresh(context);  // read with the items
    // Items belong to a service and a day; without both there is nothing to show.
    if (!context.hasDay()) {
        forgetWarnings();
        if (cdsProdPrat->Active()) cdsProdPrat->EmptyDataSet();
        return;
    }
    // The marks follow the values the items are read for.
    forgetWarnings();
    // Every caller has the busy indicator (kind 6) on.
    const RemoteResult items = services_.net->AppServer("GetItemProd", context.dayArgs());
    // The user hears of a failed read once: the repaint that asks for the
    // marks again keeps quiet when it fails too.
    if (!items.ok) warningFailureShown_ = true;
    cdsProdPrat->SetData(Consiste::CheckResultServ(items));
}

}  // namespace survey

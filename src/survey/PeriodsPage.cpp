// Survey periods of the patient.
#include "survey/PeriodsPage.h"

#include "host/connection/NetConnection.h"
#include "host/core/Failures.h"
#include "host/core/Messages.h"
#include "host/core/Session.h"
#include "host/data/DBGrid.h"
#include "host/routines/Consiste.h"
#include "host/routines/Vorlane.h"
#include "survey/PanelParts.h"
#include "survey/SendChanges.h"

#include <QHeaderView>
#include <QVBoxLayout>

using namespace hostfw;
using namespace survey::parts;

namespace survey {

namespace {

using FT = TFieldType;

// The period columns share the grid's width, each at least its set width,
// until the user drags a column edge.
class ShareGridWidth : public QObject {
public:
    explicit ShareGridWidth(TDBGrid* grid) : QObject(grid), grid_(grid) {
        grid->viewport()->installEventFilter(this);
        grid->horizontalHeader()->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == grid_->horizontalHeader()->viewport()) {
            if (event->type() == QEvent::MouseButtonPress) userSized_ = true;
        } else if (event->type() == QEvent::Resize && !userSized_) {
            share();
        }
        return false;
    }

private:
    void share() {
        const int columns = grid_->horizontalHeader()->count();
        if (columns == 0) return;
        int left = grid_->viewport()->width() - 1;
        for (int c = 0; c < columns; ++c) {
            TColumn* column = grid_->Columns().value(c);
            if (!column) continue;
            const int width = std::max(column->Width(), left / (columns - c));
            grid_->setColumnWidth(c, width);
            left -= width;
        }
    }
    TDBGrid* grid_;
    bool userSized_ = false;
};

}  // namespace

PeriodsPage::PeriodsPage(QWidget* parent, const PanelServices& services) : QWidget(parent), services_(services) {
    setObjectName("tshPaci");
    buildDataSets();
    dbgInquerito = new TDBGrid(this);
    dbgInquerito->setObjectName("dbgInquerito");
    dbgInquerito->SetDataSource(dtsInqPaci);
    dbgInquerito->SetOptions(dgEditing | dgTitles | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                             dgAlwaysShowSelection | dgConfirmDelete);
    dbgInquerito->AddColumn("DTINIINQU")->SetWidth(100);
    dbgInquerito->AddColumn("DTFININQU")->SetWidth(100);
    new ShareGridWidth(dbgInquerito);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(dbgInquerito);
    connectHandlers();
}

void PeriodsPage::buildDataSets() {
    cdsInqPaci = dataSet(this, "cdsInqPaci");
    cdsInqPaciCDFILIAL = field(cdsInqPaci, "CDFILIAL", FT::ftString, 4);
    cdsInqPaciCDFILIAL->Visible = false;
    cdsInqPaciCDPACIENTE = field(cdsInqPaci, "CDPACIENTE", FT::ftString, 12);
    cdsInqPaciCDPACIENTE->Visible = false;
    cdsInqPaciDTINIINQU = field(cdsInqPaci, "DTINIINQU", FT::ftDateTime, 0, QStringLiteral("Data Inicial"));
    cdsInqPaciDTINIINQU->Origin = QStringLiteral("INQUERPACI.DTINIINQU");
    cdsInqPaciDTFININQU = field(cdsInqPaci, "DTFININQU", FT::ftDateTime, 0, QStringLiteral("Data Final"));
    cdsInqPaciDTFININQU->Origin = QStringLiteral("INQUERPACI.DTFININQU");
    cdsInqPaciDTNAVIGATOR = cdsInqPaci->AddField("DTNAVIGATOR", FT::ftString, 25, TFieldKind::fkCalculated);
    cdsInqPaciDTNAVIGATOR->Visible = false;
    cdsInqPaciDTFININQU->EditMask = Consiste::DateMask();
    cdsInqPaciDTINIINQU->EditMask = Consiste::DateMask();
    dtsInqPaci = new TDataSource(this, "dtsInqPaci", cdsInqPaci);

    cdsMax = dataSet(this, "cdsMax");
    field(cdsMax, "DTMAX", FT::ftDateTime)->Origin = QStringLiteral("INQUERPACI.DTFININQU");
}

void PeriodsPage::connectHandlers() {
    dtsInqPaci->OnStateChange = [this](TDataSource*) {
        if (OnStateChange) OnStateChange();
    };
    cdsInqPaci->OnNewRecord = [this](TClientDataSet*) { cdsInqPaciNewRecord(); };
    cdsInqPaci->BeforeEdit = [this](TClientDataSet*) { cdsInqPaciBeforeEdit(); };
    cdsInqPaci->BeforePost = [this](TClientDataSet*) { cdsInqPaciBeforePost(); };
    cdsInqPaci->AfterPost = [this](TClientDataSet*) { cdsInqPaciAfterPostOrDelete(); };
    cdsInqPaci->AfterDelete = [this](TClientDataSet*) { cdsInqPaciAfterPostOrDelete(); };
    cdsInqPaci->AfterCancel = [this](TClientDataSet*) { cdsInqPaciAfterCancel(); };
    cdsInqPaci->OnCalcFields = [this](TClientDataSet*) { cdsInqPaciCalcFields(); };
    auto dateText = [](TField* field, const QString& typed) {
        QString bare = typed;
        bare.remove('/');
        bare.remove('-');
        if (bare.trimmed().isEmpty())
            field->Clear();
        else
            Consiste::DateSetText(field, typed);
    };
    cdsInqPaciDTINIINQU->OnSetText = dateText;
    cdsInqPaciDTFININQU->OnSetText = dateText;
    // The current period is the context's, whatever moved or changed it.
    connect(cdsInqPaci, &TClientDataSet::scrolled, this, [this] { publishPeriod(); });
    connect(cdsInqPaci, &TClientDataSet::rowsChanged, this, [this] { publishPeriod(); });
    connect(cdsInqPaci, &TClientDataSet::dataChanged, this, [this] { publishPeriod(); });
    connect(cdsInqPaci, &TClientDataSet::stateChanged, this, [this] { publishPeriod(); });
    connect(services_.context, &SurveyContextHolder::contextChanged, this,
            [this](const SurveyContext& context) { contextChanged(context); });
}

bool PeriodsPage::hasPeriods() const { return cdsInqPaci->Active() && !cdsInqPaci->IsEmpty(); }

void PeriodsPage::publishPeriod() {
    if (hasPeriods())
        services_.context->setPeriod(cdsInqPaciDTINIINQU->AsDate(), cdsInqPaciDTFININQU->AsDate());
    else
        services_.context->setPeriod(QDate(), QDate());
}

void PeriodsPage::contextChanged(const SurveyContext& context) {
    if (context.branch == loadedBranch_ && context.patient == loadedPatient_) return;
    if (Consiste::EmptyString(context.patient)) {
        loadedBranch_ = context.branch;
        loadedPatient_ = context.patient;
        if (cdsInqPaci->Active()) cdsInqPaci->EmptyDataSet();
        return;
    }
    // Loading publishes the period, which comes back here: the periods are
    // taken as those of the new patient from the start, until the read fails.
    const QString branch = loadedBranch_, patient = loadedPatient_;
    loadedBranch_ = context.branch;
    loadedPatient_ = context.patient;
    try {
        Showavi::Scope busy(6, session().mainWindow);
        cdsInqPaci->SetData(
            Consiste::CheckResultServ(services_.net->AppServer("GetInqPaci", context.patientArgs())));
    } catch (...) {
        loadedBranch_ = branch;
        loadedPatient_ = patient;
        throw;
    }
    emit periodsLoaded();
}

void PeriodsPage::cdsInqPaciNewRecord() {
    const SurveyContext& context = services_.context->context();
    cdsInqPaciCDFILIAL->SetAsString(context.branch);
    cdsInqPaciCDPACIENTE->SetAsString(context.patient);
    cdsInqPaciDTINIINQU->FocusControl();
}

void PeriodsPage::cdsInqPaciBeforeEdit() { Abort(); }

void PeriodsPage::cdsInqPaciBeforePost() {
    auto stop = [this](TField* focus, const char* key) {
        focus->FocusControl();
        Consiste::MensErro(services_.messages->Msg(key));
    };
    if (cdsInqPaciDTINIINQU->IsNull()) stop(cdsInqPaciDTINIINQU, "DtIni");
    if (cdsInqPaciDTFININQU->IsNull()) stop(cdsInqPaciDTFININQU, "dtFin");
    if (cdsInqPaciDTFININQU->AsDate() < cdsInqPaciDTINIINQU->AsDate()) stop(cdsInqPaciDTINIINQU, "Data_Inv");
    cdsMax->SetData(Consiste::CheckResultServ(
        services_.net->AppServer("GetMax", {services_.context->context().patient})));
    if (!cdsMax->IsEmpty()) {
        TField* latest = cdsMax->FieldByName("DTMAX");
        if (!latest->IsNull() && cdsInqPaciDTINIINQU->AsDate() < latest->AsDate())
            stop(cdsInqPaciDTINIINQU, "Dt_Periodo");
    }
}

void PeriodsPage::cdsInqPaciAfterPostOrDelete() {
    survey::sendChanges(services_.net, "SetInqPaci", cdsInqPaci, session().mainWindow);
}

void PeriodsPage::cdsInqPaciAfterCancel() {
    cdsInqPaci->CancelUpdates();
    if (cdsInqPaci->IsEmpty() && OnStateChange) OnStateChange();
}

void PeriodsPage::cdsInqPaciCalcFields() {
    if (cdsInqPaciDTINIINQU->IsNull())
        cdsInqPaciDTNAVIGATOR->SetAsString(QString());
    else
        cdsInqPaciDTNAVIGATOR->SetAsString(cdsInqPaciDTINIINQU->AsString() + " - " + cdsInqPaciDTFININQU->AsString());
}

}  // namespace survey

#pragma once
// The periods page of the survey screen: the patient's survey periods. It
// reads them when the context names another branch or patient, and publishes
// the current period.
#include "survey/SurveyContextHolder.h"

#include <QWidget>

#include <functional>

namespace hostfw {
class TClientDataSet;
class TDataSource;
class TDBGrid;
class TField;
}

namespace survey {

class Q_DECL_EXPORT PeriodsPage : public QWidget {
    Q_OBJECT
public:
    PeriodsPage(QWidget* parent, const PanelServices& services);

    hostfw::TDBGrid* dbgInquerito;
    hostfw::TClientDataSet *cdsInqPaci, *cdsMax;
    hostfw::TDataSource* dtsInqPaci;
    hostfw::TField *cdsInqPaciCDFILIAL, *cdsInqPaciCDPACIENTE, *cdsInqPaciDTINIINQU, *cdsInqPaciDTFININQU,
        *cdsInqPaciDTNAVIGATOR;

    // Runs when the periods' state changes (and after a cancel that left no
    // period): the screen's command rules.
    std::function<void()> OnStateChange;

    bool hasPeriods() const;

    void cdsInqPaciNewRecord();
    void cdsInqPaciBeforeEdit();
    void cdsInqPaciBeforePost();
    void cdsInqPaciAfterPostOrDelete();
    void cdsInqPaciAfterCancel();
    void cdsInqPaciCalcFields();

signals:
    // The periods were read from the server.
    void periodsLoaded();

private:
    void buildDataSets();
    void connectHandlers();
    void contextChanged(const SurveyContext& context);
    void publishPeriod();
    PanelServices services_;
    // Branch and patient whose periods the page holds.
    QString loadedBranch_, loadedPatient_;
};

}  // namespace survey

#pragma once
// The survey context: which branch, patient, period, service and day the
// survey screen stands on. Built once from the screen's fields
// (TfrmInquerito::surveyContext) and passed to every remote call and, by
// their creators, to the secondary screens, which never read the survey
// screen itself.
#include "host/connection/NetConnection.h"

#include <QDate>
#include <QString>

#include <vector>

namespace survey {

struct SurveyContext {
    QString branch;       // medFilial
    QString patient;      // edtCdPaciente
    QString patientName;  // edtNmPaciente
    QDate periodStart;    // DTINIINQU of the current period
    QDate periodEnd;      // DTFININQU of the current period
    QString service;      // edtCdServico (items page)
    QDate day;            // depInquerito

    // A period is current (the periods data set stands on a row).
    bool hasPeriod() const { return periodStart.isValid(); }
    // Service and day are filled, so a day's items and meal time can be read.
    bool hasDay() const;

    // Arguments of the patient operations (GetPaciente, GetInqPaci): branch, patient.
    std::vector<hostfw::NetArg> patientArgs() const;
    // Arguments of the day operations (GetItemProd, GetHoraItem, SetHoraItem,
    // GetPesqProd, ...): patient, branch, service, period start, period end, day.
    std::vector<hostfw::NetArg> dayArgs() const;
};

}  // namespace survey

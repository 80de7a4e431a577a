#include "survey/SurveyContext.h"

#include "host/routines/Consiste.h"

namespace survey {

bool SurveyContext::hasDay() const {
    return hasPeriod() && !Consiste::EmptyString(service) && day.isValid();
}

std::vector<hostfw::NetArg> SurveyContext::patientArgs() const { return {branch, patient}; }

std::vector<hostfw::NetArg> SurveyContext::dayArgs() const {
    return {patient, branch, service, periodStart, periodEnd, day};
}

}  // namespace survey

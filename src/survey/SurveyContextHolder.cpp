#include "survey/SurveyContextHolder.h"

namespace survey {

namespace {

bool same(const SurveyContext& a, const SurveyContext& b) {
    return a.branch == b.branch && a.patient == b.patient && a.patientName == b.patientName &&
           a.periodStart == b.periodStart && a.periodEnd == b.periodEnd && a.service == b.service && a.day == b.day;
}

}  // namespace

SurveyContextHolder::SurveyContextHolder(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("surveyContext"));
}

void SurveyContextHolder::publish(const SurveyContext& next) {
    if (same(context_, next)) return;
    const SurveyContext previous = context_;
    context_ = next;
    try {
        emit contextChanged(context_);
    } catch (...) {
        context_ = previous;
        throw;
    }
}

void SurveyContextHolder::setPatient(const QString& branch, const QString& patient, const QString& name) {
    SurveyContext next = context_;
    next.branch = branch;
    next.patient = patient;
    next.patientName = name;
    publish(next);
}

void SurveyContextHolder::setPeriod(const QDate& start, const QDate& end) {
    SurveyContext next = context_;
    next.periodStart = start;
    next.periodEnd = end;
    publish(next);
}

void SurveyContextHolder::setService(const QString& service) {
    SurveyContext next = context_;
    next.service = service;
    publish(next);
}

void SurveyContextHolder::setDay(const QDate& day) {
    SurveyContext next = context_;
    next.day = day;
    publish(next);
}

}  // namespace survey

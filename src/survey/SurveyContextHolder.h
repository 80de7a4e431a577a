#pragma once
// The one survey context the panels of the survey screen share. Each panel
// publishes its part (the header the branch and patient it settled on, the
// periods page the current period, the items page the service and day); every
// real change reaches the listeners once, through contextChanged.
#include "survey/SurveyContext.h"

#include <QObject>

namespace hostfw {
class TMessages;
class TNetConnection;
}

namespace survey {

class Q_DECL_EXPORT SurveyContextHolder : public QObject {
    Q_OBJECT
public:
    explicit SurveyContextHolder(QObject* parent = nullptr);

    const SurveyContext& context() const { return context_; }

    // Replaces the context; listeners hear of it only when it differs. When a
    // listener fails, the previous context is kept (the same change is
    // published again next time) and the failure goes on.
    void publish(const SurveyContext& next);
    void setPatient(const QString& branch, const QString& patient, const QString& name);
    void setPeriod(const QDate& start, const QDate& end);
    void setService(const QString& service);
    void setDay(const QDate& day);

signals:
    void contextChanged(const survey::SurveyContext& context);

private:
    SurveyContext context_;
};

// What every panel of the survey screen shares: the context, the screen's
// server connection and its message table.
struct PanelServices {
    SurveyContextHolder* context = nullptr;
    hostfw::TNetConnection* net = nullptr;
    hostfw::TMessages* messages = nullptr;
};

}  // namespace survey

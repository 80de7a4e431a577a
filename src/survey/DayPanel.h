#pragma once
// The day on the items page: energy, protein, carbohydrate and lipid eaten on
// the survey date, for the whole day and per meal service, and how much of
// the period's targets that is when the patient's needs are recorded. The
// numbers are the server's (GetTotDia), those of the calculation screen for
// that one day.
#include "survey/SurveyContext.h"

#include <QFrame>

#include <array>

class QLabel;
class QProgressBar;
class QTableWidget;

namespace hostfw {
class TNetConnection;
}

namespace survey {

class Q_DECL_EXPORT DayPanel : public QFrame {
    Q_OBJECT
public:
    // How much of a target was met: below 75 %, 75 to 110 %, above 110 %.
    enum class Band { Below, Within, Above };
    static Band bandOf(double percent);
    // The band's name, kept in the bars' property "faixa": "abaixo", "adequada", "acima".
    static const char* bandName(Band band);

    DayPanel(hostfw::TNetConnection* net, QWidget* parent = nullptr);

    // Shows the context's day, asking the server only when branch, patient,
    // period or day differ from those shown; clears without a day.
    void showDay(const SurveyContext& context);
    // Asks the server again for the context's day (an item was saved or deleted).
    void refresh(const SurveyContext& context);
    void clear();

private:
    struct Line {
        QLabel* value;
        QProgressBar* bar;
        QLabel* target;
    };
    // Energy, protein, carbohydrate, lipid.
    std::array<Line, 4> lines_{};
    QLabel* title_ = nullptr;
    QTableWidget* services_ = nullptr;
    hostfw::TNetConnection* net_;
    QString shown_;  // the key of the day shown; empty when none

    void showReply(const QDate& day, const protocol::json& data);
    void showFailure(const QString& message);
};

// The day panel of a screen, or null.
Q_DECL_EXPORT DayPanel* dayPanelOf(const QWidget* screen);

}  // namespace survey

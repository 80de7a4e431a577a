#pragma once
// The patient's recent foods, listed first by the product and dish lookups:
// what the patient had on the survey day and the seven days before it. The
// server answers them (GetAlimRecentes), so reading a patient's items is
// authorised by branch and audited like every other read of survey data.
#include "survey/ItemRules.h"
#include "survey/SurveyContext.h"

#include <QString>

namespace hostfw {
class TADOIBQuery;
class TField;
class TNetConnection;
}

namespace survey {

class Q_DECL_EXPORT RecentFoods {
public:
    explicit RecentFoods(hostfw::TNetConnection* net) : net_(net) {}

    // The recent codes of that kind (PRODUTO.CDPRODUTO or PRATO.CDPRATO) for
    // the context's branch, patient and day, separated by commas. Asked once
    // per branch, patient and day; "" without a patient or day, or when the
    // server fails (the lookup is then only unmarked: it is a convenience).
    QString codes(const SurveyContext& context, ItemKind kind);
    // The next codes() asks the server again (an item was stored or deleted).
    void forget() { key_.clear(); }
    // The server's reply failed, the last time it was asked.
    const QString& failure() const { return failure_; }

    // Whether a code may go in the list: short letters and digits only, so a
    // comma can never split it into two codes nor an empty one match.
    static bool listable(const QString& code);

private:
    hostfw::TNetConnection* net_;
    QString key_;  // branch|patient|day of the codes held; empty when none
    QString products_, dishes_;
    QString failure_;
};

// Sets P_RECENTES of qryProduto or qryPrato.
void setRecentFoodParams(hostfw::TADOIBQuery* query, const QString& codes);

// The lookup's "Recente" column: a mark on the rows the patient had lately.
void showRecentMark(hostfw::TField* flag);

}  // namespace survey

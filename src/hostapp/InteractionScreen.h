#pragma once
// Screen "ZEP12650": the drug-nutrient interactions of one product, or of the
// products of one dish's recipe, for the drugs a patient takes on one day.
// The survey module opens it through Vorlane::LoadBPL.
#include <QDate>
#include <QDialog>
#include <QList>
#include <QString>
#include <QVariantList>

#include <functional>
#include <map>

class QLabel;
class QTableWidget;

namespace soci {
class session;
}

namespace hostapp {

struct InteractionRequest {
    QString patientCode;
    QString itemCode;    // CDARVPROD of a product, CDPRATO of a dish
    QString dishOwner;   // CDFILAUXPRAT of a dish; empty for a product
    QString branchCode;
    QDate day;
    bool isDish() const { return !dishOwner.isEmpty(); }

    // The five values of LoadBPL; throws hostfw::EHostError when they do not fit.
    static InteractionRequest fromValues(const QVariantList& values);
};

struct Interaction {
    QString drug;
    QString nutrientCode;
    QString nutrient;
    QString unit;
    QString productCode;  // CDARVPROD
    QString productName;
    double content = 0;    // per 100 g
    double threshold = 0;  // MEDINUTR.QTLIMINTER
    bool hasThreshold = false;
};

// How much of each nutrient (by code) the patient ate on the request's day,
// at every service; throws hostfw::EHostError when it cannot be read.
using DayIntake = std::function<std::map<QString, double>(const InteractionRequest&, const QStringList& nutrientCodes)>;

// Asks the application server (GetNutrDia), whose totals are the calculation's.
DayIntake serverDayIntake();

// The food reaches the threshold of a nutrient for a drug the patient takes
// on that day (the same rule as the server's warning marks).
QList<Interaction> findInteractions(soci::session& db, const InteractionRequest& request);

class InteractionScreen : public QDialog {
    Q_OBJECT
public:
    // Without an intake source the day's intake is shown as not available.
    InteractionScreen(const InteractionRequest& request, soci::session& db, QWidget* parent = nullptr,
                      const DayIntake& intake = {});
    int rowCount() const;
    QString cellText(int row, int column) const;
    QString headerText() const;
    // The day's intake of each interacting nutrient beside the interaction's limit.
    int intakeRowCount() const;
    QString intakeCellText(int row, int column) const;
    QString intakeNote() const;

private:
    QString describe(soci::session& db, const InteractionRequest& request) const;
    void fillIntake(const InteractionRequest& request, const QList<Interaction>& rows, const DayIntake& intake);
    QLabel* header_ = nullptr;
    QTableWidget* table_ = nullptr;
    QTableWidget* intake_ = nullptr;
    QLabel* intakeNote_ = nullptr;
};

// session().openScreen: "ZEP12650" opens the interaction screen modally;
// any other code raises hostfw::EHostError.
void openHostScreen(const QString& screenCode, const QVariantList& values, QWidget* parent);

} // namespace hostapp

#pragma once
// The calculation screen opened over the survey screen of a demo patient,
// against the real server and database, with scripted dialogs.
#include "CalcServer.h"
#include "SurveyFixture.h"
#include "calculation/Cli_Zep12610.h"

#include <QStringList>

#include <map>

class CalculationTest : public SurveyTest {
protected:
    void TearDown() override;

    // Opens the survey for the patient (its current period selected) and the
    // calculation screen over it, shown and active but not blocking.
    TfrmCalculo* openCalculation(const QString& branch = "0001", const QString& patient = "000000000001");
    TfrmCalculo* calc() const { return calc_; }

    void setPeriod(const QString& from, const QString& to);
    // "Lista" for services, then the service lookup marking these codes.
    void chooseServices(const QStringList& codes);
    void click(QWidget* button);
    void confirm();
    QString numberText(const char* field) const;
    // Shown text of a grid's column in the row whose NUTRIENTE is `nutrient`.
    QString cell(hostfw::TClientDataSet* ds, const QString& nutrient, const char* field) const;
    bool errorShown(const QString& text) const;

    // Puts the watched server between the screens and the database; call
    // before opening anything.
    CalcServer& watchServer();
    // Operations called on the watched server, in order.
    std::vector<std::string> operationsCalled() const;

    // A product of the catalogue with its composition per 100 g, by nutrient code.
    void addProduct(const QString& code, const QString& tree, const std::map<QString, double>& per100g);
    // An item of the demo patient's week written through the server.
    void writeItem(const QString& service, const QString& day, const QString& tree, double grams);

    TfrmCalculo* calc_ = nullptr;
    std::unique_ptr<CalcServer> calcServer_;
};

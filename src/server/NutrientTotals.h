#pragma once
// Amounts of nutrients in what a patient ate, shared by the calculation and
// the spreadsheet objects.
//
// An item's amount of a nutrient = QTALIMINQUER (grams eaten) x content per
// 100 g / 100. A product's content is PRODNUTR.QTNUTRPROD. A dish's content per
// 100 g is the sum over its recipe of QTPRODPRATO x product content / 100,
// divided by the dish's yield QTRENDPRATO and scaled to 100 g; a dish without a
// yield counts its recipe's raw weight as the yield (no cooking loss). Items
// without a composition contribute nothing.
#include "protocol/CodeList.h"
#include "protocol/Dates.h"

#include <soci/soci.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace server {

// Which recorded items count: those of the branch and patient dated between
// start and end inclusive, at one of the services.
struct IntakeScope {
    std::string branch;
    std::string patient;
    protocol::Date start;
    protocol::Date end;
    protocol::CodeList services;  // all when services.all
};

// The scope of a call's arguments. Throws OperationError when start is after
// end and ArgumentError for a malformed service list.
IntakeScope intakeScope(std::string branch, std::string patient, protocol::Date start, protocol::Date end,
                        const std::string& serviceList);

// A code list argument ("T" or "_a_b_"); throws ArgumentError naming `what` when malformed.
protocol::CodeList codeListArgument(const std::string& text, size_t maxCodeLength, const std::string& what);

struct Nutrient {
    std::string code;
    std::string name;
    std::string group;
    std::string unit;
};

// Every nutrient of the catalogue, in code order.
std::vector<Nutrient> nutrientCatalogue(soci::session& session);

using NutrientFilter = std::function<bool(const std::string& nutrientCode)>;

// Total of each selected nutrient over the scope, keyed by nutrient code.
// Nutrients of which nothing was eaten are absent.
std::map<std::string, double> nutrientTotals(soci::session& session, const IntakeScope& scope,
                                             const NutrientFilter& selected);

// One recorded item with its amount of each selected nutrient.
struct ItemIntake {
    std::string date;  // "YYYY-MM-DD"
    std::string serviceCode;
    std::string serviceName;
    std::string sequence;  // NRSEQUINQUER
    std::string itemCode;  // product or dish code
    std::string itemName;
    std::string measureName;
    double portions = 0;  // QTALIMMEDCAS
    double grams = 0;     // QTALIMINQUER
    std::map<std::string, double> amounts;  // nutrient code -> amount; absent = none
};

// Every item of the scope, in date, service and sequence order.
std::vector<ItemIntake> itemIntakes(soci::session& session, const IntakeScope& scope, const NutrientFilter& selected);

} // namespace server

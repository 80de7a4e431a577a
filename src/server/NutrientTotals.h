#pragma once
// Amounts of nutrients in what a patient ate, shared by the calculation and
// the spreadsheet objects and the day's totals of the survey object.
//
// An item's amount of a nutrient is defined once, in the view VW_ITEMNUTR
// (db/schema.sql): QTALIMINQUER (grams eaten) x content per 100 g / 100. A
// product's content is PRODNUTR.QTNUTRPROD. A dish's content per 100 g is the sum over its recipe of QTPRODPRATO x product content / 100,
// divided by the dish's yield QTRENDPRATO and scaled to 100 g; a dish without a
// yield counts its recipe's raw weight as the yield (no cooking loss). Items
// without a composition contribute nothing.
#include "db/Query.h"
#include "protocol/CodeList.h"
#include "protocol/Dates.h"

#include <soci/soci.h>

#include <map>
#include <set>
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

using NutrientCodes = std::set<std::string>;

// The nutrient of each role PARAMGERAL names (CDCARBOHIDRA, CDPROTEINA,
// CDLIPIDIOS, CDALCOOL, CDPROTANIMAL, CDPROTVEGETA, CDCALORIAS), keyed by
// column; a missing row or an empty column gives "".
std::map<std::string, std::string> nutrientRoles(soci::session& session);

// A macronutrient of the energy split and its energy per gram.
struct Macronutrient {
    std::string role;  // PARAMGERAL column
    double kcalPerGram;
    Nutrient nutrient;
    double kcal(double total) const { return total * kcalPerGram; }
};

// Carbohydrate (4 kcal/g), protein (4), lipid (9) and alcohol (7), in that
// order; a role PARAMGERAL leaves empty is left out.
std::vector<Macronutrient> macronutrients(soci::session& session);
NutrientCodes codesOf(const std::vector<Macronutrient>& macros);
// The energy of what was eaten: the sum of each macronutrient's kcal.
double energyOf(const std::vector<Macronutrient>& macros, const std::map<std::string, double>& totals);
// A nutrient's total; 0 when none was eaten.
double totalOf(const std::map<std::string, double>& totals, const std::string& code);

// Total of each of the nutrients over the scope, keyed by nutrient code, read
// from VW_ITEMNUTR with the services and nutrients chosen in the SQL itself.
// Nutrients of which nothing was eaten are absent.
std::map<std::string, double> nutrientTotals(soci::session& session, const IntakeScope& scope,
                                             const NutrientCodes& nutrients);
// The same totals for each service of the scope that holds any, keyed by
// service code, then by nutrient code.
std::map<std::string, std::map<std::string, double>> nutrientTotalsByService(soci::session& session,
                                                                             const IntakeScope& scope,
                                                                             const NutrientCodes& nutrients);

// The days of the scope holding at least one recorded item, in date order
// ("YYYY-MM-DD"), each with the start of its survey period: the divisor of the
// calculation's daily averages and the days of its per-day chart.
std::map<std::string, std::string> recordedDays(soci::session& session, const IntakeScope& scope);

// Total of each of the nutrients on each day of the scope, keyed by day
// ("YYYY-MM-DD") and nutrient code, from the same view as nutrientTotals.
std::map<std::string, std::map<std::string, double>> nutrientTotalsByDay(soci::session& session,
                                                                          const IntakeScope& scope,
                                                                          const NutrientCodes& nutrients);

// SQL condition: the column's code is in the list named by the parameters
// (P_T<name> = 'T' for all, else P_<name> holds "_a_b_"), and those parameters.
std::string inCodeList(const std::string& column, const std::string& name);
void addCodeListParams(db::Params& params, const std::string& name, const protocol::CodeList& list);

// Parameters P_CDFILIAL, P_CDPACIENTE, P_DTINI, P_DTFIM and the service list
// P_TSERV / P_SERV of a scope.
db::Params scopeParams(const IntakeScope& scope);

// The scope's items on VW_ITEMNUTR or ITINQUERPACI aliased as `alias`.
std::string scopeCondition(const std::string& alias);

} // namespace server

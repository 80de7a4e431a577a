#pragma once
// The patient's food warnings on the survey day :P_DTDIA. The rules are
// catalog's (FoodWarnings.h, Interactions.h), shared with the host's
// interaction screen and the survey report; here they are bound to the day
// parameter and joined to the items. Each text below is a SELECT over the
// patient :P_CDPACIENTE meant as a derived table; its CDPRODUTO column is the
// internal product code.
#include "db/Query.h"
#include "protocol/Dates.h"

#include <string>

namespace server::restrictions {

// Columns CDPRODUTO, CDSUBGRPROD, NMDIAGNOSTICO, NMSUBGRPROD.
const std::string& restrictedProducts();
// Columns CDPRODUTO, NMINTOLER.
const std::string& intolerantProducts();
// Columns CDPRODUTO, NMMEDICAMENT, CDNUTRIENTE, NMNUTRIENTE (and the amounts: catalog/Interactions.h).
const std::string& interactingProducts();

// A product or a dish: the two kinds of item the warnings answer for.
enum class ItemKind { Product, Dish };

// The level of leaf products: the number of levels of product picture 0.
const std::string& productLeafLevel();

// A WITH clause naming the patient's interacting products (column
// CDPRODUTO, each once) as the table `name`: computed once per statement,
// not once per row that asks.
std::string interactingProductsTable(const std::string& name);

// SQL condition, true when the item whose product column is productColumn
// or whose dish column is dishColumn is in `table` (interactingProductsTable).
std::string itemInteracts(const std::string& table, const std::string& productColumn, const std::string& dishColumn);

db::Params params(const std::string& paciente, const protocol::Date& day);

}  // namespace server::restrictions

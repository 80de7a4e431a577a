#pragma once
// The patient's food warnings, in one place. Every text below is a SELECT
// over the patient :P_CDPACIENTE on the survey day :P_DTDIA, meant to be used
// as a derived table; its CDPRODUTO column is the internal product code.
//
// - restricted: the product's subgroup (PRODUTO.CDSUBGRPROD) is restricted
//   (RESTDIAG) by a diagnosis the patient has on that day (PACIDIAG, started
//   on or before the day and not ended before it);
// - not tolerated: the product is listed (INTOLPROD) for an intolerance of
//   the patient (PACIINTOL), whatever the day;
// - interacting: the product's content of a nutrient (PRODNUTR) reaches the
//   limit (MEDINUTR.QTLIMINTER) set for a drug the patient takes on that day
//   (PACIMEDIC, same date rule as diagnoses); the text is catalog's, shared
//   with the host's interaction screen;
// - a dish clashes when a product of its recipe (PRATOPROD) does.
#include "db/Query.h"
#include "protocol/Dates.h"

#include <string>

namespace server::restrictions {

// Columns CDPRODUTO, CDSUBGRPROD.
const std::string& restrictedProducts();
// Column CDPRODUTO.
const std::string& intolerantProducts();
// Columns CDPRODUTO, NMMEDICAMENT, NMNUTRIENTE (and the amounts: catalog/Interactions.h).
const std::string& interactingProducts();

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

#pragma once
// Survey data at hospital scale for the benchmark: patients of branch 0001,
// one survey period each (7 to 31 days), 3 to 6 meals a day, 1 to 4 items a
// meal, one item in ten a dish. Values follow fixed formulas of the patient,
// day, meal and item numbers, so a database of one size is always the same.
#include "db/Database.h"

#include <soci/soci.h>

#include <string>
#include <vector>

namespace bench {

// Adds `patients` patients with their surveys unless the database already
// holds them. On PostgreSQL the item table's keys and indexes are dropped
// during the load and rebuilt after it. Prints what it does and how long it
// took. Answers the number of items in ITINQUERPACI.
long long ensureScaleData(soci::session& session, db::Engine engine, int patients);

// The product item the write benchmarks post: its code in the tree, a
// measure of it and that measure's weight (100 g when none is stored).
struct ScaleProduct {
    std::string tree;
    std::string measure;
    double weight = 0;
};
ScaleProduct scaleProduct(soci::session& session);
// Every product of the scale data with one of its measures, in a fixed order.
std::vector<ScaleProduct> scaleProducts(soci::session& session);

}  // namespace bench

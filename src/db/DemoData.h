#pragma once
#include <soci/soci.h>

#include <string>
#include <string_view>
#include <vector>

namespace db {

// Tables of the demo data in the order their foreign keys need.
const std::vector<std::string>& demoTables();

// The part of them a database for real use gets too: branches with their
// services and parameters, code pictures, the food and nutrient catalogue,
// diagnoses, intolerances and medication. Operators, patients and surveys are
// demo only.
bool isCatalogueTable(const std::string& table);

// One tab-separated file: a header of column names, then one row per line.
// Lines starting with '#' are comments; an empty value is SQL null.
struct TsvTable {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    static TsvTable parse(std::string_view text);  // throws std::runtime_error
};

// Loads db/demo/<TABLE>.tsv for every demo table, in one transaction.
void loadDemoData(soci::session& session);
// The same for the catalogue tables only.
void loadCatalogue(soci::session& session);

} // namespace db

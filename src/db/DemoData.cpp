#include "db/DemoData.h"

#include "db/Database.h"
#include "db/Schema.h"

#include <algorithm>
#include <stdexcept>

namespace db {

const std::vector<std::string>& demoTables() {
    static const std::vector<std::string> tables = {
        "FILIAL",      "PARADIETO",   "OPERADOR",     "OPERFILI",  "PICTCODIGO", "PACIENTE",
        "SERVICO",     "GRUPNUTR",    "NUTRIENTE",    "PARAMGERAL", "PRODUTO",   "PRODNUTR",
        "MEDICASE",    "PRODMECA",    "PRATO",        "PRATOPROD", "MEDIPRATO",  "DIAGNOSTICO",
        "RESTDIAG",    "PACIDIAG",    "INTOLERANCIA", "INTOLPROD", "PACIINTOL",  "MEDICAMENTO",
        "MEDINUTR",    "PACIMEDIC",   "INQUERPACI",   "HORAINQPACI", "ITINQUERPACI"};
    return tables;
}

bool isCatalogueTable(const std::string& table) {
    static const std::vector<std::string> demoOnly = {"OPERADOR",  "OPERFILI",   "PACIENTE",    "PACIDIAG",    "PACIINTOL",
                                                      "PACIMEDIC", "INQUERPACI", "HORAINQPACI", "ITINQUERPACI"};
    return std::find(demoOnly.begin(), demoOnly.end(), table) == demoOnly.end();
}

static std::vector<std::string> splitTabs(std::string_view line) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        out.emplace_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    return out;
}

TsvTable TsvTable::parse(std::string_view text) {
    TsvTable t;
    size_t pos = 0;
    size_t lineNo = 0;
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos) eol = text.size();
        std::string_view line = text.substr(pos, eol - pos);
        pos = eol + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        auto cells = splitTabs(line);
        if (t.columns.empty()) {
            t.columns = std::move(cells);
            continue;
        }
        if (cells.size() != t.columns.size())
            throw std::runtime_error("Linha " + std::to_string(lineNo) + " com " + std::to_string(cells.size()) +
                                     " valores; esperados " + std::to_string(t.columns.size()));
        t.rows.push_back(std::move(cells));
    }
    return t;
}

static void loadTable(soci::session& session, const std::string& table, const TsvTable& data) {
    if (data.rows.empty()) return;
    std::string sql = "INSERT INTO " + table + " (";
    std::string values;
    for (size_t i = 0; i < data.columns.size(); ++i) {
        sql += (i ? ", " : "") + data.columns[i];
        values += (i ? ", :" : ":") + data.columns[i];
    }
    sql += ") VALUES (" + values + ")";
    std::vector<std::string> buffer(data.columns.size());
    std::vector<soci::indicator> indicators(data.columns.size(), soci::i_ok);
    soci::statement st(session);
    st.alloc();
    for (size_t i = 0; i < data.columns.size(); ++i)
        st.exchange(soci::use(buffer[i], indicators[i], data.columns[i]));
    st.prepare(sql);
    st.define_and_bind();
    for (const auto& row : data.rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            buffer[i] = row[i];
            indicators[i] = row[i].empty() ? soci::i_null : soci::i_ok;
        }
        st.execute(true);
    }
}

static void loadTables(soci::session& session, bool catalogueOnly) {
    WriteTransaction tx(session, engineOf(session));
    for (const auto& table : demoTables()) {
        if (catalogueOnly && !isCatalogueTable(table)) continue;
        auto it = embeddedFiles().find(table + ".tsv");
        if (it == embeddedFiles().end()) throw std::runtime_error("Dados de demonstração ausentes: " + table);
        try {
            loadTable(session, table, TsvTable::parse(it->second));
        } catch (const std::exception& e) {
            throw std::runtime_error("Carga de " + table + ": " + e.what());
        }
    }
    tx.commit();
}

void loadDemoData(soci::session& session) { loadTables(session, false); }

void loadCatalogue(soci::session& session) { loadTables(session, true); }

} // namespace db

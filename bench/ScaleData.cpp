#include "ScaleData.h"

#include "db/Query.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

void step(soci::session& s, const char* what, const std::string& sql) {
    const auto start = Clock::now();
    s << sql;
    std::printf("  %-44s %8.1f s\n", what, std::chrono::duration<double>(Clock::now() - start).count());
    std::fflush(stdout);
}

long long count(soci::session& s, const std::string& sql) {
    return static_cast<long long>(db::scalarNumber(s, sql, {}).value_or(0));
}

// `days` days after a date column, in the engine's own words.
std::string plusDays(db::Engine engine, const std::string& date, const std::string& days) {
    return engine == db::Engine::PostgreSQL ? "(" + date + " + " + days + ")"
                                            : "date(" + date + ", '+' || (" + days + ") || ' days')";
}

// Zero-filled code of `width` digits from an integer expression below 10^width.
std::string digits(const std::string& expr, int width) {
    return "SUBSTR(CAST(1" + std::string(static_cast<size_t>(width), '0') + " + (" + expr + ") AS VARCHAR(" +
           std::to_string(width + 1) + ")), 2, " + std::to_string(width) + ")";
}

// Keys and indexes of the item table (SQLite: its secondary indexes), to drop before the load and build after.
std::vector<std::pair<std::string, std::string>> itemTableKeys(soci::session& s, db::Engine engine) {
    std::vector<std::pair<std::string, std::string>> out;
    if (engine == db::Engine::SQLite) {
        const auto indexes = db::query(s,
                                       "SELECT name AS NOME, sql AS DEF FROM sqlite_master WHERE type = 'index' "
                                       "AND tbl_name = 'ITINQUERPACI' AND sql IS NOT NULL",
                                       {});
        for (const auto& r : indexes.rows)
            out.push_back({"DROP INDEX " + r[0].get<std::string>(), r[1].get<std::string>()});
        return out;
    }
    const auto constraints = db::query(s,
                                       "SELECT conname AS NOME, pg_get_constraintdef(oid) AS DEF FROM pg_constraint "
                                       "WHERE conrelid = 'itinquerpaci'::regclass AND contype IN ('p', 'f') "
                                       "ORDER BY contype DESC, conname",
                                       {});
    for (const auto& r : constraints.rows)
        out.push_back({"ALTER TABLE ITINQUERPACI DROP CONSTRAINT " + r[0].get<std::string>(),
                       "ALTER TABLE ITINQUERPACI ADD CONSTRAINT " + r[0].get<std::string>() + " " +
                           r[1].get<std::string>()});
    const auto indexes = db::query(s,
                                   "SELECT indexname AS NOME, indexdef AS DEF FROM pg_indexes "
                                   "WHERE tablename = 'itinquerpaci' AND indexname NOT IN "
                                   "(SELECT conname FROM pg_constraint WHERE conrelid = 'itinquerpaci'::regclass)",
                                   {});
    for (const auto& r : indexes.rows)
        out.insert(out.begin(), {"DROP INDEX " + r[0].get<std::string>(), r[1].get<std::string>()});
    return out;
}

}  // namespace

long long ensureScaleData(soci::session& s, db::Engine engine, int patients) {
    const bool pg = engine == db::Engine::PostgreSQL;
    s << "CREATE TABLE IF NOT EXISTS CARGAESCALA (QTPACIENTES INTEGER NOT NULL)";
    const long long loaded = count(s, "SELECT COALESCE(MAX(QTPACIENTES), 0) AS N FROM CARGAESCALA");
    if (loaded == patients) return count(s, "SELECT COUNT(*) AS N FROM ITINQUERPACI");
    if (loaded != 0) throw std::runtime_error("database holds another scale (" + std::to_string(loaded) + " patients)");

    std::printf("Generating %d patients with their surveys (%s):\n", patients, pg ? "PostgreSQL" : "SQLite");
    const auto start = Clock::now();
    // Numbers 0..999, the catalogue rows items are drawn from, and the patients.
    step(s, "helper tables", "CREATE TABLE CARGANUM (I INTEGER NOT NULL PRIMARY KEY)");
    s << "INSERT INTO CARGANUM (I) SELECT A.I + 10 * B.I + 100 * C.I FROM "
         "(SELECT 0 AS I UNION ALL SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3 UNION ALL SELECT 4 UNION ALL "
         "SELECT 5 UNION ALL SELECT 6 UNION ALL SELECT 7 UNION ALL SELECT 8 UNION ALL SELECT 9) A, "
         "(SELECT 0 AS I UNION ALL SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3 UNION ALL SELECT 4 UNION ALL "
         "SELECT 5 UNION ALL SELECT 6 UNION ALL SELECT 7 UNION ALL SELECT 8 UNION ALL SELECT 9) B, "
         "(SELECT 0 AS I UNION ALL SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3 UNION ALL SELECT 4 UNION ALL "
         "SELECT 5 UNION ALL SELECT 6 UNION ALL SELECT 7 UNION ALL SELECT 8 UNION ALL SELECT 9) C";
    s << "CREATE TABLE CARGAPROD (K INTEGER NOT NULL PRIMARY KEY, CDPRODUTO VARCHAR(10), CDMEDICASE VARCHAR(5), "
         "PESO DOUBLE PRECISION)";
    s << "INSERT INTO CARGAPROD SELECT ROW_NUMBER() OVER (ORDER BY M.CDPRODUTO, M.CDMEDICASE) - 1, M.CDPRODUTO, "
         "M.CDMEDICASE, COALESCE(M.VRPESOMEDI, 100) FROM PRODMECA M JOIN PRODUTO P ON P.CDPRODUTO = M.CDPRODUTO "
         "WHERE P.CDNVPRODUTO = (SELECT MAX(CDNVPRODUTO) FROM PRODUTO)";
    s << "CREATE TABLE CARGAPRATO (K INTEGER NOT NULL PRIMARY KEY, CDPRATO VARCHAR(10), CDFILAUXPRAT VARCHAR(4), "
         "CDMEDICASE VARCHAR(5), PESO DOUBLE PRECISION)";
    s << "INSERT INTO CARGAPRATO SELECT ROW_NUMBER() OVER (ORDER BY M.CDPRATO, M.CDMEDICASE) - 1, M.CDPRATO, "
         "P.CDFILAUXPRAT, M.CDMEDICASE, COALESCE(M.VRPESOMED, 200) FROM MEDIPRATO M JOIN PRATO P ON P.CDPRATO = "
         "M.CDPRATO WHERE P.CDFILAUXPRAT IN ('0001', 'P')";
    const long long products = count(s, "SELECT COUNT(*) AS N FROM CARGAPROD");
    const long long dishes = count(s, "SELECT COUNT(*) AS N FROM CARGAPRATO");
    if (products == 0 || dishes == 0) throw std::runtime_error("the catalogue has no products or dishes to draw from");

    // Patient p: code L + 11 digits, period of 7 + p*7 mod 25 days from day
    // p mod 300 of 2025, 3 + p mod 4 meals a day.
    s << "CREATE TABLE CARGAPACI (P INTEGER NOT NULL PRIMARY KEY, CDPACIENTE VARCHAR(12), DTINI DATE, "
         "NDIAS INTEGER, NREF INTEGER)";
    s << "INSERT INTO CARGAPACI SELECT A.I * 1000 + B.I, 'L' || " + digits("A.I * 1000 + B.I", 11) + ", " +
             plusDays(engine, pg ? "DATE '2025-01-01'" : "'2025-01-01'", "(A.I * 1000 + B.I) % 300") +
             ", 7 + ((A.I * 1000 + B.I) * 7) % 25, 3 + (A.I * 1000 + B.I) % 4 "
             "FROM CARGANUM A, CARGANUM B WHERE A.I * 1000 + B.I < " + std::to_string(patients);
    step(s, "patients", "INSERT INTO PACIENTE (CDPACIENTE, CDFILIAL, NMPACIENTE, NMPACIUPPER, IDSEXOPACI) "
                        "SELECT CDPACIENTE, '0001', 'Paciente ' || CDPACIENTE, 'PACIENTE ' || CDPACIENTE, "
                        "CASE WHEN P % 2 = 0 THEN 'F' ELSE 'M' END FROM CARGAPACI");
    step(s, "survey periods",
         "INSERT INTO INQUERPACI (CDFILIAL, CDPACIENTE, DTINIINQU, DTFININQU) SELECT '0001', CDPACIENTE, DTINI, " +
             plusDays(engine, "DTINI", "NDIAS - 1") + " FROM CARGAPACI");

    // The generated rows draw only on catalogue rows, so SQLite's per-row
    // foreign key checks are left out of the load (PostgreSQL checks them all
    // when it adds the keys back).
    const auto keys = itemTableKeys(s, engine);
    for (const auto& k : keys) s << k.first;
    if (!pg) s << "PRAGMA foreign_keys = OFF";
    // Item k of meal m on day d of patient p; one in ten is a dish.
    const std::string choice = "((L.P * 31 + D.I * 17 + M.I * 7 + K.I * 3) % ";
    const std::string isDish = "(L.P + D.I * 3 + M.I * 5 + K.I) % 10 = 0";
    const std::string portions = "(1 + ((L.P + D.I + K.I) % 3) * 0.5)";
    step(s, "items",
         "INSERT INTO ITINQUERPACI (CDFILIAL, CDPACIENTE, DTINIINQU, DTFININQU, CDSERVFILI, DTINQUERITO, "
         "NRSEQUINQUER, IDTIPOINQUER, CDPRODUTO, CDPRATO, CDFILAUXPRAT, CDMEDICASE, QTALIMMEDCAS, QTALIMINQUER, "
         "HRSERVINQ) SELECT '0001', L.CDPACIENTE, L.DTINI, " +
             plusDays(engine, "L.DTINI", "L.NDIAS - 1") + ", " + digits("1 + M.I", 5) + ", " +
             plusDays(engine, "L.DTINI", "D.I") + ", " + digits("1 + K.I", 3) + ", CASE WHEN " + isDish +
             " THEN '1' ELSE '0' END, CASE WHEN " + isDish + " THEN NULL ELSE PR.CDPRODUTO END, CASE WHEN " + isDish +
             " THEN PT.CDPRATO END, CASE WHEN " + isDish + " THEN PT.CDFILAUXPRAT END, CASE WHEN " + isDish +
             " THEN PT.CDMEDICASE ELSE PR.CDMEDICASE END, " + portions + ", " + portions + " * CASE WHEN " + isDish +
             " THEN PT.PESO ELSE PR.PESO END, NULL "
             "FROM CARGAPACI L JOIN CARGANUM D ON D.I < L.NDIAS JOIN CARGANUM M ON M.I < L.NREF "
             "JOIN CARGANUM K ON K.I < 1 + (L.P + D.I + M.I) % 4 "
             "JOIN CARGAPROD PR ON PR.K = " + choice + std::to_string(products) + ") "
             "JOIN CARGAPRATO PT ON PT.K = " + choice + std::to_string(dishes) + ")");
    for (const auto& k : keys) step(s, ("rebuild " + k.second.substr(0, 36)).c_str(), k.second);
    if (!pg) s << "PRAGMA foreign_keys = ON";
    step(s, "statistics", "ANALYZE");
    if (!pg) step(s, "checkpoint", "PRAGMA wal_checkpoint(TRUNCATE)");
    s << "INSERT INTO CARGAESCALA (QTPACIENTES) VALUES (" + std::to_string(patients) + ")";
    const long long items = count(s, "SELECT COUNT(*) AS N FROM ITINQUERPACI");
    std::printf("  %lld items in %.1f s\n", items, std::chrono::duration<double>(Clock::now() - start).count());
    return items;
}

std::vector<ScaleProduct> scaleProducts(soci::session& session) {
    const auto r = db::query(session,
                             "SELECT P.CDARVPROD AS CDARVPROD, M.CDMEDICASE AS CDMEDICASE, "
                             "COALESCE(M.VRPESOMEDI, 100) AS PESO FROM CARGAPROD C "
                             "JOIN PRODUTO P ON P.CDPRODUTO = C.CDPRODUTO "
                             "JOIN PRODMECA M ON M.CDPRODUTO = C.CDPRODUTO AND M.CDMEDICASE = C.CDMEDICASE "
                             "ORDER BY C.K",
                             {},
                             {{"CDARVPROD", protocol::FieldType::String, 20},
                              {"CDMEDICASE", protocol::FieldType::String, 5},
                              {"PESO", protocol::FieldType::Float, 0}});
    std::vector<ScaleProduct> out;
    for (const auto& row : r.rows)
        out.push_back({row[0].get<std::string>(), row[1].get<std::string>(), row[2].get<double>()});
    if (out.empty()) throw std::runtime_error("the scale data has no product");
    return out;
}

ScaleProduct scaleProduct(soci::session& session) { return scaleProducts(session).front(); }

}  // namespace bench

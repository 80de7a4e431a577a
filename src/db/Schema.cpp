#include "db/Schema.h"

#include "db/DemoData.h"
#include "db/Password.h"
#include "db/Query.h"

#include <algorithm>
#include <map>
#include <regex>
#include <stdexcept>
#include <string>

namespace db {

static std::string_view embedded(const std::string& name) {
    auto it = embeddedFiles().find(name);
    if (it == embeddedFiles().end()) throw std::runtime_error("Arquivo embutido ausente: " + name);
    return it->second;
}

std::vector<std::string> splitStatements(std::string_view script) {
    std::vector<std::string> out;
    std::string current;
    size_t pos = 0;
    while (pos < script.size()) {
        size_t eol = script.find('\n', pos);
        if (eol == std::string_view::npos) eol = script.size();
        std::string line(script.substr(pos, eol - pos));
        pos = eol + 1;
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line.compare(first, 2, "--") == 0) continue;
        const auto last = line.find_last_not_of(" \t\r");
        const bool ends = line[last] == ';';
        if (ends) line.erase(last);
        current += line;
        current += '\n';
        if (ends) {
            out.push_back(current);
            current.clear();
        }
    }
    if (current.find_first_not_of(" \t\r\n") != std::string::npos) out.push_back(current);
    return out;
}

bool schemaExists(soci::session& session) {
    int count = 0;
    if (engineOf(session) == Engine::SQLite)
        session << "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'ITINQUERPACI'",
            soci::into(count);
    else
        session << "SELECT COUNT(*) FROM information_schema.tables "
                   "WHERE table_schema = current_schema() AND table_name = 'itinquerpaci'",
            soci::into(count);
    return count > 0;
}

namespace {

// Servers starting together over one PostgreSQL database take turns at their
// schema statements (two CREATE OR REPLACE FUNCTION at once fail).
void takeSchemaTurn(soci::session& session) {
    if (engineOf(session) == Engine::PostgreSQL) session << "SELECT pg_advisory_xact_lock(2612600)";
}

// The name X of "CREATE TABLE|INDEX IF NOT EXISTS X"; empty for other statements.
std::string createdIfMissing(const std::string& statement) {
    static const std::regex pattern(R"(^\s*CREATE\s+(?:TABLE|INDEX)\s+IF\s+NOT\s+EXISTS\s+([A-Za-z_][A-Za-z0-9_]*))",
                                    std::regex::icase);
    std::smatch m;
    return std::regex_search(statement, m, pattern) ? m[1].str() : std::string();
}

bool relationExists(soci::session& session, const std::string& name) {
    return scalarNumber(session, "SELECT CASE WHEN to_regclass(CAST(:P_NAME AS TEXT)) IS NULL THEN 0 ELSE 1 END AS N",
                        {{"P_NAME", name}})
               .value_or(0) > 0;
}

}  // namespace

void installFunctions(soci::session& session) {
    if (engineOf(session) != Engine::PostgreSQL) return;
    WriteTransaction tx(session, Engine::PostgreSQL);
    takeSchemaTurn(session);
    for (const auto& statement : splitStatements(embedded("functions.postgresql.sql"))) session << statement;
    tx.commit();
}

namespace {

bool hasColumn(soci::session& session, const std::string& table, const std::string& column) {
    const bool sqlite = engineOf(session) == Engine::SQLite;
    return scalarNumber(session,
                        sqlite ? "SELECT COUNT(*) AS N FROM pragma_table_info(:P_TABELA) WHERE UPPER(name) = :P_COLUNA"
                               : "SELECT COUNT(*) AS N FROM information_schema.columns WHERE table_schema = "
                                 "current_schema() AND table_name = LOWER(:P_TABELA) AND column_name = LOWER(:P_COLUNA)",
                        {{"P_TABELA", table}, {"P_COLUNA", column}})
               .value_or(0) > 0;
}

// Databases made before operators had a role, a state and a forced password
// change get the columns; the operators allowed on every branch (the one
// --init-db made) become administrators.
void upgradeOperators(soci::session& session) {
    if (!hasColumn(session, "OPERADOR", "IDPERFIL")) {
        session << "ALTER TABLE OPERADOR ADD COLUMN IDPERFIL VARCHAR(1) DEFAULT 'N' NOT NULL "
                   "CHECK (IDPERFIL IN ('A', 'N'))";
        session << "UPDATE OPERADOR SET IDPERFIL = 'A' WHERE NOT EXISTS (SELECT 1 FROM FILIAL F WHERE NOT EXISTS "
                   "(SELECT 1 FROM OPERFILI O WHERE O.CDOPERADOR = OPERADOR.CDOPERADOR AND O.CDFILIAL = F.CDFILIAL))";
    }
    if (!hasColumn(session, "OPERADOR", "IDATIVO"))
        session << "ALTER TABLE OPERADOR ADD COLUMN IDATIVO VARCHAR(1) DEFAULT 'S' NOT NULL CHECK (IDATIVO IN ('S', 'N'))";
    if (!hasColumn(session, "OPERADOR", "IDTROCASENHA"))
        session << "ALTER TABLE OPERADOR ADD COLUMN IDTROCASENHA VARCHAR(1) DEFAULT 'N' NOT NULL "
                   "CHECK (IDTROCASENHA IN ('S', 'N'))";
}

// The audit trail of older databases allowed writes only (I, A, E); reads
// are recorded as C.
void upgradeAuditActions(soci::session& session) {
    if (engineOf(session) == Engine::SQLite) {
        const auto sql = scalarText(session, "SELECT sql FROM sqlite_master WHERE type = 'table' AND name = 'AUDITORIA'", {});
        if (!sql || sql->find("'C'") != std::string::npos) return;
        session << "ALTER TABLE AUDITORIA RENAME TO AUDITORIA_ANTIGA";
        for (const auto& statement : splitStatements(embedded("security.sql")))
            if (statement.find("AUDITORIA") != std::string::npos && statement.find("INDEX") == std::string::npos)
                session << statement;
        session << "INSERT INTO AUDITORIA SELECT * FROM AUDITORIA_ANTIGA";
        session << "DROP TABLE AUDITORIA_ANTIGA";
        for (const auto& statement : splitStatements(embedded("security.sql")))
            if (statement.find("ON AUDITORIA") != std::string::npos) session << statement;
        return;
    }
    const auto name = scalarText(session,
                                 "SELECT conname FROM pg_constraint WHERE conrelid = 'auditoria'::regclass "
                                 "AND contype = 'c' AND pg_get_constraintdef(oid) LIKE '%idacao%' "
                                 "AND pg_get_constraintdef(oid) NOT LIKE '%''C''%'",
                                 {});
    if (!name) return;
    session << "ALTER TABLE AUDITORIA DROP CONSTRAINT " + *name;
    session << "ALTER TABLE AUDITORIA ADD CONSTRAINT auditoria_idacao_check CHECK (IDACAO IN ('I', 'A', 'E', 'C'))";
}

}  // namespace

void ensureSecurityTables(soci::session& session) {
    const Engine engine = engineOf(session);
    WriteTransaction tx(session, engine);
    takeSchemaTurn(session);
    for (const auto& statement : splitStatements(embedded("security.sql"))) {
        // CREATE INDEX IF NOT EXISTS locks its table before it looks: a server
        // started while others write would wait on them, and deadlock them.
        if (engine == Engine::PostgreSQL)
            if (const std::string name = createdIfMissing(statement); !name.empty() && relationExists(session, name))
                continue;
        session << statement;
    }
    upgradeOperators(session);
    upgradeAuditActions(session);
    tx.commit();
}

void ensureNeedsTable(soci::session& session) {
    WriteTransaction tx(session, engineOf(session));
    for (const auto& statement : splitStatements(embedded("needs.sql"))) session << statement;
    tx.commit();
}

void ensureReferenceIntakes(soci::session& session) {
    const Engine engine = engineOf(session);
    WriteTransaction tx(session, engine);
    takeSchemaTurn(session);
    for (const auto& statement : splitStatements(embedded("dri.sql"))) session << statement;
    if (scalarNumber(session, "SELECT COUNT(*) AS N FROM REFNUTRDRI", {}).value_or(0) > 0) return tx.commit();
    // Only nutrients the catalogue has, in the unit it counts them in.
    std::map<std::string, std::string> units;
    for (const auto& row : query(session, "SELECT CDNUTRIENTE, SGUNIDADE FROM NUTRIENTE", {},
                                 {{"CDNUTRIENTE", protocol::FieldType::String, 3},
                                  {"SGUNIDADE", protocol::FieldType::String, 10}})
                               .rows)
        units[row[0].get<std::string>()] = row[1].get<std::string>();
    const TsvTable data = TsvTable::parse(embedded("dri.tsv"));
    std::string columns, values;
    for (const auto& c : data.columns) {
        columns += (columns.empty() ? "" : ", ") + c;
        values += (values.empty() ? ":" : ", :") + c;
    }
    const std::string sql = "INSERT INTO REFNUTRDRI (" + columns + ") VALUES (" + values + ")";
    const auto at = [&](const std::string& column) {
        return size_t(std::find(data.columns.begin(), data.columns.end(), column) - data.columns.begin());
    };
    const size_t code = at("CDNUTRIENTE"), unit = at("SGUNIDADE");
    for (const auto& row : data.rows) {
        const auto known = units.find(row[code]);
        if (known == units.end() || known->second != row[unit]) continue;
        Params params;
        for (size_t i = 0; i < row.size(); ++i)
            params.push_back({data.columns[i], row[i].empty() ? std::nullopt : std::optional<std::string>(row[i])});
        execute(session, sql, params);
    }
    tx.commit();
}

void createSchema(soci::session& session) {
    const Engine engine = engineOf(session);
    WriteTransaction tx(session, engine);
    for (const auto& statement : splitStatements(embedded("schema.sql"))) session << statement;
    tx.commit();
    installFunctions(session);
    ensureSecurityTables(session);
    ensureNeedsTable(session);
}

bool initializeDatabase(soci::session& session, bool withDemoData) {
    if (schemaExists(session)) {
        installFunctions(session);
        ensureSecurityTables(session);
        ensureNeedsTable(session);
        ensureReferenceIntakes(session);
        return false;
    }
    createSchema(session);
    if (withDemoData)
        loadDemoData(session);
    else
        loadCatalogue(session);
    // After the catalogue: the references are kept for its nutrients only.
    ensureReferenceIntakes(session);
    return true;
}

bool hasOperators(soci::session& session) {
    return scalarNumber(session, "SELECT COUNT(*) AS N FROM OPERADOR", {}).value_or(0) > 0;
}

void createAdministrator(soci::session& session, const std::string& code, const std::string& name,
                         const std::string& password) {
    if (code.empty() || code.size() > 10)
        throw std::invalid_argument("Código do administrador deve ter de 1 a 10 caracteres.");
    for (char c : code)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            throw std::invalid_argument("Código do administrador deve ter só letras maiúsculas, dígitos e _.");
    if (name.empty() || name.size() > 60) throw std::invalid_argument("Nome do administrador inválido.");
    if (const auto problem = passwordProblem(code, password)) throw std::invalid_argument(*problem);
    WriteTransaction tx(session, engineOf(session));
    if (scalarText(session, "SELECT CDOPERADOR FROM OPERADOR WHERE CDOPERADOR = :P_CDOPERADOR",
                   {{"P_CDOPERADOR", code}}))
        throw std::invalid_argument("Já existe o operador " + code + ".");
    execute(session,
            "INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR, DSSENHA, IDPERFIL) "
            "VALUES (:P_CDOPERADOR, :P_NMOPERADOR, :P_DSSENHA, 'A')",
            {{"P_CDOPERADOR", code}, {"P_NMOPERADOR", name}, {"P_DSSENHA", hashPassword(password)}});
    execute(session,
            "INSERT INTO OPERFILI (CDOPERADOR, CDFILIAL) SELECT CAST(:P_CDOPERADOR AS VARCHAR(10)), CDFILIAL FROM FILIAL",
            {{"P_CDOPERADOR", code}});
    tx.commit();
}

} // namespace db

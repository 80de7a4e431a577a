// The host's search through the server: only allow-listed query texts run,
// with their parameters decoded from the host's parameter text.
#include "ServerFixture.h"

#include "catalog/CatalogQueries.h"
#include "db/Query.h"

#include <chrono>
#include <thread>

using namespace protocol;

namespace {

constexpr const char* Lookup = "Host.Pesquisa.Pesquisar_Serv";

} // namespace

class HostLookup : public testsupport::ServerTest {};

TEST_P(HostLookup, PatientSearchListsTheBranchByName) {
    // The host may lay the text out differently: runs of blanks count as one.
    std::string text = catalog::qryPesqPaci;
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 3)) text.replace(at, 1, " \r\n");
    const auto p = packet(Lookup, {text, "P_CDFILIAL=0001"});
    const auto expected = db::scalarNumber(sql(), "SELECT COUNT(*) FROM PACIENTE WHERE CDFILIAL = '0001'", {});
    ASSERT_TRUE(expected);
    ASSERT_EQ(p.rows.size(), static_cast<size_t>(*expected));
    ASSERT_GT(p.rows.size(), 1u);
    for (size_t r = 1; r < p.rows.size(); ++r)
        EXPECT_LE(p.at(r - 1, "NMPACIENTE").get<std::string>(), p.at(r, "NMPACIENTE").get<std::string>());
    EXPECT_EQ(p.at(0, "NMPACIENTE"), "Ana Cláudia Monteiro Freitas");

    // The query's own columns, the birth date as a date.
    ASSERT_EQ(p.fields.size(), 7u);
    EXPECT_EQ(p.fields[4].name, "DTNASCPACI");
    EXPECT_EQ(p.fields[4].type, FieldType::Date);
    ASSERT_EQ(p.rows[10][0], "000000000001");  // Maria Aparecida, 11th by name
    EXPECT_EQ(p.rows[10][4], "1958-03-14");

    // Percent-encoded names and values; a branch without patients gives no row.
    EXPECT_EQ(packet(Lookup, {catalog::qryPesqPaci, "P%5FCDFILIAL=%30%30%30%31"}).rows.size(), p.rows.size());
    // A value spliced as SQL is only a branch the operator may not use.
    EXPECT_EQ(failure(Lookup, {catalog::qryPesqPaci, "P_CDFILIAL=%27%20OR%20%271%27%3D%271"}),
              "Operador sem permissão de acesso à filial ' OR '1'='1.");
    db::execute(sql(), "INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0003', 'Sem pacientes')", {});
    db::execute(sql(), "INSERT INTO OPERFILI (CDOPERADOR, CDFILIAL) VALUES ('DEMO', '0003')", {});
    // The new branch counts once the remembered session check is older than its time.
    std::this_thread::sleep_for(
        std::chrono::milliseconds(server_->dispatcher().sessionPolicy().sessionCheckMilliseconds + 100));
    const auto none = packet(Lookup, {catalog::qryPesqPaci, "P_CDFILIAL=0003"});
    EXPECT_TRUE(none.rows.empty());
    EXPECT_EQ(none.fields.size(), 7u);
}

TEST_P(HostLookup, OtherQueriesAreRefused) {
    const std::string refused = "Consulta não permitida no servidor.";
    EXPECT_EQ(failure(Lookup, {"SELECT * FROM OPERADOR", ""}), refused);
    EXPECT_EQ(failure(Lookup, {std::string(catalog::qryPesqPaci) + "; DELETE FROM PACIENTE", "P_CDFILIAL=0001"}),
              refused);
    EXPECT_EQ(failure(Lookup, {catalog::qryServico, "P_CDFILIAL=0001&P_CDSERVFILI=&P_TCDSERVFILI=T"}), refused);
    std::string changed = catalog::qryPesqPaci;
    changed.replace(changed.find("NMPACIENTE"), 10, "DSSENHA");
    EXPECT_EQ(failure(Lookup, {changed, "P_CDFILIAL=0001"}), refused);
}

TEST_P(HostLookup, BadParameterTextsAreRefused) {
    for (const json params : {"", "P_CDFILIAL", "=0001", "P_CDFILIAL=0001&", "P_CDFILIAL=0001&P_X=1",
                              "P_CDFILIAL=0001&P_CDFILIAL=0002", "P_CDFILIAL=%GG01", "P_CDFILIAL=00%2", "P_X=0001",
                              "P_CDFILIAL=%FF%FE"})
        EXPECT_NE(failure(Lookup, {catalog::qryPesqPaci, params}), "") << params;
    EXPECT_NE(failure(Lookup, {catalog::qryPesqPaci, 1}), "");
}

INQUERITO_ENGINES(HostLookup);

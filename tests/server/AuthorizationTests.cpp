// Branch authorization: an operator reads and writes only the branches it
// may use (OPERFILI). NUTRI1 may use branch 0002 only; the demo week is
// branch 0001's.
#include "InqueritoTestSupport.h"
#include "ValidCalls.h"

#include "catalog/CatalogQueries.h"

#include <chrono>
#include <set>
#include <thread>

using namespace inqtest;
using protocol::RpcFailure;
namespace rpc_error = protocol::rpc_error;

class Authorization : public testsupport::ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        nutri = clientAs("NUTRI1", "nutri1", "0002");
    }
    std::string survey() {
        std::string text;
        for (const char* table : {"INQUERPACI", "HORAINQPACI", "ITINQUERPACI", "AUDITORIA", "REQUISICAO"}) {
            const auto p = db::query(sql(), std::string("SELECT * FROM ") + table +
                                              (std::string(table) == "AUDITORIA" ? " WHERE IDACAO <> 'C'" : ""),
                                          {});  // reads are recorded too, in batches
            std::vector<std::string> rows;
            for (const auto& row : p.rows) rows.push_back(json(row).dump());
            std::sort(rows.begin(), rows.end());
            text += table;
            for (const auto& r : rows) text += "\n" + r;
        }
        return text;
    }
    std::pair<int, std::string> refusal(const std::string& method, const json& params) {
        try {
            nutri->call(method, params);
        } catch (const RpcFailure& e) {
            return {e.code(), e.what()};
        }
        ADD_FAILURE() << method << " succeeded for an operator of another branch";
        return {0, ""};
    }
    std::unique_ptr<protocol::RpcClient> nutri;
};

// Every operation that names a branch refuses branch 0001's data to NUTRI1,
// before it runs: nothing is read, nothing is written.
TEST_P(Authorization, AnotherBranchsDataIsNeitherReadNorWritten) {
    const std::string before = survey();
    int checked = 0;
    for (const auto& call : validcalls::all()) {
        const auto rule = server_->dispatcher().ruleOf(call.method).kind;
        using Kind = server::BranchRule::Kind;
        if (rule == Kind::Public || rule == Kind::Catalogue || rule == Kind::Handler) continue;
        const auto [code, message] = refusal(call.method, call.params);
        EXPECT_EQ(code, rpc_error::Forbidden) << call.method << ": " << message;
        EXPECT_TRUE(message == "Operador sem permissão de acesso à filial 0001." ||
                    message == "Operador sem permissão de acesso ao paciente 000000000001.")
            << call.method << ": " << message;
        ++checked;
    }
    EXPECT_EQ(checked, 30);
    EXPECT_EQ(survey(), before);

    // The same calls succeed for the demo operator, who may use 0001.
    for (const auto& call : validcalls::all())
        if (!call.write) {
            EXPECT_NO_THROW(client_->call(call.method, call.params)) << call.method;
        }
}

// The branch argument alone is not enough: a patient of 0001 asked for under
// branch 0002 is refused too, since those operations read the patient's
// records by code.
TEST_P(Authorization, APatientOfAnotherBranchIsRefusedUnderAnAllowedBranch) {
    const json day = "2026-11-30";
    for (const auto& [method, params] : std::vector<std::pair<std::string, json>>{
             {op("GetMax"), {Paciente}},
             {op("GetProdutoRest"), {Paciente, "0002", Inicio, Fim, day}},
             {op("GetPratoRest"), {Paciente, "P", "0002", "00003", Inicio, Fim, day}},
             {op("GetVerMedica"), {Paciente, "0002", day, "0701005"}},
             {op("GetVerMedicaPrato"), {Paciente, day, "01001", "P", "0002"}},
             {op("GetTotDia"), {Paciente, "0002", Inicio, day, "T"}},
             {op("GetAlimRecentes"), {Paciente, "0002", day}},
             {op("GetNutrDia"), {Paciente, "0002", day, "_010_"}},
             {"Zep12610.rdmCalcular.GetCalc", {Paciente, Inicio, Fim, "0002", "", "T", "T"}},
             {"Zep12640.rdmPlaInqNutr.GetInquNutr", {Inicio, Fim, Paciente, "0002", "T", "", "T"}},
         }) {
        const auto [code, message] = refusal(method, params);
        EXPECT_EQ(code, rpc_error::Forbidden) << method;
        EXPECT_EQ(message, "Operador sem permissão de acesso ao paciente 000000000001.") << method;
    }
    // An empty branch names none the operator may use.
    EXPECT_EQ(refusal(op("GetInqPaci"), {"", Paciente}).second, "Filial deve ser informada.");
}

// A change packet is checked row by row: one row of another branch refuses
// the whole packet, old rows included.
TEST_P(Authorization, ChangePacketsWithAnyRowOfAnotherBranchAreRefused) {
    const std::string before = survey();
    Item own;  // a new item of ZN0001's period in 0002 would be fine ...
    own.filial = "0002";
    own.paciente = "ZN0001";
    own.inicio = "2026-11-23";
    own.dia = "2026-11-23";
    Item foreign;  // ... but not with one of 0001 beside it
    EXPECT_EQ(refusal(op("SetItemPrato"), json::array({itemPacket({insertOf(own), insertOf(foreign)})})).first,
              rpc_error::Forbidden);
    // Moving an item of 0001 into 0002: the old row names 0001.
    EXPECT_EQ(refusal(op("SetItemPrato"), json::array({itemPacket({updateOf(foreign, own)})})).first, rpc_error::Forbidden);
    EXPECT_EQ(refusal(op("SetInqPaci"),
                      json::array({validcalls::periodPacket("delete", "000000000001", "2026-11-30", "2026-12-06")}))
                  .first,
              rpc_error::Forbidden);
    EXPECT_EQ(survey(), before);
}

TEST_P(Authorization, OperationsNamingNoBranchAnswerOnlyTheOperatorsBranches) {
    const auto dieto = protocol::DataPacket::fromJson(nutri->call("Zep12610.rdmCalcular.GetParaDieto", json::array()).data);
    ASSERT_EQ(dieto.rows.size(), 1u);
    EXPECT_EQ(dieto.at(0, "CDFILIAL"), "0002");
    EXPECT_EQ(packet("Zep12610.rdmCalcular.GetParaDieto", json::array()).rows.size(), 2u);  // DEMO: both

    // The patient lookup lists the operator's branches only.
    const auto own = nutri->call("Host.Pesquisa.Pesquisar_Serv", {catalog::qryPesqPaci, "P_CDFILIAL=0002"});
    EXPECT_GT(own.data["rows"].size(), 0u);
    const auto [code, message] = refusal("Host.Pesquisa.Pesquisar_Serv", {catalog::qryPesqPaci, "P_CDFILIAL=0001"});
    EXPECT_EQ(code, rpc_error::Forbidden);
    EXPECT_EQ(message, "Operador sem permissão de acesso à filial 0001.");
}

// A branch taken from the operator applies to a session already open, once
// its remembered session check is older than its time.
TEST_P(Authorization, BranchesAreReadAfreshOnEveryCall) {
    EXPECT_NO_THROW(call(op("GetInqPaci"), {"0002", "ZN0001"}));
    db::execute(sql(), "DELETE FROM OPERFILI WHERE CDOPERADOR = 'DEMO' AND CDFILIAL = '0002'", {});
    std::this_thread::sleep_for(
        std::chrono::milliseconds(server_->dispatcher().sessionPolicy().sessionCheckMilliseconds + 100));
    EXPECT_EQ(failure(op("GetInqPaci"), {"0002", "ZN0001"}), "Operador sem permissão de acesso à filial 0002.");
}

// Every operation says where its branch comes from (see each server object's
// file); an operation added without saying it would go unchecked.
TEST_P(Authorization, EveryOperationDeclaresItsBranchRule) {
    EXPECT_EQ(server_->dispatcher().undeclaredOperations(), std::vector<std::string>{});
    std::set<std::string> covered;
    for (const auto& call : validcalls::all()) covered.insert(call.method);
    for (const auto& method : server_->dispatcher().operations())
        if (method != "Host.Sessao.Logout") {
            EXPECT_TRUE(covered.count(method)) << method << " has no valid call";
        }
}

INQUERITO_ENGINES(Authorization);

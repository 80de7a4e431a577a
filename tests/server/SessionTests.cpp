// Sessions: a call without a valid session of an operator reads and writes
// nothing; login, logout, expiry and the slowing down of failed logins.
#include "InqueritoTestSupport.h"
#include "ValidCalls.h"

#include "db/Password.h"

#include <chrono>
#include <thread>

using namespace inqtest;
using protocol::RpcFailure;
namespace rpc_error = protocol::rpc_error;

namespace {

// Code and message of a call that must fail.
std::pair<int, std::string> refusal(protocol::RpcClient& client, const std::string& method, const json& params) {
    try {
        client.call(method, params);
    } catch (const RpcFailure& e) {
        return {e.code(), e.what()};
    }
    ADD_FAILURE() << method << " succeeded but should have been refused";
    return {0, ""};
}

}  // namespace

class Sessions : public testsupport::ServerTest {
protected:
    // Everything a write could have touched.
    std::string survey() {
        std::string text;
        for (const char* table : {"INQUERPACI", "HORAINQPACI", "ITINQUERPACI", "AUDITORIA", "REQUISICAO"}) {
            const auto p = db::query(sql(), std::string("SELECT * FROM ") + table, {});
            std::vector<std::string> rows;
            for (const auto& row : p.rows) rows.push_back(json(row).dump());
            std::sort(rows.begin(), rows.end());
            text += table;
            for (const auto& r : rows) text += "\n" + r;
        }
        return text;
    }
    std::unique_ptr<protocol::RpcClient> anonymous() {
        auto c = server_->client();
        c->setToken("");
        return c;
    }
};

TEST_P(Sessions, EveryOperationButTheLoginNeedsASessionAndChangesNothingWithout) {
    const std::string before = survey();
    auto c = anonymous();
    for (const auto& call : validcalls::all()) {
        if (call.method == "Host.Sessao.Login") continue;
        const auto [code, message] = refusal(*c, call.method, call.params);
        EXPECT_EQ(code, rpc_error::Unauthenticated) << call.method;
        EXPECT_EQ(message, "Sessão não iniciada: entre no sistema para usar o servidor de aplicação.") << call.method;
    }
    EXPECT_EQ(survey(), before);

    // A token that was never issued, and one that is not even a token.
    for (const std::string& token : {std::string(64, 'a'), std::string("' OR 1=1 --"), std::string(5000, 'f')}) {
        c->setToken(token);
        const auto [code, message] = refusal(*c, op("GetInqPaci"), {Filial, Paciente});
        EXPECT_EQ(code, rpc_error::Unauthenticated);
        EXPECT_EQ(message, "Sessão inválida ou encerrada: entre novamente no sistema.");
    }
    EXPECT_EQ(survey(), before);
}

TEST_P(Sessions, AnExpiredSessionIsRefusedAndWritesNothing) {
    auto c = clientAs("DEMO", "demo", "0001");
    EXPECT_EQ(c->call(op("GetInqPaci"), {Filial, Paciente}).data["rows"].size(), 1u);
    db::execute(sql(), "UPDATE SESSAO SET DTHREXPIRA = '2000-01-01 00:00:00.000' WHERE DSHASHTOKEN = :P_HASH",
                {{"P_HASH", db::sha256Hex(c->token())}});
    // A change made in the table, as another instance would, counts once the
    // remembered session check is older than its time.
    std::this_thread::sleep_for(
        std::chrono::milliseconds(server_->dispatcher().sessionPolicy().sessionCheckMilliseconds + 100));
    const std::string before = survey();
    for (const auto& call : validcalls::all()) {
        if (call.method == "Host.Sessao.Login") continue;
        const auto [code, message] = refusal(*c, call.method, call.params);
        EXPECT_EQ(code, rpc_error::Unauthenticated) << call.method;
        EXPECT_EQ(message, "Sessão expirada: entre novamente no sistema.") << call.method;
    }
    EXPECT_EQ(survey(), before);
    // The next login clears ended sessions away.
    clientAs("DEMO", "demo", "0002");
    EXPECT_FALSE(db::scalarText(sql(), "SELECT CDOPERADOR FROM SESSAO WHERE DSHASHTOKEN = :P_HASH",
                                {{"P_HASH", db::sha256Hex(c->token())}}));
}

TEST_P(Sessions, LoginAnswersTheOperatorAndBranchesAndKeepsOnlyAHashOfTheToken) {
    auto c = anonymous();
    const json data = c->login("  nutri1 ", "nutri1", "2");
    EXPECT_EQ(data["CDOPERADOR"], "NUTRI1");
    EXPECT_EQ(data["NMOPERADOR"], "Nutricionista Carla Menezes");
    EXPECT_EQ(data["CDFILIAL"], "0002");
    EXPECT_EQ(data["NMFILIAL"], "Hospital Zona Norte");
    EXPECT_EQ(protocol::DataPacket::fromJson(data["filiais"]).rows.size(), 1u);
    const std::string token = data["token"];
    EXPECT_EQ(token.size(), 64u);
    EXPECT_NE(token, server_->token());
    // About twelve hours from now.
    EXPECT_EQ(data["expira"].get<std::string>().size(), 24u);

    // Not the token, only its hash, is stored.
    const auto stored = db::query(sql(), "SELECT * FROM SESSAO", {});
    EXPECT_EQ(stored.rows.size(), 2u);  // the fixture's and this one
    EXPECT_EQ(json(stored.rows).dump().find(token), std::string::npos);
    EXPECT_TRUE(db::scalarText(sql(), "SELECT CDOPERADOR FROM SESSAO WHERE DSHASHTOKEN = :P_HASH",
                               {{"P_HASH", db::sha256Hex(token)}}));

    // The session works without anything else.
    EXPECT_EQ(c->call(op("GetInqPaci"), {"0002", "ZN0001"}).data["rows"].size(), 1u);
}

TEST_P(Sessions, WrongCredentialsAndBranchesGetTheHostsMessages) {
    auto c = anonymous();
    auto loginFails = [&](const std::string& op, const std::string& pw, const std::string& branch) {
        try {
            c->login(op, pw, branch);
        } catch (const RpcFailure& e) {
            return std::string(e.what());
        }
        return std::string("(aceito)");
    };
    EXPECT_EQ(loginFails("DEMO", "errada", "0001"), "Operador ou senha inválidos.");
    EXPECT_EQ(loginFails("NINGUEM", "demo", "0001"), "Operador ou senha inválidos.");
    EXPECT_EQ(loginFails("NUTRI1", "nutri1", "0001"), "Operador sem permissão de acesso à filial 0001.");
    EXPECT_EQ(loginFails("NUTRI1", "nutri1", ""), "Filial deve ser informada.");
    EXPECT_EQ(c->token(), "");
}

TEST_P(Sessions, LogoutEndsTheSession) {
    auto c = clientAs("DEMO", "demo", "0001");
    const std::string token = c->token();
    c->logout();
    EXPECT_EQ(c->token(), "");
    c->setToken(token);
    const auto [code, message] = refusal(*c, op("GetInqPaci"), {Filial, Paciente});
    EXPECT_EQ(code, rpc_error::Unauthenticated);
    // The fixture's own session is untouched.
    EXPECT_NO_THROW(call(op("GetInqPaci"), {Filial, Paciente}));
}

// Failed logins of one operator, then from one address, make the next try
// wait; a wait is refused at once, without looking at the password.
TEST_P(Sessions, RepeatedFailedLoginsSlowDown) {
    server::ServerOptions options;
    options.threads = 2;
    testsupport::RunningServer small(db_->url(), options, false);
    auto& policy = small.dispatcher().sessionPolicy();
    policy.operatorFreeFailures = 2;
    policy.addressFreeFailures = 5;
    policy.firstDelayMilliseconds = 400;
    auto c = small.client();
    auto attempt = [&](const std::string& op, const std::string& pw) -> int {
        try {
            c->login(op, pw, "0002");
            return 0;
        } catch (const RpcFailure& e) {
            return e.code();
        }
    };
    EXPECT_EQ(attempt("NUTRI1", "x"), rpc_error::OperationFailed);
    EXPECT_EQ(attempt("NUTRI1", "y"), rpc_error::OperationFailed);
    EXPECT_EQ(attempt("NUTRI1", "z"), rpc_error::OperationFailed);  // third failure: a wait begins
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(attempt("NUTRI1", "nutri1"), rpc_error::Throttled);  // even the right password
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    try {
        c->login("NUTRI1", "nutri1", "0002");
    } catch (const RpcFailure& e) {
        EXPECT_TRUE(std::string(e.what()).starts_with("Muitas tentativas de acesso sem sucesso. Aguarde"))
            << e.what();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(450));
    EXPECT_EQ(attempt("NUTRI1", "nutri1"), 0);  // a success clears the counts

    // From one address, failures of any operators add up.
    for (const char* op : {"A1", "A2", "A3", "A4", "A5"}) EXPECT_EQ(attempt(op, "x"), rpc_error::OperationFailed);
    EXPECT_EQ(attempt("A6", "x"), rpc_error::OperationFailed);  // sixth: the address waits
    EXPECT_EQ(attempt("DEMO", "demo"), rpc_error::Throttled);
    std::this_thread::sleep_for(std::chrono::milliseconds(450));
    EXPECT_EQ(attempt("DEMO", "demo"), 0);
}

INQUERITO_ENGINES(Sessions);

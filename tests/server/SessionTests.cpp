// Sessions: a call without a valid session of an operator reads and writes
// nothing; login, logout, expiry and the slowing down of failed logins.
#include "InqueritoTestSupport.h"
#include "ValidCalls.h"

#include "db/Password.h"
#include "server/Sessions.h"

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
        if (call.method.starts_with("Host.Sessao.")) continue;  // Login and TrocarSenha need no session
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
        if (call.method.starts_with("Host.Sessao.")) continue;  // Login and TrocarSenha need no session
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

// A login attempt's rpc error code, 0 when it succeeded.
int attempt(protocol::RpcClient& c, const std::string& op, const std::string& pw, const std::string& branch = "0002") {
    try {
        c.login(op, pw, branch);
        return 0;
    } catch (const RpcFailure& e) {
        return e.code();
    }
}

class Throttling : public Sessions {
protected:
    std::unique_ptr<testsupport::RunningServer> instance(int operatorFree = 3, int addressFree = 10,
                                                         int firstDelayMs = 400) {
        server::ServerOptions options;
        options.threads = 8;
        auto s = std::make_unique<testsupport::RunningServer>(db_->url(), options, false);
        auto& policy = s->dispatcher().sessionPolicy();
        policy.operatorFreeFailures = operatorFree;
        policy.addressFreeFailures = addressFree;
        policy.firstDelayMilliseconds = firstDelayMs;
        return s;
    }
    static long long checks(testsupport::RunningServer& s) {
        return s.dispatcher().throttle()->passwordChecks();
    }
};

// The wait begins with the third failure of an operator: the fourth try is
// refused at once, even with the right password, and a right one after the
// wait clears the operator's count.
TEST_P(Throttling, TheFourthTryOfAnOperatorWaits) {
    auto s = instance();
    auto c = s->client();
    for (const char* pw : {"x", "y", "z"}) EXPECT_EQ(attempt(*c, "NUTRI1", pw), rpc_error::OperationFailed);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(attempt(*c, "NUTRI1", "nutri1"), rpc_error::Throttled);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_EQ(checks(*s), 3);
    try {
        c->login("NUTRI1", "nutri1", "0002");
        ADD_FAILURE() << "a try inside the wait was let through";
    } catch (const RpcFailure& e) {
        EXPECT_TRUE(std::string(e.what()).starts_with("Muitas tentativas de acesso sem sucesso. Aguarde 1 segundo"))
            << e.what();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(450));
    EXPECT_EQ(attempt(*c, "NUTRI1", "nutri1"), 0);
    // Cleared: three more failures are allowed before the next wait.
    for (const char* pw : {"x", "y", "z"}) EXPECT_EQ(attempt(*c, "NUTRI1", pw), rpc_error::OperationFailed);
    EXPECT_EQ(attempt(*c, "NUTRI1", "w"), rpc_error::Throttled);
    // Each further failure doubles the wait.
    std::this_thread::sleep_for(std::chrono::milliseconds(450));
    EXPECT_EQ(attempt(*c, "NUTRI1", "v"), rpc_error::OperationFailed);
    std::this_thread::sleep_for(std::chrono::milliseconds(450));
    EXPECT_EQ(attempt(*c, "NUTRI1", "nutri1"), rpc_error::Throttled);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(attempt(*c, "NUTRI1", "nutri1"), 0);
}

// From one address, the eleventh try after ten failures of any operators waits.
TEST_P(Throttling, TheEleventhTryOfAnAddressWaits) {
    auto s = instance();
    auto c = s->client();
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(attempt(*c, "X" + std::to_string(i), "x"), rpc_error::OperationFailed) << i;
    EXPECT_EQ(attempt(*c, "DEMO", "demo"), rpc_error::Throttled);
    EXPECT_EQ(checks(*s), 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(450));
    EXPECT_EQ(attempt(*c, "DEMO", "demo"), 0);
}

// Simultaneous wrong logins of one operator: only the free ones reach the
// password check, the rest are refused inside the wait.
TEST_P(Throttling, ParallelTriesCannotSlipPastTheWait) {
    auto s = instance(3, 1000, 5000);
    constexpr int Tries = 32;
    std::vector<std::unique_ptr<protocol::RpcClient>> clients;
    for (int i = 0; i < Tries; ++i) clients.push_back(s->client());
    std::vector<int> codes(Tries);
    std::vector<std::thread> threads;
    for (int i = 0; i < Tries; ++i)
        threads.emplace_back([&, i] { codes[i] = attempt(*clients[i], "NUTRI1", "wrong" + std::to_string(i)); });
    for (auto& t : threads) t.join();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), rpc_error::OperationFailed), 3);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), rpc_error::Throttled), Tries - 3);
    EXPECT_EQ(checks(*s), 3);
}

// Password spraying: a valid login between guesses at other operators does
// not clear the address's count.
TEST_P(Throttling, AValidLoginDoesNotClearTheAddress) {
    auto s = instance();
    auto c = s->client();
    int guessesChecked = 0;
    for (int round = 0; round < 5; ++round) {
        attempt(*c, "DEMO", "demo");
        for (int i = 0; i < 9; ++i)
            if (attempt(*c, "G" + std::to_string(round) + std::to_string(i), "x") == rpc_error::OperationFailed)
                ++guessesChecked;
    }
    EXPECT_EQ(guessesChecked, 10);
    // The operator's own count is cleared by its success, the address's is not.
    const auto rows = db::query(sql(), "SELECT DSCHAVE, QTFALHAS FROM FALHAACESSO WHERE DSCHAVE LIKE 'E:%'", {});
    ASSERT_EQ(rows.rows.size(), 1u);
    EXPECT_EQ(rows.rows[0][1].is_number() ? rows.rows[0][1].get<int>() : std::stoi(rows.rows[0][1].get<std::string>()), 10);
}

// Two servers over one database share the counts.
TEST_P(Throttling, TheCountsHoldAcrossInstances) {
    auto a = instance(3, 1000, 5000);
    auto b = instance(3, 1000, 5000);
    auto ca = a->client();
    auto cb = b->client();
    EXPECT_EQ(attempt(*ca, "NUTRI1", "x"), rpc_error::OperationFailed);
    EXPECT_EQ(attempt(*cb, "NUTRI1", "y"), rpc_error::OperationFailed);
    EXPECT_EQ(attempt(*ca, "NUTRI1", "z"), rpc_error::OperationFailed);
    EXPECT_EQ(attempt(*cb, "NUTRI1", "nutri1"), rpc_error::Throttled);
    EXPECT_EQ(attempt(*ca, "NUTRI1", "nutri1"), rpc_error::Throttled);

    // In parallel, half the tries through each instance.
    constexpr int Tries = 32;
    std::vector<std::unique_ptr<protocol::RpcClient>> clients;
    for (int i = 0; i < Tries; ++i) clients.push_back((i % 2 ? a : b)->client());
    std::vector<std::thread> threads;
    const long long before = checks(*a) + checks(*b);
    for (int i = 0; i < Tries; ++i) threads.emplace_back([&, i] { attempt(*clients[i], "DEMO", "w" + std::to_string(i)); });
    for (auto& t : threads) t.join();
    EXPECT_EQ(checks(*a) + checks(*b) - before, 3);
}

INQUERITO_ENGINES(Throttling);

INQUERITO_ENGINES(Sessions);

// How many statements the busiest calls run, and the item number limit that
// is now checked inside the insert.
#include "InqueritoTestSupport.h"

#include "db/Password.h"
#include "server/SessionCache.h"
#include "server/Sessions.h"

#include <cstdio>
#include <mutex>
#include <thread>

using namespace inqtest;
using protocol::json;

namespace {

struct Counter : db::StatementObserver {
    std::mutex mutex;
    std::vector<std::string> statements;
    // The session check, the audit trail and the remembered requests are the
    // security layer's own statements, counted by its tests; only the
    // survey's statements are counted here.
    void ran(const std::string& sql, const db::Params&, bool) override {
        for (const char* own : {"SESSAO", "AUDITORIA", "REQUISICAO"})
            if (sql.find(own) != std::string::npos) return;
        std::lock_guard lock(mutex);
        statements.push_back(sql);
    }
};

// Every statement, the security layer's too, sorted by what it touches.
struct AllCounter : db::StatementObserver {
    std::mutex mutex;
    size_t sessionChecks = 0, others = 0;
    std::vector<std::string> statements;
    void ran(const std::string& sql, const db::Params&, bool) override {
        std::lock_guard lock(mutex);
        statements.push_back(sql);
        if (sql.find("FROM SESSAO") != std::string::npos)
            ++sessionChecks;
        else
            ++others;
    }
};

}  // namespace

class LeanCalls : public testsupport::ServerTest {
protected:
    // The statements the layer ran for one call.
    size_t statementsOf(const std::string& method, const json& params) {
        Counter counter;
        db::setStatementObserver(&counter);
        try {
            call(method, params);
        } catch (...) {
            db::setStatementObserver(nullptr);
            throw;
        }
        db::setStatementObserver(nullptr);
        return counter.statements.size();
    }
};

TEST_P(LeanCalls, ItemWritesReadThePeriodAndTheCatalogueOncePerPacket) {
    Item one;
    one.seq = "";
    // Lock and read the period, read the catalogue facts, take the number, insert.
    // Lock and read the period with the item's catalogue facts, then the
    // insert that takes the next number.
    EXPECT_EQ(statementsOf(op("SetItemPrato"), json::array({itemPacket({insertOf(one)})})), 2u);
    // Three more of the same product and measure: still one period read and one catalogue read.
    EXPECT_EQ(statementsOf(op("SetItemPrato"),
                           json::array({itemPacket({insertOf(one), insertOf(one), insertOf(one)})})),
              4u);
    auto p = packet(op("GetItemProd"), dayArgs(one.servico, one.dia));
    EXPECT_EQ(column(p, "NRSEQUINQUER"), (std::vector<std::string>{"001", "002", "003", "004"}));
    EXPECT_EQ(statementsOf(op("GetItemProd"), dayArgs(one.servico, one.dia)), 1u);
}

TEST_P(LeanCalls, TheThousandthItemOfADayAndServiceIsRefusedAndNothingIsWritten) {
    Item last;
    last.seq = "999";
    call(op("SetItemPrato"), json::array({itemPacket({insertOf(last)})}));
    Item next;
    next.seq = "";
    Item free = next;
    free.servico = "00006";
    const size_t freeBefore = packet(op("GetItemProd"), dayArgs(free.servico, free.dia)).rows.size();
    EXPECT_EQ(failure(op("SetItemPrato"), json::array({itemPacket({insertOf(free), insertOf(next)})})),
              "Limite de 999 itens por dia e serviço atingido.");
    // Asking for a number that is taken does not get around the limit either.
    next.seq = "999";
    EXPECT_EQ(failure(op("SetItemPrato"), json::array({itemPacket({insertOf(next)})})),
              "Limite de 999 itens por dia e serviço atingido.");
    EXPECT_EQ(column(packet(op("GetItemProd"), dayArgs(last.servico, last.dia)), "NRSEQUINQUER"),
              std::vector<std::string>{"999"});
    EXPECT_EQ(packet(op("GetItemProd"), dayArgs(free.servico, free.dia)).rows.size(), freeBefore);
    // A free number below the highest is still given when asked for.
    next.seq = "5";
    call(op("SetItemPrato"), json::array({itemPacket({insertOf(next)})}));
    EXPECT_EQ(column(packet(op("GetItemProd"), dayArgs(last.servico, last.dia)), "NRSEQUINQUER"),
              (std::vector<std::string>{"005", "999"}));
}

// What a desktop item costs, all statements counted: the number
// (GetSeqInquer), then the item with its request id. The session check is
// answered from memory within SessionPolicy::sessionCheckMilliseconds; the
// audit row and the request id go in one statement on PostgreSQL.
TEST_P(LeanCalls, ADesktopItemCostsItsStatementsAndNoMore) {
    server_->dispatcher().sessionPolicy().sessionCheckMilliseconds = 60000;
    Item item;
    call(op("GetItemProd"), dayArgs(item.servico, item.dia));  // the session is checked here

    AllCounter counter;
    db::setStatementObserver(&counter);
    const auto seq = packet(op("GetSeqInquer"),
                            {Filial, Paciente, Inicio, Fim, item.servico, item.dia});
    item.seq = std::to_string(std::stoi(seq.rows.at(0).at(0).get<std::string>()) + 1);
    call(op("SetItemPrato"), json::array({itemPacket({insertOf(item)})}));
    db::setStatementObserver(nullptr);

    EXPECT_EQ(counter.sessionChecks, 0u);
    const size_t security = GetParam() == db::Engine::PostgreSQL ? 1 : 2;
    // The highest number; the period with the catalogue facts, the insert; the audit row and the request id.
    EXPECT_EQ(counter.others, 1u + 2u + security) << testing::PrintToString(counter.statements);
    char stored[8];
    std::snprintf(stored, sizeof stored, "%03d", std::stoi(item.seq));
    EXPECT_EQ(column(packet(op("GetItemProd"), dayArgs(item.servico, item.dia)), "NRSEQUINQUER").back(), stored);
    EXPECT_EQ(db::scalarNumber(sql(), "SELECT COUNT(*) FROM AUDITORIA WHERE NMOPERACAO = :P_OP",
                               {{"P_OP", op("SetItemPrato")}}),
              1.0);
}

// The remembered session check: one statement for many calls, the expiry kept
// with it and compared on every call, a logout through this instance at once,
// and a change made elsewhere (another instance, the operator's branches)
// seen once the time is up.
TEST_P(LeanCalls, TheRememberedSessionCheckKeepsExpiryLogoutAndItsTime) {
    auto& policy = server_->dispatcher().sessionPolicy();
    policy.sessionCheckMilliseconds = 60000;
    auto c = clientAs("DEMO", "demo", "0001");
    AllCounter counter;
    db::setStatementObserver(&counter);
    for (int i = 0; i < 5; ++i) c->call(op("GetInqPaci"), {Filial, Paciente});
    db::setStatementObserver(nullptr);
    EXPECT_EQ(counter.sessionChecks, 1u);

    // Expiry: the session ends when its stored expiry passes, whatever was remembered.
    server::SessionCache cache;
    const std::string token = db::randomHex(32);
    db::execute(sql(),
                "INSERT INTO SESSAO (DSHASHTOKEN, CDOPERADOR, CDFILIAL, DTHRCRIACAO, DTHREXPIRA) "
                "VALUES (:P_HASH, 'DEMO', '0001', :P_AGORA, :P_EXPIRA)",
                {{"P_HASH", db::sha256Hex(token)},
                 {"P_AGORA", server::timestampUtc()},
                 {"P_EXPIRA", server::timestampUtc(std::chrono::system_clock::now() + std::chrono::milliseconds(700))}});
    EXPECT_EQ(cache.authenticate(sql(), token, std::chrono::minutes(1)).operatorCode, "DEMO");
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_THROW(cache.authenticate(sql(), token, std::chrono::minutes(1)), server::UnauthenticatedError);

    // Another instance's logout: seen once the remembered check is older than its time.
    const std::string other = db::randomHex(32);
    db::execute(sql(),
                "INSERT INTO SESSAO (DSHASHTOKEN, CDOPERADOR, CDFILIAL, DTHRCRIACAO, DTHREXPIRA) "
                "VALUES (:P_HASH, 'DEMO', '0001', :P_AGORA, '2999-01-01 00:00:00.000')",
                {{"P_HASH", db::sha256Hex(other)}, {"P_AGORA", server::timestampUtc()}});
    const auto keep = std::chrono::milliseconds(300);
    EXPECT_EQ(cache.authenticate(sql(), other, keep).operatorCode, "DEMO");
    db::execute(sql(), "DELETE FROM SESSAO WHERE DSHASHTOKEN = :P_HASH", {{"P_HASH", db::sha256Hex(other)}});
    std::this_thread::sleep_for(keep + std::chrono::milliseconds(50));
    EXPECT_THROW(cache.authenticate(sql(), other, keep), server::UnauthenticatedError);
    // A refused token is never remembered.
    EXPECT_THROW(cache.authenticate(sql(), other, keep), server::UnauthenticatedError);

    // A logout through this server applies at once, however long checks are kept.
    c->call("Host.Sessao.Logout", json::array());
    try {
        c->call(op("GetInqPaci"), {Filial, Paciente});
        ADD_FAILURE() << "a call after the logout succeeded";
    } catch (const protocol::RpcFailure& e) {
        EXPECT_EQ(e.code(), protocol::rpc_error::Unauthenticated);
    }
}

INQUERITO_ENGINES(LeanCalls);

// A write retried with its request id after a lost reply writes once.
#include "InqueritoTestSupport.h"

#include <atomic>
#include <thread>

using namespace inqtest;
using protocol::RpcFailure;

class Idempotency : public testsupport::ServerTest {
protected:
    long long itemsOf(const std::string& day) {
        return countOf(sql(), "SELECT COUNT(*) FROM ITINQUERPACI WHERE DTINQUERITO = '" + day +
                                  "' AND CDSERVFILI = '00002'");
    }
};

TEST_P(Idempotency, ARetryWithTheSameIdGetsTheFirstReplyAndWritesNothing) {
    Item a;
    a.dia = "2026-12-02";
    a.seq = "";  // the server numbers it
    const json params = json::array({itemPacket({insertOf(a)})});
    const std::string id = protocol::newRequestId();
    const auto stored = client_->call(op("SetItemPrato"), params, id);
    client_->call(op("SetItemPrato"), params, id);
    const auto retried = client_->call(op("SetItemPrato"), params, id);
    EXPECT_EQ(itemsOf("2026-12-02"), 1);
    EXPECT_EQ(retried.data, stored.data) << "a retry answers where the first call stored the item";
    EXPECT_EQ(countOf(sql(), "SELECT COUNT(*) FROM AUDITORIA WHERE IDACAO <> 'C'"), 1);
    // A new id is a new write.
    client_->call(op("SetItemPrato"), params, protocol::newRequestId());
    EXPECT_EQ(itemsOf("2026-12-02"), 2);

    // The reply by reference comes back as the first time.
    const std::string copyId = protocol::newRequestId();
    const json copy = {Paciente, Inicio, Fim, "2026-11-30", Filial, "00001", "0", "2026-12-05", "00002"};
    const auto first = client_->call("Zep12630.rdmCopiarInq.SetConfirmar", copy, copyId);
    EXPECT_EQ(itemsOf("2026-12-05"), 4);
    const auto again = client_->call("Zep12630.rdmCopiarInq.SetConfirmar", copy, copyId);
    EXPECT_EQ(itemsOf("2026-12-05"), 4);
    EXPECT_EQ(again.byref, first.byref);
    EXPECT_EQ(again.byref.at(6), "0");
}

TEST_P(Idempotency, AnIdUsedForAnotherCallIsRefused) {
    const std::string id = protocol::newRequestId();
    client_->call(op("SetHoraItem"), {Paciente, Filial, "00002", Inicio, Fim, "2026-12-02", "0945"}, id);
    try {
        client_->call(op("SetHoraItem"), {Paciente, Filial, "00002", Inicio, Fim, "2026-12-02", "1000"}, id);
        ADD_FAILURE() << "an id reused with other arguments was accepted";
    } catch (const RpcFailure& e) {
        EXPECT_EQ(std::string(e.what()), "Identificador de requisição já usado em outra chamada.");
    }
    EXPECT_EQ(packet(op("GetHoraItem"), dayArgs("00002", "2026-12-02")).at(0, "HRSERVINQ"), "0945");
    try {
        client_->call(op("GetInqPaci"), {Filial, Paciente}, std::string(65, 'a'));
        ADD_FAILURE() << "an id of 65 characters was accepted";
    } catch (const RpcFailure& e) {
        EXPECT_EQ(e.code(), protocol::rpc_error::InvalidRequest);
    }
}

// Clients retrying one write at the same moment: one writes, the others get its reply.
TEST_P(Idempotency, ConcurrentRetriesWriteOnce) {
    Item a;
    a.dia = "2026-12-02";
    a.seq = "";
    const json params = json::array({itemPacket({insertOf(a)})});
    const std::string id = protocol::newRequestId();
    std::atomic<int> ok{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            auto c = server_->client();
            try {
                c->call(op("SetItemPrato"), params, id);
                ++ok;
            } catch (const RpcFailure& e) {
                ADD_FAILURE() << e.what();
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(ok, 4);
    EXPECT_EQ(itemsOf("2026-12-02"), 1);
}

INQUERITO_ENGINES(Idempotency);

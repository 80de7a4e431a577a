// How many statements the busiest calls run, and the item number limit that
// is now checked inside the insert.
#include "InqueritoTestSupport.h"

#include <mutex>

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
    EXPECT_EQ(statementsOf(op("SetItemPrato"), json::array({itemPacket({insertOf(one)})})), 4u);
    // Three more of the same product and measure: still one period read and one catalogue read.
    EXPECT_EQ(statementsOf(op("SetItemPrato"),
                           json::array({itemPacket({insertOf(one), insertOf(one), insertOf(one)})})),
              8u);
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

INQUERITO_ENGINES(LeanCalls);

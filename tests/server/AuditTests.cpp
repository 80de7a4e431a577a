// The audit trail: one row per record written, in the write's transaction;
// none for a refused write.
#include "InqueritoTestSupport.h"
#include "RawHttp.h"
#include "ValidCalls.h"
#include "server/TrustedProxies.h"

#include <set>
#include <stdexcept>

using namespace inqtest;

class Audit : public testsupport::ServerTest {
protected:
    long long audits() { return countOf(sql(), "SELECT COUNT(*) FROM AUDITORIA WHERE IDACAO <> 'C'"); }
};

TEST_P(Audit, EveryWriteLeavesOneRowPerRecordWithWhoWhenWhatAndWhere) {
    ASSERT_EQ(audits(), 0);
    Item a, b;
    a.dia = b.dia = "2026-12-02";
    a.seq = "001";
    b.seq = "002";
    b.codigo = "0101001";  // rice
    b.medicase = "00001";
    call(op("SetItemPrato"), json::array({itemPacket({insertOf(a), insertOf(b)})}));
    EXPECT_EQ(audits(), 2);
    Item a2 = a;
    a2.porcoes = 2;
    a2.total = 100;
    call(op("SetItemPrato"), json::array({itemPacket({updateOf(a, a2), deleteOf(b)})}));
    EXPECT_EQ(audits(), 4);
    call(op("SetHoraItem"), {Paciente, Filial, "00002", Inicio, Fim, "2026-12-02", "0945"});
    EXPECT_EQ(audits(), 5);
    call("Zep12630.rdmCopiarInq.SetConfirmar",
         {Paciente, Inicio, Fim, "2026-11-30", Filial, "00001", "", "2026-12-04", "00002"});
    // Four breakfast items and the breakfast time.
    EXPECT_EQ(audits(), 10);
    call(op("SetInqPaci"), json::array({validcalls::periodPacket("insert", "000000000003", "2027-01-10", "2027-01-12")}));
    call(op("SetInqPaci"), json::array({validcalls::periodPacket("delete", "000000000002", "2026-11-16", "2026-11-17")}));
    EXPECT_EQ(audits(), 12);

    const auto rows = db::query(sql(),
                                "SELECT DTHRREGISTRO, CDOPERADOR, CDFILIAL, CDPACIENTE, NMOPERACAO, IDACAO, DSCHAVE, "
                                "DSENDERECO FROM AUDITORIA WHERE NMOPERACAO = 'Zep12600.rdmInquerito.SetItemPrato' "
                                "ORDER BY DTHRREGISTRO, IDACAO DESC",
                                {});
    ASSERT_EQ(rows.rows.size(), 4u);
    EXPECT_EQ(rows.at(0, "CDOPERADOR"), "DEMO");
    EXPECT_EQ(rows.at(0, "CDFILIAL"), "0001");
    EXPECT_EQ(rows.at(0, "CDPACIENTE"), Paciente);
    EXPECT_EQ(rows.at(0, "IDACAO"), "I");
    EXPECT_EQ(rows.at(0, "DSENDERECO"), "127.0.0.1");
    EXPECT_EQ(rows.at(0, "DTHRREGISTRO").get<std::string>().size(), 23u);
    const json key = json::parse(rows.at(0, "DSCHAVE").get<std::string>());
    EXPECT_EQ(key["DTINIINQU"], Inicio);
    EXPECT_EQ(key["CDSERVFILI"], "00002");
    EXPECT_EQ(key["DTINQUERITO"], "2026-12-02");
    std::multiset<std::string> actions;
    for (size_t r = 0; r < rows.rows.size(); ++r) actions.insert(rows.at(r, "IDACAO").get<std::string>());
    EXPECT_EQ(actions, (std::multiset<std::string>{"I", "I", "A", "E"}));

    const auto deleted = db::query(sql(),
                                   "SELECT DSCHAVE FROM AUDITORIA WHERE NMOPERACAO = 'Zep12600.rdmInquerito.SetInqPaci' "
                                   "AND IDACAO = 'E'",
                                   {});
    ASSERT_EQ(deleted.rows.size(), 1u);
    const json gone = json::parse(deleted.rows[0][0].get<std::string>());
    EXPECT_EQ(gone["DTINIINQU"], "2026-11-16");
    EXPECT_GT(gone["ITENS"].get<int>(), 0);  // the period's items went with it
}

TEST_P(Audit, ARefusedWriteLeavesNoRow) {
    Item a;
    a.dia = "2026-12-02";
    Item bad = a;
    bad.seq = "002";
    bad.medicase = "99999";  // not a measure of the product: the whole packet is refused
    EXPECT_FALSE(failure(op("SetItemPrato"), json::array({itemPacket({insertOf(a), insertOf(bad)})})).empty());
    EXPECT_FALSE(failure("Zep12630.rdmCopiarInq.SetConfirmar",
                         {Paciente, Inicio, Fim, "2026-12-02", Filial, "00002", "", "2026-12-04", "00001"})
                     .empty());  // nothing to copy: "Inq_NCad"
    EXPECT_EQ(audits(), 0);
    EXPECT_EQ(countOf(sql(), "SELECT COUNT(*) FROM ITINQUERPACI WHERE DTINQUERITO = '2026-12-02' AND CDSERVFILI = '00002'"), 0);
}

// Behind a load balancer the audit trail records the desktop's address, which
// the balancer puts in X-Forwarded-For; believed only from the proxies the
// server was told to trust, and only the entry the proxy added itself.
TEST_P(Audit, AForwardedAddressIsBelievedOnlyFromATrustedProxy) {
    server::ServerOptions trusting;
    trusting.threads = 2;
    trusting.trustedProxies = {"127.0.0.1"};
    testsupport::RunningServer proxied(db_->url(), trusting);
    server::ServerOptions others = trusting;
    others.trustedProxies = {"10.0.0.0/8", "::1"};
    testsupport::RunningServer elsewhere(db_->url(), others);
    int minute = 0;
    auto recorded = [&](testsupport::RunningServer& s, const std::string& headers) -> std::string {
        db::execute(sql(), "DELETE FROM AUDITORIA", {});
        const json request = {{"jsonrpc", "2.0"}, {"id", 1}, {"method", op("SetHoraItem")},
                              {"params", {Paciente, Filial, "00002", Inicio, Fim, "2026-12-02",
                                          "09" + std::to_string(10 + minute++)}}};
        testsupport::RawHttp c(s.port());
        c.send(testsupport::RawHttp::post(request.dump(), "Authorization: Bearer " + s.token() + "\r\n" + headers));
        const std::string reply = c.receiveReplies(20000);
        EXPECT_NE(reply.find("\"result\""), std::string::npos) << reply;
        return db::scalarText(sql(), "SELECT DSENDERECO FROM AUDITORIA WHERE IDACAO <> 'C'", {}).value_or("(none)");
    };
    const std::string forged = "X-Forwarded-For: 203.0.113.7\r\n";
    EXPECT_EQ(recorded(*server_, forged), "127.0.0.1");  // no proxy trusted: the default
    EXPECT_EQ(recorded(elsewhere, forged), "127.0.0.1");
    EXPECT_EQ(recorded(proxied, forged), "203.0.113.7");
    // The client's own entries come first; the proxy's is the last.
    EXPECT_EQ(recorded(proxied, "X-Forwarded-For: 198.51.100.9, 203.0.113.8\r\n"), "203.0.113.8");
    EXPECT_EQ(recorded(proxied, "X-Forwarded-For: 198.51.100.9\r\nX-Forwarded-For: 203.0.113.9\r\n"), "203.0.113.9");
    EXPECT_EQ(recorded(proxied, "X-Forwarded-For: 2001:db8::7\r\n"), "2001:db8::7");
    EXPECT_EQ(recorded(proxied, "X-Forwarded-For: 203.0.113.7, <script>\r\n"), "127.0.0.1");
    EXPECT_EQ(recorded(proxied, ""), "127.0.0.1");
}

INQUERITO_ENGINES(Audit);

TEST(TrustedProxies, AddressesAndNetworks) {
    const server::TrustedProxies t({"10.1.0.0/16", "192.0.2.5", "2001:db8::/32"});
    EXPECT_TRUE(t.trusts("10.1.200.3"));
    EXPECT_FALSE(t.trusts("10.2.0.1"));
    EXPECT_TRUE(t.trusts("192.0.2.5"));
    EXPECT_TRUE(t.trusts("::ffff:192.0.2.5"));  // the same client through an IPv6 socket
    EXPECT_FALSE(t.trusts("192.0.2.6"));
    EXPECT_TRUE(t.trusts("2001:db8:1::1"));
    EXPECT_FALSE(t.trusts("2001:db9::1"));
    EXPECT_FALSE(t.trusts("not an address"));
    EXPECT_FALSE(server::TrustedProxies().trusts("127.0.0.1"));
    for (const char* bad : {"10.0.0.0/33", "10.0.0.0/", "host.example", "10.0.0.0/8x", "::/129"})
        EXPECT_THROW(server::TrustedProxies({bad}), std::invalid_argument) << bad;
    EXPECT_EQ(server::TrustedProxies::split(" 10.0.0.1, ,::1 "), (std::vector<std::string>{"10.0.0.1", "::1"}));
}

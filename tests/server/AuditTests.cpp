// The audit trail: one row per record written, in the write's transaction;
// none for a refused write.
#include "InqueritoTestSupport.h"
#include "ValidCalls.h"

#include <set>

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

INQUERITO_ENGINES(Audit);

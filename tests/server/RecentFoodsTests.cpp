// The patient's recent foods (GetAlimRecentes) on both engines: the survey
// day and the seven days before it, of that patient and branch only; refused
// to an operator of another branch; one audit row per call.
#include "InqueritoTestSupport.h"

#include <algorithm>
#include <set>

using namespace inqtest;
using protocol::RpcFailure;

namespace {

// Patient 2 had lunch and dinner on 2026-11-16 (branch 0001).
const std::string Jose = "000000000002";

}  // namespace

class RecentFoods : public testsupport::ServerTest {
protected:
    // "P:code" and "D:code" of the reply, in its order.
    std::vector<std::string> recent(const std::string& patient, const std::string& branch, const std::string& day) {
        const auto p = packet(op("GetAlimRecentes"), {patient, branch, day});
        EXPECT_EQ(fieldNames(p), (std::vector<std::string>{"IDTIPO", "CDALIMENTO"}));
        std::vector<std::string> out;
        for (size_t r = 0; r < p.rows.size(); ++r)
            out.push_back(p.at(r, "IDTIPO").get<std::string>() + ":" + p.at(r, "CDALIMENTO").get<std::string>());
        return out;
    }
    long long reads() {
        server_->dispatcher().flushReadAudit(server_->pool());
        return countOf(sql(), "SELECT COUNT(*) FROM AUDITORIA WHERE IDACAO = 'C' AND NMOPERACAO = "
                              "'Zep12600.rdmInquerito.GetAlimRecentes'");
    }
};

const std::vector<std::string> JosesMeals = {"D:02001", "D:03001", "P:000017", "P:000120", "P:000208", "P:000356"};

// The meals of 16/11 are recent from that day to seven days after it, each
// food once; before it and from the eighth day on they are not.
TEST_P(RecentFoods, TheDayAndTheSevenDaysBeforeIt) {
    EXPECT_EQ(recent(Jose, Filial, "2026-11-16"), JosesMeals);
    EXPECT_EQ(recent(Jose, Filial, "2026-11-17"), JosesMeals);
    EXPECT_EQ(recent(Jose, Filial, "2026-11-23"), JosesMeals);
    EXPECT_TRUE(recent(Jose, Filial, "2026-11-24").empty());
    EXPECT_TRUE(recent(Jose, Filial, "2026-11-15").empty());
    // A time part is ignored, as for every date argument.
    EXPECT_EQ(recent(Jose, Filial, "2026-11-23T23:59:59"), JosesMeals);

    // Patient 1's week counts each food once, products and dishes apart.
    const auto week = recent(Paciente, Filial, "2026-12-06");
    EXPECT_FALSE(week.empty());
    EXPECT_EQ(std::set<std::string>(week.begin(), week.end()).size(), week.size());
    EXPECT_TRUE(std::is_sorted(week.begin(), week.end()));
    EXPECT_TRUE(std::find(week.begin(), week.end(), "P:000017") != week.end());
    EXPECT_EQ(week.size(),
              static_cast<size_t>(countOf(sql(), "SELECT COUNT(*) FROM (SELECT DISTINCT IDTIPOINQUER, CDPRODUTO, CDPRATO "
                                                 "FROM ITINQUERPACI WHERE CDPACIENTE = '000000000001' AND "
                                                 "DTINQUERITO BETWEEN '2026-11-29' AND '2026-12-06') X")));
    EXPECT_EQ(reads(), 7);
    EXPECT_EQ(countOf(sql(), "SELECT COUNT(*) FROM AUDITORIA WHERE IDACAO = 'C' AND CDOPERADOR = 'DEMO' AND "
                             "CDFILIAL = '0001' AND CDPACIENTE = '000000000002' AND DSCHAVE LIKE '%2026-11-23%' AND "
                             "NMOPERACAO = 'Zep12600.rdmInquerito.GetAlimRecentes'"),
              2);
}

// Neither another patient's meals nor the same patient's in another branch.
TEST_P(RecentFoods, OnlyThatPatientsItemsInThatBranch) {
    EXPECT_TRUE(recent("000000000003", Filial, "2026-11-17").empty());
    // A meal of patient 2 recorded in branch 0002 (another stay) on 20/11.
    db::execute(sql(), "INSERT INTO INQUERPACI (CDFILIAL, CDPACIENTE, DTINIINQU, DTFININQU) "
                       "VALUES ('0002', '000000000002', '2026-11-20', '2026-11-20')", {});
    db::execute(sql(), "INSERT INTO ITINQUERPACI (CDFILIAL, CDPACIENTE, DTINIINQU, DTFININQU, CDSERVFILI, DTINQUERITO, "
                       "NRSEQUINQUER, IDTIPOINQUER, CDPRODUTO, CDMEDICASE, QTALIMMEDCAS, QTALIMINQUER) "
                       "VALUES ('0002', '000000000002', '2026-11-20', '2026-11-20', '00001', '2026-11-20', '001', "
                       "'0', '000236', '00015', 1, 65)",
                {});
    EXPECT_EQ(recent(Jose, "0002", "2026-11-20"), (std::vector<std::string>{"P:000236"}));
    EXPECT_EQ(recent(Jose, Filial, "2026-11-20"), JosesMeals);
}

// An operator of branch 0002 gets neither branch 0001 nor a patient of 0001
// under 0002; bad arguments are told in words; a refused call is not a read.
TEST_P(RecentFoods, RefusalsAndBadArgumentsReadNothing) {
    auto nutri = clientAs("NUTRI1", "nutri1", "0002");
    auto refusal = [&](const json& params) -> std::string {
        try {
            nutri->call(op("GetAlimRecentes"), params);
        } catch (const RpcFailure& e) {
            EXPECT_EQ(e.code(), protocol::rpc_error::Forbidden) << e.what();
            return e.what();
        }
        return "succeeded";
    };
    EXPECT_EQ(refusal({Jose, Filial, "2026-11-17"}), "Operador sem permissão de acesso à filial 0001.");
    EXPECT_EQ(refusal({Jose, "0002", "2026-11-17"}), "Operador sem permissão de acesso ao paciente 000000000002.");

    EXPECT_EQ(failure(op("GetAlimRecentes"), {"", Filial, "2026-11-17"}), "Paciente deve ser informado.");
    EXPECT_EQ(failure(op("GetAlimRecentes"), {Jose, Filial, "2026-11-31"}), "O argumento 3 não é uma data válida.");
    EXPECT_EQ(failure(op("GetAlimRecentes"), {Jose, Filial, "17/11/2026"}), "O argumento 3 não é uma data válida.");
    EXPECT_EQ(failure(op("GetAlimRecentes"), {Jose, Filial, nullptr}), "O argumento 3 deve ser uma data.");
    EXPECT_NE(failure(op("GetAlimRecentes"), {Jose, Filial}).find("argumento"), std::string::npos);
    EXPECT_EQ(failure(op("GetAlimRecentes"), {Jose + "0", Filial, "2026-11-17"}), "O argumento 1 excede 12 caracteres.");
    EXPECT_EQ(reads(), 0);

    // The first days of the calendar: the window starts on 0001-01-01.
    EXPECT_TRUE(recent(Jose, Filial, "0001-01-03").empty());
    EXPECT_EQ(reads(), 1);
}

INQUERITO_ENGINES(RecentFoods);

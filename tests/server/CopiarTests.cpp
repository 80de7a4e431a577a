// The survey copy: what SetConfirmar writes, and that a refused copy writes nothing.
// Demo period of patient 000000000001: 2026-11-30 to 2026-12-06, branch 0001.
//   2026-11-30 lunch (00003, 12:00): dishes 02001, 01001, 04001 (001-003), orange 000204 (004)
//   2026-11-30 breakfast (00001, 07:00): products 000492, 000017, 000296, 000210
//   2026-11-30 dinner (00005, 18:00): soup 03001, toast 000019, cheese 000503
//   2026-12-01 dinner (00005, 18:30): dish 03002 (001), bread 000017 (002)
//   2026-12-01 supper (00006): no item, no meal time
#include "ServerFixture.h"

#include "db/Query.h"

using namespace protocol;

namespace {

constexpr const char* Copy = "Zep12630.rdmCopiarInq.SetConfirmar";

json copyArgs(const json& originDate, const json& originService, const json& option, const json& destDate,
              const json& destService, const json& periodStart = "2026-11-30", const json& periodEnd = "2026-12-06",
              const json& branch = "0001") {
    return {"000000000001", periodStart, periodEnd, originDate, branch, originService, option, destDate, destService};
}

} // namespace

class Copiar : public testsupport::ServerTest {
protected:
    // The items of one day and service.
    DataPacket day(const std::string& date, const std::string& service) {
        return db::query(sql(),
                         "SELECT NRSEQUINQUER, COALESCE(CDPRODUTO, CDPRATO) AS CDITEM, QTALIMMEDCAS, QTALIMINQUER, "
                         "HRSERVINQ, CDMEDICASE FROM ITINQUERPACI WHERE CDPACIENTE = '000000000001' "
                         "AND DTINQUERITO = :P_DT AND CDSERVFILI = :P_SERV ORDER BY NRSEQUINQUER",
                         {{"P_DT", date}, {"P_SERV", service}});
    }
    std::optional<std::string> mealTime(const std::string& date, const std::string& service) {
        return db::scalarText(sql(),
                              "SELECT HRSERVINQ FROM HORAINQPACI WHERE CDPACIENTE = '000000000001' AND "
                              "DTINQUERITO = :P_DT AND CDSERVFILI = :P_SERV",
                              {{"P_DT", date}, {"P_SERV", service}});
    }
    // Everything a copy could touch, to show that a refused one wrote nothing.
    std::vector<Row> snapshot() {
        auto items = db::query(sql(),
                               "SELECT CDPACIENTE, DTINQUERITO, CDSERVFILI, NRSEQUINQUER, CDPRODUTO, CDPRATO, "
                               "HRSERVINQ FROM ITINQUERPACI ORDER BY CDPACIENTE, DTINQUERITO, CDSERVFILI, NRSEQUINQUER",
                               {});
        auto times = db::query(sql(),
                               "SELECT CDPACIENTE, DTINQUERITO, CDSERVFILI, HRSERVINQ FROM HORAINQPACI "
                               "ORDER BY CDPACIENTE, DTINQUERITO, CDSERVFILI",
                               {});
        items.rows.insert(items.rows.end(), times.rows.begin(), times.rows.end());
        return items.rows;
    }
    static std::vector<std::string> codes(const DataPacket& p) {
        std::vector<std::string> out;
        for (size_t r = 0; r < p.rows.size(); ++r)
            out.push_back(p.at(r, "NRSEQUINQUER").get<std::string>() + " " + p.at(r, "CDITEM").get<std::string>());
        return out;
    }
};

TEST_P(Copiar, ProductsThenDishesCarryTheMealTime) {
    ASSERT_FALSE(mealTime("2026-12-01", "00006"));
    // Items keep the time they were stamped with; the copies take the day's meal time.
    db::execute(sql(), "UPDATE ITINQUERPACI SET HRSERVINQ = '1130' WHERE DTINQUERITO = '2026-11-30' AND CDSERVFILI = '00003'",
                {});
    const auto reply = callFull(Copy, copyArgs("2026-11-30", "00003", "0", "2026-12-01", "00006"));
    EXPECT_TRUE(reply.data.is_null());
    EXPECT_EQ(reply.byref.at(6), "0");
    auto dest = day("2026-12-01", "00006");
    EXPECT_EQ(codes(dest), (std::vector<std::string>{"001 000204"}));
    EXPECT_EQ(mealTime("2026-12-01", "00006"), "1200");
    EXPECT_EQ(dest.at(0, "HRSERVINQ"), "1200");
    EXPECT_EQ(dest.at(0, "QTALIMINQUER"), 140.0);
    EXPECT_EQ(dest.at(0, "CDMEDICASE"), "00015");

    EXPECT_EQ(callFull(Copy, copyArgs("2026-11-30", "00003", "1", "2026-12-01", "00006")).byref.at(6), "1");
    dest = day("2026-12-01", "00006");
    EXPECT_EQ(codes(dest), (std::vector<std::string>{"001 000204", "002 02001", "003 01001", "004 04001"}));
    for (size_t r = 0; r < dest.rows.size(); ++r) EXPECT_EQ(dest.at(r, "HRSERVINQ"), "1200");

    // A second copy of both kinds adds nothing: every food is already there.
    call(Copy, copyArgs("2026-11-30", "00003", "", "2026-12-01", "00006"));
    EXPECT_EQ(day("2026-12-01", "00006").rows, dest.rows);
    // The origin is left as it was.
    EXPECT_EQ(day("2026-11-30", "00003").rows.size(), 4u);
}

TEST_P(Copiar, BothKindsNumberedAfterTheDestinationKeepingItsMealTime) {
    call(Copy, copyArgs("2026-11-30", "00005", "", "2026-12-01", "00005"));
    const auto dest = day("2026-12-01", "00005");
    EXPECT_EQ(codes(dest),
              (std::vector<std::string>{"001 03002", "002 000017", "003 03001", "004 000019", "005 000503"}));
    EXPECT_EQ(mealTime("2026-12-01", "00005"), "1830");
    for (size_t r = 2; r < dest.rows.size(); ++r) EXPECT_EQ(dest.at(r, "HRSERVINQ"), "1830");
    EXPECT_EQ(dest.at(2, "QTALIMMEDCAS"), 2.0);
    EXPECT_EQ(dest.at(2, "QTALIMINQUER"), 300.0);
}

TEST_P(Copiar, FoodAlreadyAtTheDestinationIsNotDuplicated) {
    // Breakfast holds bread 000017, which dinner of 2026-12-01 already has.
    call(Copy, copyArgs("2026-11-30", "00001", "0", "2026-12-01", "00005"));
    EXPECT_EQ(codes(day("2026-12-01", "00005")),
              (std::vector<std::string>{"001 03002", "002 000017", "003 000492", "004 000296", "005 000210"}));
}

TEST_P(Copiar, SameDayToAnotherServiceAndBackwardsInThePeriod) {
    call(Copy, copyArgs("2026-12-01", "00005", "1", "2026-12-01", "00006"));
    EXPECT_EQ(codes(day("2026-12-01", "00006")), (std::vector<std::string>{"001 03002"}));
    EXPECT_EQ(mealTime("2026-12-01", "00006"), "1830");
    call(Copy, copyArgs("2026-12-01", "00005", "1", "2026-11-30", "00002"));
    EXPECT_EQ(codes(day("2026-11-30", "00002")), (std::vector<std::string>{"001 03002"}));
}

TEST_P(Copiar, EmptyOriginAnswersInqNCadAndWritesNothing) {
    const auto before = snapshot();
    EXPECT_EQ(failure(Copy, copyArgs("2026-11-30", "00001", "1", "2026-12-01", "00006")), "Inq_NCad");  // no dish
    EXPECT_EQ(failure(Copy, copyArgs("2026-12-01", "00006", "", "2026-12-02", "00006")), "Inq_NCad");   // no item
    EXPECT_EQ(failure(Copy, copyArgs("2026-12-01", "00004", "0", "2026-12-02", "00002")), "Inq_NCad");  // dish only
    EXPECT_EQ(snapshot(), before);
}

TEST_P(Copiar, RefusedCopiesWriteNothing) {
    const auto before = snapshot();
    const std::string originOut = "Data de origem deve estar dentro do período de inquérito.";
    const std::string noPeriod = "Período de inquérito não cadastrado.";
    const std::vector<std::pair<json, std::string>> cases = {
        {copyArgs("2026-11-29", "00003", "", "2026-12-01", "00006"), originOut},
        {copyArgs("2026-12-07", "00003", "", "2026-12-01", "00006"), originOut},
        {copyArgs("2026-11-30", "00003", "", "2026-12-07", "00006"),
         "Data de destino deve estar dentro do período de inquérito."},
        {copyArgs("2026-11-30", "00003", "", "2026-11-30", "00003"),
         "Data/serviço origem deve ser diferente da data/serviço destino."},
        {copyArgs("2026-11-30", "00003", "", "2026-12-01", "00007"), "Serviço não cadastrado."},  // branch 0002's
        {copyArgs("2026-11-30", "", "", "2026-12-01", "00006"), "Serviço de origem deve ser informado."},
        {copyArgs("2026-12-01", "00003", "", "2026-12-02", "00006", "2026-12-01"), noPeriod},
        {copyArgs("2026-11-30", "00003", "", "2026-12-01", "00006", "2026-11-30", "2026-12-09"), noPeriod},
        {copyArgs("2026-11-30", "00003", "", "2026-12-01", "00006", "2026-11-30", "2026-12-06", "0002"), noPeriod}};
    for (const auto& [args, message] : cases) EXPECT_EQ(failure(Copy, args), message) << args.dump();
    // Argument errors: unknown options, a malformed date, an over-long code.
    for (const json option : {"2", "01", "T"})
        EXPECT_NE(failure(Copy, copyArgs("2026-11-30", "00003", option, "2026-12-01", "00006")), "") << option;
    EXPECT_NE(failure(Copy, copyArgs("2026-11-30", "00003", "", "01/12/2026", "00006")), "");
    EXPECT_NE(failure(Copy, copyArgs("2026-11-30", "000003", "", "2026-12-01", "00006")), "");
    EXPECT_EQ(snapshot(), before);
}

TEST_P(Copiar, CopyFailingHalfwayIsUndoneWhole) {
    // Supper of 2026-12-01 already uses number 998: the second of the four lunch
    // items would need 1000, so the first one written and the meal time go too.
    db::execute(sql(),
                "INSERT INTO ITINQUERPACI (CDFILIAL, CDPACIENTE, DTINIINQU, DTFININQU, CDSERVFILI, DTINQUERITO, "
                "NRSEQUINQUER, IDTIPOINQUER, CDPRODUTO, CDMEDICASE, QTALIMMEDCAS, QTALIMINQUER) VALUES ('0001', "
                "'000000000001', '2026-11-30', '2026-12-06', '00006', '2026-12-01', '998', '0', '000027', '00015', 1, 5)",
                {});
    const auto before = snapshot();
    EXPECT_NE(failure(Copy, copyArgs("2026-11-30", "00003", "", "2026-12-01", "00006")), "");
    EXPECT_EQ(snapshot(), before);
    EXPECT_FALSE(mealTime("2026-12-01", "00006"));
}

INQUERITO_ENGINES(Copiar);

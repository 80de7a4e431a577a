// One survey day's totals (GetTotDia) against the calculation object's
// getMacro for the same day and services, on both engines.
#include "InqueritoTestSupport.h"

using namespace inqtest;

namespace {

const std::string Day = "2026-11-30";  // services 00001, 00003, 00004, 00005 and 00006

struct Totals {
    double energy = 0, protein = 0, carbohydrate = 0, lipid = 0;
};

}  // namespace

class DayTotals : public testsupport::ServerTest {
protected:
    // The reply's day packet and services packet.
    std::pair<protocol::DataPacket, protocol::DataPacket> dayTotals(const json& args) {
        const json data = call(op("GetTotDia"), args);
        EXPECT_TRUE(data.is_array() && data.size() == 2) << data.dump();
        return {protocol::DataPacket::fromJson(data.at(0)), protocol::DataPacket::fromJson(data.at(1))};
    }
    static Totals totalsAt(const protocol::DataPacket& p, size_t row) {
        auto v = [&](const char* f) { return p.at(row, f).get<double>(); };
        return {v("VRENERGIA"), v("VRPROTEINA"), v("VRCARBOIDRATO"), v("VRLIPIDIO")};
    }
    // What the calculation screen reads for that day and services (demo
    // codes: protein 004, lipid 005, carbohydrate 007).
    Totals calculation(const std::string& day, const std::string& services) {
        const auto p = packet("Zep12610.rdmCalcular.getMacro", {Paciente, day, day, Filial, services});
        Totals t;
        for (size_t r = 0; r < p.rows.size(); ++r) {
            const double total = p.at(r, "TOTAL").get<double>();
            t.energy += p.at(r, "QTCALOTOT").get<double>();
            const std::string code = p.at(r, "CDNUTRIENTE").get<std::string>();
            if (code == "004") t.protein = total;
            if (code == "007") t.carbohydrate = total;
            if (code == "005") t.lipid = total;
        }
        return t;
    }
    static void expectSame(const Totals& a, const Totals& b, const std::string& what) {
        EXPECT_NEAR(a.energy, b.energy, 1e-9) << what;
        EXPECT_NEAR(a.protein, b.protein, 1e-9) << what;
        EXPECT_NEAR(a.carbohydrate, b.carbohydrate, 1e-9) << what;
        EXPECT_NEAR(a.lipid, b.lipid, 1e-9) << what;
    }
    long long reads() {
        server_->dispatcher().flushReadAudit(server_->pool());
        return countOf(sql(), "SELECT COUNT(*) FROM AUDITORIA WHERE IDACAO = 'C' AND NMOPERACAO = "
                              "'Zep12600.rdmInquerito.GetTotDia'");
    }
};

// The day and each of its services equal the calculation of that one day and
// service; a service list narrows both; one read is one audit row.
TEST_P(DayTotals, DayAndServicesEqualTheCalculation) {
    const auto [day, services] = dayTotals({Paciente, Filial, Inicio, Day, "T"});
    ASSERT_EQ(day.rows.size(), 1u);
    const Totals whole = totalsAt(day, 0);
    expectSame(whole, calculation(Day, "T"), "day");
    EXPECT_GT(whole.energy, 1000);
    for (const char* target : {"QTENERGIA", "QTPROTEINA", "QTCARBOIDRATO", "QTLIPIDIO"})
        EXPECT_TRUE(day.at(0, target).is_null()) << target;

    EXPECT_EQ(column(services, "CDSERVFILI"), (std::vector<std::string>{"00001", "00003", "00004", "00005", "00006"}));
    EXPECT_EQ(services.at(0, "NMSERVICO"), "Desjejum");
    EXPECT_EQ(services.at(1, "NMSERVICO"), "Almoço");
    Totals sum;
    for (size_t r = 0; r < services.rows.size(); ++r) {
        const std::string code = services.at(r, "CDSERVFILI").get<std::string>();
        const Totals t = totalsAt(services, r);
        expectSame(t, calculation(Day, "_" + code + "_"), code);
        sum.energy += t.energy;
    }
    EXPECT_NEAR(sum.energy, whole.energy, 1e-9);
    // Breakfast by hand (CalcularTests): carbohydrate 43.86, protein 4.7, lipid 5.06 g.
    EXPECT_NEAR(totalsAt(services, 0).energy, 43.86 * 4 + 4.7 * 4 + 5.06 * 9, 1e-9);
    EXPECT_NEAR(totalsAt(services, 0).protein, 4.7, 1e-9);

    const auto [narrow, chosen] = dayTotals({Paciente, Filial, Inicio, Day, "_00001_00005_00002_"});
    EXPECT_EQ(column(chosen, "CDSERVFILI"), (std::vector<std::string>{"00001", "00005"}));
    expectSame(totalsAt(narrow, 0), calculation(Day, "_00001_00005_00002_"), "narrowed");

    EXPECT_EQ(reads(), 2);
}

// A day without items answers zeros and no service; without recorded needs
// there are no targets, with them the needs' own targets.
TEST_P(DayTotals, EmptyDayZerosAndTargetsOfTheRecordedNeeds) {
    const json emptyDay = json::array({"000000000002", Filial, "2026-11-16", "2026-11-17", "T"});
    const auto [day, services] = dayTotals(emptyDay);
    EXPECT_TRUE(services.rows.empty());
    expectSame(totalsAt(day, 0), {}, "empty day");
    EXPECT_TRUE(day.at(0, "QTENERGIA").is_null());

    const auto needs = protocol::DataPacket::fromJson(call(
        op("SetNecesNutr"), {"000000000002", Filial, "2026-11-16", 70, 170, "K", 1.2, 1.0, 30, 1.0, 50, 30, 35}));
    const auto [withTargets, unused] = dayTotals(emptyDay);
    for (const char* target : {"QTENERGIA", "QTPROTEINA", "QTCARBOIDRATO", "QTLIPIDIO"})
        EXPECT_NEAR(withTargets.at(0, target).get<double>(), needs.at(0, target).get<double>(), 1e-9) << target;
    EXPECT_NEAR(withTargets.at(0, "QTENERGIA").get<double>(), 70 * 30 * 1.2, 1e-9);
    EXPECT_NEAR(withTargets.at(0, "QTPROTEINA").get<double>(), 70, 1e-9);

    // An item eaten that day counts at once.
    Item item;
    item.paciente = "000000000002";
    item.inicio = "2026-11-16";
    item.dia = "2026-11-17";
    item.servico = "00001";
    json packet = itemPacket({insertOf(item)});
    packet["changes"][0]["new"][6] = "2026-11-17";  // the period's end
    call(op("SetItemPrato"), json::array({packet}));
    const auto [after, breakfast] = dayTotals(emptyDay);
    ASSERT_EQ(breakfast.rows.size(), 1u);
    // 50 g of bread: protein 4, carbohydrate 29.3, lipid 1.55 g.
    EXPECT_NEAR(totalsAt(after, 0).energy, 29.3 * 4 + 4 * 4 + 1.55 * 9, 1e-9);
    expectSame(totalsAt(after, 0), totalsAt(breakfast, 0), "one service");
}

// Bad arguments are refused with a message, and a refused read is not recorded.
TEST_P(DayTotals, BadArgumentsAreRefused) {
    auto args = [](json patient, json start, json day, json services) {
        return json::array({patient, Filial, start, day, services});
    };
    EXPECT_EQ(failure(op("GetTotDia"), args("", Inicio, Day, "T")), "Paciente deve ser informado.");
    EXPECT_EQ(failure(op("GetTotDia"), args(Paciente, Inicio, nullptr, "T")), "O argumento 4 deve ser uma data.");
    EXPECT_EQ(failure(op("GetTotDia"), args(Paciente, "2026-13-01", Day, "T")), "O argumento 3 não é uma data válida.");
    EXPECT_EQ(failure(op("GetTotDia"), args(Paciente, Inicio, Day, "00001")), "Lista de serviços inválida: \"00001\".");
    EXPECT_EQ(failure(op("GetTotDia"), args(Paciente, Inicio, "2026-12-07", "T")),
              "Data do inquérito deve estar dentro do período de inquérito.");
    EXPECT_EQ(failure(op("GetTotDia"), args(Paciente, "2026-12-01", Day, "T")), "Período de inquérito não cadastrado.");
    EXPECT_NE(failure(op("GetTotDia"), json::array({Paciente, Filial, Inicio, Day})).find("argumento"),
              std::string::npos);
    EXPECT_EQ(reads(), 0);
}

INQUERITO_ENGINES(DayTotals);

// Patient header and survey periods of "Zep12600.rdmInquerito".
#include "InqueritoTestSupport.h"

using namespace inqtest;
using protocol::FieldType;

namespace {

json periodFields() {
    return json::array({{{"name", "CDFILIAL"}, {"type", "string"}, {"size", 4}},
                        {{"name", "CDPACIENTE"}, {"type", "string"}, {"size", 12}},
                        {{"name", "DTINIINQU"}, {"type", "date"}},
                        {{"name", "DTFININQU"}, {"type", "date"}},
                        {{"name", "DTNAVIGATOR"}, {"type", "string"}, {"size", 25}}});
}

json period(const std::string& inicio, const json& fim, const std::string& paciente = Paciente,
            const std::string& filial = Filial) {
    return json::array({filial, paciente, inicio, fim, nullptr});
}

json periodPacket(const std::vector<json>& changes) {
    return json::array({{{"fields", periodFields()}, {"changes", changes}}});
}
json insertPeriod(const json& row) {
    return {{"kind", "insert"}, {"new", row}};
}
json deletePeriod(const json& row) {
    return {{"kind", "delete"}, {"old", row}};
}

}  // namespace

class InqueritoPeriods : public testsupport::ServerTest {
protected:
    long long periodsOf(const std::string& paciente) {
        return countOf(sql(), "SELECT COUNT(*) FROM INQUERPACI WHERE CDPACIENTE = '" + paciente + "'");
    }
};

TEST_P(InqueritoPeriods, PatientIsFoundOnlyInItsBranch) {
    auto p = packet(op("GetPaciente"), {Filial, Paciente});
    ASSERT_EQ(p.fields.size(), 2u);
    EXPECT_EQ(p.fields[0], (protocol::Field{"CDPACIENTE", FieldType::String, 12}));
    EXPECT_EQ(p.fields[1], (protocol::Field{"NMPACIENTE", FieldType::String, 80}));
    ASSERT_EQ(p.rows.size(), 1u);
    EXPECT_EQ(p.at(0, "NMPACIENTE"), "Maria Aparecida Nogueira Campos");

    EXPECT_TRUE(packet(op("GetPaciente"), {"0002", Paciente}).rows.empty());
    EXPECT_TRUE(packet(op("GetPaciente"), {Filial, "ZN0001"}).rows.empty());
    EXPECT_FALSE(failure(op("GetPaciente"), {Filial, "0000000000001"}).empty());
    EXPECT_FALSE(failure(op("GetPaciente"), {"00001", Paciente}).empty());
}

TEST_P(InqueritoPeriods, PeriodsAndLatestEnd) {
    auto p = packet(op("GetInqPaci"), {Filial, Paciente});
    EXPECT_EQ(fieldNames(p), (std::vector<std::string>{"CDFILIAL", "CDPACIENTE", "DTINIINQU", "DTFININQU"}));
    EXPECT_EQ(p.fields[2].type, FieldType::Date);
    ASSERT_EQ(p.rows.size(), 1u);
    EXPECT_EQ(p.rows[0], (protocol::Row{Filial, Paciente, Inicio, Fim}));
    EXPECT_TRUE(packet(op("GetInqPaci"), {"0002", Paciente}).rows.empty());

    auto max = packet(op("GetMax"), {Paciente});
    ASSERT_EQ(max.fields.size(), 1u);
    EXPECT_EQ(max.fields[0], (protocol::Field{"DTMAX", FieldType::Date, 0}));
    ASSERT_EQ(max.rows.size(), 1u);
    EXPECT_EQ(max.at(0, "DTMAX"), Fim);

    // A patient without periods gets one row holding null.
    auto none = packet(op("GetMax"), {"000000000004"});
    ASSERT_EQ(none.rows.size(), 1u);
    EXPECT_TRUE(none.at(0, "DTMAX").is_null());
}

TEST_P(InqueritoPeriods, NewPeriodMayStartOnTheLatestEndButNotBefore) {
    // Single day, starting the day the latest period ends.
    call(op("SetInqPaci"), periodPacket({insertPeriod(period(Fim, Fim))}));
    auto p = packet(op("GetInqPaci"), {Filial, Paciente});
    ASSERT_EQ(p.rows.size(), 2u);
    EXPECT_EQ(column(p, "DTINIINQU"), (std::vector<std::string>{Inicio, Fim}));
    EXPECT_EQ(packet(op("GetMax"), {Paciente}).at(0, "DTMAX"), Fim);

    EXPECT_EQ(failure(op("SetInqPaci"), periodPacket({insertPeriod(period("2026-12-05", "2026-12-20"))})),
              "Data cadastrada em outro período.");
    // Same start as the single-day period just stored.
    EXPECT_EQ(failure(op("SetInqPaci"), periodPacket({insertPeriod(period(Fim, "2026-12-08"))})),
              "Já existe um período de inquérito com esta data inicial.");
    EXPECT_EQ(periodsOf(Paciente), 2);

    call(op("SetInqPaci"), periodPacket({insertPeriod(period("2026-12-07", "2026-12-13"))}));
    EXPECT_EQ(packet(op("GetMax"), {Paciente}).at(0, "DTMAX"), "2026-12-13");
}

TEST_P(InqueritoPeriods, InvalidPeriodsAreRefusedAndNothingIsWritten) {
    const std::string p4 = "000000000004";
    EXPECT_EQ(failure(op("SetInqPaci"), periodPacket({insertPeriod(period("2026-12-10", "2026-12-09", p4))})),
              "Data inicial deve ser menor ou igual a data final.");
    EXPECT_EQ(failure(op("SetInqPaci"), periodPacket({insertPeriod(period("2026-12-10", nullptr, p4))})),
              "Data final deve ser informada.");
    EXPECT_EQ(failure(op("SetInqPaci"), periodPacket({insertPeriod(period("2026-12-10", "2026-12-12", p4, "0002"))})),
              "Paciente não cadastrado para a filial informada.");
    EXPECT_EQ(failure(op("SetInqPaci"),
                      periodPacket(
                          {{{"kind", "update"}, {"old", period(Inicio, Fim)}, {"new", period(Inicio, "2026-12-07")}}})),
              "Período de inquérito não pode ser alterado.");
    EXPECT_FALSE(
        failure(op("SetInqPaci"), periodPacket({insertPeriod(period("2026-12-10", "2026-12-12", "0000000000004"))}))
            .empty());

    // The first change is good, the second is not: the packet writes nothing.
    EXPECT_EQ(failure(op("SetInqPaci"), periodPacket({insertPeriod(period("2026-12-01", "2026-12-02", p4)),
                                                      insertPeriod(period("2026-11-01", "2026-11-02", p4))})),
              "Data cadastrada em outro período.");
    EXPECT_EQ(periodsOf(p4), 0);
    EXPECT_EQ(packet(op("GetInqPaci"), {Filial, Paciente}).rows.size(), 1u);
}

TEST_P(InqueritoPeriods, DeletingAPeriodTakesItsItemsAndMealTimes) {
    const std::string where = " WHERE CDPACIENTE = '" + Paciente + "'";
    ASSERT_GT(countOf(sql(), "SELECT COUNT(*) FROM ITINQUERPACI" + where), 0);
    ASSERT_GT(countOf(sql(), "SELECT COUNT(*) FROM HORAINQPACI" + where), 0);
    const long long otherItems =
        countOf(sql(), "SELECT COUNT(*) FROM ITINQUERPACI WHERE CDPACIENTE <> '" + Paciente + "'");

    call(op("SetInqPaci"), periodPacket({deletePeriod(period(Inicio, Fim))}));
    EXPECT_EQ(periodsOf(Paciente), 0);
    EXPECT_EQ(countOf(sql(), "SELECT COUNT(*) FROM ITINQUERPACI" + where), 0);
    EXPECT_EQ(countOf(sql(), "SELECT COUNT(*) FROM HORAINQPACI" + where), 0);
    EXPECT_EQ(countOf(sql(), "SELECT COUNT(*) FROM ITINQUERPACI WHERE CDPACIENTE <> '" + Paciente + "'"), otherItems);
    EXPECT_TRUE(packet(op("GetMax"), {Paciente}).at(0, "DTMAX").is_null());

    EXPECT_EQ(failure(op("SetInqPaci"), periodPacket({deletePeriod(period(Inicio, Fim))})),
              "Período de inquérito não encontrado.");
}

TEST_P(InqueritoPeriods, FailedDeleteKeepsEveryPeriod) {
    const std::string p2 = "000000000002";
    const long long items = countOf(sql(), "SELECT COUNT(*) FROM ITINQUERPACI WHERE CDPACIENTE = '" + p2 + "'");
    ASSERT_GT(items, 0);
    EXPECT_EQ(failure(op("SetInqPaci"), periodPacket({deletePeriod(period("2026-11-16", "2026-11-17", p2)),
                                                      deletePeriod(period("2026-01-01", "2026-01-02", p2))})),
              "Período de inquérito não encontrado.");
    EXPECT_EQ(periodsOf(p2), 1);
    EXPECT_EQ(countOf(sql(), "SELECT COUNT(*) FROM ITINQUERPACI WHERE CDPACIENTE = '" + p2 + "'"), items);
}

INQUERITO_ENGINES(InqueritoPeriods);

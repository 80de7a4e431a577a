// Meal time of a service on a survey day: GetHoraItem and SetHoraItem.
#include "InqueritoTestSupport.h"

using namespace inqtest;
using protocol::FieldType;

class InqueritoMealTime : public testsupport::ServerTest {
protected:
    protocol::DataPacket stored(const std::string& servico, const std::string& dia) {
        return packet(op("GetHoraItem"), dayArgs(servico, dia));
    }
    protocol::RpcResult set(const std::string& servico, const std::string& dia, const std::string& hora) {
        json args = dayArgs(servico, dia);
        args.push_back(hora);
        return callFull(op("SetHoraItem"), args);
    }
    std::string refused(const std::string& servico, const std::string& dia, const std::string& hora) {
        json args = dayArgs(servico, dia);
        args.push_back(hora);
        return failure(op("SetHoraItem"), args);
    }
};

TEST_P(InqueritoMealTime, StoredTimeIsReadSetChangedAndCleared) {
    auto demo = stored("00001", "2026-11-30");
    EXPECT_EQ(demo.fields, (std::vector<protocol::Field>{{"HRSERVINQ", FieldType::String, 4},
                                                         {"IDTIPOINQUER", FieldType::String, 1}}));
    ASSERT_EQ(demo.rows.size(), 1u);
    EXPECT_EQ(demo.at(0, "HRSERVINQ"), "0700");

    EXPECT_TRUE(stored("00002", "2026-11-30").rows.empty());
    auto reply = set("00002", "2026-11-30", "0945");
    EXPECT_TRUE(reply.data.is_null());
    EXPECT_EQ(reply.byref.at(6), "0945");
    EXPECT_EQ(stored("00002", "2026-11-30").at(0, "HRSERVINQ"), "0945");

    set("00002", "2026-11-30", "1005");
    EXPECT_EQ(stored("00002", "2026-11-30").at(0, "HRSERVINQ"), "1005");
    // Other days and services keep theirs.
    EXPECT_EQ(stored("00001", "2026-11-30").at(0, "HRSERVINQ"), "0700");

    EXPECT_EQ(set("00002", "2026-11-30", "").byref.at(6), "");
    EXPECT_TRUE(stored("00002", "2026-11-30").rows.empty());
}

TEST_P(InqueritoMealTime, InvalidTimesAndDaysAreRefused) {
    const std::string bad = "Horário inválido: informe horas (00 a 23) e minutos (00 a 59).";
    for (const char* hora : {"2400", "2360", "7:30", "730", "abcd", "07300"})
        EXPECT_EQ(refused("00001", "2026-11-30", hora), bad) << hora;
    EXPECT_EQ(stored("00001", "2026-11-30").at(0, "HRSERVINQ"), "0700");

    EXPECT_EQ(refused("00001", "2026-12-07", "0800"), "Data do inquérito deve estar dentro do período de inquérito.");
    EXPECT_EQ(refused("00009", "2026-11-30", "0800"), "Serviço não cadastrado para a filial.");
    EXPECT_EQ(failure(op("SetHoraItem"), {Paciente, Filial, "00001", "2026-11-01", Fim, "2026-11-30", "0800"}),
              "Período de inquérito não cadastrado.");
    // Only the demo's 08:00 of 6 December is stored.
    EXPECT_EQ(countOf(sql(), "SELECT COUNT(*) FROM HORAINQPACI WHERE HRSERVINQ = '0800'"), 1);
}

INQUERITO_ENGINES(InqueritoMealTime);

// The patient's nutritional needs per survey period: the targets' arithmetic,
// GetNecesNutr and SetNecesNutr on both engines.
#include "InqueritoTestSupport.h"
#include "ValidCalls.h"
#include "catalog/NutritionNeeds.h"

#include <cmath>

using namespace inqtest;
namespace needs = catalog::needs;

TEST(NutritionNeeds, EquationsAgeAndTargets) {
    // Age counts whole years: the day before the birthday is still the year before.
    const auto birth = protocol::Date::parse("1958-03-14");
    EXPECT_EQ(needs::ageOn(birth, {2026, 3, 13}), 67);
    EXPECT_EQ(needs::ageOn(birth, {2026, 3, 14}), 68);
    EXPECT_EQ(needs::ageOn(birth, {1950, 1, 1}), std::nullopt);
    EXPECT_EQ(needs::ageOn(std::nullopt, {2026, 3, 14}), std::nullopt);

    needs::Inputs in{70, 175, needs::HarrisBenedict, 1.2, 1.1, 0, 1.2, 55, 30, 35};
    const needs::Patient man{'M', 40}, woman{'F', 40};
    // 66,47 + 962,5 + 875,525 - 270,2 = 1634,295
    EXPECT_NEAR(needs::baseEnergy(in, man), 1634.295, 1e-9);
    // 655,1 + 669,41 + 323,75 - 187,04 = 1461,22
    EXPECT_NEAR(needs::baseEnergy(in, woman), 1461.22, 1e-9);
    in.metodo = needs::MifflinStJeor;
    EXPECT_NEAR(needs::baseEnergy(in, man), 700 + 1093.75 - 200 + 5, 1e-9);
    EXPECT_NEAR(needs::baseEnergy(in, woman), 700 + 1093.75 - 200 - 161, 1e-9);

    in.metodo = needs::KcalPerKg;
    in.kcalKg = 30;
    const auto t = needs::compute(in, woman);
    EXPECT_NEAR(t.energia, 2100 * 1.2 * 1.1, 1e-9);
    EXPECT_NEAR(t.proteina, 84, 1e-9);
    EXPECT_NEAR(t.carboidrato, 2772 * 0.55 / 4, 1e-9);
    EXPECT_NEAR(t.lipidio, 2772 * 0.30 / 9, 1e-9);
    EXPECT_NEAR(t.liquido, 2450, 1e-9);
    EXPECT_EQ(needs::check(in, woman), "");
}

TEST(NutritionNeeds, ImplausibleValuesAreRefused) {
    const needs::Inputs ok{70, 175, needs::MifflinStJeor, 1.2, 1.0, 0, 1.0, 50, 30, 30};
    const needs::Patient adult{'F', 50};
    ASSERT_EQ(needs::check(ok, adult), "");
    auto with = [&](auto change) {
        needs::Inputs in = ok;
        change(in);
        return needs::check(in, adult);
    };
    EXPECT_EQ(with([](auto& in) { in.peso = 700; }), "O peso deve estar entre 1 e 350 kg.");
    EXPECT_EQ(with([](auto& in) { in.altura = 17.5; }), "A altura deve estar entre 40 e 250 cm.");
    EXPECT_EQ(with([](auto& in) { in.fatorLesao = 0.5; }), "O fator lesão deve estar entre 1 e 2.");
    EXPECT_EQ(with([](auto& in) { in.proteinaKg = 0.1; }), "A proteína deve estar entre 0,3 e 3 g/kg.");
    EXPECT_EQ(with([](auto& in) { in.percCarboidrato = 70; in.percLipidio = 40; }),
              "Carboidrato e lipídio somam mais de 100 % da energia.");
    EXPECT_EQ(with([](auto& in) { in.liquidoKg = std::nan(""); }), "O líquido deve estar entre 10 e 100 ml/kg.");
    EXPECT_EQ(with([](auto& in) { in.metodo = 'X'; }), "Método de cálculo da energia inválido.");
    EXPECT_EQ(with([](auto& in) { in.metodo = needs::KcalPerKg; in.kcalKg = 5; }),
              "A energia por kg deve estar entre 10 e 60 kcal/kg.");
    // Within their ranges one by one, but an energy no one lives on.
    EXPECT_NE(with([](auto& in) { in.peso = 3; in.altura = 45; }).find("A energia calculada"), std::string::npos);
    // The equations need sex and an adult age; kcal per kg does not.
    EXPECT_NE(needs::check(ok, {0, 50}).find("sexo"), std::string::npos);
    EXPECT_NE(needs::check(ok, {'M', std::nullopt}).find("data de nascimento"), std::string::npos);
    EXPECT_NE(needs::check(ok, {'M', 12}).find("18 anos"), std::string::npos);
    needs::Inputs child = ok;
    child.peso = 30;
    child.altura = 130;
    child.metodo = needs::KcalPerKg;
    child.kcalKg = 50;
    EXPECT_EQ(needs::check(child, {0, std::nullopt}), "");
}

class InqueritoNeeds : public testsupport::ServerTest {
protected:
    // Patient 000000000001 (F, born 1958-03-14: 68 on the period's start).
    json values(double peso, const char* metodo, json kcalKg, double carb = 50, double lipi = 30) {
        return json::array({Paciente, Filial, Inicio, peso, 160, metodo, 1.2, 1.3, kcalKg, 1.2, carb, lipi, 30});
    }
    long long stored() { return countOf(sql(), "SELECT COUNT(*) FROM NECESNUTRPACI"); }
    long long audited() {
        return countOf(sql(), "SELECT COUNT(*) FROM AUDITORIA WHERE NMOPERACAO = 'Zep12600.rdmInquerito.SetNecesNutr'");
    }
};

TEST_P(InqueritoNeeds, RecordedReadReplacedAndAudited) {
    auto before = packet(op("GetNecesNutr"), {Paciente, Filial, Inicio});
    ASSERT_EQ(before.rows.size(), 1u);
    EXPECT_EQ(before.at(0, "IDSEXOPACI"), "F");
    EXPECT_EQ(before.at(0, "QTIDADE"), 68);
    EXPECT_TRUE(before.at(0, "QTPESOPACI").is_null());
    EXPECT_TRUE(before.at(0, "QTENERGIA").is_null());

    // Harris-Benedict, woman: 655,1 + 573,78 + 296 - 317,968 = 1206,912, x 1,2 x 1,3.
    auto reply = protocol::DataPacket::fromJson(call(op("SetNecesNutr"), values(60, "H", nullptr)));
    EXPECT_NEAR(reply.at(0, "QTENERGIA").get<double>(), 1206.912 * 1.56, 1e-6);
    EXPECT_NEAR(reply.at(0, "QTPROTEINA").get<double>(), 72, 1e-9);
    EXPECT_NEAR(reply.at(0, "QTCARBOIDRATO").get<double>(), 1206.912 * 1.56 * 0.5 / 4, 1e-6);
    EXPECT_NEAR(reply.at(0, "QTLIPIDIO").get<double>(), 1206.912 * 1.56 * 0.3 / 9, 1e-6);
    EXPECT_NEAR(reply.at(0, "QTLIQUIDO").get<double>(), 1800, 1e-9);
    EXPECT_EQ(reply.at(0, "CDOPERADOR"), "DEMO");
    EXPECT_TRUE(reply.at(0, "QTKCALKG").is_null());

    // Replaced whole by kcal per kg; read back the same.
    call(op("SetNecesNutr"), values(62, "K", 30));
    auto after = packet(op("GetNecesNutr"), {Paciente, Filial, Inicio});
    EXPECT_EQ(after.at(0, "IDMETODOENER"), "K");
    EXPECT_EQ(after.at(0, "QTKCALKG"), 30.0);
    EXPECT_NEAR(after.at(0, "QTENERGIA").get<double>(), 62 * 30 * 1.56, 1e-9);
    EXPECT_EQ(stored(), 1);

    const auto audit = db::query(sql(),
                                 "SELECT IDACAO, CDPACIENTE FROM AUDITORIA WHERE NMOPERACAO = "
                                 "'Zep12600.rdmInquerito.SetNecesNutr' ORDER BY DTHRREGISTRO, IDACAO DESC",
                                 {});
    ASSERT_EQ(audit.rows.size(), 2u);
    EXPECT_EQ(audit.at(0, "IDACAO"), "I");
    EXPECT_EQ(audit.at(1, "IDACAO"), "A");
    EXPECT_EQ(audit.at(1, "CDPACIENTE"), Paciente);
}

TEST_P(InqueritoNeeds, RefusalsStoreNothing) {
    call(op("SetNecesNutr"), values(60, "M", nullptr));
    const long long rows = stored(), trail = audited();

    EXPECT_EQ(failure(op("SetNecesNutr"), values(400, "M", nullptr)), "O peso deve estar entre 1 e 350 kg.");
    EXPECT_EQ(failure(op("SetNecesNutr"), values(60, "M", nullptr, 75, 35)),
              "Carboidrato e lipídio somam mais de 100 % da energia.");
    // kcal per kg needs its number; the wrong type is a bad argument.
    EXPECT_NE(failure(op("SetNecesNutr"), values(60, "K", nullptr)).find("deve ser um número"), std::string::npos);
    EXPECT_NE(failure(op("SetNecesNutr"), values(60, "K", "30")).find("deve ser um número"), std::string::npos);
    json otherPeriod = values(60, "M", nullptr);
    otherPeriod[2] = "2026-11-01";
    EXPECT_EQ(failure(op("SetNecesNutr"), otherPeriod), "Período de inquérito não cadastrado.");
    EXPECT_EQ(failure(op("GetNecesNutr"), {Paciente, Filial, "2026-11-01"}), "Período de inquérito não cadastrado.");

    // Without a birth date the equations cannot run; kcal per kg still can.
    db::execute(sql(), "UPDATE PACIENTE SET DTNASCPACI = NULL WHERE CDPACIENTE = '000000000001'", {});
    EXPECT_NE(failure(op("SetNecesNutr"), values(61, "H", nullptr)).find("data de nascimento"), std::string::npos);
    EXPECT_EQ(stored(), rows);
    EXPECT_EQ(audited(), trail);
    const auto kept = packet(op("GetNecesNutr"), {Paciente, Filial, Inicio});
    EXPECT_EQ(kept.at(0, "QTPESOPACI"), 60.0);
    EXPECT_TRUE(kept.at(0, "QTIDADE").is_null());
    EXPECT_TRUE(kept.at(0, "QTENERGIA").is_null());  // the stored equation lacks its age now
    call(op("SetNecesNutr"), values(61, "K", 25));
    EXPECT_EQ(packet(op("GetNecesNutr"), {Paciente, Filial, Inicio}).at(0, "QTPESOPACI"), 61.0);
}

// Other branches are refused by the authorization tests (ValidCalls.h).
TEST_P(InqueritoNeeds, DeletedPeriodTakesItsNeeds) {
    // Patient 000000000002's period of 16 November.
    const json args = json::array({"000000000002", Filial, "2026-11-16", 80, 178, "M", 1.0, 1.0, nullptr, 1.0, 50, 30, 35});
    call(op("SetNecesNutr"), args);
    EXPECT_EQ(stored(), 1);
    call(op("SetInqPaci"),
         json::array({validcalls::periodPacket("delete", "000000000002", "2026-11-16", "2026-11-17")}));
    EXPECT_EQ(stored(), 0);
}

INQUERITO_ENGINES(InqueritoNeeds);

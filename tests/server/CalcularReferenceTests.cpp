// The reference intakes carried by GetCalc and the per-day totals of
// GetMacroDia, on both engines, against the demo patient 000000000001 (woman
// born 1958-03-14: 68 years old on 2026-11-30, group "51 a 70 anos").
#include "ServerFixture.h"

#include "db/Query.h"

using namespace protocol;

namespace {

constexpr const char* Calc = "Zep12610.rdmCalcular.";
const json Patient = "000000000001";
const json Branch = "0001";

std::optional<double> numberOf(const json& v) { return v.is_number() ? std::optional<double>(v.get<double>()) : std::nullopt; }

} // namespace

class CalcularReferences : public testsupport::ServerTest {
protected:
    // GetCalc's row of each nutrient, by code.
    std::map<std::string, std::map<std::string, json>> references(const json& nutrients, const json& from = "2026-11-30",
                                                                  const json& to = "2026-11-30") {
        const auto p = packet(std::string(Calc) + "GetCalc", {Patient, from, to, Branch, "", nutrients, "T"});
        std::map<std::string, std::map<std::string, json>> out;
        for (size_t r = 0; r < p.rows.size(); ++r)
            for (const auto& f : p.fields) out[p.at(r, "CDNUTRIENTE").get<std::string>()][f.name] = p.at(r, f.name);
        return out;
    }
};

TEST_P(CalcularReferences, GetCalcCarriesTheReferenceOfTheSexAndAgeOnTheStartDate) {
    const auto refs = references("_010_015_019_003_008_");
    ASSERT_EQ(refs.size(), 5u);
    const auto& calcium = refs.at("010");
    EXPECT_EQ(numberOf(calcium.at("VRREFERENCIA")), 1200.0);
    EXPECT_EQ(calcium.at("IDTIPOREF"), "RDA");
    EXPECT_EQ(numberOf(calcium.at("VRLIMITE")), 2000.0);
    EXPECT_EQ(calcium.at("IDTIPOLIMITE"), "UL");
    EXPECT_EQ(calcium.at("DSGRUPOREF"), "mulheres de 51 a 70 anos");
    EXPECT_TRUE(calcium.at("DSSEMREF").is_null());
    // Sodium's upper limit is the chronic disease one.
    EXPECT_EQ(numberOf(refs.at("015").at("VRREFERENCIA")), 1500.0);
    EXPECT_EQ(refs.at("015").at("IDTIPOREF"), "AI");
    EXPECT_EQ(numberOf(refs.at("015").at("VRLIMITE")), 2300.0);
    EXPECT_EQ(refs.at("015").at("IDTIPOLIMITE"), "CDRR");
    EXPECT_EQ(numberOf(refs.at("008").at("VRREFERENCIA")), 21.0) << "fibre AI of women over 50";
    // Retinol has only the limit of preformed vitamin A.
    EXPECT_TRUE(refs.at("019").at("VRREFERENCIA").is_null());
    EXPECT_EQ(numberOf(refs.at("019").at("VRLIMITE")), 3000.0);
    // Energy in kJ has no reference, and says so.
    EXPECT_TRUE(refs.at("003").at("VRREFERENCIA").is_null());
    EXPECT_TRUE(refs.at("003").at("VRLIMITE").is_null());
    EXPECT_EQ(refs.at("003").at("DSSEMREF"), "Sem valor de referência (DRI) para este nutriente.");

    // Age counts on the start date: a period starting before her 51st birthday
    // (2009-03-14) takes the 31 to 50 group (calcium 1000).
    const auto younger = references("_010_", "2009-03-13", "2009-03-20");
    EXPECT_EQ(numberOf(younger.at("010").at("VRREFERENCIA")), 1000.0);
    EXPECT_EQ(younger.at("010").at("DSGRUPOREF"), "mulheres de 31 a 50 anos");
    // A man of 77 (000000000002, born 1949-07-22): calcium 1200, UL 2000, over 70.
    const auto p = packet(std::string(Calc) + "GetCalc", {"000000000002", "2026-11-16", "2026-11-17", Branch, "", "_010_", "T"});
    ASSERT_EQ(p.rows.size(), 1u);
    EXPECT_EQ(p.at(0, "DSGRUPOREF"), "homens de 71 anos ou mais");
    EXPECT_EQ(numberOf(p.at(0, "VRREFERENCIA")), 1200.0);
}

TEST_P(CalcularReferences, WithoutSexOrBirthDateOrForAnInfantTheRowsSayWhy) {
    db::execute(sql(), "UPDATE PACIENTE SET IDSEXOPACI = NULL WHERE CDPACIENTE = '000000000001'", {});
    for (const auto& [code, row] : references("_010_026_")) {
        EXPECT_TRUE(row.at("VRREFERENCIA").is_null()) << code;
        EXPECT_TRUE(row.at("VRLIMITE").is_null()) << code;
        EXPECT_EQ(row.at("DSSEMREF"), "Sexo do paciente não informado no cadastro: sem referência.") << code;
    }
    db::execute(sql(), "UPDATE PACIENTE SET IDSEXOPACI = 'F', DTNASCPACI = NULL WHERE CDPACIENTE = '000000000001'", {});
    EXPECT_EQ(references("_010_").at("010").at("DSSEMREF"),
              "Data de nascimento do paciente não informada no cadastro: sem referência.");
    // Ten months old on the start date: the table starts at one year.
    db::execute(sql(), "UPDATE PACIENTE SET DTNASCPACI = '2026-01-30' WHERE CDPACIENTE = '000000000001'", {});
    EXPECT_EQ(references("_010_").at("010").at("DSSEMREF"), "Sem valores de referência (DRI) para a idade de 0 anos.");
    // A child of 5 takes the children's row, whatever the sex.
    db::execute(sql(), "UPDATE PACIENTE SET DTNASCPACI = '2021-06-01' WHERE CDPACIENTE = '000000000001'", {});
    const auto child = references("_010_");
    EXPECT_EQ(numberOf(child.at("010").at("VRREFERENCIA")), 1000.0);
    EXPECT_EQ(child.at("010").at("DSGRUPOREF"), "crianças de 4 a 8 anos");
}

TEST_P(CalcularReferences, AReferenceCountsOnlyInTheNutrientsOwnUnit) {
    db::execute(sql(), "UPDATE NUTRIENTE SET SGUNIDADE = 'g' WHERE CDNUTRIENTE = '010'", {});
    const auto refs = references("_010_011_");
    EXPECT_TRUE(refs.at("010").at("VRREFERENCIA").is_null());
    EXPECT_EQ(refs.at("010").at("DSSEMREF"), "Sem valor de referência (DRI) para este nutriente.");
    EXPECT_EQ(numberOf(refs.at("011").at("VRREFERENCIA")), 320.0);
}

// One row per day with an item; the day's grams add up to the period's
// totals of GetNutrCalc, and the targets come from the needs of the period.
TEST_P(CalcularReferences, MacronutrientsPerDayAddUpToThePeriodAndCarryTheTargets) {
    const json from = "2026-11-30", to = "2026-12-06";
    const auto days = packet(std::string(Calc) + "GetMacroDia", {Patient, from, to, Branch, "T"});
    ASSERT_EQ(days.rows.size(), 7u);
    EXPECT_EQ(days.at(0, "DTINQUERITO").get<std::string>().substr(0, 10), "2026-11-30");
    EXPECT_EQ(days.at(6, "DTINQUERITO").get<std::string>().substr(0, 10), "2026-12-06");
    // Protein of 30/11/2026, worked out by hand in CalcularTests.
    EXPECT_NEAR(days.at(0, "QTPROTEINA").get<double>(), 73.4729286, 1e-6);
    const std::pair<const char*, const char*> macros[] = {
        {"QTCARBOIDRATO", "007"}, {"QTPROTEINA", "004"}, {"QTLIPIDIO", "005"}, {"QTALCOOL", "027"}};
    for (const auto& [field, code] : macros) {
        double sum = 0;
        for (size_t r = 0; r < days.rows.size(); ++r) sum += days.at(r, field).get<double>();
        const auto total = packet(std::string(Calc) + "GetNutrCalc", {Patient, from, to, Branch, "T", code});
        EXPECT_NEAR(sum, total.at(0, "VRNUTRI").get<double>(), 1e-6) << field;
    }
    for (size_t r = 0; r < days.rows.size(); ++r) {
        EXPECT_TRUE(days.at(r, "QTENERGIAMETA").is_null()) << "no needs recorded";
        EXPECT_TRUE(days.at(r, "QTPROTEINAMETA").is_null());
    }
    // The days GetDiasInq counts, for a choice of services too.
    const auto snack = packet(std::string(Calc) + "GetMacroDia", {Patient, from, to, Branch, "_00002_"});
    EXPECT_EQ(snack.rows.size(), 3u);
    EXPECT_EQ(packet(std::string(Calc) + "GetDiasInq", {Patient, from, to, Branch, "_00002_"}).at(0, "NRDIAS"), 3);
    EXPECT_TRUE(packet(std::string(Calc) + "GetMacroDia", {Patient, to, from, Branch, "T"}).rows.empty());

    // 30 kcal/kg x 60 kg = 1800 kcal; 1.2 g/kg x 60 kg = 72 g.
    call("Zep12600.rdmInquerito.SetNecesNutr",
         {Patient, Branch, from, 60, 160, "K", 1, 1, 30, 1.2, 50, 30, 30});
    const auto withTargets = packet(std::string(Calc) + "GetMacroDia", {Patient, from, to, Branch, "T"});
    ASSERT_EQ(withTargets.rows.size(), 7u);
    for (size_t r = 0; r < withTargets.rows.size(); ++r) {
        EXPECT_NEAR(withTargets.at(r, "QTENERGIAMETA").get<double>(), 1800, 1e-9);
        EXPECT_NEAR(withTargets.at(r, "QTPROTEINAMETA").get<double>(), 72, 1e-9);
    }
}

INQUERITO_ENGINES(CalcularReferences);

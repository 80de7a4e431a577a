// Restriction, intolerance and drug-nutrient warnings of the item grid.
// Patient 000000000001 has diabetes (sugars restricted), lactose intolerance,
// takes levothyroxine (calcium >= 100, iron >= 2 per 100 g) since January and
// spironolactone (potassium >= 300) since 20 November; ciprofloxacin was
// taken from 1 to 10 October only.
#include "InqueritoTestSupport.h"

#include <algorithm>
#include <map>
#include <set>

using namespace inqtest;
using protocol::DataPacket;
using protocol::Field;
using protocol::FieldType;

namespace {

const Field Produto{"CDPRODUTO", FieldType::String, 20};
const Field Prato{"CDPRATO", FieldType::String, 10};
const Field Medicamento{"NMMEDICAMENT", FieldType::String, 150};
const Field Nutriente{"NMNUTRIENTE", FieldType::String, 20};
const std::string Levotiroxina = "Levotiroxina sódica 50 mcg, comprimido";
const std::string Espironolactona = "Espironolactona 25 mg, comprimido";
const std::string Ciprofloxacino = "Ciprofloxacino 500 mg, comprimido";
const std::string Diabetes = "Diabetes mellitus tipo 2";
const std::string Acucares = "Açúcares, mel e xaropes";
const std::string Lactose = "Intolerância à lactose";
const Field Diagnostico{"NMDIAGNOSTICO", FieldType::String, 60};
const Field NomeSubgrupo{"NMSUBGRPROD", FieldType::String, 50};
const Field Intolerancia{"NMINTOLER", FieldType::String, 60};
const Field NomeProduto{"NMPRODUTO", FieldType::String, 50};

std::vector<DataPacket> packets(const json& data) {
    std::vector<DataPacket> out;
    for (const auto& p : data) out.push_back(DataPacket::fromJson(p));
    return out;
}

bool hasRow(const DataPacket& p, const protocol::Row& row) {
    return std::find(p.rows.begin(), p.rows.end(), row) != p.rows.end();
}

std::vector<protocol::Row> rowsWith(const DataPacket& p, const std::string& name, const std::string& value) {
    std::vector<protocol::Row> out;
    const int at = p.indexOf(name);
    for (const auto& row : p.rows)
        if (at >= 0 && row[size_t(at)] == value) out.push_back(row);
    return out;
}

bool mentions(const DataPacket& p, const std::string& name, const std::string& value) {
    const auto values = column(p, name);
    return std::find(values.begin(), values.end(), value) != values.end();
}

}  // namespace

class InqueritoWarnings : public testsupport::ServerTest {
protected:
    std::vector<DataPacket> productSets(const std::string& paciente, const std::string& dia) {
        return packets(call(op("GetProdutoRest"), {paciente, Filial, Inicio, Fim, dia}));
    }
    std::vector<DataPacket> dishSets(const std::string& paciente, const std::string& filAux, const std::string& dia) {
        return packets(call(op("GetPratoRest"), {paciente, filAux, Filial, "00003", Inicio, Fim, dia}));
    }
    DataPacket productDrugs(const std::string& dia, const std::string& arvore) {
        return packet(op("GetVerMedica"), {Paciente, Filial, dia, arvore});
    }
};

TEST_P(InqueritoWarnings, ProductSetsNameTheClashingLeafProductsByTreeCode) {
    auto sets = productSets(Paciente, "2026-12-01");
    ASSERT_EQ(sets.size(), 3u);
    // The codes the marks search come first, as before; the reasons follow.
    EXPECT_EQ(sets[0].fields, (std::vector<Field>{{"CDSUBGRPROD", FieldType::String, 10}, Produto, Diagnostico,
                                                  NomeSubgrupo}));
    EXPECT_EQ(sets[1].fields, (std::vector<Field>{Produto, Intolerancia}));
    EXPECT_EQ(sets[2].fields, (std::vector<Field>{Medicamento, Nutriente, Produto}));

    EXPECT_TRUE(hasRow(sets[0], {"1001", "1001003", Diabetes, Acucares}));  // refined sugar
    EXPECT_FALSE(mentions(sets[0], "CDPRODUTO", "1001"));  // a subgroup node is no product to eat
    EXPECT_FALSE(mentions(sets[0], "CDPRODUTO", "0102006"));
    EXPECT_TRUE(hasRow(sets[1], {"0701005", Lactose}));  // whole milk
    EXPECT_FALSE(mentions(sets[1], "CDPRODUTO", "0102006"));
    EXPECT_TRUE(hasRow(sets[2], {Levotiroxina, "Cálcio", "0701005"}));
    EXPECT_TRUE(hasRow(sets[2], {Espironolactona, "Potássio", "0201005"}));  // lettuce
    EXPECT_FALSE(mentions(sets[2], "NMMEDICAMENT", Ciprofloxacino));

    for (const auto& set : productSets("000000000004", "2026-12-01")) EXPECT_TRUE(set.rows.empty());
}

TEST_P(InqueritoWarnings, DishSetsFollowTheirRecipesAndOwners) {
    auto sets = dishSets(Paciente, "", "2026-12-01");
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_EQ(sets[0].fields, (std::vector<Field>{Produto, Prato, Diagnostico, NomeSubgrupo, NomeProduto}));
    EXPECT_EQ(sets[1].fields, (std::vector<Field>{Produto, Prato, Intolerancia, NomeProduto}));
    EXPECT_EQ(sets[2].fields, (std::vector<Field>{Medicamento, Nutriente, Prato, NomeProduto}));

    // Coffee with milk: sugar and milk powder in its recipe, each named.
    EXPECT_TRUE(hasRow(sets[0], {"1001003", "05002", Diabetes, Acucares, "Açúcar, refinado"}));
    ASSERT_EQ(rowsWith(sets[1], "CDPRATO", "05002").size(), 1u);
    const auto milk = rowsWith(sets[1], "CDPRATO", "05002")[0];
    EXPECT_EQ(milk[0], "0701006");
    EXPECT_EQ(milk[2], Lactose);
    EXPECT_TRUE(milk[3].get<std::string>().starts_with("Leite, de vaca, integral, pó")) << milk[3];
    EXPECT_FALSE(rowsWith(sets[2], "CDPRATO", "01001").empty());
    EXPECT_EQ(rowsWith(sets[2], "CDPRATO", "01001")[0][0], Espironolactona);
    EXPECT_FALSE(mentions(sets[1], "CDPRATO", "02001"));  // rice and beans

    // A dish of another branch never counts, and the owner branch named does
    // not change the answer (it is that of whichever row was painted first).
    for (const auto& set : sets) EXPECT_FALSE(mentions(set, "CDPRATO", "01006"));
    const auto named = dishSets(Paciente, "0002", "2026-12-01");
    for (size_t i = 0; i < sets.size(); ++i) EXPECT_EQ(named[i].rows, sets[i].rows);

    for (const auto& set : dishSets("000000000004", "0002", "2026-12-01")) EXPECT_TRUE(set.rows.empty());
}

TEST_P(InqueritoWarnings, DrugsAndDiagnosesCountOnlyOnTheDaysTheyHold) {
    EXPECT_TRUE(productDrugs("2026-11-19", "0201005").rows.empty());  // before spironolactone
    auto lettuce = productDrugs("2026-11-20", "0201005");
    EXPECT_EQ(lettuce.fields, (std::vector<Field>{Medicamento, Nutriente}));
    EXPECT_EQ(lettuce.rows, (std::vector<protocol::Row>{{Espironolactona, "Potássio"}}));

    EXPECT_EQ(productDrugs("2026-10-05", "0701005").rows,
              (std::vector<protocol::Row>{{Ciprofloxacino, "Cálcio"}, {Levotiroxina, "Cálcio"}}));
    EXPECT_EQ(productDrugs("2026-10-11", "0701005").rows, (std::vector<protocol::Row>{{Levotiroxina, "Cálcio"}}));
    EXPECT_TRUE(productDrugs("2026-12-01", "0102006").rows.empty());

    // Patient 3's dyslipidaemia ended on 30 June.
    EXPECT_FALSE(productSets("000000000003", "2026-06-30")[0].rows.empty());
    EXPECT_TRUE(productSets("000000000003", "2026-07-01")[0].rows.empty());
}

TEST_P(InqueritoWarnings, DishDrugsOfOneDish) {
    auto chicken = packet(op("GetVerMedicaPrato"), {Paciente, "2026-12-01", "01001", "P", Filial});
    EXPECT_EQ(chicken.fields, (std::vector<Field>{Medicamento, Nutriente}));
    EXPECT_TRUE(hasRow(chicken, {Espironolactona, "Potássio"}));
    EXPECT_TRUE(packet(op("GetVerMedicaPrato"), {Paciente, "2026-11-19", "02001", "P", Filial}).rows.empty());
    // The fish of branch 0002 is seen only with its owner.
    EXPECT_TRUE(packet(op("GetVerMedicaPrato"), {Paciente, "2026-12-01", "01006", "", Filial}).rows.empty());
    EXPECT_FALSE(packet(op("GetVerMedicaPrato"), {Paciente, "2026-12-01", "01006", "0002", Filial}).rows.empty());

    EXPECT_FALSE(failure(op("GetVerMedicaPrato"), {Paciente, "2026-12-01", std::string(11, '0'), "P", Filial}).empty());
    EXPECT_FALSE(failure(op("GetPratoRest"), {Paciente, "00002", Filial, "00003", Inicio, Fim, "2026-12-01"}).empty());
}

TEST_P(InqueritoWarnings, EachReasonOfAnItemIsARowOfItsOwn) {
    // Chronic kidney disease from November restricts salty foods as the
    // hypertension does: such a product is listed once per diagnosis, so the
    // mark can name both.
    db::execute(sql(), "INSERT INTO PACIDIAG (CDPACIENTE, CDDIAGNOSTICO, DTINIDIAG) VALUES ('000000000001', '00003', '2026-11-01')",
                {});
    auto sets = productSets(Paciente, "2026-12-01");
    std::map<std::string, std::set<std::string>> diagnoses;
    for (const auto& row : sets[0].rows) diagnoses[row[1].get<std::string>()].insert(row[2].get<std::string>());
    EXPECT_TRUE(std::any_of(diagnoses.begin(), diagnoses.end(), [](const auto& d) {
        return d.second == std::set<std::string>{"Doença renal crônica", "Hipertensão arterial sistêmica"};
    }));
    for (const auto& row : sets[0].rows) EXPECT_FALSE(row[3].is_null()) << "subgroup " << row[0] << " has no name";
    // A subgroup without a node in the product tree still restricts, unnamed.
    db::execute(sql(), "UPDATE PRODUTO SET CDARVPROD = '9999' WHERE CDARVPROD = '1001'", {});
    sets = productSets(Paciente, "2026-12-01");
    const auto sugar = rowsWith(sets[0], "CDPRODUTO", "1001003");
    ASSERT_EQ(sugar.size(), 1u);
    EXPECT_TRUE(sugar[0][3].is_null());
}

class InqueritoDayIntake : public InqueritoWarnings {
protected:
    std::map<std::string, double> dayIntake(const std::string& dia, const std::string& nutrients) {
        const auto p = packet(op("GetNutrDia"), {Paciente, Filial, dia, nutrients});
        EXPECT_EQ(p.fields, (std::vector<Field>{{"CDNUTRIENTE", FieldType::String, 3}, {"QTNUTRDIA", FieldType::Float, 0}}));
        std::map<std::string, double> out;
        for (const auto& row : p.rows) out[row[0].get<std::string>()] = row[1].get<double>();
        return out;
    }
};

TEST_P(InqueritoDayIntake, EqualsTheCalculationOfThatDay) {
    for (const std::string day : {"2026-11-30", "2026-12-01"}) {
        const auto calc = packet("Zep12610.rdmCalcular.GetCalc", {Paciente, day, day, Filial, "", "_010_014_019_", "T"});
        std::map<std::string, double> expected;
        for (size_t r = 0; r < calc.rows.size(); ++r)
            expected[calc.at(r, "CDNUTRIENTE").get<std::string>()] = calc.at(r, "TOTAL").get<double>();
        const auto intake = dayIntake(day, "_010_014_019_");
        ASSERT_EQ(intake.size(), 3u);
        for (const auto& [code, total] : intake) {
            EXPECT_NEAR(total, expected[code], 1e-9) << day << " " << code;
        }
        EXPECT_GT(intake.at("010"), 0.0) << day;  // calcium was eaten
    }
}

TEST_P(InqueritoDayIntake, NothingEatenIsZeroAndBadArgumentsAreRefused) {
    const auto none = dayIntake("2027-01-05", "_010_");
    EXPECT_EQ(none, (std::map<std::string, double>{{"010", 0.0}}));
    EXPECT_EQ(dayIntake("2026-11-30", "T").size(), size_t(countOf(sql(), "SELECT COUNT(*) FROM NUTRIENTE")));
    EXPECT_FALSE(failure(op("GetNutrDia"), {Paciente, Filial, "2026-11-30", "010"}).empty());
    EXPECT_FALSE(failure(op("GetNutrDia"), {Paciente, Filial, "30/11/2026", "_010_"}).empty());
    EXPECT_FALSE(failure(op("GetNutrDia"), {Paciente, "00001", "2026-11-30", "_010_"}).empty());
}

INQUERITO_ENGINES(InqueritoWarnings);
INQUERITO_ENGINES(InqueritoDayIntake);

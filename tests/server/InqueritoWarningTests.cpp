// Restriction, intolerance and drug-nutrient warnings of the item grid.
// Patient 000000000001 has diabetes (sugars restricted), lactose intolerance,
// takes levothyroxine (calcium >= 100, iron >= 2 per 100 g) since January and
// spironolactone (potassium >= 300) since 20 November; ciprofloxacin was
// taken from 1 to 10 October only.
#include "InqueritoTestSupport.h"

#include <algorithm>

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

std::vector<DataPacket> packets(const json& data) {
    std::vector<DataPacket> out;
    for (const auto& p : data) out.push_back(DataPacket::fromJson(p));
    return out;
}

bool hasRow(const DataPacket& p, const protocol::Row& row) {
    return std::find(p.rows.begin(), p.rows.end(), row) != p.rows.end();
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
    EXPECT_EQ(sets[0].fields, (std::vector<Field>{{"CDSUBGRPROD", FieldType::String, 10}, Produto}));
    EXPECT_EQ(sets[1].fields, (std::vector<Field>{Produto}));
    EXPECT_EQ(sets[2].fields, (std::vector<Field>{Medicamento, Nutriente, Produto}));

    EXPECT_TRUE(hasRow(sets[0], {"1001", "1001003"}));     // refined sugar, diabetes
    EXPECT_FALSE(mentions(sets[0], "CDPRODUTO", "1001"));  // a subgroup node is no product to eat
    EXPECT_FALSE(mentions(sets[0], "CDPRODUTO", "0102006"));
    EXPECT_TRUE(mentions(sets[1], "CDPRODUTO", "0701005"));  // whole milk, lactose
    EXPECT_FALSE(mentions(sets[1], "CDPRODUTO", "0102006"));
    EXPECT_TRUE(hasRow(sets[2], {Levotiroxina, "Cálcio", "0701005"}));
    EXPECT_TRUE(hasRow(sets[2], {Espironolactona, "Potássio", "0201005"}));  // lettuce
    EXPECT_FALSE(mentions(sets[2], "NMMEDICAMENT", Ciprofloxacino));

    for (const auto& set : productSets("000000000004", "2026-12-01")) EXPECT_TRUE(set.rows.empty());
}

TEST_P(InqueritoWarnings, DishSetsFollowTheirRecipesAndOwners) {
    auto sets = dishSets(Paciente, "", "2026-12-01");
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_EQ(sets[0].fields, (std::vector<Field>{Produto, Prato}));
    EXPECT_EQ(sets[1].fields, (std::vector<Field>{Produto, Prato}));
    EXPECT_EQ(sets[2].fields, (std::vector<Field>{Medicamento, Nutriente, Prato}));

    // Coffee with milk: sugar and milk powder in its recipe.
    EXPECT_TRUE(hasRow(sets[0], {"1001003", "05002"}));
    EXPECT_TRUE(hasRow(sets[1], {"0701006", "05002"}));
    EXPECT_TRUE(hasRow(sets[2], {Espironolactona, "Potássio", "01001"}));
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

INQUERITO_ENGINES(InqueritoWarnings);

// The reasons of a clashing item in words, read from warning sets as the
// server answers them, without a screen.
#include "survey/WarningReasons.h"

#include "host/data/DataSet.h"
#include "protocol/Json.h"

#include <gtest/gtest.h>

#include <memory>

using namespace survey;
using hostfw::TClientDataSet;
using protocol::json;

namespace {

// A set loaded from a packet of string fields.
std::unique_ptr<TClientDataSet> set(const std::vector<std::string>& fields,
                                    const std::vector<std::vector<std::string>>& rows) {
    json f = json::array(), r = json::array();
    for (const auto& name : fields) f.push_back(json{{"name", name}, {"type", "string"}, {"size", 150}});
    for (const auto& row : rows) {
        json values = json::array();
        for (const auto& v : row) values.push_back(v);
        r.push_back(values);
    }
    auto ds = std::make_unique<TClientDataSet>(nullptr);
    json packet = json::object();
    packet["fields"] = f;
    packet["rows"] = r;
    ds->SetData(packet);
    return ds;
}

struct Sets {
    std::unique_ptr<TClientDataSet> pr, pi, pm, dr, di, dm;
    WarningSets view() const { return {pr.get(), pi.get(), pm.get(), dr.get(), di.get(), dm.get()}; }
};

// As the server answers: codes first, reasons after; a dish names the product of its recipe.
Sets serverSets() {
    Sets s;
    s.pr = set({"CDSUBGRPROD", "CDPRODUTO", "NMDIAGNOSTICO", "NMSUBGRPROD"},
               {{"1001", "1001003", "Diabetes mellitus tipo 2", "Açúcares, mel e xaropes"},
                {"0604", "0604001", "Hipertensão arterial sistêmica", "Embutidos"},
                {"0604", "0604001", "Doença renal crônica", "Embutidos"}});
    s.pi = set({"CDPRODUTO", "NMINTOLER"}, {{"0701005", "Intolerância à lactose"}, {"0701005", "Alergia à proteína do leite de vaca"}});
    s.pm = set({"NMMEDICAMENT", "NMNUTRIENTE", "CDPRODUTO"}, {{"Varfarina 5 mg", "Vitamina K", "0201010"}});
    s.dr = set({"CDPRODUTO", "CDPRATO", "NMDIAGNOSTICO", "NMSUBGRPROD", "NMPRODUTO"},
               {{"1001003", "05002", "Diabetes mellitus tipo 2", "Açúcares, mel e xaropes", "Açúcar, refinado"},
                {"1001001", "05002", "Diabetes mellitus tipo 2", "Açúcares, mel e xaropes", "Açúcar, cristal"}});
    s.di = set({"CDPRODUTO", "CDPRATO", "NMINTOLER", "NMPRODUTO"},
               {{"0701006", "05002", "Doença celíaca", "Leite em pó"}});
    s.dm = set({"NMMEDICAMENT", "NMNUTRIENTE", "CDPRATO", "NMPRODUTO"},
               {{"Espironolactona 25 mg", "Potássio", "05002", "Leite em pó"},
                {"Espironolactona 25 mg", "Potássio", "05002", "Café, pó"}});
    return s;
}

}  // namespace

TEST(WarningReasons, ProductReasonsNameDiagnosisSubgroupIntoleranceAndDrug) {
    const Sets s = serverSets();
    const ItemWarnings sugar = itemWarnings(s.view(), ItemKind::Product, "1001003");
    EXPECT_EQ(sugar.restrictions, QStringList{"Restrição: Diabetes mellitus tipo 2 — Açúcares, mel e xaropes"});
    EXPECT_TRUE(sugar.intolerances.isEmpty());
    EXPECT_TRUE(sugar.interactions.isEmpty());

    // Two diagnoses restricting one subgroup: both named, in the set's order.
    EXPECT_EQ(itemWarnings(s.view(), ItemKind::Product, "0604001").restrictions,
              (QStringList{"Restrição: Hipertensão arterial sistêmica — Embutidos",
                           "Restrição: Doença renal crônica — Embutidos"}));

    // A name that says "Intolerância" already is not prefixed again; others are.
    EXPECT_EQ(itemWarnings(s.view(), ItemKind::Product, "0701005").intolerances,
              (QStringList{"Intolerância à lactose", "Intolerância: Alergia à proteína do leite de vaca"}));
    EXPECT_EQ(itemWarnings(s.view(), ItemKind::Product, "0201010").interactions,
              QStringList{"Interação: Varfarina 5 mg × Vitamina K"});

    // Codes compare without regard to case or blanks; a product code is not a dish's.
    EXPECT_FALSE(itemWarnings(s.view(), ItemKind::Product, " 1001003 ").isEmpty());
    EXPECT_TRUE(itemWarnings(s.view(), ItemKind::Dish, "1001003").isEmpty());
    EXPECT_TRUE(itemWarnings(s.view(), ItemKind::Product, "0102006").isEmpty());
    EXPECT_TRUE(itemWarnings(s.view(), ItemKind::Product, "").isEmpty());
}

TEST(WarningReasons, DishReasonsNameTheRecipeProductsOnce) {
    const Sets s = serverSets();
    const ItemWarnings coffee = itemWarnings(s.view(), ItemKind::Dish, "05002");
    EXPECT_EQ(coffee.restrictions,
              QStringList{"Restrição: Diabetes mellitus tipo 2 — Açúcares, mel e xaropes (Açúcar, refinado / Açúcar, cristal)"});
    EXPECT_EQ(coffee.intolerances, QStringList{"Intolerância: Doença celíaca (Leite em pó)"});
    EXPECT_EQ(coffee.interactions, QStringList{"Interação: Espironolactona 25 mg × Potássio (Leite em pó / Café, pó)"});
    EXPECT_EQ(coffee.all().size(), 3);
}

TEST(WarningReasons, SetsWithoutReasonsOrNotLoadedStillSaySomething) {
    // A server that sends only the codes: the marks' meaning stands for the reason.
    Sets s;
    s.pr = set({"CDSUBGRPROD", "CDPRODUTO"}, {{"1001", "1001003"}});
    s.pi = set({"CDPRODUTO"}, {{"1001003"}});
    s.pm = set({"NMMEDICAMENT", "NMNUTRIENTE", "CDPRODUTO"}, {});
    s.dr = std::make_unique<TClientDataSet>(nullptr);  // never loaded
    s.di = std::make_unique<TClientDataSet>(nullptr);
    s.dm = std::make_unique<TClientDataSet>(nullptr);
    const ItemWarnings w = itemWarnings(s.view(), ItemKind::Product, "1001003");
    EXPECT_EQ(w.all(), (QStringList{"Restrição alimentar da dieta", "Intolerância do paciente"}));
    EXPECT_TRUE(itemWarnings(s.view(), ItemKind::Dish, "05002").isEmpty());
}

TEST(WarningReasons, PostedItemNoticeNamesTheItemAndEveryReason) {
    const Sets s = serverSets();
    EXPECT_EQ(postedItemNotice(" Café com leite ", itemWarnings(s.view(), ItemKind::Dish, "05002")),
              "Atenção: Café com leite — Restrição: Diabetes mellitus tipo 2 — Açúcares, mel e xaropes "
              "(Açúcar, refinado / Açúcar, cristal); Intolerância: Doença celíaca (Leite em pó); "
              "Interação: Espironolactona 25 mg × Potássio (Leite em pó / Café, pó)");
    EXPECT_TRUE(postedItemNotice("Pão francês", {}).isEmpty());
}

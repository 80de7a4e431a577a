// The item rules without a screen: the post check's order, the stops of
// each kind and the total quantity.
#include "survey/ItemRules.h"

#include <gtest/gtest.h>

using namespace survey;

namespace {

ItemEntry entry(const char* type, const char* code, const char* measure, const char* portions) {
    return {QString::fromLatin1(type), QString::fromLatin1(code), QString::fromLatin1(measure),
            QString::fromLatin1(portions)};
}

}  // namespace

TEST(ItemRules, PostCheckStopsAtTheFirstMissingValueInItsOrder) {
    EXPECT_EQ(firstMissing(entry("", "", "", "")), (ItemStop{"IDTIPOINQUER", "tp_Inf"}));
    EXPECT_EQ(firstMissing(entry(" ", "0102006", "00015", "1")), (ItemStop{"IDTIPOINQUER", "tp_Inf"}));
    EXPECT_EQ(firstMissing(entry("0", "", "", "")), (ItemStop{"CDPRATPROD", "Produto_Inf"}));
    EXPECT_EQ(firstMissing(entry("1", " ", "00008", "1")), (ItemStop{"CDPRATPROD", "Prato_Inf"}));
    // Only "0" names the product message; an unknown type names the dish one.
    EXPECT_EQ(firstMissing(entry("7", "", "", "")), (ItemStop{"CDPRATPROD", "Prato_Inf"}));
    EXPECT_EQ(firstMissing(entry("0", "0102006", "", "")), (ItemStop{"CDMEDICASE", "Med_Inf"}));
    EXPECT_EQ(firstMissing(entry("0", "0102006", "00015", "")), (ItemStop{"QTALIMMEDCAS", "Quant_Inf"}));
    EXPECT_FALSE(firstMissing(entry("1", "01002", "00008", "0")).has_value()) << "a zero is checked on the exit";
}

TEST(ItemRules, TotalIsPortionsTimesTheWeightOfOnePortion) {
    const TotalQuantity two = totalQuantity(ItemKind::Product, 2, 150);
    EXPECT_FALSE(two.stop);
    EXPECT_DOUBLE_EQ(two.total, 300);
    // Stored unrounded.
    EXPECT_DOUBLE_EQ(totalQuantity(ItemKind::Dish, 0.0005, 3).total, 0.0015);

    // Portions rounded to three decimals come first, with the kind's message.
    EXPECT_EQ(totalQuantity(ItemKind::Product, 0.0004, 0).stop, (ItemStop{"QTALIMMEDCAS", "Peso_Prod"}));
    EXPECT_EQ(totalQuantity(ItemKind::Dish, -1, 100).stop, (ItemStop{"QTALIMMEDCAS", "Peso_Prat"}));
    // Then a weight that is absent (read as 0) sends the cursor to the measure.
    EXPECT_EQ(totalQuantity(ItemKind::Dish, 1, 0).stop, (ItemStop{"CDMEDICASE", "Peso_Medi"}));
    EXPECT_EQ(totalQuantity(ItemKind::Product, 1, -5).stop, (ItemStop{"CDMEDICASE", "Peso_Medi"}));
}

TEST(ItemRules, KindsShareTheRulesAndDifferInTheirMessages) {
    EXPECT_EQ(itemKindOf("1"), ItemKind::Dish);
    for (const char* other : {"0", "", "9", "10"}) EXPECT_EQ(itemKindOf(QString::fromLatin1(other)), ItemKind::Product);
    EXPECT_STREQ(rulesOf(ItemKind::Product).duplicate, "Produto_NCad");
    EXPECT_STREQ(rulesOf(ItemKind::Dish).duplicate, "Prato_JCad");
    EXPECT_STREQ(rulesOf(ItemKind::Product).unknownMeasure, "Med_Inv");
    EXPECT_STREQ(rulesOf(ItemKind::Dish).unknownMeasure, "Med_InvPrat");
    EXPECT_STREQ(rulesOf(ItemKind::Product).weightField, "VRPESOMEDI");
    EXPECT_STREQ(rulesOf(ItemKind::Dish).weightField, "VRPESOMED");

    // The duplicate check refuses only a new row.
    EXPECT_TRUE(refusedAsDuplicate(true, true));
    EXPECT_FALSE(refusedAsDuplicate(false, true));
    EXPECT_FALSE(refusedAsDuplicate(true, false));

    EXPECT_EQ(fittedMeasure("15"), "00015");
    EXPECT_EQ(fittedMeasure(""), "");
    EXPECT_EQ(fittedMeasure("123456"), "123456") << "a longer code is left for the check to refuse";
}

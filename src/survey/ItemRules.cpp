#include "survey/ItemRules.h"

#include "host/routines/Consiste.h"

#include <cstring>

namespace survey {

using namespace hostfw;

namespace {
constexpr int kMeasureWidth = 5;
}

ItemKind itemKindOf(const QString& type) { return type == QLatin1String("1") ? ItemKind::Dish : ItemKind::Product; }

const KindRules& rulesOf(ItemKind kind) {
    static const KindRules product{"Produto_Inf", "Produto_Inv", "Produto_NCad", "Med_Inv",
                                   "Peso_Prod",   "NCad_Med",    "VRPESOMEDI"};
    static const KindRules dish{"Prato_Inf", "Prato_Inv",    "Prato_JCad", "Med_InvPrat",
                                "Peso_Prat", "NCad_MedPrat", "VRPESOMED"};
    return kind == ItemKind::Dish ? dish : product;
}

bool ItemStop::operator==(const ItemStop& o) const {
    return std::strcmp(field, o.field) == 0 && std::strcmp(key, o.key) == 0;
}

std::optional<ItemStop> firstMissing(const ItemEntry& e) {
    if (Consiste::EmptyString(e.type)) return ItemStop{"IDTIPOINQUER", "tp_Inf"};
    // An empty code names the product message only for a product type proper.
    if (Consiste::EmptyString(e.code))
        return ItemStop{"CDPRATPROD", e.type == QLatin1String("0") ? "Produto_Inf" : "Prato_Inf"};
    if (Consiste::EmptyString(e.measure)) return ItemStop{"CDMEDICASE", "Med_Inf"};
    if (e.portionsText.isEmpty()) return ItemStop{"QTALIMMEDCAS", "Quant_Inf"};
    return std::nullopt;
}

TotalQuantity totalQuantity(ItemKind kind, double portions, double weight) {
    TotalQuantity t;
    if (Consiste::RoundDec(portions, 3) <= 0)
        t.stop = ItemStop{"QTALIMMEDCAS", rulesOf(kind).badPortions};
    else if (!(weight > 0))
        t.stop = ItemStop{"CDMEDICASE", "Peso_Medi"};
    else
        t.total = portions * weight;
    return t;
}

bool refusedAsDuplicate(bool newRow, bool mealHoldsIt) { return newRow && mealHoldsIt; }

QString fittedMeasure(const QString& typed) { return Consiste::Ajusta(typed, kMeasureWidth); }

}  // namespace survey

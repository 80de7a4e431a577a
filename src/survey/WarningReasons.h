#pragma once
// Why an item clashes, in words a dietitian can act on: the diagnosis and
// restricted food subgroup, the intolerance, the drug and nutrient, and for
// a dish the product of its recipe that brings the clash. Read from the
// warning sets the server answers (GetProdutoRest, GetPratoRest); no widgets.
#include "survey/ItemRules.h"

#include <QString>
#include <QStringList>

namespace hostfw {
class TClientDataSet;
}

namespace survey {

// One reason as the warning set gives it; empty texts are absent fields
// (a server that sends only the codes).
struct RestrictionRow {
    QString diagnosis, subgroup, ingredient;
};
struct IntoleranceRow {
    QString intolerance, ingredient;
};
struct InteractionRow {
    QString drug, nutrient, ingredient;
};

// The reasons of one item, one line each, in pt-BR:
// "Restrição: Diabetes mellitus tipo 2 — Açúcares, mel e xaropes (Açúcar, refinado)",
// "Intolerância: Lactose", "Interação: Varfarina × Vitamina K". Lines that
// differ only in the recipe product are merged, their products listed once.
struct Q_DECL_EXPORT ItemWarnings {
    QStringList restrictions;
    QStringList intolerances;
    QStringList interactions;

    bool isEmpty() const { return restrictions.isEmpty() && intolerances.isEmpty() && interactions.isEmpty(); }
    QStringList all() const { return restrictions + intolerances + interactions; }

    static ItemWarnings from(const QList<RestrictionRow>& restricted, const QList<IntoleranceRow>& intolerant,
                             const QList<InteractionRow>& interacting);
};

// The six sets of the screen, as loaded.
struct WarningSets {
    hostfw::TClientDataSet *productRestricted, *productIntolerant, *productInteracting;
    hostfw::TClientDataSet *dishRestricted, *dishIntolerant, *dishInteracting;
};

// The reasons of the item of this kind and code (compared without regard to
// case or surrounding blanks); nothing when the sets are not loaded.
Q_DECL_EXPORT ItemWarnings itemWarnings(const WarningSets& sets, ItemKind kind, const QString& code);

// The notice shown when such an item is posted, e.g.
// "Atenção: Leite, de vaca, integral — Intolerância: Lactose; Interação: ...".
Q_DECL_EXPORT QString postedItemNotice(const QString& itemName, const ItemWarnings& warnings);

}  // namespace survey

#include "survey/WarningReasons.h"

#include "host/data/DataSet.h"

#include <map>

using hostfw::TClientDataSet;

namespace survey {

namespace {

const QString Dash = QStringLiteral(" — ");

// Adds the line, or the ingredient to the same line already there: a dish
// whose recipe holds three sugars reads as one restriction naming the three.
void addLine(QStringList& lines, std::map<QString, QStringList>& ingredients, const QString& line,
             const QString& ingredient) {
    if (!ingredients.count(line)) lines.append(line);
    QStringList& list = ingredients[line];
    if (!ingredient.isEmpty() && !list.contains(ingredient)) list.append(ingredient);
}

QStringList withIngredients(const QStringList& lines, const std::map<QString, QStringList>& ingredients) {
    QStringList out;
    for (const QString& line : lines) {
        const QStringList& list = ingredients.at(line);
        out.append(list.isEmpty() ? line : line + QStringLiteral(" (") + list.join(QStringLiteral(" / ")) + ')');
    }
    return out;
}

QString text(TClientDataSet* set, int row, const char* field) {
    const auto* f = set->FindField(QString::fromLatin1(field));
    return f ? set->ValueAt(row, f->Index()).toString().trimmed() : QString();
}

// Rows of a set whose code field equals the code, whatever the letter case.
QList<int> rowsOf(TClientDataSet* set, const char* field, const QString& code) {
    QList<int> rows;
    const QString wanted = code.trimmed();
    if (!set || !set->Active() || wanted.isEmpty() || !set->FindField(QString::fromLatin1(field))) return rows;
    for (int r = 0; r < set->RecordCount(); ++r)
        if (text(set, r, field).compare(wanted, Qt::CaseInsensitive) == 0) rows.append(r);
    return rows;
}

}  // namespace

ItemWarnings ItemWarnings::from(const QList<RestrictionRow>& restricted, const QList<IntoleranceRow>& intolerant,
                                const QList<InteractionRow>& interacting) {
    ItemWarnings w;
    std::map<QString, QStringList> ingredients;
    for (const RestrictionRow& r : restricted) {
        QString line = r.diagnosis.isEmpty() ? QStringLiteral("Restrição alimentar da dieta")
                                             : QStringLiteral("Restrição: ") + r.diagnosis;
        if (!r.subgroup.isEmpty()) line += Dash + r.subgroup;
        addLine(w.restrictions, ingredients, line, r.ingredient);
    }
    for (const IntoleranceRow& r : intolerant) {
        // "Intolerância à lactose" says it already; "Doença celíaca" needs the word.
        QString line;
        if (r.intolerance.isEmpty())
            line = QStringLiteral("Intolerância do paciente");
        else if (r.intolerance.startsWith(QStringLiteral("Intolerância"), Qt::CaseInsensitive))
            line = r.intolerance;
        else
            line = QStringLiteral("Intolerância: ") + r.intolerance;
        addLine(w.intolerances, ingredients, line, r.ingredient);
    }
    for (const InteractionRow& r : interacting)
        addLine(w.interactions, ingredients, QStringLiteral("Interação: %1 × %2").arg(r.drug, r.nutrient), r.ingredient);
    w.restrictions = withIngredients(w.restrictions, ingredients);
    w.intolerances = withIngredients(w.intolerances, ingredients);
    w.interactions = withIngredients(w.interactions, ingredients);
    return w;
}

ItemWarnings itemWarnings(const WarningSets& sets, ItemKind kind, const QString& code) {
    const bool dish = kind == ItemKind::Dish;
    const char* key = dish ? "CDPRATO" : "CDPRODUTO";
    // A product's own name is the item's: only a dish names its recipe's product.
    const char* ingredient = dish ? "NMPRODUTO" : "";
    QList<RestrictionRow> restricted;
    QList<IntoleranceRow> intolerant;
    QList<InteractionRow> interacting;
    TClientDataSet* set = dish ? sets.dishRestricted : sets.productRestricted;
    for (int r : rowsOf(set, key, code))
        restricted.append({text(set, r, "NMDIAGNOSTICO"), text(set, r, "NMSUBGRPROD"), text(set, r, ingredient)});
    set = dish ? sets.dishIntolerant : sets.productIntolerant;
    for (int r : rowsOf(set, key, code)) intolerant.append({text(set, r, "NMINTOLER"), text(set, r, ingredient)});
    set = dish ? sets.dishInteracting : sets.productInteracting;
    for (int r : rowsOf(set, key, code))
        interacting.append({text(set, r, "NMMEDICAMENT"), text(set, r, "NMNUTRIENTE"), text(set, r, ingredient)});
    return ItemWarnings::from(restricted, intolerant, interacting);
}

QString postedItemNotice(const QString& itemName, const ItemWarnings& warnings) {
    if (warnings.isEmpty()) return {};
    return QStringLiteral("Atenção: ") + itemName.trimmed() + Dash + warnings.all().join(QStringLiteral("; "));
}

}  // namespace survey

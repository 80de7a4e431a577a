#pragma once
// The rules of an intake item, without widgets: its kind, what the post
// check requires and in which order, the messages each kind stops with, and
// the total quantity. The items page applies them to the row being edited.
#include <QString>
#include <QtGlobal>

#include <optional>

namespace survey {

// "1" is a dish; every other type follows the product rules.
enum class ItemKind { Product, Dish };

Q_DECL_EXPORT ItemKind itemKindOf(const QString& type);

// Message keys and catalogue names that differ between the two kinds.
struct KindRules {
    const char* missingCode;     // post check, empty code
    const char* unknownCode;     // code check, not in the catalogue
    const char* duplicate;       // code check, already in the meal
    const char* unknownMeasure;  // measure check
    const char* badPortions;     // quantity not greater than 0
    const char* measureList;     // empty measure lookup
    const char* weightField;     // weight of one portion in the weight query
};
Q_DECL_EXPORT const KindRules& rulesOf(ItemKind kind);

// A stop: the field the cursor goes to and the message key.
struct Q_DECL_EXPORT ItemStop {
    const char* field;
    const char* key;
    bool operator==(const ItemStop&) const;
};

// What the post check reads from the row before the column exit runs.
struct ItemEntry {
    QString type;
    QString code;
    QString measure;
    QString portionsText;
};

// The first value the post check finds missing, in its order: type, code,
// measure, quantity. None: the row goes on to the column exit.
Q_DECL_EXPORT std::optional<ItemStop> firstMissing(const ItemEntry& entry);

// Total quantity = portions x weight of one portion. The portions are checked
// rounded to 3 decimals, then the weight; a stop when either is not > 0.
struct TotalQuantity {
    std::optional<ItemStop> stop;
    double total = 0;
};
Q_DECL_EXPORT TotalQuantity totalQuantity(ItemKind kind, double portions, double weight);

// The code check refuses a code the meal already holds, only for a new row.
Q_DECL_EXPORT bool refusedAsDuplicate(bool newRow, bool mealHoldsIt);

// The measure code as stored: zeros on the left up to its width.
Q_DECL_EXPORT QString fittedMeasure(const QString& typed);

}  // namespace survey

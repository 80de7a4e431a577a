#pragma once
// What the items page's files share: the item columns they name and the
// step that puts the focus back on a column after a failure (for a control
// outside the grid, survey::parts::refocusOnFailure).
#include "host/data/DataSet.h"

#include <QString>
#include <QWidget>

namespace survey::itemspage {

// The one validation option the screen passes to Tabvalid::ValidEx.
inline constexpr int kValidOption = 0;

inline const QString kType = QStringLiteral("IDTIPOINQUER");
inline const QString kCode = QStringLiteral("CDPRATPROD");
inline const QString kName = QStringLiteral("NMPRATPROD");
inline const QString kMeasure = QStringLiteral("CDMEDICASE");
inline const QString kPortions = QStringLiteral("QTALIMMEDCAS");
inline const QString kInteraction = QStringLiteral("IDVERMEDICA");

// Runs a step; on any failure puts the focus on the field's column and lets the failure go on.
template <typename F>
void refocusOnFailure(hostfw::TField* field, F step) {
    try {
        step();
    } catch (...) {
        field->FocusControl();
        throw;
    }
}

}  // namespace survey::itemspage

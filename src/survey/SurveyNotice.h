#pragma once
// The notice under the items grid that names a clashing item as soon as it
// is posted, with its reasons: the marks alone are easy to miss while typing.
#include "survey/WarningReasons.h"

#include <QLabel>

class TfrmInquerito;

namespace survey {

// The notice "lblAvisoItem", hidden until an item clashes. It does not take
// the focus; a click on it, the next post or another day's items hide it.
QLabel* makeItemNotice(QWidget* parent);

// The screen's six warning sets.
WarningSets warningSetsOf(const TfrmInquerito& screen);

// After a post has been stored: shows the notice for the posted row when it
// clashes, hides it otherwise.
void noticePostedItem(TfrmInquerito& screen);

}  // namespace survey

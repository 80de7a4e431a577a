#pragma once
// The notice under the items grid that names a clashing item as soon as it
// is posted, with its reasons: the marks alone are easy to miss while typing.
#include "survey/WarningReasons.h"

#include <QLabel>

namespace survey {

class ItemsPage;

// The notice "lblAvisoItem", hidden until an item clashes. It does not take
// the focus; a click on it, the next post or another day's items hide it.
QLabel* makeItemNotice(QWidget* parent);

// The items page's six warning sets.
WarningSets warningSetsOf(const ItemsPage& page);

// After a post has been stored: shows the notice for the posted row when it
// clashes, hides it otherwise.
void noticePostedItem(ItemsPage& page);

}  // namespace survey

#pragma once
#include <QPixmap>

namespace survey {
// The mark pictures of the items grid, drawn once: a red ball (restriction),
// a yellow ball (intolerance), 18 x 18 on pure blue as the transparent colour,
// and a medicine blister (interaction), 16 x 16 on olive.
QPixmap restrictionMark();
QPixmap intoleranceMark();
QPixmap interactionMark();
}

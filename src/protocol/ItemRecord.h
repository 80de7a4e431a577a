#pragma once
// The intake item record as it travels between the survey screen and the
// server: the fields of a day's items, and the keys an item is stored under.
#include "protocol/Packets.h"

#include <vector>

namespace protocol::item {

// The 19 fields of an item, in the record's order.
const std::vector<Field>& fields();

// What the server answers for each item it inserted or updated: where the
// item is stored, its number included (another client may have taken the
// number asked for).
const std::vector<Field>& storedKeyFields();

}  // namespace protocol::item

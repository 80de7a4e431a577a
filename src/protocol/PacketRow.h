#pragma once
// One row (old or new values) of a change packet, read by field name. Values
// are checked against the size the reader asks for, not against the size the
// sender declared; a value of the wrong kind throws ProtocolError.
#include "protocol/Dates.h"
#include "protocol/Packets.h"

#include <optional>
#include <string>

namespace protocol {

class PacketRow {
public:
    PacketRow(const ChangePacket& packet, const Row& row) : packet_(packet), row_(row) {}

    // nullopt when the field is absent or null.
    std::optional<std::string> text(const char* field, size_t maxLength) const;
    std::optional<Date> date(const char* field) const;
    std::optional<double> number(const char* field) const;

private:
    const Value* value(const char* field) const;
    const ChangePacket& packet_;
    const Row& row_;
};

} // namespace protocol

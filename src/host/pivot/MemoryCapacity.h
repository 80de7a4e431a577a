#pragma once
// Memory capacity of the pivot cubes: how many bytes a cube may take. Set
// once when the module loads, from the machine's free memory and swap.
#include "host/core/HostExport.h"

#include <cstdint>
#include <cstddef>
#include <optional>

namespace Mxarrays {

HOSTFW_EXPORT void SetMemoryCapacity(std::size_t bytes);
HOSTFW_EXPORT std::size_t GetMemoryCapacity();

// The capacity for a machine with this much free physical memory and free
// swap (bytes; all ones counts as over the cap): free memory capped at
// 2147483647, plus half (rounded down) of free swap itself capped at
// 2147483647, the sum capped at 2147483647.
HOSTFW_EXPORT std::size_t CapacityFor(std::uint64_t freePhysical, std::uint64_t freeSwap);

// Free physical memory and free swap of this machine (from /proc/meminfo),
// or nothing when they cannot be read.
struct FreeMemory {
    std::uint64_t physical = 0;
    std::uint64_t swap = 0;
};
HOSTFW_EXPORT std::optional<FreeMemory> ReadFreeMemory();

}  // namespace Mxarrays

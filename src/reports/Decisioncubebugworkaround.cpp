#include "reports/Decisioncubebugworkaround.h"

#include "host/pivot/MemoryCapacity.h"

void Decisioncubebugworkaround_Initialization() {
    static bool done = false;
    if (done) return;
    done = true;
    // Unreadable figures leave the capacity at its cap.
    if (const auto free = Mxarrays::ReadFreeMemory())
        Mxarrays::SetMemoryCapacity(Mxarrays::CapacityFor(free->physical, free->swap));
}

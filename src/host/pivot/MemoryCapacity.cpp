#include "host/pivot/MemoryCapacity.h"

#include <QFile>
#include <QString>

#include <algorithm>
#include <atomic>

namespace Mxarrays {

namespace {
constexpr std::uint64_t kCap = 2147483647ULL;
// Until the module sets it, the cap itself.
std::atomic<std::size_t> capacity{static_cast<std::size_t>(kCap)};
}  // namespace

void SetMemoryCapacity(std::size_t bytes) { capacity = bytes; }
std::size_t GetMemoryCapacity() { return capacity; }

std::size_t CapacityFor(std::uint64_t freePhysical, std::uint64_t freeSwap) {
    const std::uint64_t physical = std::min(freePhysical, kCap);
    const std::uint64_t swap = std::min(freeSwap, kCap);
    return static_cast<std::size_t>(std::min(physical + swap / 2, kCap));
}

std::optional<FreeMemory> ReadFreeMemory() {
    QFile f(QStringLiteral("/proc/meminfo"));
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    std::optional<std::uint64_t> available, swapFree;
    // Files under /proc report no size: read them whole, not up to atEnd().
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QString line = QString::fromLatin1(raw).simplified();
        const auto parts = line.split(' ');
        if (parts.size() < 2) continue;
        bool ok = false;
        const std::uint64_t kib = parts[1].toULongLong(&ok);
        if (!ok) continue;
        if (parts[0] == QLatin1String("MemAvailable:")) available = kib * 1024;
        else if (parts[0] == QLatin1String("SwapFree:")) swapFree = kib * 1024;
    }
    if (!available) return std::nullopt;
    return FreeMemory{*available, swapFree.value_or(0)};
}

}  // namespace Mxarrays

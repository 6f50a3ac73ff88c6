// Fuzz target: the JSON listing of "lsblk", nested or flat, read into one list of devices.
#include "currentparse_p.h"
#include "fuzz_input.h"

#include <QSet>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    QStringList problems;
    const QList<BlockDevice> devices = parseLsblkJson(fuzzLine(data, size), &problems);
    FUZZ_CHECK(parseLsblkJson(fuzzLine(data, size), nullptr).size() == devices.size());
    QSet<QString> names;
    for (const BlockDevice& device : devices)
        names.insert(device.name);
    for (const BlockDevice& device : devices) {
        // An unknown parent is always reported; a partition number comes from a "part" under its parent.
        FUZZ_CHECK(device.parentName.isEmpty() || names.contains(device.parentName) || !problems.isEmpty());
        FUZZ_CHECK(device.sizeBytes >= 0 && device.partitionNumber >= -1);
        if (device.partitionNumber >= 0)
            FUZZ_CHECK(device.type == QLatin1String("part") && device.name.startsWith(device.parentName));
        const QPair<QString, int> split = splitTrailingNumber(device.path);
        FUZZ_CHECK(device.path.startsWith(split.first) && (split.second >= 0 || split.first == device.path));
    }
    return 0;
}

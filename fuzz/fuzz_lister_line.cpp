// Fuzz target: one line of the device lister, read as a disk line and as a partition line.
#include "diskparse_p.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const QString line = QString::fromLocal8Bit(fuzzLine(data, size));
    DriveLine drive;
    if (parseDiskLine(line, drive))
        FUZZ_CHECK(!drive.name.contains(QLatin1Char('\t')));
    QString partitionName;
    for (const QString& disk : {QStringLiteral("sda"), QStringLiteral("")})
        takePartitionLine(line, disk, partitionName);
    partitionNameOf(splitAtTabs(line));
    const PartitionBasics basics = parsePartitionBasics(line);
    FUZZ_CHECK(basics.pvCandidate == basics.systemTag.contains(QLatin1String("LVM")));
    return 0;
}

// Fuzz target: the output of "pvdisplay -v DEV" as Partition reads its table of logical volumes.
#include "diskparse_p.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const QStringList lines = decodedLines(fuzzToolLines(data, size));
    const QStringList paths = lvPathsOfPvDisplay(lines);
    // At most one path per line, each a device path.
    FUZZ_CHECK(paths.size() <= lines.size());
    for (const QString& path : paths)
        FUZZ_CHECK(path.startsWith(QLatin1String("/dev/")));
    return 0;
}

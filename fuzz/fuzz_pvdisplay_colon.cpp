// Fuzz target: the output of "pvdisplay -c DEV" as Partition reads its one record.
#include "diskparse_p.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const PvRecord record = parsePvDisplayColon(decodedLines(fuzzToolLines(data, size)));
    // A missing label means no group at all; LVM2's orphan set is never taken for a group.
    FUZZ_CHECK(!record.noLabel || record.vgName.isEmpty());
    FUZZ_CHECK(!record.vgName.startsWith(QLatin1Char('#')));
    return 0;
}

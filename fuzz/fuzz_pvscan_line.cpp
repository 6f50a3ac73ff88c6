// Fuzz target: one line of "pvscan", pairing a physical volume with its group.
#include "fuzz_input.h"
#include "lvmparse_p.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const QByteArray line = fuzzLine(data, size);
    const PvscanEntry entry = parsePvscanLine(line);
    FUZZ_CHECK(entry.valid || (entry.device.isEmpty() && entry.group.isEmpty()));
    // Device and group are distinct words of the line.
    FUZZ_CHECK(entry.device.size() + entry.group.size() <= QString::fromLocal8Bit(line).size());
    return 0;
}

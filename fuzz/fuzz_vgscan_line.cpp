// Fuzz target: one line of "vgscan" output, as Lvm's group discovery reads it.
#include "fuzz_input.h"
#include "lvmparse_p.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const QByteArray line = fuzzLine(data, size);
    const VgscanLine parsed = parseVgscanLine(line);
    // A name comes out of the line itself, so it can't be longer than the line.
    FUZZ_CHECK(parsed.found.size() <= QString::fromLocal8Bit(line).size());
    FUZZ_CHECK(parsed.unreadable.size() <= QString::fromLocal8Bit(line).size());
    FUZZ_CHECK(parsed.isFound || parsed.found.isEmpty());
    FUZZ_CHECK(parsed.isUnreadable || parsed.unreadable.isEmpty());
    return 0;
}

// Fuzz target: one line of "lvscan", naming a volume by its quoted path and its snapshot role.
#include "fuzz_input.h"
#include "lvmparse_p.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const QByteArray line = fuzzLine(data, size);
    const LvscanEntry entry = parseLvscanLine(line);
    FUZZ_CHECK(entry.valid || (entry.group.isEmpty() && entry.name.isEmpty()));
    // Group and name are sections of the quoted path: neither holds a "/".
    FUZZ_CHECK(!entry.group.contains(QLatin1Char('/')) && !entry.name.contains(QLatin1Char('/')));
    return 0;
}

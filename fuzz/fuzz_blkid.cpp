// Fuzz target: blkid's output, export or default form, read into each device's file-system type.
#include "currentparse_p.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const QHash<QString, QString> types = parseBlkidTypes(fuzzLine(data, size));
    for (auto it = types.cbegin(); it != types.cend(); ++it) {
        FUZZ_CHECK(!it.key().isEmpty() && !it.value().isEmpty());
        FUZZ_CHECK(!it.key().contains(QLatin1Char('\n')) && !it.value().contains(QLatin1Char('\n')));
    }
    return 0;
}

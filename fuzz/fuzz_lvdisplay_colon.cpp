// Fuzz target: the first line of "lvdisplay -c", a colon record or the "is not active" notice.
#include "fuzz_input.h"
#include "lvmparse_p.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const QByteArray line = fuzzLine(data, size);
    isLvNotActiveLine(line);
    const LvRecord record = parseLvdisplayRecord(line);
    // A line without a separator has only field 0, the path: every figure reads as 0.
    const qsizetype textEnd = line.indexOf('\0');
    if (!line.left(textEnd == -1 ? line.size() : textEnd).contains(':')) {
        FUZZ_CHECK(record.access == 0 && record.status == 0 && record.number == 0 && record.size == 0);
        FUZZ_CHECK(record.currentLe == 0 && record.allocatedLe == 0 && record.minor == 0);
    }
    return 0;
}

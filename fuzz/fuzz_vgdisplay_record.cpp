// Fuzz target: the first line of "vgdisplay -c", a colon record or the "is NOT active" notice.
#include "fuzz_input.h"
#include "lvmparse_p.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const QByteArray line = fuzzLine(data, size);
    isVgNotActiveLine(line);
    const VgRecord record = parseVgdisplayRecord(line);
    // The record never holds more of the line than the line itself.
    FUZZ_CHECK(record.uuid.size() <= QString::fromLocal8Bit(line).size());
    return 0;
}

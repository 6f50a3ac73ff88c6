// Fuzz target: prettify_run_result on any text.
#include "fuzz_input.h"
#include "utils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const QString text = QString::fromLocal8Bit(fuzzLine(data, size));
    const QString pretty = prettify_run_result(text);
    // Only escape sequences are touched: text without an escape comes back as it went in.
    if (!text.contains(QChar(0x1b)))
        FUZZ_CHECK(pretty == text);
    // Each sequence replaced is at least five characters long and becomes at most four.
    FUZZ_CHECK(pretty.size() <= text.size());
    return 0;
}

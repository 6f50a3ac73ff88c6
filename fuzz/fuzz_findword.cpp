// Fuzz target: findWord on any text; byte 0 is the (signed) word index, the rest the text, read
// both as local 8-bit text and as raw UTF-16 (lone surrogates included).
#include "fuzz_input.h"
#include "utils.h"

namespace {

void checkWord(const QString& text, int index)
{
    const QString word = findWord(text, index);
    FUZZ_CHECK(word.size() <= text.size());
    FUZZ_CHECK(index >= 0 || word.isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const int index = static_cast<signed char>(data[0]);
    const QByteArray rest = fuzzLine(data + 1, size - 1);
    checkWord(QString::fromLocal8Bit(rest), index);
    const QString utf16(reinterpret_cast<const QChar*>(rest.constData()), rest.size() / 2);
    checkWord(utf16, index);
    return 0;
}

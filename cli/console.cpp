// Writing to the terminal.
#include "console.h"

#include <cstdio>

namespace roz {

namespace {
void writeTo(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}
} // namespace

void say(const QString& text)
{
    writeTo(stdout, text);
}

void complain(const QString& text)
{
    writeTo(stderr, QStringLiteral("roz: ") + text + QLatin1Char('\n'));
}

void note(const QString& text)
{
    writeTo(stderr, text + QLatin1Char('\n'));
}

} // namespace roz

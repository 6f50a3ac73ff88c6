// Turning a fuzzer's bytes into what the parsers receive: one tool line, or a listing cut as the
// library's line reader cuts it.
#ifndef DOVO_FUZZ_INPUT_H
#define DOVO_FUZZ_INPUT_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "toolstream_p.h"

// The bytes as one line, embedded NULs and newlines included: a parser must cope with any line.
inline QByteArray fuzzLine(const uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// The bytes as ToolStream::readLine hands them over: cut at each newline, longer lines in pieces
// of kMaxLineLength bytes.
inline QList<QByteArray> fuzzToolLines(const uint8_t* data, std::size_t size)
{
    QList<QByteArray> lines;
    const QByteArray all = fuzzLine(data, size);
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf('\n', start);
        const bool cutAtNewline = end != -1 && end - start < kMaxLineLength;
        if (!cutAtNewline)
            end = qMin(start + kMaxLineLength, all.size());
        lines.append(all.mid(start, end - start));
        start = cutAtNewline ? end + 1 : end;
    }
    return lines;
}

// The lines decoded as the objects decode them before text parsers see them.
inline QStringList decodedLines(const QList<QByteArray>& lines)
{
    QStringList decoded;
    for (const QByteArray& line : lines)
        decoded.append(QString::fromLocal8Bit(line));
    return decoded;
}

// A broken invariant is a finding: abort so libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            std::abort();                                                                                              \
    } while (0)

#endif

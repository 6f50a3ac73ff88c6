// Fuzz target: the plain, verbose and map listings of "lvdisplay", line by line through every
// reader Lv uses on them (status, snapshot links, physical volumes).
#include "fuzz_input.h"
#include "lvmparse_p.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    QString pvString;
    QString device;
    QString statusText;
    for (const QByteArray& line : fuzzToolLines(data, size)) {
        FUZZ_CHECK(line.size() <= kMaxLineLength);
        if (parseLvStatusLine(line, statusText)) {
            const int status = lvStatusValue(statusText);
            FUZZ_CHECK(status == 0 || status == 1);
        }
        if (isSnapshotStatusLine(line)) {
            snapshotStatusMeansOrigin(line);
            isInactiveSnapshotLine(line);
            FUZZ_CHECK(!originFromSnapshotStatusLine(line).contains(QLatin1Char('/')));
        }
        isSnapshotListingEnd(line);
        FUZZ_CHECK(!snapshotNameFromListingLine(line).contains(QLatin1Char('/')));
        if (parsePhysicalVolumeLine(line, device))
            appendPvOnce(pvString, device);
    }
    dropTrailingSeparator(pvString);
    return 0;
}

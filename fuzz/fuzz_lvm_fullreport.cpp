// Fuzz target: the standard output of "lvm fullreport --reportformat json" read into plain records.
#include "currentparse_p.h"
#include "fuzz_input.h"

#include <QSet>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const LvmReport report = parseLvmFullReport(fuzzLine(data, size));
    QSet<QString> pvNames;
    for (const ReportPv& pv : report.pvs) {
        FUZZ_CHECK(pv.sizeKiB >= 0 && pv.devSizeKiB >= 0);
        pvNames.insert(pv.name);
    }
    for (const ReportVg& vg : report.vgs)
        FUZZ_CHECK(!vg.name.isEmpty() && vg.sizeKiB >= 0 && vg.freeKiB >= 0 && vg.extentKiB >= 0);
    for (const ReportLv& lv : report.lvs) {
        // A volume without a group is always reported; its devices are physical volumes, each once.
        FUZZ_CHECK(!lv.vgName.isEmpty() || !report.problems.isEmpty());
        FUZZ_CHECK(lv.sizeKiB >= 0 && lv.readAheadSectors >= -1);
        QStringList unique = lv.pvPaths;
        FUZZ_CHECK(unique.removeDuplicates() == 0);
        for (const QString& path : lv.pvPaths)
            FUZZ_CHECK(pvNames.contains(path));
        FUZZ_CHECK(lv.pvPaths == pvPathsOf(report, lv.uuid));
    }
    return 0;
}

// One run of a simulated tool inside a root, and the generator of large machine descriptions.
#include "simrun.h"

#include "simrootdir.h"
#include "simstore.h"

#include <QJsonArray>

namespace sim {

RunResult runInRoot(const QString& startRoot, const QString& tool, const QStringList& args)
{
    // The root is resolved once; below it every step refuses links (see RootDir).
    const QString root = RootDir(startRoot).root();
    RunResult result;
    QString error;
    QString logError;
    const bool ok = withState(
        root,
        [&](Machine& m) {
            if (!appendCall(root, tool, args, &logError))
                return false;
            for (int i = 0; i < m.faults.size(); ++i) {
                Fault& f = m.faults[i];
                if (!f.matches(tool, args))
                    continue;
                if (!f.output.isEmpty())
                    result.output.out(f.output);
                if (!f.errorOutput.isEmpty())
                    result.output.err(f.errorOutput);
                result.output.exitCode = f.exitCode;
                result.signal = f.signal;
                if (f.times > 0 && --f.times == 0)
                    m.faults.removeAt(i);
                return true;
            }
            bool changed = false;
            runTool(m, tool, args, result.output, &changed);
            if (changed)
                assignDeviceMinors(m);
            return changed;
        },
        &error);
    if (!ok || !logError.isEmpty()) {
        result.output.errLine(QStringLiteral("dovododuzu-sim: %1").arg(ok ? logError : error));
        result.output.exitCode = 127;
    }
    return result;
}

QJsonObject generateMachine(int diskCount, int partitionCount, int vgCount, int lvCount)
{
    diskCount = qMax(1, diskCount);
    partitionCount = qMax(partitionCount, vgCount);
    const qint64 partitionKiB = 4 * 1024 * 1024; // 4 GiB each
    const int perDisk = (partitionCount + diskCount - 1) / diskCount;
    auto diskName = [](int i) {
        QString name;
        for (int n = i + 1; n > 0; n = (n - 1) / 26)
            name.prepend(QLatin1Char(char('a' + (n - 1) % 26)));
        return QStringLiteral("sd") + name;
    };
    QJsonArray disks, pvs, vgs;
    QStringList pvDevices;
    const int pvTarget = qMax(vgCount, (partitionCount + 1) / 2);
    int made = 0;
    for (int d = 0; d < diskCount; ++d) {
        QJsonArray parts;
        const int here = qMin(perDisk, partitionCount - made);
        // Up to three primaries; beyond that the fourth is extended and the rest are logical.
        const bool extended = here > 4;
        int number = 1;
        for (int k = 0; k < here; ++k, ++made) {
            if (extended && number == 4) {
                parts << QJsonObject{{"number", 4},
                                     {"system", "extended"},
                                     {"fstype", ""},
                                     {"sizeKiB", partitionKiB * (here - 3)},
                                     {"fsUsedKiB", 0}};
                number = 5;
            }
            const QString device = QStringLiteral("/dev/%1%2").arg(diskName(d)).arg(number);
            // About every other partition is a PV, and every group gets at least one.
            const qsizetype missing = pvTarget - pvDevices.size();
            const bool asPv = missing > 0 && (made % 2 == 0 || partitionCount - made <= missing);
            if (asPv) {
                parts << QJsonObject{{"number", number},        {"system", "Linux LVM"}, {"fstype", "LVM2"},
                                     {"sizeKiB", partitionKiB}, {"fsUsedKiB", 0},        {"tag", "LVM"}};
                pvDevices << device;
            } else {
                parts << QJsonObject{{"number", number},
                                     {"system", "Linux"},
                                     {"fstype", "ext3"},
                                     {"sizeKiB", partitionKiB},
                                     {"fsUsedKiB", partitionKiB / 3}};
            }
            ++number;
        }
        disks << QJsonObject{{"name", diskName(d)},
                             {"kind", "DISK"},
                             {"model", "ATA BENCH DISK"},
                             {"sizeKiB", partitionKiB * (here + 1)},
                             {"partitions", parts}};
    }
    vgCount = qMin(vgCount, int(pvDevices.size()));
    for (int i = 0; i < pvDevices.size(); ++i) {
        const QString vg = vgCount > 0 ? QStringLiteral("vg%1").arg(i % vgCount, 3, 10, QLatin1Char('0')) : QString();
        pvs << QJsonObject{{"device", pvDevices[i]}, {"vg", vg}};
    }
    for (int g = 0; g < vgCount; ++g) {
        const int pvsHere = int((pvDevices.size() - g + vgCount - 1) / vgCount);
        const int lvsHere = lvCount / vgCount + (g < lvCount % vgCount ? 1 : 0);
        // Each group has about 1023 extents of 4 MiB per PV; share half of them out.
        const qint64 budgetMiB = qint64(pvsHere) * 1023 * 4 / 2;
        const qint64 sizeMiB = lvsHere ? qMax<qint64>(4, budgetMiB / lvsHere / 4 * 4) : 0;
        QJsonArray lvs;
        for (int l = 0; l < lvsHere; ++l)
            lvs << QJsonObject{{"name", QStringLiteral("lv%1").arg(l, 4, 10, QLatin1Char('0'))},
                               {"sizeMiB", sizeMiB},
                               {"fstype", l % 3 == 2 ? "reiserfs" : "ext3"}};
        vgs << QJsonObject{{"name", QStringLiteral("vg%1").arg(g, 3, 10, QLatin1Char('0'))},
                           {"extentKiB", 4096},
                           {"active", true},
                           {"lvs", lvs}};
    }
    return QJsonObject{{"format", 1},
                       {"disks", disks},
                       {"pvs", pvs},
                       {"vgs", vgs},
                       {"mtabExtra", QJsonArray{"proc /proc proc rw 0 0", "sysfs /sys sysfs rw 0 0"}}};
}

} // namespace sim

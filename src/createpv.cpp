// Marking partitions as LVM partitions and making them physical volumes.
#include "createpv_p.h"
#include "currentparse_p.h"
#include "currentreader_p.h"
#include "programs_p.h"
#include "utils.h"

#include <QHash>

#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kPvcreateBusy = 5;
constexpr int kPvcreateMaxRuns = 10;
constexpr useconds_t kPvcreatePause = 500000;

// Where parted finds a partition: its disk and number. A device that is no partition has no number
// and gets no parted step.
struct PartitionPlace {
    QString disk;
    QString number;
    bool isPartition() const { return !number.isEmpty(); }
};

// "/dev/hda10" -> ("/dev/hda", "10"), "/dev/nvme0n1p3" -> ("/dev/nvme0n1", "3"); a path without a
// trailing number goes to parted whole, twice, as the classic tools were always handed it.
PartitionPlace classicPlace(const QString& device)
{
    const QPair<QString, int> split = splitTrailingNumber(device);
    if (split.second < 0)
        return {device, device};
    return {split.first, QString::number(split.second)};
}

// Today's lsblk names each device's parent (PKNAME); the number is what the name adds to it
// ("nvme0n1p3" on "nvme0n1" is 3). Whole disks, loop devices and volumes are no partitions.
struct Placement {
    QHash<QString, PartitionPlace> places;
    QString problem;
    int code = 0;
};

Placement currentPlaces(const QStringList& devices)
{
    const ToolCommand lookup{programPath(Program::Lsblk),
                             QStringList{QStringLiteral("--json"), QStringLiteral("--nodeps"),
                                         QStringLiteral("--output"), QStringLiteral("NAME,PATH,TYPE,PKNAME")} +
                                 devices,
                             ErrorStream::Discard};
    const CheckedOutput listing = readToolOutputChecked(lookup);
    Placement placement;
    for (const BlockDevice& row : parseLsblkJson(listing.bytes, nullptr)) {
        PartitionPlace place;
        if (row.type == QLatin1String("part") && row.partitionNumber >= 0)
            place = {QStringLiteral("/dev/") + row.parentName, QString::number(row.partitionNumber)};
        placement.places.insert(devicePath(row), place);
    }
    for (const QString& device : devices) {
        if (placement.places.contains(device))
            continue;
        placement.problem =
            QStringLiteral("lsblk does not know %1%2")
                .arg(device,
                     listing.problem.isEmpty() ? QString() : QStringLiteral(" (") + listing.problem + QLatin1Char(')'));
        const bool exited = listing.status != -1 && WIFEXITED(listing.status) && WEXITSTATUS(listing.status) != 0;
        placement.code = exited ? WEXITSTATUS(listing.status) : -1;
        break;
    }
    return placement;
}

int markLvmPartition(const QString& device, const PartitionPlace& place, QString& output)
{
    QString text;
    const int marked = runcmd(programPath(Program::Parted),
                              {place.disk, QStringLiteral("set"), place.number, QStringLiteral("lvm on")}, text);
    output += text;
    // A partition without its LVM flag must not become a physical volume.
    if (marked != 0)
        output += QStringLiteral("parted could not mark %1 as an LVM partition (exit %2); no physical volume "
                                 "was made\n")
                      .arg(device)
                      .arg(marked);
    return marked;
}

// pvcreate, run again while it answers that a device is still busy, with a pause before each retry.
int runPvcreate(const QStringList& devices, QString& output)
{
    const QStringList args =
        QStringList{QStringLiteral("pvcreate"), QStringLiteral("-f"), QStringLiteral("-y")} + devices;
    QString text;
    int result = 0;
    for (int runs = 1;; ++runs) {
        result = runcmd(programPath(Program::Lvm), args, text);
        if (result != kPvcreateBusy || runs >= kPvcreateMaxRuns)
            break;
        usleep(kPvcreatePause);
    }
    output += text;
    return result;
}

} // namespace

int createPv(const QStringList& devices, QString& output)
{
    bool touched = false;
    return createPvTracked(devices, output, touched);
}

int createPvTracked(const QStringList& devices, QString& output, bool& touched)
{
    output = QStringLiteral("");
    touched = false;
    Placement placement;
    if (toolSet() == ToolSet::Current) {
        placement = currentPlaces(devices);
        if (!placement.problem.isEmpty()) {
            output += placement.problem + QStringLiteral("; no physical volume was made\n");
            return placement.code;
        }
    }
    for (const QString& device : devices) {
        const PartitionPlace place =
            toolSet() == ToolSet::Current ? placement.places.value(device) : classicPlace(device);
        if (!place.isPartition())
            continue;
        const int marked = markLvmPartition(device, place, output);
        if (marked != 0)
            return marked;
        touched = true;
    }
    touched = true;
    return runPvcreate(devices, output);
}

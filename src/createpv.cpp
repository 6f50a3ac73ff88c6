// Marking partitions as LVM partitions and making them physical volumes.
#include "createpv_p.h"
#include "currentparse_p.h"
#include "utils.h"

#include <unistd.h>

namespace {

constexpr int kPvcreateBusy = 5;
constexpr int kPvcreateMaxRuns = 10;
constexpr useconds_t kPvcreatePause = 500000;

// "/dev/hda10" -> ("/dev/hda", "10"), "/dev/nvme0n1p3" -> ("/dev/nvme0n1", "3"); a path without a
// trailing number is returned whole, twice.
QStringList diskAndNumber(const QString& device)
{
    const QPair<QString, int> split = splitTrailingNumber(device);
    if (split.second < 0)
        return {device, device};
    return {split.first, QString::number(split.second)};
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
    for (const QString& device : devices) {
        const QStringList part = diskAndNumber(device);
        QString text;
        const int marked = runcmd(QStringLiteral("/sbin/parted"),
                                  {part.at(0), QStringLiteral("set"), part.at(1), QStringLiteral("lvm on")}, text);
        output += text;
        // A partition without its LVM flag must not become a physical volume.
        if (marked != 0) {
            output += QStringLiteral("parted could not mark %1 as an LVM partition (exit %2); no physical volume "
                                     "was made\n")
                          .arg(device)
                          .arg(marked);
            return marked;
        }
        touched = true;
    }

    const QStringList args = QStringList{QStringLiteral("pvcreate"), QStringLiteral("-f"), QStringLiteral("-y")} + devices;
    QString text;
    int result = 0;
    int runs = 0;
    touched = true;
    do {
        result = runcmd(QStringLiteral("/sbin/lvm.static"), args, text);
        usleep(kPvcreatePause);
    } while (result == kPvcreateBusy && ++runs < kPvcreateMaxRuns);
    output += text;
    return result;
}

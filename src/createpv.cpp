// Marking partitions as LVM partitions and making them physical volumes.
#include "utils.h"

#include <QRegularExpression>

#include <unistd.h>

namespace {

constexpr int kPvcreateBusy = 5;
constexpr int kPvcreateMaxRuns = 10;
constexpr useconds_t kPvcreatePause = 500000;

// "/dev/hda10" -> ("/dev/hda", "10"): the disk ends at the first digit of the path.
QStringList diskAndNumber(const QString& device)
{
    static const QRegularExpression digit(QStringLiteral("\\d"), QRegularExpression::UseUnicodePropertiesOption);
    const qsizetype p = device.indexOf(digit);
    return {device.left(p), device.right(device.length() - p)};
}

} // namespace

int createPv(const QStringList& devices, QString& output)
{
    output = QStringLiteral("");
    int result = 0;
    for (const QString& device : devices) {
        const QStringList part = diskAndNumber(device);
        QString text;
        result = runcmd(QStringLiteral("/sbin/parted"),
                        {part.at(0), QStringLiteral("set"), part.at(1), QStringLiteral("lvm on")}, text);
        output += text;
    }
    if (!devices.isEmpty() && result != 0)
        return result;

    const QStringList args = QStringList{QStringLiteral("pvcreate"), QStringLiteral("-f"), QStringLiteral("-y")} + devices;
    QString text;
    int runs = 0;
    do {
        result = runcmd(QStringLiteral("/sbin/lvm.static"), args, text);
        usleep(kPvcreatePause);
    } while (result == kPvcreateBusy && ++runs < kPvcreateMaxRuns);
    output += text;
    return result;
}

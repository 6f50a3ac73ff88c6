// Checks on a request to make or extend a volume group, made before any tool runs.
#include "vgrequest_p.h"

#include "utils.h"

#include <QRegularExpression>

namespace {

constexpr qint64 kSmallestExtentKiB = 8;
constexpr int kLongestGroupName = 127;

bool isPowerOfTwo(qint64 value)
{
    return value > 0 && (value & (value - 1)) == 0;
}

// The extent-size values among the options, in order.
QStringList extentSizeValues(const QStringList& options)
{
    QStringList values;
    for (qsizetype i = 0; i < options.size(); ++i) {
        const QString option = options.at(i).trimmed();
        const QString next = i + 1 < options.size() ? options.at(i + 1).trimmed() : QString();
        if (option == QLatin1String("-s") || option == QLatin1String("--physicalextentsize"))
            values.append(next);
        else if (option.startsWith(QLatin1String("--physicalextentsize=")))
            values.append(option.section(QLatin1Char('='), 1));
        else if (option.startsWith(QLatin1String("-s")) && !option.startsWith(QLatin1String("--")))
            values.append(option.mid(2));
    }
    return values;
}

} // namespace

QString devicesProblem(const QStringList& devices, const QHash<QString, QString>& groupOfPv,
                       const QList<MountEntry>& mounts)
{
    for (qsizetype i = 0; i < devices.size(); ++i) {
        const QString& device = devices.at(i);
        if (devices.indexOf(device) != i)
            return QStringLiteral("%1 is named twice").arg(device);
        for (const MountEntry& entry : mounts) {
            if (entry.device == device)
                return QStringLiteral("%1 is mounted on %2").arg(device, entry.directory);
        }
        if (groupOfPv.contains(device))
            return QStringLiteral("%1 already belongs to volume group %2").arg(device, groupOfPv.value(device));
    }
    return QString();
}

QString groupNameProblem(const QString& name, const QStringList& takenNames)
{
    const bool valid = !name.isEmpty() && name.size() <= kLongestGroupName && QuorVerifyCN(name) == 0 &&
                       !name.startsWith(QLatin1Char('-')) && name != QLatin1String(".") && name != QLatin1String("..");
    if (!valid)
        return QStringLiteral("\"%1\" is not a valid volume group name").arg(name);
    if (takenNames.contains(name))
        return QStringLiteral("a volume group named %1 already exists").arg(name);
    return QString();
}

qint64 extentSizeKiB(const QString& text)
{
    static const QRegularExpression size(QStringLiteral("^(\\d+)(?:\\.(\\d+))?([kKmMgGtT]?)$"));
    const QRegularExpressionMatch match = size.match(text.trimmed());
    if (!match.hasMatch())
        return -1;
    const QChar unit = match.captured(3).isEmpty() ? QLatin1Char('m') : match.captured(3).at(0).toLower();
    const qint64 factor = unit == QLatin1Char('k')   ? 1
                          : unit == QLatin1Char('m') ? 1024
                          : unit == QLatin1Char('g') ? 1024 * 1024
                                                     : qint64(1024) * 1024 * 1024;
    const QString whole = match.captured(1);
    const QString fraction = match.captured(2);
    if (whole.size() > 12 || fraction.size() > 6)
        return -1;
    // Decimal fractions are kept exact: 0.5m is 512 KiB, 1.3k is no whole number of KiB.
    qint64 scale = 1;
    for (qsizetype i = 0; i < fraction.size(); ++i)
        scale *= 10;
    const qint64 scaled = (whole.toLongLong() * scale + (fraction.isEmpty() ? 0 : fraction.toLongLong())) * factor;
    if (scaled % scale != 0)
        return -1;
    return scaled / scale;
}

QString extentSizeProblem(const QStringList& options)
{
    for (const QString& value : extentSizeValues(options)) {
        const qint64 kib = extentSizeKiB(value);
        if (kib < kSmallestExtentKiB || !isPowerOfTwo(kib))
            return QStringLiteral("extent size %1 is not a power of two of at least 8 KiB").arg(value);
    }
    return QString();
}

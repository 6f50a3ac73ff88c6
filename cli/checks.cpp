// Checks of names, sizes and device paths made before anything runs.
#include "checks.h"

#include "utils.h"

#include <QRegularExpression>
#include <QStringList>

#include <climits>
#include <cmath>

namespace roz {

namespace {

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

// KiB in one unit; 0 for a unit roz does not know.
qint64 kibPerUnit(const QString& unit)
{
    const QString u = unit.toLower();
    if (u == QLatin1String("k") || u == QLatin1String("kib"))
        return 1;
    if (u.isEmpty() || u == QLatin1String("m") || u == QLatin1String("mib"))
        return 1024;
    if (u == QLatin1String("g") || u == QLatin1String("gib"))
        return 1024 * 1024;
    if (u == QLatin1String("t") || u == QLatin1String("tib"))
        return qint64(1024) * 1024 * 1024;
    return 0;
}

} // namespace

std::optional<RequestedSize> parseSize(const QString& text, bool allowRelative, QString* error)
{
    static const QRegularExpression shape(QStringLiteral("^(\\+?)(\\d+(?:\\.\\d+)?)([A-Za-z]*)$"));
    const QRegularExpressionMatch match = shape.match(text.trimmed());
    if (!match.hasMatch()) {
        fail(error, QStringLiteral("\"%1\" is not a size: write a number with an optional unit, "
                                   "such as 100M, 2G or 512K")
                        .arg(text));
        return std::nullopt;
    }
    RequestedSize size;
    size.relative = !match.captured(1).isEmpty();
    if (size.relative && !allowRelative) {
        fail(error, QStringLiteral("\"%1\": a size with \"+\" is only taken by lv resize").arg(text));
        return std::nullopt;
    }
    const qint64 kibPer = kibPerUnit(match.captured(3));
    if (kibPer == 0) {
        fail(error, QStringLiteral("\"%1\": unknown unit \"%2\" (use K, M, G or T)").arg(text, match.captured(3)));
        return std::nullopt;
    }
    const double kib = match.captured(2).toDouble() * double(kibPer);
    if (kib <= 0 || kib > double(INT_MAX) * 1024) {
        fail(error, QStringLiteral("\"%1\": the size must be more than 0 and less than %2 TiB")
                        .arg(text)
                        .arg(INT_MAX / (1024 * 1024)));
        return std::nullopt;
    }
    if (std::fmod(kib, 1024.0) != 0) {
        fail(error, QStringLiteral("\"%1\" is not a whole number of MiB").arg(text));
        return std::nullopt;
    }
    size.mib = qint64(kib / 1024);
    return size;
}

std::optional<qint64> parseExtentSize(const QString& text, QString* error)
{
    const std::optional<RequestedSize> size = parseSize(text, false, error);
    if (!size)
        return std::nullopt;
    if ((size->mib & (size->mib - 1)) != 0) {
        fail(error, QStringLiteral("extent size \"%1\" is not a power of two (1M, 2M, 4M, 8M, ...)").arg(text));
        return std::nullopt;
    }
    return size->mib;
}

std::optional<int> parseCount(const QString& text, QString* error)
{
    bool ok = false;
    const int count = text.toInt(&ok);
    if (!ok || count < 0) {
        fail(error, QStringLiteral("\"%1\" is not a whole number from 0 up").arg(text));
        return std::nullopt;
    }
    return count;
}

bool checkName(const QString& name, const QString& what, QString* error)
{
    if (name.isEmpty())
        return fail(error, QStringLiteral("the %1 is empty").arg(what));
    if (name.startsWith(QLatin1Char('-')))
        return fail(error, QStringLiteral("the %1 \"%2\" starts with \"-\"").arg(what, name));
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return fail(error, QStringLiteral("the %1 \"%2\" is not allowed").arg(what, name));
    if (QuorVerifyCN(name) != 0)
        return fail(error, QStringLiteral("the %1 \"%2\" holds a character that is not allowed; use only "
                                          "letters A-Z a-z, digits and . - _ +")
                               .arg(what, name));
    return true;
}

std::optional<QString> devicePath(const QString& text, QString* error)
{
    const QString path = text.startsWith(QLatin1String("/dev/")) ? text : QStringLiteral("/dev/") + text;
    const QStringList parts = path.mid(5).split(QLatin1Char('/'));
    for (const QString& part : parts) {
        if (part.isEmpty() || QuorVerifyCN(part) != 0 || part.startsWith(QLatin1Char('-'))) {
            fail(error, QStringLiteral("\"%1\" is not a device path such as /dev/sdb1").arg(text));
            return std::nullopt;
        }
    }
    return path;
}

bool splitVolume(const QString& text, QString* group, QString* volume, QString* error)
{
    const QString path = text.startsWith(QLatin1String("/dev/")) ? text.mid(5) : text;
    const QStringList parts = path.split(QLatin1Char('/'));
    if (parts.size() != 2)
        return fail(error,
                    QStringLiteral("\"%1\" does not name a volume: write GROUP/VOLUME, such as vg0/home").arg(text));
    if (!checkName(parts.at(0), QStringLiteral("group name"), error))
        return false;
    if (!checkName(parts.at(1), QStringLiteral("volume name"), error))
        return false;
    *group = parts.at(0);
    *volume = parts.at(1);
    return true;
}

} // namespace roz

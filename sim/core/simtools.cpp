// Shared pieces of the simulated tools: output, option parsing, sizes and the dispatch by tool.
#include "simtools.h"

#include "simstore.h"

#include <QRegularExpression>

#include <cmath>

namespace sim {

QByteArray Output::stdoutText() const
{
    QByteArray text;
    for (const auto& chunk : chunks)
        if (chunk.first == Out)
            text += chunk.second;
    return text;
}

QByteArray Output::allText() const
{
    QByteArray text;
    for (const auto& chunk : chunks)
        text += chunk.second;
    return text;
}

QString say(const Machine& m, const Phrase& phrase)
{
    return QString::fromUtf8(isCurrent(m) && phrase.current ? phrase.current : phrase.classic);
}

void runTool(Machine& m, const QString& tool, const QStringList& args, Output& o, bool* changed)
{
    using Handler = int (*)(Machine&, const QStringList&, Output&, bool*);
    static const QMap<QString, Handler> handlers{{QStringLiteral("/sbin/lvm"), runLvm},
                                                 {QStringLiteral("/sbin/lvm.static"), runLvm},
                                                 {QStringLiteral("/sbin/parted"), runParted},
                                                 {QStringLiteral("/usr/lib/vururer/lib/veziva.cli"), runLister},
                                                 {QStringLiteral("/bin/lsblk"), runLsblk},
                                                 {QStringLiteral("/sbin/blkid"), runBlkid},
                                                 {QStringLiteral("/sbin/mke2fs"), runMke2fs},
                                                 {QStringLiteral("/sbin/mkreiserfs"), runMkreiserfs},
                                                 {QStringLiteral("/sbin/e2fsck"), runE2fsck},
                                                 {QStringLiteral("/sbin/resize2fs"), runResize2fs},
                                                 {QStringLiteral("/sbin/resize_reiserfs"), runResizeReiserfs},
                                                 {QStringLiteral("/bin/mount"), runMount},
                                                 {QStringLiteral("/bin/ls"), runLs}};
    *changed = false;
    const Handler handler = handlers.value(tool);
    if (!toolPaths(m.tools).contains(tool))
        o.exitCode = o.fail(127, QStringLiteral("%1: No such file or directory").arg(tool));
    else if (!handler)
        o.exitCode = o.fail(127, QStringLiteral("%1: not simulated").arg(tool));
    else
        o.exitCode = handler(m, args, o, changed);
}

Options parseOptions(const QStringList& args, const QString& withValue, const QString& flags,
                     const QMap<QString, QChar>& longNames)
{
    Options opts;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a.isEmpty())
            continue;
        if (a.startsWith(QLatin1String("--")) && a.size() > 2) {
            QString name = a.mid(2), value;
            const qsizetype eq = name.indexOf(QLatin1Char('='));
            if (eq >= 0) {
                value = name.mid(eq + 1);
                name = name.left(eq);
            }
            if (!longNames.contains(name)) {
                opts.error = QStringLiteral("unrecognized option '--%1'").arg(name);
                return opts;
            }
            const QChar c = longNames.value(name);
            if (withValue.contains(c) && eq < 0) {
                if (i + 1 >= args.size()) {
                    opts.error = QStringLiteral("option '--%1' requires an argument").arg(name);
                    return opts;
                }
                value = args[++i];
            }
            opts.values[c] << value;
            continue;
        }
        if (!a.startsWith(QLatin1Char('-')) || a.size() == 1) {
            opts.positional << a;
            continue;
        }
        for (int k = 1; k < a.size(); ++k) {
            const QChar c = a.at(k);
            if (withValue.contains(c)) {
                QString value = a.mid(k + 1).trimmed();
                if (value.isEmpty()) {
                    if (i + 1 >= args.size()) {
                        opts.error = QStringLiteral("option requires an argument -- '%1'").arg(c);
                        return opts;
                    }
                    value = args[++i].trimmed();
                }
                opts.values[c] << value;
                break;
            }
            if (!flags.contains(c)) {
                opts.error = QStringLiteral("invalid option -- '%1'").arg(c);
                return opts;
            }
            opts.values[c] << QString();
        }
    }
    return opts;
}

QString displaySize(qint64 kib)
{
    if (kib == 0)
        return QStringLiteral("0   ");
    static const char* units[] = {"KiB", "MiB", "GiB", "TiB", "PiB"};
    double value = double(kib);
    int unit = 0;
    while (value >= 1024.0 && unit < 4) {
        value /= 1024.0;
        ++unit;
    }
    return QString::asprintf("%.2f %s", value, units[unit]);
}

QString displaySize(const Machine& m, qint64 kib)
{
    QString text = displaySize(kib);
    if (!isCurrent(m) || kib == 0)
        return text;
    double value = double(kib);
    for (int unit = 0; value >= 1024.0 && unit < 4; ++unit)
        value /= 1024.0;
    // Today's LVM marks a figure that rounding made larger than the size with "<".
    return text.section(QLatin1Char(' '), 0, 0).toDouble() > value ? QLatin1Char('<') + text : text;
}

std::optional<qint64> parseSize(QString text, QChar defaultUnit, QChar* sign)
{
    static const QRegularExpression shape(QStringLiteral("^([+-]?)([0-9]+(?:\\.[0-9]+)?)([a-zA-Z]?)$"));
    const QRegularExpressionMatch match = shape.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    if (sign)
        *sign = match.captured(1).isEmpty() ? QChar() : match.captured(1).at(0);
    const double number = match.captured(2).toDouble();
    const QChar unit = match.captured(3).isEmpty() ? defaultUnit : match.captured(3).at(0).toUpper();
    double kib = 0;
    switch (unit.toLatin1()) {
    case 'S':
        kib = number / 2;
        break;
    case 'B':
        kib = number / 1024;
        break;
    case 'K':
        kib = number;
        break;
    case 'M':
        kib = number * 1024;
        break;
    case 'G':
        kib = number * 1024 * 1024;
        break;
    case 'T':
        kib = number * 1024 * 1024 * 1024;
        break;
    default:
        return std::nullopt;
    }
    return qint64(std::ceil(kib));
}

QString partitionPath(const Disk& d, const Partition& p)
{
    return QStringLiteral("/dev/%1%2").arg(d.name).arg(p.number);
}

qint64 deviceKiB(const Machine& m, const QString& device)
{
    if (const Partition* p = m.partition(device))
        return p->sizeKiB;
    if (const Disk* d = m.disk(device))
        return d->sizeKiB;
    return 0;
}

} // namespace sim

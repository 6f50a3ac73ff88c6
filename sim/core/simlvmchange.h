// What the LVM tool's change commands share: exit codes, refusals worded per tool set, and lookups
// that print the tool's complaint.
#ifndef DOVODODUZU_SIM_SIMLVMCHANGE_H
#define DOVODODUZU_SIM_SIMLVMCHANGE_H

#include "simtools.h"

namespace sim::lvmchange {

constexpr int kInvalidCommandLine = 3;
constexpr int kFailed = 5;

inline QString stripDev(const QString& name)
{
    return name.startsWith(QLatin1String("/dev/")) ? name.mid(5) : name;
}

inline int parseError(const QString& command, const Options& opts, Output& o)
{
    return o.fail(kInvalidCommandLine,
                  QStringLiteral("%1: %2\n  Error during parsing of command line.").arg(command, opts.error));
}

// A refusal of the command line; today's tool points at its help after it.
inline int usageError(const Machine& m, const QString& command, const QString& text, Output& o)
{
    o.errLine(text);
    if (isCurrent(m))
        o.errLine(QStringLiteral("  Run `%1 --help' for more information.").arg(command));
    return o.exitCode = kInvalidCommandLine;
}

// A command line that fits none of the command's forms: 2.02 named what was missing, 2.03 does not.
inline int syntaxError(const Machine& m, const QString& command, const QString& classicText, Output& o)
{
    return o.fail(kInvalidCommandLine,
                  isCurrent(m) ? QStringLiteral("  No command with matching syntax recognised.  Run '%1 --help' for "
                                                "more information.")
                                     .arg(command)
                               : classicText);
}

// A readable group of that name, or null after printing the tool's complaint.
inline Vg* findGroup(Machine& m, const QString& name, Output& o)
{
    Vg* g = m.vg(stripDev(name));
    if (!g || g->unreadable) {
        o.errLine(QStringLiteral("  Volume group \"%1\" not found").arg(stripDev(name)));
        if (isCurrent(m))
            o.errLine(QStringLiteral("  Cannot process volume group %1").arg(stripDev(name)));
        return nullptr;
    }
    return g;
}

inline QStringList unique(const QStringList& list)
{
    QStringList out;
    for (const QString& s : list)
        if (!out.contains(s))
            out << s;
    return out;
}

} // namespace sim::lvmchange

#endif

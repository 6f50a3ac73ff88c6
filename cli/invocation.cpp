// Splitting the command line into words, options and flags.
#include "invocation.h"

namespace roz {

const QStringList& valueOptions()
{
    static const QStringList options{
        QStringLiteral("sim-root"), QStringLiteral("machine"), QStringLiteral("size"),   QStringLiteral("extent-size"),
        QStringLiteral("fs"),       QStringLiteral("max-lv"),  QStringLiteral("max-pv"), QStringLiteral("system-root")};
    return options;
}

const QStringList& flagOptions()
{
    static const QStringList flags{QStringLiteral("json"), QStringLiteral("reset"), QStringLiteral("system"),
                                   QStringLiteral("debug"), QStringLiteral("help")};
    return flags;
}

QStringList Invocation::givenOptions() const
{
    QStringList given;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        given << QStringLiteral("--") + it.key();
    for (const QString& flag : flags)
        given << QStringLiteral("--") + flag;
    return given;
}

namespace {

// Handles one "--name" or "--name=value" at args[index]; advances `index` past a separate value.
void takeLongOption(const QStringList& args, qsizetype& index, Invocation& invocation)
{
    const QString text = args.at(index).mid(2);
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    const QString name = equals < 0 ? text : text.left(equals);
    if (flagOptions().contains(name)) {
        if (equals >= 0)
            invocation.error = QStringLiteral("--%1 takes no value").arg(name);
        invocation.flags.insert(name);
        return;
    }
    if (!valueOptions().contains(name)) {
        invocation.error = QStringLiteral("unknown option --%1 (see roz --help)").arg(name);
        return;
    }
    if (equals >= 0) {
        invocation.values.insert(name, text.mid(equals + 1));
        return;
    }
    if (index + 1 >= args.size()) {
        invocation.error = QStringLiteral("--%1 needs a value").arg(name);
        return;
    }
    invocation.values.insert(name, args.at(++index));
}

} // namespace

Invocation parseInvocation(const QStringList& args)
{
    Invocation invocation;
    bool optionsEnded = false;
    for (qsizetype index = 0; index < args.size() && invocation.error.isEmpty(); ++index) {
        const QString& arg = args.at(index);
        if (optionsEnded || arg == QLatin1String("-") || !arg.startsWith(QLatin1Char('-'))) {
            invocation.words << arg;
        } else if (arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (arg == QLatin1String("-h")) {
            invocation.flags.insert(QStringLiteral("help"));
        } else if (arg.startsWith(QLatin1String("--"))) {
            takeLongOption(args, index, invocation);
        } else {
            invocation.error = QStringLiteral("unknown option %1 (see roz --help)").arg(arg);
        }
    }
    return invocation;
}

} // namespace roz

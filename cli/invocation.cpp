// Splitting the command line into words, options and flags, by hand against one table of the
// options roz knows. QCommandLineParser is not used because its behaviour differs from roz's in
// ways users and scripts see: it reads "-hx" as the short options -h and -x (roz refuses the whole
// word), it gives its own English error texts ("Unknown option 'x'.", "Missing value after ...")
// where roz prints "unknown option --x (see roz --help)" and "--x needs a value", and it reports a
// missing value before an unknown option that stood earlier on the line, where roz stops at the
// first fault. Keeping those would mean scanning the line a second time by hand, so the parser
// here stays the one place that reads it.
#include "invocation.h"

namespace roz {

namespace {

struct KnownOption {
    const char* name;
    bool takesValue;
    bool everyCommand; // else only the commands that list it take it
};

constexpr KnownOption knownOptions[] = {
    {"sim-root", true, true},    {"machine", true, true},      {"reset", false, true}, {"system", false, true},
    {"system-root", true, true}, {"debug", false, true},       {"help", false, true},  {"json", false, false},
    {"size", true, false},       {"extent-size", true, false}, {"fs", true, false},    {"max-lv", true, false},
    {"max-pv", true, false}};

const KnownOption* findOption(const QString& name)
{
    for (const KnownOption& option : knownOptions) {
        if (name == QLatin1String(option.name))
            return &option;
    }
    return nullptr;
}

// Handles one "--name" or "--name=value" at args[index]; advances `index` past a separate value.
void takeLongOption(const QStringList& args, qsizetype& index, Invocation& invocation)
{
    const QString text = args.at(index).mid(2);
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    const QString name = equals < 0 ? text : text.left(equals);
    const KnownOption* option = findOption(name);
    if (!option)
        invocation.error = QStringLiteral("unknown option --%1 (see roz --help)").arg(name);
    else if (!option->takesValue && equals >= 0)
        invocation.error = QStringLiteral("--%1 takes no value").arg(name);
    else if (!option->takesValue)
        invocation.flags.insert(name);
    else if (equals >= 0)
        invocation.values.insert(name, text.mid(equals + 1));
    else if (index + 1 < args.size())
        invocation.values.insert(name, args.at(++index));
    else
        invocation.error = QStringLiteral("--%1 needs a value").arg(name);
}

} // namespace

QString Invocation::optionOutside(const QStringList& ownOptions) const
{
    const QStringList given = values.keys() + flags.values();
    for (const QString& name : given) {
        const QString option = QStringLiteral("--") + name;
        if (!findOption(name)->everyCommand && !ownOptions.contains(option))
            return option;
    }
    return QString();
}

Invocation parseInvocation(const QStringList& args)
{
    Invocation invocation;
    bool optionsEnded = false;
    for (qsizetype index = 0; index < args.size() && invocation.error.isEmpty(); ++index) {
        const QString& arg = args.at(index);
        if (optionsEnded || arg == QLatin1String("-") || !arg.startsWith(QLatin1Char('-')))
            invocation.words << arg;
        else if (arg == QLatin1String("--"))
            optionsEnded = true;
        else if (arg == QLatin1String("-h"))
            invocation.flags.insert(QStringLiteral("help"));
        else if (arg.startsWith(QLatin1String("--")))
            takeLongOption(args, index, invocation);
        else
            invocation.error = QStringLiteral("unknown option %1 (see roz --help)").arg(arg);
    }
    return invocation;
}

} // namespace roz

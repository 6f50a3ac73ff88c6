// Splits roz's command line into words, options with a value and flags, by hand against one table
// of the options roz knows. It is not QCommandLineParser because that reads "-hx" as -h and -x where
// roz refuses the word, prints its own English errors ("Unknown option 'x'.") where roz prints
// "unknown option --x (see roz --help)" or "--x needs a value", and reports a missing value ahead
// of an unknown option that came earlier, where roz stops at the first fault; keeping roz's
// behaviour would mean reading the line a second time by hand.
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

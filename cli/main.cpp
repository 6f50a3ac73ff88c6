// roz: shows and changes a machine's storage through the dovododuzu library, on the simulated
// machine unless --system is given.
#include "commands.h"
#include "console.h"
#include "invocation.h"
#include "session.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdio>
#include <unistd.h>

namespace {

using namespace roz;

int usageError(const QString& message)
{
    complain(message);
    note(QStringLiteral("(see roz --help)"));
    return Refused;
}

// The command the words name; `operands` receives the words after it. Null when the words name
// none; `error` then says why, or is empty when a bare "vg"/"lv" asks for its help.
const Command* pickCommand(QStringList words, QStringList* operands, QString* error)
{
    if (words.isEmpty())
        words << QStringLiteral("show");
    const QString first = words.takeFirst();
    if (first == QLatin1String("show")) {
        *operands = words;
        return findCommand(QString(), first);
    }
    if (first != QLatin1String("vg") && first != QLatin1String("lv")) {
        *error = QStringLiteral("unknown sub-command \"%1\"").arg(first);
        return nullptr;
    }
    if (words.isEmpty())
        return nullptr;
    const QString second = words.takeFirst();
    const Command* command = findCommand(first, second);
    if (!command)
        *error = QStringLiteral("unknown sub-command \"%1 %2\"").arg(first, second);
    *operands = words;
    return command;
}

QString checkArguments(const Command& command, const Invocation& invocation, const QStringList& operands)
{
    const QString foreign = invocation.optionOutside(command.options);
    if (!foreign.isEmpty())
        return QStringLiteral("roz %1 takes no %2").arg(command.fullName(), foreign);
    if (operands.size() < command.minOperands || (command.maxOperands >= 0 && operands.size() > command.maxOperands))
        return QStringLiteral("wrong number of operands; usage: roz %1 %2")
            .arg(command.fullName(), command.operands)
            .trimmed();
    return QString();
}

int runCommand(const Command& command, const Invocation& invocation, const QStringList& operands)
{
    if (invocation.has(QStringLiteral("debug")))
        QLoggingCategory::setFilterRules(QStringLiteral("dovododuzu.debug=true"));
    Session session(invocation);
    try {
        // Working on the real machine is refused at once, before any other check; a simulated
        // root is only laid out once the command's own checks have passed.
        if (invocation.has(QStringLiteral("system")) || invocation.hasValue(QStringLiteral("system-root")))
            session.place();
        return command.run(session, operands);
    } catch (const Stop& stopped) {
        complain(stopped.message);
        return stopped.code;
    }
}

int dispatch(const QStringList& args)
{
    Invocation invocation = parseInvocation(args);
    if (!invocation.error.isEmpty())
        return usageError(invocation.error);
    const bool help = invocation.has(QStringLiteral("help"));
    if (!invocation.words.isEmpty() && invocation.words.first() == QLatin1String("help")) {
        invocation.words.removeFirst();
        return dispatch(invocation.words + QStringList{QStringLiteral("--help")});
    }
    if (help && invocation.words.isEmpty()) {
        say(generalHelp());
        return Success;
    }
    QStringList operands;
    QString error;
    const Command* command = pickCommand(invocation.words, &operands, &error);
    if (!command && error.isEmpty()) {
        say(groupHelp(invocation.words.first()));
        return help ? Success : Refused;
    }
    if (!command)
        return usageError(error);
    if (help) {
        say(commandHelp(*command));
        return Success;
    }
    const QString argumentError = checkArguments(*command, invocation, operands);
    if (!argumentError.isEmpty())
        return usageError(argumentError);
    return runCommand(*command, invocation, operands);
}

} // namespace

int main(int argc, char** argv)
{
    // Qt aborts a setuid program inside QCoreApplication; say why and stop cleanly instead.
    if (getuid() != geteuid()) {
        std::fprintf(stderr, "roz: refusing to run setuid (real uid %u, effective uid %u)\n", unsigned(getuid()),
                     unsigned(geteuid()));
        return CannotStart;
    }
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return dispatch(args);
}

// Choosing and preparing the machine roz works on.
#include "place.h"

#include "simstore.h"
#include "utils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace roz {

namespace {

std::optional<Place> refuse(QString* error, ExitCode* code, ExitCode why, const QString& text)
{
    *error = text;
    *code = why;
    return std::nullopt;
}

// --system-root DIR: a real machine whose programs and mount table are under DIR (a mounted system,
// or a root of thin wrappers around the real tools), read and changed for real as --system is.
std::optional<Place> chooseSystem(const Invocation& invocation, QString* error, ExitCode* code)
{
    if (invocation.hasValue(QStringLiteral("sim-root")) || invocation.hasValue(QStringLiteral("machine")) ||
        invocation.has(QStringLiteral("reset")))
        return refuse(
            error, code, Refused,
            QStringLiteral("--system works on the real machine and takes no --sim-root, --machine or --reset"));
    const QString root = invocation.value(QStringLiteral("system-root"));
    if (invocation.hasValue(QStringLiteral("system-root")) && !QFileInfo(root).isDir())
        return refuse(error, code, CannotStart, QStringLiteral("--system-root %1 is not a folder").arg(root));
    if (effectiveUid() != 0)
        return refuse(error, code, CannotStart,
                      QStringLiteral("--system reads and changes this machine's real disks and needs root; "
                                     "run it as root, or leave out --system to work on the simulated machine"));
    note(QStringLiteral("roz: --system: working on this machine's REAL disks; every change is made to them for real"));
    return Place{true, root.isEmpty() ? QString() : QDir(root).absolutePath()};
}

bool isEmptyOrAbsent(const QString& dir)
{
    const QDir d(dir);
    return !d.exists() || d.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

} // namespace

QString defaultSimRoot()
{
    const QString stateHome = qEnvironmentVariable("XDG_STATE_HOME");
    const QString base =
        QDir::isAbsolutePath(stateHome) ? stateHome : QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/dovododuzu/sim-root");
}

QString findSimProgram()
{
    const QString appDir = QCoreApplication::applicationDirPath();
    const QStringList candidates{qEnvironmentVariable("DOVODODUZU_SIM"), appDir + QStringLiteral("/dovododuzu-sim"),
                                 appDir + QStringLiteral("/../sim/dovododuzu-sim"), QStringLiteral(ROZ_SIM_BUILD_PATH)};
    for (const QString& candidate : candidates) {
        const QFileInfo info(candidate);
        if (!candidate.isEmpty() && info.isFile() && info.isExecutable())
            return info.canonicalFilePath();
    }
    return QString();
}

unsigned int effectiveUid()
{
    // Tests run as root and need to see the refusal: a non-zero uid here can only take the
    // privilege away, never grant it.
    bool ok = false;
    const unsigned int assumed = qEnvironmentVariable("DOVODODUZU_CLI_ASSUME_UID").toUInt(&ok);
    if (ok && assumed != 0)
        return assumed;
    return geteuid();
}

std::optional<Place> choosePlace(const Invocation& invocation, QString* error, ExitCode* code)
{
    if (invocation.has(QStringLiteral("system")) || invocation.hasValue(QStringLiteral("system-root")))
        return chooseSystem(invocation, error, code);

    const QString given = invocation.value(QStringLiteral("sim-root"));
    const QString root = QDir(given.isEmpty() ? defaultSimRoot() : given).absolutePath();
    // A link below the root would let the simulator write outside it: refuse before using the
    // root or laying it out again.
    QString unsafe;
    if (!sim::checkRoot(root, &unsafe))
        return refuse(error, code, CannotStart, unsafe);
    const bool laidOut = QFileInfo::exists(sim::statePath(root));
    const bool reset = invocation.has(QStringLiteral("reset"));
    const QString machine = invocation.value(QStringLiteral("machine"));
    if (laidOut && !reset && !machine.isEmpty())
        return refuse(error, code, Refused,
                      QStringLiteral("%1 is already a simulated machine; add --reset to lay it out again from %2")
                          .arg(root, machine));
    if (laidOut && !reset)
        return Place{false, root};
    if (!laidOut && !isEmptyOrAbsent(root))
        return refuse(error, code, CannotStart,
                      QStringLiteral("%1 is not empty and is not a simulated machine; roz will not lay one out over it")
                          .arg(root));

    const QString simProgram = findSimProgram();
    if (simProgram.isEmpty())
        return refuse(error, code, CannotStart,
                      QStringLiteral("cannot find the simulator dovododuzu-sim (set DOVODODUZU_SIM to its path)"));
    const QString description = machine.isEmpty() ? QStringLiteral("default") : machine;
    QString layoutError;
    if (!sim::layoutRoot(root, description, simProgram, &layoutError))
        return refuse(error, code, CannotStart,
                      QStringLiteral("cannot lay out a simulated machine in %1: %2").arg(root, layoutError));
    note(QStringLiteral("roz: laid out the simulated machine \"%1\" in %2").arg(description, root));
    return Place{false, root};
}

void enter(const Place& place)
{
    setSystemRoot(place.root);
}

} // namespace roz

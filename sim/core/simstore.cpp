// A simulated machine's root directory: links, state file, call log, mount table and locking,
// none of them reached through a link below the root.
#include "simstore.h"

#include "simrootdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace sim {

const QStringList& toolPaths(ToolSet tools)
{
    static const QStringList classic{
        QStringLiteral("/sbin/lvm.static"), QStringLiteral("/usr/lib/vururer/lib/veziva.cli"),
        QStringLiteral("/sbin/parted"),     QStringLiteral("/sbin/mke2fs"),
        QStringLiteral("/sbin/mkreiserfs"), QStringLiteral("/bin/ls"),
        QStringLiteral("/bin/mount"),       QStringLiteral("/sbin/e2fsck"),
        QStringLiteral("/sbin/resize2fs"),  QStringLiteral("/sbin/resize_reiserfs")};
    static const QStringList current{
        QStringLiteral("/sbin/lvm"),       QStringLiteral("/bin/lsblk"),       QStringLiteral("/sbin/blkid"),
        QStringLiteral("/sbin/parted"),    QStringLiteral("/sbin/mke2fs"),     QStringLiteral("/sbin/e2fsck"),
        QStringLiteral("/sbin/resize2fs"), QStringLiteral("/sbin/mkreiserfs"), QStringLiteral("/sbin/resize_reiserfs"),
        QStringLiteral("/bin/mount")};
    return tools == ToolSet::Current ? current : classic;
}

bool splitStartPath(const QString& startPath, QString* root, QString* tool)
{
    QString path = startPath;
    if (!path.startsWith(QLatin1Char('/')))
        path = QDir::current().absoluteFilePath(path);
    path = QDir::cleanPath(path);
    for (const QString& t : toolPaths(ToolSet::Classic) + toolPaths(ToolSet::Current)) {
        if (path.endsWith(t)) {
            *root = path.left(path.size() - t.size());
            *tool = t;
            return true;
        }
    }
    return false;
}

namespace {

const QString kStateDir = QStringLiteral("var/lib/dovododuzu-sim");
const QString kState = kStateDir + QStringLiteral("/state.json");
const QString kCallLog = kStateDir + QStringLiteral("/calls.log");
const QString kLock = kStateDir + QStringLiteral("/state.lock");
const QString kMtab = QStringLiteral("etc/mtab");
const QString kProcMounts = QStringLiteral("proc/self/mounts");

// Where the mount table of a root with these tools lies, relative to the root.
QString mountTableOf(ToolSet tools)
{
    return tools == ToolSet::Current ? kProcMounts : kMtab;
}

// The directories a root with these tools holds (each parent is checked on the way), tool
// directories included.
QStringList layoutDirs(ToolSet tools)
{
    const QString table = mountTableOf(tools);
    QStringList dirs{table.left(table.lastIndexOf(QLatin1Char('/'))), kStateDir};
    for (const QString& tool : toolPaths(tools)) {
        const QString dir = tool.mid(1, tool.lastIndexOf(QLatin1Char('/')) - 1);
        if (!dirs.contains(dir))
            dirs << dir;
    }
    return dirs;
}

// Checked for both tool sets: a root may be laid out again with the other one.
bool checkRoot(const RootDir& dir, QString* error)
{
    return dir.check(layoutDirs(ToolSet::Classic) + layoutDirs(ToolSet::Current),
                     {kMtab, kProcMounts, kState, kCallLog, kLock}, error);
}

// An exclusive lock on the root's lock file, held until the returned descriptor is closed.
Fd lockState(const RootDir& dir, QString* error)
{
    Fd lock = dir.openFile(kLock, O_RDWR | O_CREAT, error);
    if (!lock.isOpen())
        return lock;
    while (::flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            if (error)
                *error = QStringLiteral("cannot lock %1").arg(dir.path(kLock));
            return Fd();
        }
    }
    return lock;
}

} // namespace

QString stateDir(const QString& root)
{
    return root + QLatin1Char('/') + kStateDir;
}

QString statePath(const QString& root)
{
    return root + QLatin1Char('/') + kState;
}

QString callLogPath(const QString& root)
{
    return root + QLatin1Char('/') + kCallLog;
}

QString mtabPath(const QString& root)
{
    return root + QLatin1Char('/') + kMtab;
}

QString mountTablePath(const QString& root, ToolSet tools)
{
    return root + QLatin1Char('/') + mountTableOf(tools);
}

bool checkRoot(const QString& root, QString* error)
{
    return checkRoot(RootDir(root), error);
}

QStringList shippedMachineDirs(const QString& programPath)
{
    QStringList dirs;
    if (!programPath.isEmpty()) {
        const QString bin = QFileInfo(programPath).absolutePath();
        dirs << QDir::cleanPath(bin + QStringLiteral("/../share/dovododuzu-sim/machines"))
             << QDir::cleanPath(bin + QStringLiteral("/machines"));
    }
#ifdef DOVO_SIM_MACHINES_DIR
    dirs << QStringLiteral(DOVO_SIM_MACHINES_DIR);
#endif
    return dirs;
}

QString findMachine(const QString& nameOrPath, const QString& programPath)
{
    if (nameOrPath.contains(QLatin1Char('/')) || QFileInfo(nameOrPath).isFile())
        return QFileInfo(nameOrPath).isFile() ? QFileInfo(nameOrPath).absoluteFilePath() : QString();
    for (const QString& dir : shippedMachineDirs(programPath)) {
        const QString candidate = dir + QLatin1Char('/') + nameOrPath + QStringLiteral(".json");
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return QString();
}

static std::optional<Machine> parse(const QByteArray& bytes, const QString& what, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (!doc.isObject()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(what, parseError.errorString());
        return std::nullopt;
    }
    return fromJson(doc.object(), error);
}

std::optional<Machine> loadMachineFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read %1").arg(path);
        return std::nullopt;
    }
    std::optional<Machine> m = parse(file.readAll(), path, error);
    if (m && !normalize(*m, error))
        return std::nullopt;
    return m;
}

static std::optional<Machine> readState(const RootDir& dir, QString* error)
{
    bool absent = false;
    const std::optional<QByteArray> bytes = dir.readFile(kState, error, &absent);
    if (!bytes) {
        if (absent && error)
            *error = QStringLiteral("no simulated machine at %1").arg(dir.root());
        return std::nullopt;
    }
    return parse(*bytes, dir.path(kState), error);
}

static bool writeState(const RootDir& dir, const Machine& machine, QString* error)
{
    return dir.replaceFile(kState, QJsonDocument(toJson(machine)).toJson(QJsonDocument::Indented), error) &&
           dir.replaceFile(mountTableOf(machine.tools), machine.mtab().toUtf8(), error);
}

std::optional<Machine> readState(const QString& root, QString* error)
{
    return readState(RootDir(root), error);
}

bool writeState(const QString& root, const Machine& machine, QString* error)
{
    const RootDir dir(root);
    return checkRoot(dir, error) && writeState(dir, machine, error);
}

bool withState(const QString& root, const std::function<bool(Machine&)>& change, QString* error)
{
    const RootDir dir(root);
    if (!checkRoot(dir, error))
        return false;
    const Fd lock = lockState(dir, error);
    if (!lock.isOpen())
        return false;
    std::optional<Machine> machine = readState(dir, error);
    if (!machine)
        return false;
    if (!change(*machine))
        return true;
    return writeState(dir, *machine, error);
}

bool replaceState(const QString& root, const QJsonObject& state, QString* error)
{
    std::optional<Machine> m = fromJson(state, error);
    if (!m || !normalize(*m, error))
        return false;
    const RootDir dir(root);
    if (!checkRoot(dir, error))
        return false;
    const Fd lock = lockState(dir, error);
    return lock.isOpen() && writeState(dir, *m, error);
}

bool layoutRoot(const QString& root, const QString& machine, const QString& simProgram, QString* error, ToolSet tools)
{
    const QString description = findMachine(machine, simProgram);
    if (description.isEmpty()) {
        if (error)
            *error = QStringLiteral("no machine description \"%1\"").arg(machine);
        return false;
    }
    std::optional<Machine> m = loadMachineFile(description, error);
    if (!m)
        return false;
    m->tools = tools;
    // The root itself may be reached through links; below it, nothing is followed (see RootDir).
    if (!QDir().mkpath(root)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(root);
        return false;
    }
    const RootDir dir(root);
    if (!checkRoot(dir, error))
        return false;
    for (const QString& sub : layoutDirs(tools)) {
        if (!dir.openDir(sub, true, error).isOpen())
            return false;
    }
    const QString program = QFileInfo(simProgram).absoluteFilePath();
    for (const QString& tool : toolPaths(tools)) {
        if (!dir.replaceLink(tool.mid(1), program, error))
            return false;
    }
    return dir.removeEntry(kCallLog, error) && writeState(dir, *m, error);
}

bool appendCall(const QString& root, const QString& program, const QStringList& args, QString* error)
{
    QJsonArray entry{program};
    for (const QString& a : args)
        entry << a;
    return RootDir(root).appendFile(kCallLog, QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n', error);
}

QList<QStringList> readCalls(const QString& root)
{
    QList<QStringList> calls;
    const std::optional<QByteArray> log = RootDir(root).readFile(kCallLog, nullptr);
    if (!log)
        return calls;
    for (const QByteArray& line : log->split('\n')) {
        if (line.isEmpty())
            continue;
        QStringList call;
        for (const QJsonValue& v : QJsonDocument::fromJson(line).array())
            call << v.toString();
        calls << call;
    }
    return calls;
}

void clearCalls(const QString& root)
{
    RootDir(root).truncateFile(kCallLog, nullptr);
}

} // namespace sim

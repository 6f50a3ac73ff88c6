// A simulated machine's root directory: links, state file, call log, mount table and locking.
#include "simstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLockFile>
#include <QSaveFile>

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

QString stateDir(const QString& root)
{
    return root + QStringLiteral("/var/lib/dovododuzu-sim");
}

QString statePath(const QString& root)
{
    return stateDir(root) + QStringLiteral("/state.json");
}

QString callLogPath(const QString& root)
{
    return stateDir(root) + QStringLiteral("/calls.log");
}

QString mtabPath(const QString& root)
{
    return root + QStringLiteral("/etc/mtab");
}

QString mountTablePath(const QString& root, ToolSet tools)
{
    return tools == ToolSet::Current ? root + QStringLiteral("/proc/self/mounts") : mtabPath(root);
}

static QString lockPath(const QString& root)
{
    return stateDir(root) + QStringLiteral("/state.lock");
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

static bool writeFile(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

std::optional<Machine> readState(const QString& root, QString* error)
{
    QFile file(statePath(root));
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("no simulated machine at %1").arg(root);
        return std::nullopt;
    }
    return parse(file.readAll(), statePath(root), error);
}

bool writeState(const QString& root, const Machine& machine, QString* error)
{
    return writeFile(statePath(root), QJsonDocument(toJson(machine)).toJson(QJsonDocument::Indented), error) &&
           writeFile(mountTablePath(root, machine.tools), machine.mtab().toUtf8(), error);
}

bool withState(const QString& root, const std::function<bool(Machine&)>& change, QString* error)
{
    QLockFile lock(lockPath(root));
    if (!lock.lock()) {
        if (error)
            *error = QStringLiteral("cannot lock %1").arg(lockPath(root));
        return false;
    }
    std::optional<Machine> machine = readState(root, error);
    if (!machine)
        return false;
    if (!change(*machine))
        return true;
    return writeState(root, *machine, error);
}

bool replaceState(const QString& root, const QJsonObject& state, QString* error)
{
    std::optional<Machine> m = fromJson(state, error);
    if (!m || !normalize(*m, error))
        return false;
    QLockFile lock(lockPath(root));
    if (!lock.lock()) {
        if (error)
            *error = QStringLiteral("cannot lock %1").arg(lockPath(root));
        return false;
    }
    return writeState(root, *m, error);
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
    const QString program = QFileInfo(simProgram).absoluteFilePath();
    QDir dir;
    if (!dir.mkpath(stateDir(root)) || !dir.mkpath(QFileInfo(mountTablePath(root, tools)).absolutePath())) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(root);
        return false;
    }
    for (const QString& tool : toolPaths(tools)) {
        const QString link = root + tool;
        dir.mkpath(QFileInfo(link).absolutePath());
        QFile::remove(link);
        if (!QFile::link(program, link)) {
            if (error)
                *error = QStringLiteral("cannot link %1").arg(link);
            return false;
        }
    }
    QFile::remove(callLogPath(root));
    return writeState(root, *m, error);
}

void appendCall(const QString& root, const QString& program, const QStringList& args)
{
    QFile log(callLogPath(root));
    if (!log.open(QIODevice::Append))
        return;
    QJsonArray entry{program};
    for (const QString& a : args)
        entry << a;
    log.write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n');
}

QList<QStringList> readCalls(const QString& root)
{
    QList<QStringList> calls;
    QFile log(callLogPath(root));
    if (!log.open(QIODevice::ReadOnly))
        return calls;
    for (const QByteArray& line : log.readAll().split('\n')) {
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
    QFile::resize(callLogPath(root), 0);
}

} // namespace sim

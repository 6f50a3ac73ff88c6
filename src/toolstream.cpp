// Starting programs without a shell and reading their output: the library's only process code.
#include "toolstream_p.h"

#include "assertsites_p.h"

#include "jobrunner_p.h"
#include "programs_p.h"

#include <cstring>

#include "utils.h"

#include <QtGlobal>

#include <cerrno>
#include <fcntl.h>
#include <mntent.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <utility>
#include <vector>

extern char** environ;

ToolCommand parseCommandLine(const QString& commandLine)
{
    ToolCommand command;
    QStringList words = commandLine.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (!words.isEmpty() && words.last() == QLatin1String("2>&1")) {
        command.errors = ErrorStream::Merge;
        words.removeLast();
    } else if (!words.isEmpty() && words.last() == QLatin1String("2>/dev/null")) {
        command.errors = ErrorStream::Discard;
        words.removeLast();
    }
    if (!words.isEmpty())
        command.program = words.takeFirst();
    command.args = words;
    return command;
}

QString hostPath(const QString& path)
{
    return systemRoot() + path;
}

namespace {

// Spawn failures that mean the program itself could not be run, as an exec in a forked child
// would have found; anything else means no process could be made at all.
bool isExecFailure(int error)
{
    switch (error) {
    case ENOENT:
    case EACCES:
    case ENOEXEC:
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG:
    case EISDIR:
    case ETXTBSY:
    case E2BIG:
    case EPERM:
        return true;
    default:
        return false;
    }
}

class FileActions
{
public:
    FileActions() { posix_spawn_file_actions_init(&actions_); }
    ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

} // namespace

SpawnedProcess spawnTool(const ToolCommand& command)
{
    SpawnedProcess process;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) == -1) {
        warnAt(AssertSites::kPipe);
        process.error = errno;
        process.pipeFailed = true;
        return process;
    }

    // The pipe ends are close-on-exec; the copies made on 1 and 2 are not.
    FileActions actions;
    // No tool may wait for an answer: a question (vgremove of a group with volumes, mke2fs over an
    // old file system) reads end of input and takes its default, refusing.
    posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(actions.get(), fds[1], STDOUT_FILENO);
    if (command.errors == ErrorStream::Merge)
        posix_spawn_file_actions_adddup2(actions.get(), fds[1], STDERR_FILENO);
    else if (command.errors == ErrorStream::Discard)
        posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // The child gets its three standard streams and nothing else: a GUI holds many descriptors
    // without close-on-exec, and LVM warns on standard error about every one it inherits.
    posix_spawn_file_actions_addclosefrom_np(actions.get(), STDERR_FILENO + 1);

    const QByteArray executable = hostPath(command.program).toLocal8Bit();
    std::vector<QByteArray> storage;
    storage.reserve(command.args.size() + 1);
    storage.push_back(executable);
    for (const QString& arg : command.args)
        storage.push_back(arg.toLocal8Bit());
    std::vector<char*> argv;
    argv.reserve(storage.size() + 1);
    for (QByteArray& arg : storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int error = posix_spawn(&pid, executable.constData(), actions.get(), nullptr, argv.data(), environ);
    ::close(fds[1]);
    if (error != 0) {
        ::close(fds[0]);
        process.error = error;
        process.forkFailed = !isExecFailure(error);
        return process;
    }
    process.pid = pid;
    process.readFd = fds[0];
    return process;
}

int waitForChild(pid_t pid)
{
    int status = 0;
    for (;;) {
        const pid_t result = waitpid(pid, &status, 0);
        if (result == pid)
            return status;
        if (result == -1 && errno == EINTR)
            continue;
        return -1;
    }
}

ToolStream::ToolStream(const QString& commandLine) : ToolStream(parseCommandLine(commandLine)) {}

ToolStream::ToolStream(const ToolCommand& command)
{
    const StartRefusal refusal = JobRunner::mayStart(command.program, false);
    if (refusal != StartRefusal::None) {
        process_.error = refusal == StartRefusal::Reentered ? EBUSY : ECANCELED;
        eof_ = true;
    } else if (JobRunner::busy()) {
        runToEnd(command);
    } else {
        process_ = spawnTool(command);
        eof_ = process_.readFd == -1;
    }
}

void ToolStream::runToEnd(const ToolCommand& command)
{
    JobRunner::announceStart(command.program, command.args);
    JobRunner::offload([this, &command] {
        process_ = spawnTool(command);
        eof_ = process_.readFd == -1;
        while (!eof_ && fill()) {
        }
        if (process_.readFd != -1)
            ::close(process_.readFd);
        process_.readFd = -1;
        if (process_.pid > 0)
            collectedStatus_ = waitForChild(process_.pid);
        process_.pid = -1;
    });
    eof_ = true;
}

ToolStream::~ToolStream()
{
    close();
}

bool ToolStream::fill()
{
    if (start_ > 0) {
        buffer_.remove(0, start_);
        start_ = 0;
    }
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(process_.readFd, chunk, sizeof chunk);
        if (n > 0) {
            buffer_.append(chunk, n);
            return true;
        }
        if (n == -1 && errno == EINTR)
            continue;
        eof_ = true;
        return false;
    }
}

bool ToolStream::readLine(QByteArray& line)
{
    for (;;) {
        const qsizetype available = buffer_.size() - start_;
        const qsizetype newline = buffer_.indexOf('\n', start_);
        if (newline != -1 && newline - start_ < kMaxLineLength) {
            line = buffer_.mid(start_, newline - start_);
            start_ = newline + 1;
            return true;
        }
        if (available >= kMaxLineLength || (eof_ && available > 0)) {
            // A longer line arrives in pieces, as fgets with a 1023-byte buffer hands it over.
            const qsizetype take = qMin<qsizetype>(available, kMaxLineLength);
            line = buffer_.mid(start_, take);
            start_ += take;
            return true;
        }
        if (eof_ || !fill()) {
            if (buffer_.size() - start_ > 0)
                continue;
            return false;
        }
    }
}

QByteArray ToolStream::readAll()
{
    while (!eof_ && fill()) {
    }
    QByteArray rest = buffer_.mid(start_);
    buffer_.clear();
    start_ = 0;
    return rest;
}

int ToolStream::close()
{
    if (process_.readFd != -1) {
        ::close(process_.readFd);
        process_.readFd = -1;
    }
    eof_ = true;
    if (process_.pid <= 0)
        return std::exchange(collectedStatus_, -1);
    const int status = waitForChild(process_.pid);
    process_.pid = -1;
    return status;
}

QList<QByteArray> readToolLines(const QString& commandLine)
{
    QList<QByteArray> lines;
    ToolStream stream(commandLine);
    QByteArray line;
    while (stream.readLine(line))
        lines.append(line);
    return lines;
}

CheckedLines readToolLinesChecked(const QString& commandLine)
{
    CheckedLines result;
    const ToolCommand command = parseCommandLine(commandLine);
    ToolStream stream(command);
    QByteArray line;
    while (stream.readLine(line))
        result.lines.append(line);
    const int status = stream.close();
    result.problem = readProblem(command, stream.startError(), status);
    if (!result.problem.isEmpty())
        MyDebug(result.problem);
    return result;
}

CheckedOutput readToolOutputChecked(const ToolCommand& command)
{
    CheckedOutput result;
    ToolStream stream(command);
    result.bytes = stream.readAll();
    result.status = stream.close();
    result.problem = readProblem(command, stream.startError(), result.status);
    return result;
}

QString readProblem(const ToolCommand& command, int startError, int status)
{
    const QString what = (QStringList{command.program} + command.args).join(QLatin1Char(' '));
    if (startError != 0) {
        // Without the classic LVM tool the library had looked for today's first: say so.
        QString lookedFor = hostPath(command.program);
        if (startError == ENOENT && command.program == QLatin1String(kClassicLvm))
            lookedFor += QStringLiteral(", then %1 and %2")
                             .arg(hostPath(QLatin1String(kCurrentLvm)), hostPath(QLatin1String(kCurrentLvmElsewhere)));
        return QStringLiteral("could not run %1 (looked for %2): %3")
            .arg(what, lookedFor, QString::fromLocal8Bit(std::strerror(startError)));
    }
    if (status == -1)
        return QStringLiteral("could not run %1").arg(what);
    if (WIFSIGNALED(status))
        return QStringLiteral("%1 was killed by signal %2").arg(what).arg(WTERMSIG(status));
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        return QStringLiteral("%1 exited with %2").arg(what).arg(WEXITSTATUS(status));
    return QString();
}

QList<MountEntry> readMountTable()
{
    QList<MountEntry> entries;
    FILE* table = setmntent(hostPath(QStringLiteral("/etc/mtab")).toLocal8Bit().constData(), "r");
    if (!table)
        table = setmntent(hostPath(QStringLiteral("/proc/self/mounts")).toLocal8Bit().constData(), "r");
    if (!table)
        return entries;
    while (struct mntent* entry = getmntent(table)) {
        entries.append({QString::fromLocal8Bit(entry->mnt_fsname), QString::fromLocal8Bit(entry->mnt_dir),
                        QString::fromLocal8Bit(entry->mnt_type)});
    }
    endmntent(table);
    return entries;
}

void assertWarning(const char* condition, const char* source, int line)
{
    qWarning("ASSERT: \"%s\" in %s (%d)", condition, source, line);
}

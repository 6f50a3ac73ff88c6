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
    FileActions() { posix_spawn_file_actions_init(&m_actions); }
    ~FileActions() { posix_spawn_file_actions_destroy(&m_actions); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t* get() { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions;
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
        m_process.error = refusal == StartRefusal::Reentered ? EBUSY : ECANCELED;
        m_eof = true;
    } else if (JobRunner::busy()) {
        runToEnd(command);
    } else {
        m_process = spawnTool(command);
        m_eof = m_process.readFd == -1;
    }
}

void ToolStream::runToEnd(const ToolCommand& command)
{
    JobRunner::announceStart(command.program, command.args);
    JobRunner::offload([this, &command] {
        m_process = spawnTool(command);
        m_eof = m_process.readFd == -1;
        const QByteArray output = readAll();
        m_collectedStatus = close();
        m_buffer = output;
    });
}

ToolStream::~ToolStream()
{
    close();
}

bool ToolStream::fill()
{
    if (m_start > 0) {
        m_buffer.remove(0, m_start);
        m_start = 0;
    }
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(m_process.readFd, chunk, sizeof chunk);
        if (n > 0) {
            m_buffer.append(chunk, n);
            return true;
        }
        if (n == -1 && errno == EINTR)
            continue;
        m_eof = true;
        return false;
    }
}

bool ToolStream::readLine(QByteArray& line)
{
    for (;;) {
        const qsizetype available = m_buffer.size() - m_start;
        const qsizetype newline = m_buffer.indexOf('\n', m_start);
        if (newline != -1 && newline - m_start < kMaxLineLength) {
            line = m_buffer.mid(m_start, newline - m_start);
            m_start = newline + 1;
            return true;
        }
        if (available >= kMaxLineLength || (m_eof && available > 0)) {
            // A longer line arrives in pieces, as fgets with a 1023-byte buffer hands it over.
            const qsizetype take = qMin<qsizetype>(available, kMaxLineLength);
            line = m_buffer.mid(m_start, take);
            m_start += take;
            return true;
        }
        if (m_eof || !fill()) {
            if (m_buffer.size() - m_start > 0)
                continue;
            return false;
        }
    }
}

QByteArray ToolStream::readAll()
{
    while (!m_eof && fill()) {
    }
    QByteArray rest = m_buffer.mid(m_start);
    m_buffer.clear();
    m_start = 0;
    return rest;
}

int ToolStream::close()
{
    if (m_process.readFd != -1) {
        ::close(m_process.readFd);
        m_process.readFd = -1;
    }
    m_eof = true;
    if (m_process.pid <= 0)
        return std::exchange(m_collectedStatus, -1);
    const int status = waitForChild(m_process.pid);
    m_process.pid = -1;
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

void readToolOutputParsed(const ToolCommand& command, const std::function<void(const CheckedOutput&)>& parse)
{
    // A refused start is accounted for by the stream, as for any read.
    if (JobRunner::mayStart(command.program, false) != StartRefusal::None) {
        parse(readToolOutputChecked(command));
        return;
    }
    JobRunner::announceStart(command.program, command.args);
    // On the worker no job runs, so the stream there starts the program as it stands.
    JobRunner::offload([&command, &parse] { parse(readToolOutputChecked(command)); });
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

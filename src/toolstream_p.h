// Internal process plumbing: the one way the library starts a program and the one way it reads
// a program's output line by line, plus the mount table and the non-fatal assertion warning.
#ifndef DOVODODUZU_TOOLSTREAM_P_H
#define DOVODODUZU_TOOLSTREAM_P_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

#include <sys/types.h>

// What becomes of a started program's standard error.
enum class ErrorStream {
    Merge,   // into the same pipe as standard output ("2>&1")
    Discard, // to /dev/null ("2>/dev/null")
    Inherit  // left to the caller (no redirection)
};

struct ToolCommand {
    QString program; // as named in texts, without the system root
    QStringList args;
    ErrorStream errors = ErrorStream::Inherit;
};

// The longest line one read returns, as a 1023-byte fgets would.
constexpr int kMaxLineLength = 1022;

// Turns a command line such as "/sbin/lvm.static vgdisplay -c  vg00 2>/dev/null" into an
// argument vector: split at blanks (empty words dropped), a final "2>&1" or "2>/dev/null" read as
// the error-stream choice. No shell ever sees it.
ToolCommand parseCommandLine(const QString& commandLine);

// The path a program or file of the machine really has: systemRoot() + path.
QString hostPath(const QString& path);

struct SpawnedProcess {
    pid_t pid = -1;
    int readFd = -1;
    int error = 0;           // errno of a failed start
    bool pipeFailed = false; // no pipe could be made; nothing was started
    bool forkFailed = false; // no process could be made (as opposed to a program that won't run)
};

// Starts the program with posix_spawn: standard output (and standard error as asked) into a new
// close-on-exec pipe, standard input from /dev/null, the environment inherited.
SpawnedProcess spawnTool(const ToolCommand& command);

// Waits for a child, retrying on EINTR; returns the wait status, or -1.
int waitForChild(pid_t pid);

// A running program's output read line by line, like popen/fgets/pclose without a shell.
class ToolStream
{
public:
    explicit ToolStream(const QString& commandLine);
    explicit ToolStream(const ToolCommand& command);
    ~ToolStream();
    ToolStream(const ToolStream&) = delete;
    ToolStream& operator=(const ToolStream&) = delete;

    // The next line, at most kMaxLineLength bytes, cut at its newline. False at end of output
    // (and at once when the program could not be started).
    bool readLine(QByteArray& line);
    // Everything not read yet, to the end of the output, uncut.
    QByteArray readAll();
    // Closes the pipe and waits for the program; returns its wait status (-1 when none ran).
    int close();
    // The errno of a start that failed; 0 when the program was started.
    int startError() const { return m_process.error; }

private:
    bool fill();

    // While a job runs on this thread the program runs to its end on a worker at construction,
    // and its output is served from the buffer.
    void runToEnd(const ToolCommand& command);

    SpawnedProcess m_process;
    int m_collectedStatus = -1; // the wait status of a program run to its end, until close()
    QByteArray m_buffer;
    qsizetype m_start = 0;
    bool m_eof = false;
};

// Every line of a command's output, each cut as ToolStream::readLine cuts it.
QList<QByteArray> readToolLines(const QString& commandLine);

// The lines of a read the model cannot do without, and a one-line account of what went wrong
// (empty when nothing did): a program that could not be started, was killed, or exited non-zero.
struct CheckedLines {
    QList<QByteArray> lines;
    QString problem;
};
CheckedLines readToolLinesChecked(const QString& commandLine);

// A program's whole output, uncut (a JSON report's lines are far longer than a line read takes),
// its wait status (-1 when none ran) and the same account of what went wrong.
struct CheckedOutput {
    QByteArray bytes;
    int status = -1;
    QString problem;
};
CheckedOutput readToolOutputChecked(const ToolCommand& command);
// The same, handed to `parse` on the thread that read it: a worker while a job runs on this
// thread (the event loop running meanwhile), else this one. A refused start gives `parse` no
// output and the account of the refusal.
void readToolOutputParsed(const ToolCommand& command, const std::function<void(const CheckedOutput&)>& parse);

// The account readToolLinesChecked gives for a command's start error and wait status.
QString readProblem(const ToolCommand& command, int startError, int status);

struct MountEntry {
    QString device;
    QString directory;
    QString type;
};

// The entries of the mount table ("/etc/mtab" under the system root, else "/proc/self/mounts"), in
// table order; empty when neither can be opened.
QList<MountEntry> readMountTable();

// Prints Qt's non-fatal assertion line "ASSERT: \"cond\" in source (line)" and carries on.
void assertWarning(const char* condition, const char* source, int line);

#endif

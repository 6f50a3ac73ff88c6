// The runner, the debug sink and the text helpers shared by every module.
#include "utils.h"

#include "jobrunner_p.h"
#include "runlog_p.h"
#include "toolstream_p.h"

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QStringDecoder>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <regex.h>
#include <string>
#include <unistd.h>
#include <unordered_map>

Q_LOGGING_CATEGORY(lcDovododuzu, "dovododuzu", QtInfoMsg)

namespace {

QString& rootStorage()
{
    static QString root;
    return root;
}

// Hands every complete line of `output` from `from` on to `sink`; returns where the next starts.
qsizetype passLines(const QString& output, qsizetype from, const LineSink& sink)
{
    for (qsizetype newline = output.indexOf(QLatin1Char('\n'), from); newline != -1;
         newline = output.indexOf(QLatin1Char('\n'), from)) {
        sink(output.mid(from, newline - from));
        from = newline + 1;
    }
    return from;
}

// Reads the child's combined output until end of file, handing each line to `sink` as it comes
// when there is one; false when the very first read failed.
bool readAllOutput(int fd, QString& output, const LineSink& sink)
{
    QStringDecoder decoder(QStringDecoder::System);
    char buffer[1024];
    bool readSomething = false;
    qsizetype passed = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, 1023);
        if (n > 0) {
            readSomething = true;
            // A NUL byte is dropped; the text after it is kept.
            QByteArray chunk(buffer, n);
            chunk.replace('\0', QByteArray());
            output += decoder.decode(chunk);
            if (sink)
                passed = passLines(output, passed, sink);
            continue;
        }
        if (n == -1 && errno == EINTR)
            continue;
        if (sink && passed < output.size())
            sink(output.mid(passed));
        return n == 0 || readSomething;
    }
}

QString execveFailed(const QString& program)
{
    return QStringLiteral("execve %1 failed.").arg(program);
}

} // namespace

void setSystemRoot(const QString& root)
{
    rootStorage() = root;
}

QString systemRoot()
{
    return rootStorage();
}

namespace {

int startAndWait(const QString& program, const QStringList& args, QString& output, const LineSink& sink)
{
    MyDebug(QStringLiteral("we are going to execute: ") + program + QLatin1Char(' ') + args.join(QLatin1Char(' ')));
    output = QStringLiteral("");

    const SpawnedProcess process = spawnTool({program, args, ErrorStream::Merge});
    if (process.pipeFailed) {
        output = execveFailed(program);
        return -1;
    }
    if (process.forkFailed) {
        output = QStringLiteral("runcmd: fork() failed.");
        return -1;
    }

    int status = 255 << 8; // what a child whose execve failed would have ended with
    if (process.pid > 0) {
        if (!readAllOutput(process.readFd, output, sink))
            output = execveFailed(program);
        ::close(process.readFd);
        status = waitForChild(process.pid);
        if (status < 0) {
            status = -1;
            output = execveFailed(program);
        }
    }

    if ((status & 0x7f) != 0)
        return status;
    const int code = (status >> 8) & 255;
    MyDebug(QStringLiteral("runcmd ret: ") + QString::number(code));
    return code;
}

} // namespace

namespace {

LineSink& toolLineListener()
{
    thread_local LineSink listener;
    return listener;
}

} // namespace

void setToolLineListener(LineSink listener)
{
    toolLineListener() = std::move(listener);
}

int runcmd(const QString& program, const QStringList& args, QString& output)
{
    int result = -1;
    const StartRefusal refusal = JobRunner::mayStart(program, !ReadingStep::active());
    if (refusal != StartRefusal::None) {
        // A refused read leaves nothing to be taken for what it reads.
        output = ReadingStep::active() ? QString() : JobRunner::refusalText(refusal, program);
    } else {
        JobRunner::announceStart(program, args);
        const LineSink sink = ReadingStep::active() ? LineSink()
                              : JobRunner::busy()   ? JobRunner::lineSink()
                                                    : toolLineListener();
        JobRunner::offload([&] { result = startAndWait(program, args, output, sink); });
    }
    RunLog::note(program, args, result);
    return result;
}

void MyDebug(const QString& line)
{
    qCDebug(lcDovododuzu, "%s", qUtf8Printable(line));
}

int splitline(char* line, char** fields, char separator, int capacity)
{
    if (!line || !fields || capacity < 1)
        return 0;
    char* cursor = line;
    fields[0] = line;
    int count = 1;
    while (*cursor != '\0') {
        ++cursor;
        // The terminating NUL is never a separator, even when the caller asks for '\0'.
        if (*cursor != separator || *cursor == '\0')
            continue;
        if (count == capacity)
            break;
        *cursor = '\0';
        ++cursor;
        fields[count++] = cursor;
        if (*cursor == '\0')
            break;
    }
    return count;
}

void chomp(char* line)
{
    if (char* newline = std::strchr(line, '\n'))
        *newline = '\0';
}

namespace {

// The compiled form of the few patterns the parsers use, kept per thread: compiling costs many
// times what a match of one line does.
class CompiledPatterns
{
public:
    ~CompiledPatterns() { clear(); }

    // Null when the pattern does not compile.
    const regex_t* find(const char* pattern)
    {
        const auto known = m_compiled.find(pattern);
        if (known != m_compiled.end())
            return &known->second;
        if (m_compiled.size() >= kMaxPatterns)
            clear();
        regex_t expression;
        if (regcomp(&expression, pattern, REG_EXTENDED) != 0)
            return nullptr;
        return &m_compiled.emplace(pattern, expression).first->second;
    }

private:
    static constexpr std::size_t kMaxPatterns = 64;

    void clear()
    {
        for (auto& entry : m_compiled)
            regfree(&entry.second);
        m_compiled.clear();
    }

    std::unordered_map<std::string, regex_t> m_compiled;
};

} // namespace

int getrematch(char* subject, const char* pattern, char** first, char** second)
{
    thread_local CompiledPatterns patterns;
    const regex_t* expression = patterns.find(pattern);
    if (!expression)
        return 0;
    regmatch_t groups[4];
    if (regexec(expression, subject, 4, groups, 0) != 0)
        return 0;

    char** outs[2] = {first, second};
    for (int group = 1; group <= 2; ++group) {
        char** out = outs[group - 1];
        if (!out)
            continue;
        *out = nullptr;
        if (groups[group].rm_so == -1)
            continue;
        subject[groups[group].rm_eo] = '\0';
        *out = strdup(subject + groups[group].rm_so);
    }
    return 1;
}

QString findWord(const QString& text, int index)
{
    static const QRegularExpression word(QStringLiteral("(\\w+)"), QRegularExpression::UseUnicodePropertiesOption);
    QStringList words;
    for (auto it = word.globalMatch(text); it.hasNext();)
        words.append(it.next().captured(1));
    if (index < 0 || index >= words.size())
        return QString();
    return words.at(index);
}

int QuorVerifyCN(const QString& name)
{
    static const QString allowed = QStringLiteral("1234567890abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ.-_+");
    for (const QChar c : name) {
        if (!allowed.contains(c))
            return -1;
    }
    return 0;
}

QString prettify_run_result(QString text)
{
    static const char* const sequences[] = {"\033[1;33m", "\033[1;32m", "\033[1;31m", "\033[1;39m",
                                            "\033[0;33m", "\033[0;32m", "\033[0;31m", "\033[0;39m"};
    text.replace(QStringLiteral("\033[60G"), QStringLiteral("    "));
    for (const char* sequence : sequences)
        text.remove(QLatin1String(sequence));
    return text;
}

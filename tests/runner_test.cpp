// The command runner and the line reader against small fake programs.
#include "capture.h"
#include "fakeroot.h"
#include "toolstream_p.h"
#include "utils.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <QRegularExpression>

#include <csignal>
#include <sys/time.h>

namespace {

QString printer()
{
    return FakeRoot::fakePath("fake_tool");
}

// Standard output and error in write order, a killed program's raw wait status, a missing program,
// arguments no shell touches, megabytes without deadlock and a NUL byte dropped.
TEST(Runcmd, ReturnsTheExitCodeAndCollectsOutputAndErrorAsWritten)
{
    struct Case {
        QString program;
        QStringList args;
        int code;
        QString output;
        bool retLine; // "runcmd ret: <code>" logged
    };
    const QString big = QString(6000000, 'x') + "end";
    const Case cases[] = {
        {printer(), {"out", "x", "err", "y", "out", "z", "exit", "3"}, 3, "xyz", true},
        {printer(), {"out", "before", "kill", "9"}, 9, "before", false},
        {"/nonexistent/dovododuzu-tool", {"a"}, 255, "", true},
        {printer(),
         {"line", "lvm on", "line", "$(rm -rf x); `id` | > *"},
         0,
         "lvm on\n$(rm -rf x); `id` | > *\n",
         true},
        {printer(), {"big", "6000000", "err", "end", "exit", "7"}, 7, big, true},
        {printer(), {"nul"}, 0, "abcd", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').left(60).toStdString());
        MessageCapture capture;
        QString output = "stale";
        EXPECT_EQ(runcmd(c.program, c.args, output), c.code);
        EXPECT_EQ(output.size(), c.output.size());
        EXPECT_TRUE(output == c.output) << output.left(200).toStdString();
        EXPECT_EQ(capture.countDebug(QStringLiteral("we are going to execute: ") + c.program + ' ' + c.args.join(' ')),
                  1);
        const qsizetype retLines = capture.debugLines().filter(QRegularExpression("^runcmd ret:")).size();
        EXPECT_EQ(retLines, c.retLine ? 1 : 0);
        EXPECT_EQ(capture.countDebug(QStringLiteral("runcmd ret: %1").arg(c.code)), retLines);
    }
}

// Under a system root the program gets the root's prefix and its arguments do not; without
// arguments the program still runs.
TEST(Runcmd, SystemRootPrefixesTheProgramButNotTheArguments)
{
    FakeRoot root;
    root.install("/sbin/echoargs", "fake_tool");
    MessageCapture capture;
    QString output;
    EXPECT_EQ(runcmd("/sbin/echoargs", {}, output), 0);
    EXPECT_TRUE(output.isEmpty());
    EXPECT_EQ(runcmd("/sbin/echoargs", {"argv", "/dev/hda1"}, output), 0);
    EXPECT_EQ(output, QStringLiteral("[%1/sbin/echoargs]\n[argv]\n[/dev/hda1]\n").arg(root.root()));
    EXPECT_EQ(capture.countDebug("we are going to execute: /sbin/echoargs argv /dev/hda1"), 1);
}

void onAlarm(int) {}

TEST(Runcmd, SurvivesInterruptingSignals)
{
    struct sigaction action = {};
    action.sa_handler = onAlarm; // no SA_RESTART: read and waitpid see EINTR
    struct sigaction previous = {};
    sigaction(SIGALRM, &action, &previous);
    itimerval timer{{0, 2000}, {0, 2000}};
    setitimer(ITIMER_REAL, &timer, nullptr);

    QString output;
    const int result = runcmd(printer(), {"out", "a", "sleepms", "150", "out", "b", "exit", "4"}, output);

    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &previous, nullptr);
    EXPECT_EQ(result, 4);
    EXPECT_EQ(output, "ab");
}

// A caller holding descriptors without close-on-exec (a GUI's display socket, files): the child
// sees only its standard streams, so neither they nor the runner's own pipe leak into it.
TEST(Runcmd, ChildGetsOnlyItsThreeStandardStreams)
{
    const int inherited = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(inherited, 3);
    QString output;
    ASSERT_EQ(runcmd(printer(), {"fds"}, output), 0);
    ::close(inherited);
    QStringList descriptors = QString(output).remove(QRegularExpression(" -> [^\n]*")).split('\n', Qt::SkipEmptyParts);
    descriptors.sort();
    EXPECT_EQ(descriptors, (QStringList{"0", "1", "2"})) << qPrintable(output);
}

TEST(CommandLine, SplitsAtBlanksAndReadsTheRedirection)
{
    const struct {
        QString line;
        QStringList args;
        ErrorStream errors;
    } cases[] = {
        {"/sbin/lvm.static vgdisplay -c  vg00 2>/dev/null", {"vgdisplay", "-c", "vg00"}, ErrorStream::Discard},
        {"/sbin/lvm.static lvscan -D 2>&1", {"lvscan", "-D"}, ErrorStream::Merge},
        {"/sbin/lvm.static dev lsdev -C -c storage", {"dev", "lsdev", "-C", "-c", "storage"}, ErrorStream::Inherit},
    };
    for (const auto& c : cases) {
        const ToolCommand command = parseCommandLine(c.line);
        EXPECT_EQ(command.program, "/sbin/lvm.static");
        EXPECT_EQ(command.args, c.args);
        EXPECT_EQ(command.errors, c.errors) << c.line.toStdString();
    }
}

TEST(ToolStream, ReadsLinesAsAFixedBufferWouldAndHonoursTheErrorStream)
{
    const QString a(1022, 'a');
    const QString b(1500, 'b');
    ToolStream stream(
        ToolCommand{printer(), {"line", "one", "err", "E", "line", a, "line", b, "out", "tail"}, ErrorStream::Merge});
    QList<QByteArray> lines;
    QByteArray line;
    while (stream.readLine(line))
        lines.append(line);
    EXPECT_EQ(stream.close(), 0);
    // "E" joins the next line and pushes its newline past the cut.
    const QList<QByteArray> expected{
        "one", "E" + QByteArray(1021, 'a'), "a", QByteArray(1022, 'b'), QByteArray(1500 - 1022, 'b'), "tail"};
    EXPECT_EQ(lines, expected);

    EXPECT_EQ(readToolLines(printer() + " line kept err dropped 2>/dev/null"), (QList<QByteArray>{"kept"}));
    ToolStream unstartable("/nonexistent/tool arg 2>&1");
    EXPECT_FALSE(unstartable.readLine(line));
}

} // namespace

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

// Standard output and error in write order, a missing program, arguments no shell touches, megabytes
// without deadlock and a NUL byte dropped.
TEST(Runcmd, ReturnsTheExitCodeAndCollectsOutputAndErrorAsWritten)
{
    struct Case {
        QString program;
        QStringList args;
        int code;
        QString output;
    };
    const QString big = QString(6000000, 'x') + "end";
    const Case cases[] = {
        {printer(), {"out", "x", "err", "y", "out", "z", "exit", "3"}, 3, "xyz"},
        {"/nonexistent/dovododuzu-tool", {"a"}, 255, ""},
        {printer(), {"line", "lvm on", "line", "$(rm -rf x); `id` | > *"}, 0, "lvm on\n$(rm -rf x); `id` | > *\n"},
        {printer(), {"big", "6000000", "err", "end", "exit", "7"}, 7, big},
        {printer(), {"nul"}, 0, "abcd"},
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
        EXPECT_EQ(capture.debugLines().filter("runcmd ret:"),
                  QStringList{QStringLiteral("runcmd ret: %1").arg(c.code)});
    }
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

// Command lines as the classic reader writes them: split at blanks (two in a row make no empty
// argument), "2>&1" merges standard error into the lines, "2>/dev/null" drops it.
TEST(ToolStream, ReadsLinesAsAFixedBufferWouldAndHonoursTheErrorStream)
{
    const QString a(1022, 'a');
    const QString b(1500, 'b');
    ToolStream stream(printer() + " line one err E  line " + a + " line " + b + " out tail 2>&1");
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
}

} // namespace

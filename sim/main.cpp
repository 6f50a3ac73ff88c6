// dovododuzu-sim: started through a link at a tool's path inside a root it plays that tool on the
// root's simulated machine; started under its own name it lays out roots and generates machines.
#include "simrun.h"
#include "simstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

const char kUsage[] = "Usage:\n"
                      "  dovododuzu-sim setup ROOT [--machine NAME|FILE] [--tools classic|current]\n"
                      "      Lays out a simulated machine in ROOT (default machine: \"default\"): links at the\n"
                      "      tool paths (ROOT/sbin/lvm.static, ...), ROOT/etc/mtab and the state under\n"
                      "      ROOT/var/lib/dovododuzu-sim. Point the library at it with setSystemRoot(ROOT).\n"
                      "      --tools current plays today's tools instead (ROOT/sbin/lvm, ROOT/bin/lsblk,\n"
                      "      ROOT/sbin/blkid, ...) with the mount table in ROOT/proc/self/mounts.\n"
                      "  dovododuzu-sim generate [--disks N] [--partitions N] [--vgs N] [--lvs N]\n"
                      "      Prints the description of a large machine for benchmarks.\n"
                      "  dovododuzu-sim machines\n"
                      "      Lists the shipped machine descriptions.\n"
                      "  dovododuzu-sim --help\n";

void writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}

QString ownProgram()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

int playTool(const QString& root, const QString& tool, const QStringList& args)
{
    // A reader that stops early (one line of pvdisplay -c) must not turn the run into a crash.
    std::signal(SIGPIPE, SIG_IGN);
    const sim::RunResult result = sim::runInRoot(root, tool, args);
    for (const auto& [stream, text] : result.output.chunks)
        writeAll(stream == sim::Output::Out ? STDOUT_FILENO : STDERR_FILENO, text);
    if (result.signal) {
        std::signal(result.signal, SIG_DFL);
        std::raise(result.signal);
    }
    return result.output.exitCode;
}

int setup(const QStringList& args)
{
    QString root, machine = QStringLiteral("default"), toolsName = QStringLiteral("classic");
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--machine") && i + 1 < args.size())
            machine = args[++i];
        else if (args[i].startsWith(QLatin1String("--machine=")))
            machine = args[i].mid(10);
        else if (args[i] == QLatin1String("--tools") && i + 1 < args.size())
            toolsName = args[++i];
        else if (args[i].startsWith(QLatin1String("--tools=")))
            toolsName = args[i].mid(8);
        else if (root.isEmpty() && !args[i].startsWith(QLatin1Char('-')))
            root = args[i];
        else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    const std::optional<sim::ToolSet> tools = sim::toolSetFromName(toolsName);
    if (root.isEmpty() || !tools) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    root = QDir(root).absolutePath();
    QString error;
    if (!sim::layoutRoot(root, machine, ownProgram(), &error, *tools)) {
        std::fprintf(stderr, "dovododuzu-sim: %s\n", qPrintable(error));
        return 1;
    }
    const char* example = *tools == sim::ToolSet::Current ? "sbin/lvm vgs" : "sbin/lvm.static vgscan";
    std::printf("Simulated machine \"%s\" laid out in %s\n"
                "Point the library at it with setSystemRoot(\"%s\"), or run e.g. %s/%s\n",
                qPrintable(machine), qPrintable(root), qPrintable(root), qPrintable(root), example);
    return 0;
}

int generate(const QStringList& args)
{
    int disks = 8, partitions = 64, vgs = 8, lvs = 64;
    for (int i = 0; i + 1 < args.size(); i += 2) {
        bool ok = false;
        const int value = args[i + 1].toInt(&ok);
        int* target = args[i] == QLatin1String("--disks")        ? &disks
                      : args[i] == QLatin1String("--partitions") ? &partitions
                      : args[i] == QLatin1String("--vgs")        ? &vgs
                      : args[i] == QLatin1String("--lvs")        ? &lvs
                                                                 : nullptr;
        if (!target || !ok || value < 0) {
            std::fputs(kUsage, stderr);
            return 2;
        }
        *target = value;
    }
    if (args.size() % 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    writeAll(STDOUT_FILENO, QJsonDocument(sim::generateMachine(disks, partitions, vgs, lvs)).toJson());
    return 0;
}

int listMachines()
{
    QStringList seen;
    for (const QString& dir : sim::shippedMachineDirs(ownProgram())) {
        for (const QFileInfo& info : QDir(dir).entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
            if (seen.contains(info.completeBaseName()))
                continue;
            seen << info.completeBaseName();
            std::printf("%s\t%s\n", qPrintable(info.completeBaseName()), qPrintable(info.absoluteFilePath()));
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QFile::decodeName(argv[i]);
    QString root, tool;
    if (argc > 0 && sim::splitStartPath(QFile::decodeName(argv[0]), &root, &tool))
        return playTool(root, tool, args);
    const QString command = args.value(0);
    if (command == QLatin1String("setup"))
        return setup(args.mid(1));
    if (command == QLatin1String("generate"))
        return generate(args.mid(1));
    if (command == QLatin1String("machines"))
        return listMachines();
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::fputs(kUsage, stderr);
    return 2;
}

// The library against real LVM2, parted and e2fsprogs on loop devices backed by files of a fresh
// temporary folder, through a system root whose programs start the real tools with a private LVM
// configuration that sees only those devices. Checks marked "LIBRARY FAULT" fail when the library
// misreads or mis-drives the current tool set, not when the set-up goes wrong.
#include "qtprinters.h"
#include "roz.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const kWrapped[] = {"sbin/lvm",       "sbin/parted", "sbin/mke2fs",     "sbin/e2fsck",
                                "sbin/resize2fs", "sbin/blkid",  "sbin/mkreiserfs", "sbin/resize_reiserfs",
                                "bin/lsblk",      "bin/ls"};
const char* const kLibraryFault = "LIBRARY FAULT on the current tool set: ";

void say(const QString& line)
{
    std::printf("[real-lvm] %s\n", qPrintable(line));
    std::fflush(stdout);
}

QString firstExisting(const QStringList& paths)
{
    for (const QString& path : paths) {
        if (QFile::exists(path))
            return path;
    }
    return {};
}

struct ToolRun {
    int code = -1;
    QString out; // standard output
    QString err;
};

ToolRun run(const QString& program, const QStringList& args, const QString& lvmSystemDir = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LVM_SUPPRESS_FD_WARNINGS", "1");
    if (!lvmSystemDir.isEmpty())
        env.insert("LVM_SYSTEM_DIR", lvmSystemDir);
    process.setProcessEnvironment(env);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, args);
    process.waitForFinished(60000);
    ToolRun result;
    result.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

// What must be undone even when the test is interrupted: kept as ready argument vectors so the
// signal handler only forks, executes and waits.
struct CleanupPlan {
    std::vector<std::vector<std::string>> commands;
    std::vector<std::string> environment;
};
CleanupPlan g_plan;
std::vector<std::vector<char*>> g_planArgv;
std::vector<char*> g_planEnv;

void runPlan()
{
    for (std::vector<char*>& argv : g_planArgv) {
        const pid_t pid = fork();
        if (pid == 0) {
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0), dup2(null, 1), dup2(null, 2);
            execve(argv[0], argv.data(), g_planEnv.data());
            _exit(127);
        }
        int status = 0;
        if (pid > 0)
            waitpid(pid, &status, 0);
    }
}

void installPlan(const CleanupPlan& plan)
{
    sigset_t all, previous;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &previous);
    g_plan = plan;
    g_planArgv.clear();
    for (std::vector<std::string>& command : g_plan.commands) {
        std::vector<char*> argv;
        for (std::string& arg : command)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        g_planArgv.push_back(argv);
    }
    g_planEnv.clear();
    for (std::string& entry : g_plan.environment)
        g_planEnv.push_back(entry.data());
    g_planEnv.push_back(nullptr);
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

void cleanUpOnSignal(int signal)
{
    runPlan();
    std::signal(signal, SIG_DFL);
    raise(signal);
}

bool processAlive(const QString& pidFile)
{
    QFile file(pidFile);
    const qint64 pid = file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
    return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// Loop devices and /dev group folders left by runs of this test that died without cleaning up.
void removeLeftovers()
{
    const ToolRun list = run("/usr/sbin/losetup", {"--list", "--json", "--output", "NAME,BACK-FILE"});
    const QJsonArray loops = QJsonDocument::fromJson(list.out.toUtf8())["loopdevices"].toArray();
    for (const QJsonValue& loop : loops) {
        const QString file = loop["back-file"].toString();
        const QRegularExpressionMatch folder = QRegularExpression("^(/tmp/dovo-reallvm-[^/]+)/").match(file);
        if (!folder.hasMatch() || (QFile::exists(file) && processAlive(folder.captured(1) + "/owner.pid")))
            continue;
        say(QStringLiteral("detaching %1, left by a dead run (%2)").arg(loop["name"].toString(), file));
        run("/usr/sbin/losetup", {"-d", loop["name"].toString()});
        QDir(folder.captured(1)).removeRecursively();
    }
    const QRegularExpression tagged("-dvr(\\d+)$");
    for (const QString& entry : QDir("/dev").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch match = tagged.match(entry);
        if (match.hasMatch() && kill(match.captured(1).toInt(), 0) != 0 && errno == ESRCH)
            QDir(QStringLiteral("/dev/") + entry).removeRecursively();
    }
}

// The test's loop devices, its system root and its private LVM configuration.
class RealMachine
{
public:
    // `wholeMb`: one loop device each; `partsMb`: the partitions of one more, partitioned device.
    RealMachine(const QList<int>& wholeMb, const QList<int>& partsMb) : m_tag(QStringLiteral("dvr%1").arg(getpid()))
    {
        m_skip = whyNot();
        if (m_skip.isEmpty())
            m_skip = build(wholeMb, partsMb);
    }
    ~RealMachine() { cleanUp(); }

    QString skipReason() const { return m_skip; }
    QString root() const { return m_folder + QStringLiteral("/root"); }
    QString group(const QString& stem) const { return stem + QLatin1Char('-') + m_tag; }
    QString whole(int index) const { return m_whole.at(index); }
    QString part(int number) const { return m_disk + QLatin1Char('p') + QString::number(number); }
    QString disk() const { return m_disk; }

    ToolRun lvm(const QStringList& args) const { return run(m_lvm, args, m_folder + QStringLiteral("/etc")); }
    // Rows of one section ("vg", "lv", "pv") of `lvm <command> --reportformat json`.
    QJsonArray report(const QString& command, const QString& fields) const
    {
        const ToolRun result = lvm({command, "--reportformat", "json", "--units", "k", "--nosuffix", "-o", fields});
        const QJsonArray reports = QJsonDocument::fromJson(result.out.toUtf8())["report"].toArray();
        return reports.isEmpty() ? QJsonArray() : reports.first().toObject().begin()->toArray();
    }
    QString calls() const
    {
        QFile file(root() + QStringLiteral("/calls.log"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // /dev/<vg>/<lv> as a link to a device of the test, so that file-system tools handed the volume's
    // path work on that device.
    void linkVolume(const QString& vg, const QString& lv, const QString& target)
    {
        m_linkFolders << QStringLiteral("/dev/") + vg;
        updatePlan();
        QDir().mkpath(QStringLiteral("/dev/") + vg);
        QFile::link(target, QStringLiteral("/dev/%1/%2").arg(vg, lv));
        QFile conf(root() + QStringLiteral("/realtool.conf"));
        conf.open(QIODevice::Append);
        conf.write(QStringLiteral("active %1/%2\n").arg(vg, lv).toUtf8());
        say(QStringLiteral("linked /dev/%1/%2 -> %3").arg(vg, lv, target));
    }
    // A snapshot of `origin` using `cow` as its store, written into the metadata (lvcreate -s needs
    // the device-mapper driver): a hidden "snapshotN" volume of segment type "snapshot".
    bool writeSnapshot(const QString& vg, const QString& origin, const QString& cow, int originExtents)
    {
        const QString file = m_folder + QStringLiteral("/metadata.cfg");
        if (lvm({"vgcfgbackup", "-f", file, vg}).code != 0)
            return false;
        QFile metadata(file);
        metadata.open(QIODevice::ReadOnly);
        QString text = QString::fromUtf8(metadata.readAll());
        metadata.close();
        const QString snapshot =
            QStringLiteral("\t\tsnapshot0 {\n\t\t\tid = \"Snap0a-bcde-fghi-jklm-nopq-rstu-vwxyz0\"\n"
                           "\t\t\tstatus = [\"READ\"]\n\t\t\tflags = []\n\t\t\tsegment_count = 1\n"
                           "\t\t\tsegment1 {\n\t\t\t\tstart_extent = 0\n\t\t\t\textent_count = %1\n"
                           "\t\t\t\ttype = \"snapshot\"\n\t\t\t\tchunk_size = 8\n"
                           "\t\t\t\torigin = \"%2\"\n\t\t\t\tcow_store = \"%3\"\n\t\t\t}\n\t\t}\n")
                .arg(originExtents)
                .arg(origin, cow);
        const qsizetype end = text.lastIndexOf("\t}\n\n}");
        if (end < 0)
            return false;
        text.insert(end, snapshot);
        metadata.open(QIODevice::WriteOnly | QIODevice::Truncate);
        metadata.write(text.toUtf8());
        metadata.close();
        return lvm({"vgcfgrestore", "-f", file, vg}).code == 0;
    }

    void cleanUp()
    {
        if (m_folder.isEmpty())
            return;
        for (const QJsonValue& vg : report("vgs", "vg_name"))
            lvm({"vgremove", "-ff", vg["vg_name"].toString()});
        runPlan();
        installPlan({});
        say(QStringLiteral("cleaned up: groups removed, PV labels wiped, %1 loop device(s) detached, %2 and %3 "
                           "/dev link folder(s) removed")
                .arg(m_whole.size() + (m_disk.isEmpty() ? 0 : 1))
                .arg(m_folder)
                .arg(m_linkFolders.size()));
        m_folder.clear();
    }

private:
    QString whyNot()
    {
        if (geteuid() != 0)
            return "not root";
        m_lvm = firstExisting({"/usr/sbin/lvm", "/sbin/lvm"});
        if (m_lvm.isEmpty() || !QFile::exists(m_losetup))
            return "lvm or losetup is missing (install lvm2, util-linux)";
        if (!QFile::exists(QStringLiteral(DOVO_FAKE_DIR "/realtool")))
            return "the realtool wrapper was not built";
        const ToolRun dm = run("/usr/sbin/dmsetup", {"version"});
        say(QStringLiteral("device-mapper: /proc/modules %1; dmsetup version %2")
                .arg(QFile::exists("/proc/modules") ? QStringLiteral("present")
                                                    : QStringLiteral("absent (no lsmod possible)"),
                     dm.code == 0 ? "works"
                                  : QStringLiteral("fails (exit %1): volumes exist in metadata only, "
                                                   "activation = 0")
                                        .arg(dm.code)));
        return {};
    }

    QString attach(const QString& file, int sizeMb, bool partitioned)
    {
        QFile backing(file);
        if (!backing.open(QIODevice::WriteOnly) || !backing.resize(qint64(sizeMb) << 20))
            return {};
        backing.close();
        QStringList args{"-f", "--show"};
        if (partitioned)
            args << "-P";
        const QString device = run(m_losetup, args << file).out.trimmed();
        if (!device.isEmpty()) {
            m_attached << device;
            updatePlan();
        }
        return device;
    }

    QString build(const QList<int>& wholeMb, const QList<int>& partsMb)
    {
        removeLeftovers();
        QByteArray pattern = QStringLiteral("/tmp/dovo-reallvm-XXXXXX").toLocal8Bit();
        m_folder = QString::fromLocal8Bit(mkdtemp(pattern.data()));
        std::signal(SIGINT, cleanUpOnSignal);
        std::signal(SIGTERM, cleanUpOnSignal);
        QFile pid(m_folder + QStringLiteral("/owner.pid"));
        pid.open(QIODevice::WriteOnly);
        pid.write(QByteArray::number(getpid()));
        pid.close();
        for (int i = 0; i < wholeMb.size(); ++i) {
            m_whole << attach(m_folder + QStringLiteral("/whole%1.img").arg(i), wholeMb.at(i), false);
            if (m_whole.last().isEmpty())
                return "losetup could not attach a loop device";
        }
        if (!partsMb.isEmpty() && !partition(partsMb))
            return "the partitioned loop device could not be made";
        writeRoot();
        updatePlan();
        say(QStringLiteral("created %1: loop devices %2, partitioned %3 (%4 partitions), root %5")
                .arg(m_folder, m_whole.join(QLatin1Char(' ')), m_disk)
                .arg(partsMb.size())
                .arg(root()));
        return {};
    }

    bool partition(const QList<int>& partsMb)
    {
        int total = 2;
        for (int size : partsMb)
            total += size;
        m_disk = attach(m_folder + QStringLiteral("/disk.img"), total, true);
        m_partCount = int(partsMb.size());
        QStringList args{"-s", m_disk, "mklabel", "msdos"};
        for (int start = 1, i = 0; i < partsMb.size(); start += partsMb.at(i++))
            args << "mkpart"
                 << "primary" << QStringLiteral("%1MiB").arg(start)
                 << QStringLiteral("%1MiB").arg(start + partsMb.at(i));
        if (m_disk.isEmpty() || run("/usr/sbin/parted", args).code != 0)
            return false;
        for (int wait = 0; wait < 40 && !QFile::exists(part(int(partsMb.size()))); ++wait)
            usleep(50000);
        return QFile::exists(part(int(partsMb.size())));
    }

    void writeRoot()
    {
        const QString base = m_folder;
        QStringList accepted;
        for (const QString& device : m_whole)
            accepted << QStringLiteral("\"a|^%1$|\"").arg(device);
        if (!m_disk.isEmpty())
            accepted << QStringLiteral("\"a|^%1p[0-9]+$|\"").arg(m_disk);
        QDir().mkpath(base + "/etc"), QDir().mkpath(base + "/lock"), QDir().mkpath(root() + "/proc/self");
        QFile conf(base + "/etc/lvm.conf");
        conf.open(QIODevice::WriteOnly);
        conf.write(QStringLiteral("devices { filter = [ %1, \"r|.*|\" ] obtain_device_list_from_udev = 0 "
                                  "use_devicesfile = 0 }\nglobal { activation = 0 locking_dir = \"%2/lock\" "
                                  "use_lvmlockd = 0 event_activation = 0 notify_dbus = 0 use_lvmpolld = 0 }\n"
                                  "activation { udev_sync = 0 udev_rules = 0 monitoring = 0 }\n"
                                  "backup { backup = 0 archive = 0 backup_dir = \"%2/backup\" archive_dir = "
                                  "\"%2/archive\" }\n")
                       .arg(accepted.join(", "), base)
                       .toUtf8());
        QFile(root() + "/proc/self/mounts").open(QIODevice::WriteOnly);
        for (const char* program : kWrapped) {
            QDir().mkpath(QFileInfo(root() + "/" + program).path());
            QFile::copy(QStringLiteral(DOVO_FAKE_DIR "/realtool"), root() + "/" + program);
        }
        QFile tool(root() + "/realtool.conf");
        tool.open(QIODevice::WriteOnly);
        QString text = QStringLiteral("lvm_system_dir %1/etc\ntag %2\n").arg(base, m_tag);
        for (const QString& device : m_attached)
            text += QStringLiteral("device %1\n").arg(device);
        tool.write(text.toUtf8());
    }

    void updatePlan()
    {
        CleanupPlan plan;
        plan.environment = {"LVM_SUPPRESS_FD_WARNINGS=1", ("LVM_SYSTEM_DIR=" + m_folder + "/etc").toStdString()};
        std::vector<std::string> wipe{m_lvm.toStdString(), "pvremove", "-ff", "-y"};
        for (const QString& device : m_whole)
            wipe.push_back(device.toStdString());
        for (int number = 1; number <= m_partCount; ++number)
            wipe.push_back(part(number).toStdString());
        plan.commands.push_back(wipe);
        for (const QString& device : m_attached)
            plan.commands.push_back({m_losetup.toStdString(), "-d", device.toStdString()});
        for (const QString& folder : m_linkFolders + QStringList{m_folder})
            plan.commands.push_back({"/bin/rm", "-rf", "--one-file-system", folder.toStdString()});
        installPlan(plan);
    }

    const QString m_losetup = "/usr/sbin/losetup";
    QString m_tag;
    QString m_skip;
    QString m_lvm;
    QString m_folder;
    QStringList m_whole;
    QString m_disk;
    QStringList m_attached;
    QStringList m_linkFolders;
    int m_partCount = 0;
};

qint64 kib(const QJsonValue& value)
{
    return qint64(value.toString().toDouble());
}

QStringList sorted(QStringList list)
{
    list.removeAll(QString());
    list.removeDuplicates();
    list.sort();
    return list;
}

// "/dev/loop0(13),/dev/loop1(0)" -> the devices.
QStringList devicesOf(const QString& field)
{
    QStringList devices;
    for (const QString& range : field.split(QLatin1Char(','), Qt::SkipEmptyParts))
        devices << range.section(QLatin1Char('('), 0, 0);
    return devices;
}

struct RealVolume {
    qint64 sizeKiB = 0;
    QString origin;
    QStringList devices;
};

// Every group, volume and physical volume of `lvm vgs/lvs/pvs` against the model, field by field.
void expectModelMatches(Roz& roz, const RealMachine& machine, const QString& when)
{
    const QJsonArray vgs = machine.report("vgs", "vg_name,vg_extent_size,vg_extent_count,vg_free_count,vg_free");
    const QJsonArray lvRows = machine.report("lvs", "lv_name,vg_name,lv_size,origin,devices");
    const QJsonArray pvs = machine.report("pvs", "pv_name,vg_name");
    QMap<QString, QMap<QString, RealVolume>> volumes; // group -> volume -> record
    for (const QJsonValue& row : lvRows) {
        RealVolume& volume = volumes[row["vg_name"].toString()][row["lv_name"].toString()];
        volume.sizeKiB = kib(row["lv_size"]);
        volume.origin = row["origin"].toString();
        volume.devices = sorted(volume.devices + devicesOf(row["devices"].toString()));
    }
    const QString fault = QLatin1String(kLibraryFault) + when + QStringLiteral(": ");
    Lvm* lvm = roz.getLvm();
    EXPECT_EQ(lvm->vgCount(), uint(vgs.size())) << qPrintable(fault) << "group count";
    for (const QJsonValue& row : vgs) {
        const QString name = row["vg_name"].toString();
        Vg* vg = lvm->hasVg(name) ? lvm->getVg(name) : nullptr;
        if (!vg) {
            ADD_FAILURE() << qPrintable(fault) << "no group " << qPrintable(name);
            continue;
        }
        const int extentMb = int(kib(row["vg_extent_size"]) / 1024);
        EXPECT_EQ(vg->getAttribute(Vg::PeSizeMb), extentMb) << qPrintable(fault + name);
        EXPECT_EQ(vg->getAttribute(Vg::TotalPe), kib(row["vg_extent_count"])) << qPrintable(fault + name);
        EXPECT_EQ(vg->getAttribute(Vg::FreePe), kib(row["vg_free_count"])) << qPrintable(fault + name);
        EXPECT_EQ(vg->getAttribute(Vg::FreeMb), kib(row["vg_free"]) / 1024) << qPrintable(fault + name);
        QStringList groupPvs;
        for (const QJsonValue& pv : pvs)
            if (pv["vg_name"].toString() == name)
                groupPvs << pv["pv_name"].toString();
        EXPECT_EQ(sorted(vg->pvString().split(QLatin1Char(':'))), sorted(groupPvs)) << qPrintable(fault + name);
        const QMap<QString, RealVolume>& real = volumes.value(name);
        EXPECT_EQ(vg->lvCount(), uint(real.size())) << qPrintable(fault + name) << " volume count";
        for (auto it = real.cbegin(); it != real.cend(); ++it) {
            Lv* lv = vg->hasLv(it.key()) ? vg->getLv(it.key()) : nullptr;
            if (!lv) {
                ADD_FAILURE() << qPrintable(fault) << "no volume " << qPrintable(name + "/" + it.key());
                continue;
            }
            const QString where = fault + name + QLatin1Char('/') + it.key();
            // A snapshot shows its origin's size.
            const qint64 shownKiB = it->origin.isEmpty() ? it->sizeKiB : real.value(it->origin).sizeKiB;
            EXPECT_EQ(lv->getAttribute(Lv::Size), shownKiB / 1024) << qPrintable(where);
            EXPECT_EQ(sorted(lv->pvString().split(QLatin1Char(':'))), it->devices) << qPrintable(where);
            EXPECT_EQ(lv->getOriginal(), it->origin) << qPrintable(where);
            EXPECT_EQ(lv->isSnapshot(), !it->origin.isEmpty()) << qPrintable(where);
            if (!it->origin.isEmpty() && vg->hasLv(it->origin)) {
                EXPECT_TRUE(vg->getLv(it->origin)->getSnapshot().contains(it.key())) << qPrintable(where);
            }
        }
    }
    Hard* hard = roz.getHard();
    for (const QJsonValue& row : pvs) {
        const QString device = row["pv_name"].toString();
        const QString vgName = row["vg_name"].toString();
        if (Partition* partition = hard->getPv(device)) {
            EXPECT_TRUE(partition->isPv()) << qPrintable(fault + device);
            EXPECT_EQ(partition->getVgPath(), vgName.isEmpty() ? QString() : "/dev/" + vgName)
                << qPrintable(fault + device);
            QStringList onIt;
            for (auto it = volumes.value(vgName).cbegin(); it != volumes.value(vgName).cend(); ++it)
                if (it->devices.contains(device))
                    onIt << QStringLiteral("/dev/%1/%2").arg(vgName, it.key());
            EXPECT_EQ(sorted(partition->lvString().split(QLatin1Char(':'))), sorted(onIt))
                << qPrintable(fault + device);
        } else {
            Disk* disk = hard->getDisk(device.section(QLatin1Char('/'), 2));
            EXPECT_TRUE(disk && disk->partitionCount() == 0)
                << qPrintable(fault) << "no whole-device disk for " << qPrintable(device);
        }
    }
}

#define SKIP_UNLESS_READY(machine)                                                                                     \
    if (!(machine).skipReason().isEmpty()) {                                                                           \
        say(QStringLiteral("skipped: ") + (machine).skipReason());                                                     \
        GTEST_SKIP() << qPrintable((machine).skipReason());                                                            \
    }

// The library's transcript of the objects' changes.
struct Transcript {
    QString text;
    QSet<QObject*> followed;
    template <class T> T* follow(T* object)
    {
        if (object && !followed.contains(object)) {
            followed.insert(object);
            QObject::connect(object, &T::output, [this](const QString& line) { text += line; });
        }
        return object;
    }
};

// One library operation and its result, with its transcript when the result is not the expected one.
#define EXPECT_OPERATION(log, call, expected)                                                                          \
    do {                                                                                                               \
        (log).text.clear();                                                                                            \
        const int result = (call);                                                                                     \
        EXPECT_EQ(result, expected) << kLibraryFault << #call << "\n" << qPrintable((log).text);                       \
    } while (false)

class RootGuard
{
public:
    explicit RootGuard(const QString& root) { setSystemRoot(root); }
    ~RootGuard() { setSystemRoot(QString()); }
};

QJsonObject rowNamed(const QJsonArray& rows, const char* key, const QString& name)
{
    for (const QJsonValue& row : rows)
        if (row[key].toString() == name)
            return row.toObject();
    return {};
}

TEST(RealLvm, ModelMatchesGroupsBuiltWithTheRealTools)
{
    RealMachine machine({64, 64}, {40});
    SKIP_UNLESS_READY(machine);
    const QString spanned = machine.group("dv-t.1+a");
    const QString onPartition = machine.group("dv.p+2");
    const QList<QStringList> steps = {
        {"pvcreate", "-ff", "-y", machine.whole(0), machine.whole(1), machine.part(1)},
        {"vgcreate", "-s", "4M", spanned, machine.whole(0), machine.whole(1)},
        {"vgcreate", "-s", "4M", onPartition, machine.part(1)},
        {"lvcreate", "-L", "40M", "-n", "home.x-1+", spanned},
        {"lvcreate", "-L", "72M", "-n", "span-2.", spanned}, // the rest of the first device, then the second
        {"lvcreate", "-L", "8M", "-n", "cow+3", spanned},
        {"lvcreate", "-L", "12M", "-n", "p.1-", onPartition}};
    for (const QStringList& step : steps) {
        const ToolRun result = machine.lvm(step);
        ASSERT_EQ(result.code, 0) << qPrintable(step.join(' ') + "\n" + result.err);
    }
    ASSERT_TRUE(machine.writeSnapshot(spanned, "home.x-1+", "cow+3", 10)) << "snapshot metadata not restored";
    const QJsonArray all = machine.report("lvs", "lv_name,vg_name,origin,devices");
    EXPECT_EQ(rowNamed(all, "lv_name", "cow+3")["origin"].toString(), "home.x-1+");

    RootGuard guard(machine.root());
    Roz roz;
    EXPECT_TRUE(roz.problems().isEmpty()) << kLibraryFault << qPrintable(roz.problems().join('\n'));
    expectModelMatches(roz, machine, "model built on the root");
}

TEST(RealLvm, LibraryOperationsChangeTheRealMetadata)
{
    RealMachine machine({32}, {80, 32, 24});
    SKIP_UNLESS_READY(machine);
    RootGuard guard(machine.root());
    Roz roz;
    Transcript log;
    Lvm* lvm = log.follow(roz.getLvm());
    const QString onWhole = machine.group("dv-w.1+"), onPart = machine.group("dv-p.2+");
    const QString renamed = machine.group("dv-q.3+");
    const auto groupOf = [&](const QString& device) {
        return rowNamed(machine.report("pvs", "pv_name,vg_name"), "pv_name", device)["vg_name"].toString();
    };
    const auto volumeMb = [&](const QString& vg, const QString& lv) {
        const QJsonArray rows = machine.report("lvs", "lv_name,vg_name,lv_size");
        for (const QJsonValue& row : rows)
            if (row["vg_name"].toString() == vg && row["lv_name"].toString() == lv)
                return kib(row["lv_size"]) / 1024;
        return qint64(-1);
    };

    EXPECT_OPERATION(log, lvm->createVg({"-s4M", "-l0", "-p0", onWhole, machine.whole(0)}), 0);
    EXPECT_EQ(groupOf(machine.whole(0)), onWhole);
    EXPECT_OPERATION(log, lvm->createVg({"-s4M", "-l0", "-p0", onPart, machine.part(1)}), 0);
    EXPECT_EQ(groupOf(machine.part(1)), onPart);
    EXPECT_TRUE(machine.calls().contains(QStringLiteral("parted %1 set 1 lvm on").arg(machine.disk())));
    Vg* vg = log.follow(lvm->hasVg(onPart) ? lvm->getVg(onPart) : nullptr);
    ASSERT_NE(vg, nullptr) << kLibraryFault << "no group " << qPrintable(onPart);
    EXPECT_OPERATION(log, vg->extend({machine.part(3)}), 0);
    EXPECT_EQ(groupOf(machine.part(3)), onPart);
    EXPECT_OPERATION(log, vg->reduce({machine.part(3)}), 0);
    EXPECT_EQ(groupOf(machine.part(3)), QString());
    EXPECT_OPERATION(log, vg->rename(renamed), 0);
    EXPECT_EQ(groupOf(machine.part(1)), renamed);
    vg = log.follow(lvm->hasVg(renamed) ? lvm->getVg(renamed) : nullptr);
    ASSERT_NE(vg, nullptr) << kLibraryFault << "no group " << qPrintable(renamed) << " after the rename";
    const auto resizable = [&] {
        return rowNamed(machine.report("vgs", "vg_name,vg_attr"), "vg_name", renamed)["vg_attr"].toString().mid(1, 1);
    };
    EXPECT_OPERATION(log, vg->freeze(), 0);
    EXPECT_EQ(resizable(), "-");
    EXPECT_OPERATION(log, vg->defreeze(), 0);
    EXPECT_EQ(resizable(), "z");

    // No device-mapper, no node: the volume is made, its file system cannot be.
    EXPECT_OPERATION(log, vg->createLv({"ext3", "-L", "8M", "-nnofs.a-1+", renamed}), 256);
    EXPECT_EQ(volumeMb(renamed, "nofs.a-1+"), 8);
    EXPECT_OPERATION(log, vg->createLv({"none", "-L", "8M", "-nplain-2.", renamed}), 0);
    EXPECT_EQ(volumeMb(renamed, "plain-2."), 8);
    Lv* plain = log.follow(vg->hasLv("plain-2.") ? vg->getLv("plain-2.") : nullptr);
    ASSERT_NE(plain, nullptr) << kLibraryFault << "no volume plain-2.";
    EXPECT_OPERATION(log, plain->rename("plain.3+"), 0);
    EXPECT_EQ(volumeMb(renamed, "plain.3+"), 8);
    log.text.clear();
    const int plainResize = plain->resize({"-L16"});
    say(QStringLiteral("resize of plain.3+ to 16 MB returned %1, last line: %2")
            .arg(plainResize)
            .arg(log.text.trimmed().section(QLatin1Char('\n'), -1)));
    EXPECT_EQ(volumeMb(renamed, "plain.3+"), 16);

    // A volume whose path leads to a partition of the test: mke2fs, e2fsck and resize2fs run for real.
    machine.linkVolume(renamed, "fs.x+1", machine.part(2));
    EXPECT_OPERATION(log, vg->createLv({"ext3", "-L", "8M", "-nfs.x+1", renamed}), 0);
    EXPECT_EQ(run("/usr/sbin/blkid", {"-o", "value", "-s", "TYPE", machine.part(2)}).out.trimmed(), "ext3");
    Lv* formatted = log.follow(vg->hasLv("fs.x+1") ? vg->getLv("fs.x+1") : nullptr);
    ASSERT_NE(formatted, nullptr) << kLibraryFault << "no volume fs.x+1";
    EXPECT_EQ(formatted->fstype(), "ext3") << kLibraryFault;
    EXPECT_OPERATION(log, formatted->resize({"-L24"}), 0);
    EXPECT_EQ(volumeMb(renamed, "fs.x+1"), 24);
    const QString superblock = run("/usr/sbin/dumpe2fs", {"-h", machine.part(2)}).out;
    const auto field = [&](const char* name) {
        return QRegularExpression(QStringLiteral("%1:\\s+(\\d+)").arg(name)).match(superblock).captured(1).toLongLong();
    };
    EXPECT_EQ(field("Block count") * field("Block size"), 24 << 20) << "resize2fs did not shrink the file system";
    const QString calls = machine.calls();
    for (const QString expected :
         {"mke2fs -j /dev/%1/fs.x+1", "e2fsck -y -f /dev/%1/fs.x+1", "resize2fs -f -F /dev/%1/fs.x+1 24M"})
        EXPECT_TRUE(calls.contains(expected.arg(renamed))) << qPrintable(expected.arg(renamed)) << " not run";
    EXPECT_FALSE(calls.contains("refused")) << qPrintable(calls);

    log.text.clear();
    EXPECT_NE(vg->activate(), 0) << kLibraryFault << "activation is disabled, yet activate reported success";
    say(QStringLiteral("activate without device-mapper, last line: %1").arg(log.text.trimmed().section('\n', -1)));
    {
        Roz fresh;
        expectModelMatches(fresh, machine, "fresh model after the operations");
    }
    expectModelMatches(roz, machine, "live model after the operations");

    for (const char* name : {"nofs.a-1+", "plain.3+", "fs.x+1"}) {
        Lv* lv = log.follow(vg->hasLv(name) ? vg->getLv(name) : nullptr);
        ASSERT_NE(lv, nullptr) << kLibraryFault << name;
        EXPECT_OPERATION(log, lv->remove(), 0);
    }
    EXPECT_TRUE(machine.report("lvs", "lv_name").isEmpty());
    EXPECT_OPERATION(log, vg->remove(), 0);
    Vg* whole = log.follow(lvm->hasVg(onWhole) ? lvm->getVg(onWhole) : nullptr);
    ASSERT_NE(whole, nullptr) << kLibraryFault << "no group " << qPrintable(onWhole);
    EXPECT_OPERATION(log, whole->remove(), 0);
    EXPECT_TRUE(machine.report("vgs", "vg_name").isEmpty());
    EXPECT_EQ(lvm->vgCount(), 0u) << kLibraryFault;
}

} // namespace

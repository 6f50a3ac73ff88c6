// The library against real LVM2, parted and e2fsprogs on loop devices backed by files of a fresh
// temporary folder, through a system root whose programs start the real tools with a private LVM
// configuration that sees only those devices. Checks marked "LIBRARY FAULT" fail when the library
// misreads or mis-drives the current tool set, not when the set-up goes wrong.
#include "programrun.h"
#include "qtprinters.h"
#include "roz.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <numeric>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const kWrapped[] = {"sbin/lvm",       "sbin/parted", "sbin/mke2fs",     "sbin/e2fsck",
                                "sbin/resize2fs", "sbin/blkid",  "sbin/mkreiserfs", "sbin/resize_reiserfs",
                                "bin/lsblk",      "bin/ls"};
const char* const kLibraryFault = "LIBRARY FAULT on the current tool set: ";
const QString kLosetup = QStringLiteral("/usr/sbin/losetup");
const QString kLvm = QFile::exists("/usr/sbin/lvm") ? QStringLiteral("/usr/sbin/lvm") : QStringLiteral("/sbin/lvm");

void say(const QString& line)
{
    std::printf("[real-lvm] %s\n", qPrintable(line));
    std::fflush(stdout);
}

ProgramRun run(const QString& program, const QStringList& args, const QString& lvmSystemDir = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LVM_SUPPRESS_FD_WARNINGS", "1");
    if (!lvmSystemDir.isEmpty())
        env.insert("LVM_SYSTEM_DIR", lvmSystemDir);
    return runProgram(program, args, env);
}

qint64 kib(const QJsonValue& value)
{
    return qint64(value.toString().toDouble());
}

QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool writeFile(const QString& path, const QString& text, QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QFile file(path);
    return file.open(mode) && file.write(text.toUtf8()) == text.toUtf8().size();
}

// What undoes the set-up, kept as ready argument vectors so that the handler of SIGINT and SIGTERM
// only forks, executes and waits.
std::vector<std::vector<std::string>> g_plan;
std::vector<std::vector<char*>> g_planArgv;

void runPlan()
{
    for (std::vector<char*>& argv : g_planArgv) {
        const pid_t pid = fork();
        if (pid == 0) {
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0), dup2(null, 1), dup2(null, 2);
            execv(argv[0], argv.data());
            _exit(127);
        }
        if (pid > 0)
            waitpid(pid, nullptr, 0);
    }
}

void installPlan(const QList<QStringList>& commands)
{
    sigset_t all, previous;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &previous);
    g_plan.clear();
    g_planArgv.clear();
    g_plan.reserve(size_t(commands.size())); // the argument pointers point into these strings
    for (const QStringList& command : commands) {
        std::vector<std::string>& strings = g_plan.emplace_back();
        for (const QString& arg : command)
            strings.push_back(arg.toStdString());
        std::vector<char*>& argv = g_planArgv.emplace_back();
        for (std::string& arg : strings)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
    }
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
    const qint64 pid = readFile(pidFile).trimmed().toLongLong();
    return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// Loop devices and /dev group folders left by runs of this test that died without cleaning up.
void removeLeftovers()
{
    const ProgramRun list = run(kLosetup, {"--list", "--json", "--output", "NAME,BACK-FILE"});
    for (const QJsonValue& loop : QJsonDocument::fromJson(list.out.toUtf8())["loopdevices"].toArray()) {
        const QString file = loop["back-file"].toString();
        const QRegularExpressionMatch folder = QRegularExpression("^(/tmp/dovo-reallvm-[^/]+)/").match(file);
        if (!folder.hasMatch() || (QFile::exists(file) && processAlive(folder.captured(1) + "/owner.pid")))
            continue;
        say(QStringLiteral("detaching %1, left by a dead run (%2)").arg(loop["name"].toString(), file));
        run(kLosetup, {"-d", loop["name"].toString()});
        QDir(folder.captured(1)).removeRecursively();
    }
    const QRegularExpression tagged("-dvr(\\d+)$");
    for (const QString& entry : QDir("/dev").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch match = tagged.match(entry);
        if (match.hasMatch() && kill(match.captured(1).toInt(), 0) != 0 && errno == ESRCH)
            QDir(QStringLiteral("/dev/") + entry).removeRecursively();
    }
}

// Sorted, without empty entries and repeats, joined with ",".
QString joined(QStringList list)
{
    list.removeAll(QString());
    list.removeDuplicates();
    list.sort();
    return list.join(QLatin1Char(','));
}

QString groupLine(const QString& vg, qint64 extentMb, qint64 extents, qint64 free, qint64 freeMb,
                  const QStringList& pvs)
{
    return QStringLiteral("vg %1: extent %2 MB, %3 extents, %4 free, %5 MB free, on %6")
        .arg(vg)
        .arg(extentMb)
        .arg(extents)
        .arg(free)
        .arg(freeMb)
        .arg(joined(pvs));
}

QString pvLine(const QString& device, const QString& groupPath, const QStringList& volumes)
{
    return QStringLiteral("pv %1: in '%2', carries %3").arg(device, groupPath, joined(volumes));
}

QString volumeLine(const QString& vg, const QString& lv, qint64 sizeMb, const QStringList& devices,
                   const QString& origin, bool isSnapshot, const QStringList& snapshots)
{
    return QStringLiteral("lv %1/%2: %3 MB on %4, origin '%5'%6, snapshots '%7'")
        .arg(vg, lv)
        .arg(sizeMb)
        .arg(joined(devices), origin, isSnapshot ? QStringLiteral(" (snapshot)") : QString(), joined(snapshots));
}

// The test's loop devices (two whole ones, one with partitions), its system root and its private LVM
// configuration: every test starts on fresh ones and leaves nothing behind, also when it fails.
class RealLvm : public ::testing::Test
{
protected:
    static constexpr int kWholeMb[] = {64, 64};
    static constexpr int kPartsMb[] = {80, 32, 24};

    void SetUp() override
    {
        const QString skip = whyNot();
        if (!skip.isEmpty()) {
            say(QStringLiteral("skipped: ") + skip);
            GTEST_SKIP() << qPrintable(skip);
        }
        const QString failure = build();
        ASSERT_TRUE(failure.isEmpty()) << qPrintable(failure);
    }

    void TearDown() override
    {
        if (m_folder.isEmpty())
            return;
        for (const QJsonValue& vg : report("vgs", "vg_name"))
            lvm({"vgremove", "-ff", vg["vg_name"].toString()});
        runPlan();
        installPlan({});
        say(QStringLiteral("cleaned up: groups removed, PV labels wiped, %1 loop device(s) detached, %2 and %3 "
                           "/dev link folder(s) removed")
                .arg(devices().size())
                .arg(m_folder)
                .arg(m_linkFolders.size()));
    }

    QString root() const { return m_folder + QStringLiteral("/root"); }
    QString group(const QString& stem) const { return stem + QLatin1Char('-') + m_tag; }
    QString whole(int index) const { return m_whole.at(index); }
    QString disk() const { return m_disk; }
    QString part(int number) const { return m_disk + QLatin1Char('p') + QString::number(number); }

    ProgramRun lvm(const QStringList& args) const { return run(kLvm, args, m_folder + QStringLiteral("/etc")); }
    // Rows of one section ("vg", "lv", "pv") of `lvm <command> --reportformat json`.
    QJsonArray report(const QString& command, const QString& fields) const
    {
        const ProgramRun result = lvm({command, "--reportformat", "json", "--units", "k", "--nosuffix", "-o", fields});
        const QJsonArray reports = QJsonDocument::fromJson(result.out.toUtf8())["report"].toArray();
        return reports.isEmpty() ? QJsonArray() : reports.first().toObject().begin()->toArray();
    }
    // The programs run under the root, a line "name arg..." each.
    QString calls() const { return readFile(root() + QStringLiteral("/calls.log")); }

    // /dev/<vg>/<lv> as a link to a device of the test, so that file-system tools handed the volume's
    // path work on that device.
    void linkVolume(const QString& vg, const QString& lv, const QString& target)
    {
        m_linkFolders << QStringLiteral("/dev/") + vg;
        updatePlan();
        QDir().mkpath(QStringLiteral("/dev/") + vg);
        QFile::link(target, QStringLiteral("/dev/%1/%2").arg(vg, lv));
        writeFile(root() + QStringLiteral("/realtool.conf"), QStringLiteral("active %1/%2\n").arg(vg, lv),
                  QIODevice::Append);
        say(QStringLiteral("linked /dev/%1/%2 -> %3").arg(vg, lv, target));
    }

    // A snapshot of `origin` using `cow` as its store, written into the metadata (lvcreate -s needs
    // the device-mapper driver): a hidden "snapshotN" volume of segment type "snapshot".
    bool writeSnapshot(const QString& vg, const QString& origin, const QString& cow, int originExtents)
    {
        const QString file = m_folder + QStringLiteral("/metadata.cfg");
        if (lvm({"vgcfgbackup", "-f", file, vg}).exitCode != 0)
            return false;
        QString text = readFile(file);
        const qsizetype end = text.lastIndexOf("\t}\n\n}");
        if (end < 0)
            return false;
        text.insert(end, QStringLiteral("\t\tsnapshot0 {\n\t\t\tid = \"Snap0a-bcde-fghi-jklm-nopq-rstu-vwxyz0\"\n"
                                        "\t\t\tstatus = [\"READ\"]\n\t\t\tflags = []\n\t\t\tsegment_count = 1\n"
                                        "\t\t\tsegment1 {\n\t\t\t\tstart_extent = 0\n\t\t\t\textent_count = %1\n"
                                        "\t\t\t\ttype = \"snapshot\"\n\t\t\t\tchunk_size = 8\n"
                                        "\t\t\t\torigin = \"%2\"\n\t\t\t\tcow_store = \"%3\"\n\t\t\t}\n\t\t}\n")
                             .arg(originExtents)
                             .arg(origin, cow));
        return writeFile(file, text) && lvm({"vgcfgrestore", "-f", file, vg}).exitCode == 0;
    }

    // Every group, volume and physical volume of `lvm vgs/lvs/pvs` against the model, a line each.
    void expectModelMatches(Roz& roz, const char* when) const
    {
        EXPECT_EQ(modelLines(roz), toolLines()) << kLibraryFault << when;
    }

private:
    QStringList toolLines() const
    {
        struct Volume {
            qint64 sizeKiB = 0;
            QString origin;
            QStringList devices;
        };
        QMap<QString, QMap<QString, Volume>> volumes; // group -> volume -> record
        for (const QJsonValue& row : report("lvs", "lv_name,vg_name,lv_size,origin,devices")) {
            Volume& volume = volumes[row["vg_name"].toString()][row["lv_name"].toString()];
            volume.sizeKiB = kib(row["lv_size"]);
            volume.origin = row["origin"].toString();
            // "/dev/loop0(13),/dev/loop1(0)": the devices.
            for (const QString& range : row["devices"].toString().split(QLatin1Char(','), Qt::SkipEmptyParts))
                volume.devices << range.section(QLatin1Char('('), 0, 0);
        }
        const QJsonArray pvs = report("pvs", "pv_name,vg_name");
        QStringList lines;
        for (const QJsonValue& row : report("vgs", "vg_name,vg_extent_size,vg_extent_count,vg_free_count,vg_free")) {
            const QString vg = row["vg_name"].toString();
            QStringList groupPvs;
            for (const QJsonValue& pv : pvs)
                groupPvs << (pv["vg_name"].toString() == vg ? pv["pv_name"].toString() : QString());
            lines << groupLine(vg, kib(row["vg_extent_size"]) / 1024, kib(row["vg_extent_count"]),
                               kib(row["vg_free_count"]), kib(row["vg_free"]) / 1024, groupPvs);
            const QMap<QString, Volume>& real = volumes.value(vg);
            for (auto it = real.cbegin(); it != real.cend(); ++it) {
                QStringList snapshots;
                for (auto other = real.cbegin(); other != real.cend(); ++other)
                    snapshots << (other->origin == it.key() ? other.key() : QString());
                // A snapshot shows its origin's size.
                const qint64 shownKiB = it->origin.isEmpty() ? it->sizeKiB : real.value(it->origin).sizeKiB;
                lines << volumeLine(vg, it.key(), shownKiB / 1024, it->devices, it->origin, !it->origin.isEmpty(),
                                    snapshots);
            }
        }
        for (const QJsonValue& row : pvs) {
            const QString device = row["pv_name"].toString(), vg = row["vg_name"].toString();
            QStringList onIt;
            for (auto it = volumes.value(vg).cbegin(); it != volumes.value(vg).cend(); ++it)
                onIt << (it->devices.contains(device) ? QStringLiteral("/dev/%1/%2").arg(vg, it.key()) : QString());
            lines << (m_whole.contains(device) ? QStringLiteral("pv %1: a whole disk").arg(device)
                                               : pvLine(device, vg.isEmpty() ? QString() : "/dev/" + vg, onIt));
        }
        lines.sort();
        return lines;
    }

    QStringList modelLines(Roz& roz) const
    {
        QStringList lines;
        for (Vg* vg : roz.getLvm()->vgs()) {
            lines << groupLine(vg->name(), vg->getAttribute(Vg::PeSizeMb), vg->getAttribute(Vg::TotalPe),
                               vg->getAttribute(Vg::FreePe), vg->getAttribute(Vg::FreeMb), vg->pvString().split(':'));
            for (Lv* lv : vg->lvs())
                lines << volumeLine(vg->name(), lv->name(), lv->getAttribute(Lv::Size), lv->pvString().split(':'),
                                    lv->getOriginal(), lv->isSnapshot(), lv->getSnapshot());
        }
        for (const QJsonValue& row : report("pvs", "pv_name")) {
            const QString device = row["pv_name"].toString();
            Partition* partition = roz.getHard()->getPv(device);
            Disk* disk = roz.getHard()->getDisk(device.section(QLatin1Char('/'), 2));
            if (partition && partition->isPv())
                lines << pvLine(device, partition->getVgPath(), partition->lvString().split(':'));
            else
                lines << QStringLiteral("pv %1: %2")
                             .arg(device, disk && disk->partitionCount() == 0 ? "a whole disk" : "not known");
        }
        lines.sort();
        return lines;
    }

    QString whyNot() const
    {
        if (geteuid() != 0)
            return "not root";
        if (!QFile::exists(kLvm) || !QFile::exists(kLosetup))
            return "lvm or losetup is missing (install lvm2, util-linux)";
        if (!QFile::exists(QStringLiteral(DOVO_FAKE_DIR "/realtool")))
            return "the realtool wrapper was not built";
        const int dm = run("/usr/sbin/dmsetup", {"version"}).exitCode;
        say(dm == 0 ? QStringLiteral("device-mapper works")
                    : QStringLiteral("dmsetup version fails (exit %1): volumes exist in metadata only, activation = 0")
                          .arg(dm));
        return {};
    }

    QStringList devices() const
    {
        QStringList all = m_whole + QStringList{m_disk};
        all.removeAll(QString());
        return all;
    }

    QString attach(const QString& file, int sizeMb, const QStringList& options)
    {
        QFile backing(file);
        if (!backing.open(QIODevice::WriteOnly) || !backing.resize(qint64(sizeMb) << 20))
            return {};
        backing.close();
        return run(kLosetup, QStringList{"-f", "--show"} + options + QStringList{file}).out.trimmed();
    }

    QString build()
    {
        removeLeftovers();
        QByteArray pattern("/tmp/dovo-reallvm-XXXXXX");
        m_folder = QString::fromLocal8Bit(mkdtemp(pattern.data()));
        std::signal(SIGINT, cleanUpOnSignal);
        std::signal(SIGTERM, cleanUpOnSignal);
        writeFile(m_folder + QStringLiteral("/owner.pid"), QString::number(getpid()));
        for (int i = 0; i < int(std::size(kWholeMb)); ++i) {
            m_whole << attach(m_folder + QStringLiteral("/whole%1.img").arg(i), kWholeMb[i], {});
            updatePlan();
            if (m_whole.last().isEmpty())
                return "losetup could not attach a loop device";
        }
        if (!partition())
            return "the partitioned loop device could not be made";
        writeRoot();
        say(QStringLiteral("created %1: loop devices %2, root %3").arg(m_folder, devices().join(' '), root()));
        return {};
    }

    bool partition()
    {
        m_disk = attach(m_folder + QStringLiteral("/disk.img"),
                        2 + std::accumulate(std::begin(kPartsMb), std::end(kPartsMb), 0), {"-P"});
        updatePlan();
        QStringList args{"-s", m_disk, "mklabel", "msdos"};
        for (int start = 1, i = 0; i < int(std::size(kPartsMb)); start += kPartsMb[i++])
            args << "mkpart"
                 << "primary" << QStringLiteral("%1MiB").arg(start) << QStringLiteral("%1MiB").arg(start + kPartsMb[i]);
        if (m_disk.isEmpty() || run("/usr/sbin/parted", args).exitCode != 0)
            return false;
        const QString last = part(int(std::size(kPartsMb)));
        for (int wait = 0; wait < 40 && !QFile::exists(last); ++wait)
            usleep(50000);
        return QFile::exists(last);
    }

    void writeRoot() const
    {
        QStringList accepted;
        for (const QString& device : m_whole)
            accepted << QStringLiteral("\"a|^%1$|\"").arg(device);
        accepted << QStringLiteral("\"a|^%1p[0-9]+$|\"").arg(m_disk);
        for (const QString& folder : {m_folder + "/etc", m_folder + "/lock", root() + "/proc/self"})
            QDir().mkpath(folder);
        writeFile(m_folder + "/etc/lvm.conf",
                  QStringLiteral("devices { filter = [ %1, \"r|.*|\" ] obtain_device_list_from_udev = 0 "
                                 "use_devicesfile = 0 }\nglobal { activation = 0 locking_dir = \"%2/lock\" "
                                 "use_lvmlockd = 0 event_activation = 0 notify_dbus = 0 use_lvmpolld = 0 }\n"
                                 "activation { udev_sync = 0 udev_rules = 0 monitoring = 0 }\n"
                                 "backup { backup = 0 archive = 0 backup_dir = \"%2/backup\" archive_dir = "
                                 "\"%2/archive\" }\n")
                      .arg(accepted.join(", "), m_folder));
        writeFile(root() + "/proc/self/mounts", {});
        for (const char* program : kWrapped) {
            QDir().mkpath(QFileInfo(root() + "/" + program).path());
            QFile::copy(QStringLiteral(DOVO_FAKE_DIR "/realtool"), root() + "/" + program);
        }
        QString conf = QStringLiteral("lvm_system_dir %1/etc\ntag %2\n").arg(m_folder, m_tag);
        for (const QString& device : devices())
            conf += QStringLiteral("device %1\n").arg(device);
        writeFile(root() + "/realtool.conf", conf);
    }

    // The labels wiped from every device and partition, the devices detached, the folders removed.
    void updatePlan()
    {
        QStringList wipe{"/usr/bin/env",
                         "LVM_SUPPRESS_FD_WARNINGS=1",
                         "LVM_SYSTEM_DIR=" + m_folder + "/etc",
                         kLvm,
                         "pvremove",
                         "-ff",
                         "-y"};
        wipe << m_whole;
        for (int number = 1; !m_disk.isEmpty() && number <= int(std::size(kPartsMb)); ++number)
            wipe << part(number);
        QList<QStringList> plan{wipe};
        for (const QString& device : devices())
            plan << QStringList{kLosetup, "-d", device};
        for (const QString& folder : m_linkFolders + QStringList{m_folder})
            plan << QStringList{"/bin/rm", "-rf", "--one-file-system", folder};
        installPlan(plan);
    }

    QString m_tag = QStringLiteral("dvr%1").arg(getpid());
    QString m_folder;
    QStringList m_whole;
    QString m_disk;
    QStringList m_linkFolders;
};

class RootGuard
{
public:
    explicit RootGuard(const QString& root) { setSystemRoot(root); }
    ~RootGuard() { setSystemRoot(QString()); }
};

TEST_F(RealLvm, ModelMatchesGroupsBuiltWithTheRealTools)
{
    const QString spanned = group("dv-t.1+a");
    const QString onPartition = group("dv.p+2");
    const QList<QStringList> steps = {
        {"pvcreate", "-ff", "-y", whole(0), whole(1), part(1)}, {"vgcreate", "-s", "4M", spanned, whole(0), whole(1)},
        {"vgcreate", "-s", "4M", onPartition, part(1)},         {"lvcreate", "-L", "40M", "-n", "home.x-1+", spanned},
        {"lvcreate", "-L", "72M", "-n", "span-2.", spanned}, // the rest of the first device, then the second
        {"lvcreate", "-L", "8M", "-n", "cow+3", spanned},       {"lvcreate", "-L", "12M", "-n", "p.1-", onPartition}};
    for (const QStringList& step : steps) {
        const ProgramRun result = lvm(step);
        ASSERT_EQ(result.exitCode, 0) << qPrintable(step.join(' ') + "\n" + result.err);
    }
    ASSERT_TRUE(writeSnapshot(spanned, "home.x-1+", "cow+3", 10)) << "snapshot metadata not restored";
    ASSERT_TRUE(report("lvs", "lv_name,origin").contains(QJsonObject{{"lv_name", "cow+3"}, {"origin", "home.x-1+"}}));

    RootGuard guard(root());
    Roz roz;
    EXPECT_TRUE(roz.problems().isEmpty()) << kLibraryFault << qPrintable(roz.problems().join('\n'));
    expectModelMatches(roz, "model built on the root");
}

// The library's transcript of the changes of every object followed. A missing object ends the test
// with a failure, through an exception.
struct Transcript {
    QString text;
    QSet<QObject*> followed;
    template <class T> T* follow(T* object, const QString& name)
    {
        if (!object)
            throw std::runtime_error(std::string(kLibraryFault) + "no " + name.toStdString() + " in the model");
        if (!followed.contains(object)) {
            followed.insert(object);
            QObject::connect(object, &T::output, [this](const QString& line) { text += line; });
        }
        return object;
    }
};

// A library call's result (kAnyResult: only shown) and, after the call, a look at the machine and
// what it must show.
constexpr int kAnyResult = -2000;

void expectResult(const char* call, int result, int expected, const QString& transcript)
{
    say(QStringLiteral("%1 -> %2, last line: %3").arg(call).arg(result).arg(transcript.trimmed().section('\n', -1)));
    EXPECT_TRUE(expected == kAnyResult || result == expected) << kLibraryFault << call << " returned " << result << "\n"
                                                              << qPrintable(transcript);
}

#define EXPECT_STEP(log, call, expectedResult, look, expectedLook)                                                     \
    do {                                                                                                               \
        (log).text.clear();                                                                                            \
        expectResult(#call, (call), expectedResult, (log).text);                                                       \
        EXPECT_EQ(look, expectedLook) << kLibraryFault << "after " << #call;                                           \
    } while (false)

TEST_F(RealLvm, LibraryOperationsChangeTheRealMetadata)
{
    RootGuard guard(root());
    Roz roz;
    Transcript log;
    Lvm* lvm = log.follow(roz.getLvm(), "Lvm");
    const QString onWhole = group("dv-w.1+"), onPart = group("dv-p.2+"), renamed = group("dv-q.3+");
    const QString fs = QStringLiteral("/dev/%1/fs.x+1").arg(renamed);
    const auto vg = [&](const QString& name) { return log.follow(lvm->getVg(name), name); };
    const auto lv = [&](const QString& name) { return log.follow(vg(renamed)->getLv(name), name); };
    // What the tools report: the field `wanted` of the row whose `keyField` is `key`.
    const auto field = [this](const char* command, const char* keyField, const QString& key, const char* wanted) {
        for (const QJsonValue& row : report(command, QStringLiteral("%1,%2").arg(keyField, wanted)))
            if (row[keyField].toString() == key)
                return row[wanted].toString();
        return QStringLiteral("<none>");
    };
    const auto groupOf = [&](const QString& device) { return field("pvs", "pv_name", device, "vg_name"); };
    const auto sizeMb = [&](const QString& lv) { return kib(field("lvs", "lv_name", lv, "lv_size")) / 1024; };
    const auto resizable = [&] { return field("vgs", "vg_name", renamed, "vg_attr").mid(1, 1); };
    const auto listed = [this](const char* command, const char* name) {
        QStringList names;
        for (const QJsonValue& row : report(command, name))
            names << row[name].toString();
        return joined(names);
    };
    const auto fileSystem = [this] {
        const QString superblock = run("/usr/sbin/dumpe2fs", {"-h", part(2)}).out;
        const auto number = [&](const char* name) {
            const QRegularExpression pattern(QStringLiteral("%1:\\s+(\\d+)").arg(name));
            return pattern.match(superblock).captured(1).toLongLong();
        };
        return QStringLiteral("%1, %2 MB")
            .arg(run("/usr/sbin/blkid", {"-o", "value", "-s", "TYPE", part(2)}).out.trimmed())
            .arg((number("Block count") * number("Block size")) >> 20);
    };

    EXPECT_STEP(log, lvm->createVg({"-s4M", "-l0", "-p0", onWhole, whole(0)}), 0, groupOf(whole(0)), onWhole);
    EXPECT_STEP(log, lvm->createVg({"-s4M", "-l0", "-p0", onPart, part(1)}), 0, groupOf(part(1)), onPart);
    EXPECT_EQ(calls().count(QStringLiteral("parted %1 set 1 lvm on\n").arg(disk())), 1);
    EXPECT_STEP(log, vg(onPart)->extend({part(3)}), 0, groupOf(part(3)), onPart);
    EXPECT_STEP(log, vg(onPart)->reduce({part(3)}), 0, groupOf(part(3)), "");
    EXPECT_STEP(log, vg(onPart)->rename(renamed), 0, groupOf(part(1)), renamed);
    EXPECT_STEP(log, vg(renamed)->freeze(), 0, resizable(), "-");
    EXPECT_STEP(log, vg(renamed)->defreeze(), 0, resizable(), "z");
    // No device-mapper, no node: the volume is made, its file system cannot be.
    EXPECT_STEP(log, vg(renamed)->createLv({"ext3", "-L", "8M", "-nnofs.a-1+", renamed}), kVolumeWithoutFileSystem,
                sizeMb("nofs.a-1+"), 8);
    EXPECT_STEP(log, vg(renamed)->createLv({"none", "-L", "8M", "-nplain-2.", renamed}), 0, sizeMb("plain-2."), 8);
    EXPECT_STEP(log, lv("plain-2.")->rename("plain.3+"), 0, sizeMb("plain.3+"), 8);
    EXPECT_STEP(log, lv("plain.3+")->resize({"-L16"}), kAnyResult, sizeMb("plain.3+"), 16);
    // A volume whose path leads to a partition of the test: mke2fs, e2fsck and resize2fs run for real.
    linkVolume(renamed, "fs.x+1", part(2));
    EXPECT_STEP(log, vg(renamed)->createLv({"ext3", "-L", "8M", "-nfs.x+1", renamed}), 0, lv("fs.x+1")->fstype(),
                "ext3");
    EXPECT_STEP(log, lv("fs.x+1")->resize({"-L24"}), 0, sizeMb("fs.x+1"), 24);
    EXPECT_EQ(fileSystem(), "ext3, 24 MB") << "mke2fs or resize2fs did not run on the device";
    for (const char* line : {"mke2fs -j %1\n", "e2fsck -y -f %1\n", "resize2fs -f -F %1 24M\n"})
        EXPECT_EQ(calls().count(QString::fromLatin1(line).arg(fs)), 1) << qPrintable(QString::fromLatin1(line).arg(fs));
    EXPECT_FALSE(calls().contains("refused")) << qPrintable(calls());
    EXPECT_NE(vg(renamed)->activate(), 0) << kLibraryFault << "activation is disabled, yet activate succeeded";
    {
        Roz fresh;
        expectModelMatches(fresh, "fresh model after the operations");
    }
    expectModelMatches(roz, "live model after the operations");

    EXPECT_STEP(log, lv("nofs.a-1+")->remove(), 0, listed("lvs", "lv_name"), "fs.x+1,plain.3+");
    EXPECT_STEP(log, lv("plain.3+")->remove(), 0, listed("lvs", "lv_name"), "fs.x+1");
    EXPECT_STEP(log, lv("fs.x+1")->remove(), 0, listed("lvs", "lv_name"), "");
    EXPECT_STEP(log, vg(renamed)->remove(), 0, listed("vgs", "vg_name"), onWhole);
    EXPECT_STEP(log, vg(onWhole)->remove(), 0, lvm->vgCount(), 0u);
    EXPECT_EQ(listed("vgs", "vg_name"), "");
}

} // namespace

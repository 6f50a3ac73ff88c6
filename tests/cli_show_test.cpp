// roz show: both trees as text and as JSON, checked against the simulated machine's own state.
#include "cli_support.h"

#include <QSet>

namespace {

const auto byName = namedEntry;

QSet<QString> namesOf(const QJsonArray& array)
{
    const QStringList names = entryNames(array);
    return QSet<QString>(names.begin(), names.end());
}

// The line of `text` that starts with `start`.
QString lineStarting(const QString& text, const QString& start)
{
    for (const QString& line : text.split('\n')) {
        if (line.startsWith(start))
            return line;
    }
    return QString();
}

class CliShow : public RozCase
{
};

// show is the default sub-command, changes nothing, and --debug adds the library's debug lines on
// standard error only.
TEST_F(CliShow, TextShowsDisksGroupsAndVolumesOfTheDefaultMachine)
{
    const QJsonObject before = sim.state();
    const RozRun run = roz({"show"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("machine: simulated, root ") + sim.root()));
    const QString partition = lineStarting(run.out, "├─sda5 ");
    EXPECT_TRUE(partition.contains("31457280") && partition.contains(" my-vg ") &&
                partition.contains("my-vg/home,my-vg/home.daily,my-vg/music"))
        << partition.toStdString();
    EXPECT_TRUE(lineStarting(run.out, "├─sdb1 ").contains("/media/shared"));
    const QString group = lineStarting(run.out, "vg.backup ");
    EXPECT_TRUE(group.contains("575/500/75") && group.contains(" no ")) << group.toStdString();
    const QString volume = lineStarting(run.out, "my-vg/home ");
    EXPECT_TRUE(volume.contains("origin of snap1,home.daily") && volume.contains("/home")) << volume.toStdString();
    EXPECT_TRUE(lineStarting(run.out, "my-vg/snap1 ").contains("snapshot of home"));
    EXPECT_TRUE(run.out.contains("unreadable volume groups: vgbroken"));

    const RozRun bare = roz({});
    EXPECT_EQ(bare.exitCode, 0);
    EXPECT_EQ(bare.out, run.out);
    const RozRun debug = roz({"show", "--debug"});
    const QString banner = "=======V=G=S====&======L=V=S=============";
    EXPECT_FALSE(run.err.contains(banner));
    EXPECT_TRUE(debug.err.contains(banner)) << debug.err.left(500).toStdString();
    EXPECT_TRUE(debug.err.contains("we are going to execute: /bin/mount --guess-fstype"));
    EXPECT_EQ(debug.out, run.out);
    EXPECT_EQ(sim.state(), before);
    EXPECT_TRUE(callsWhere(sim, isToolChange).isEmpty()) << sim.callLines().join('\n').toStdString();
}

TEST_F(CliShow, JsonMatchesTheSimulatedStateWithTheDocumentedKeys)
{
    const QJsonObject shown = shownJson();
    const QJsonObject state = sim.state();
    EXPECT_EQ(shown.value("schema").toInt(), 1);
    EXPECT_EQ(shown.value("machine").toString(), "simulated");
    EXPECT_EQ(shown.value("root").toString(), sim.root());
    EXPECT_EQ(shown.value("unreadableGroups").toArray(), QJsonArray{"vgbroken"});

    for (const QJsonValue& diskValue : state.value("disks").toArray()) {
        const QJsonObject disk = diskValue.toObject();
        if (disk.value("kind").toString() != "DISK")
            continue;
        const QJsonObject shownDisk = byName(shown.value("disks").toArray(), disk.value("name").toString());
        ASSERT_FALSE(shownDisk.isEmpty()) << disk.value("name").toString().toStdString();
        EXPECT_EQ(shownDisk.value("size").toInteger(), disk.value("sizeKiB").toInteger());
        for (const QJsonValue& partValue : disk.value("partitions").toArray()) {
            const QJsonObject part = partValue.toObject();
            const QString name = disk.value("name").toString() + QString::number(part.value("number").toInt());
            const QJsonObject shownPart = byName(shownDisk.value("partitions").toArray(), name);
            if (part.value("system").toString() == "extended") {
                EXPECT_TRUE(shownPart.isEmpty()) << name.toStdString();
                continue;
            }
            ASSERT_FALSE(shownPart.isEmpty()) << name.toStdString();
            EXPECT_EQ(shownPart.value("path").toString(), QStringLiteral("/dev/") + name);
            EXPECT_EQ(shownPart.value("size").toInteger(), part.value("sizeKiB").toInteger());
            const QJsonValue mountDir = part.value("mount").toObject().value("dir");
            EXPECT_EQ(shownPart.value("mountPoint"), mountDir.isUndefined() ? QJsonValue() : mountDir)
                << name.toStdString();
        }
    }

    QSet<QString> readableGroups;
    for (const QJsonValue& groupValue : state.value("vgs").toArray()) {
        const QJsonObject group = groupValue.toObject();
        if (group.value("unreadable").toBool())
            continue;
        readableGroups.insert(group.value("name").toString());
        const QJsonObject shownGroup = byName(shown.value("groups").toArray(), group.value("name").toString());
        ASSERT_FALSE(shownGroup.isEmpty());
        EXPECT_EQ(shownGroup.value("extents").toObject().value("sizeMiB").toInt(),
                  group.value("extentKiB").toInt() / 1024);
        EXPECT_EQ(shownGroup.value("active").toBool(), group.value("active").toBool());
        EXPECT_EQ(namesOf(shownGroup.value("volumes").toArray()), namesOf(group.value("lvs").toArray()));
        QStringList statePvs;
        for (const QJsonValue& pv : state.value("pvs").toArray()) {
            if (pv.toObject().value("vg") == group.value("name"))
                statePvs << pv.toObject().value("device").toString();
        }
        EXPECT_EQ(shownGroup.value("pvs").toVariant().toStringList(), statePvs);
        for (const QJsonValue& volumeValue : group.value("lvs").toArray()) {
            const QJsonObject volume = volumeValue.toObject();
            const QJsonObject shownVolume =
                byName(shownGroup.value("volumes").toArray(), volume.value("name").toString());
            EXPECT_EQ(shownVolume.value("origin").toString(), volume.value("origin").toString());
            EXPECT_EQ(shownVolume.value("snapshot").toBool(), volume.contains("origin"));
            if (volume.contains("origin"))
                continue; // the library gives a snapshot its origin's size
            int extents = 0;
            for (const QJsonValue& segment : volume.value("segments").toArray())
                extents += segment.toObject().value("count").toInt();
            EXPECT_EQ(shownVolume.value("sizeMiB").toInt(), extents * group.value("extentKiB").toInt() / 1024);
        }
    }
    EXPECT_EQ(namesOf(shown.value("groups").toArray()), readableGroups);

    // The documented keys, with null for texts that are absent.
    const QJsonObject disk = byName(shown.value("disks").toArray(), "sdc");
    const QJsonObject bare = byName(disk.value("partitions").toArray(), "sdc3");
    EXPECT_TRUE(bare.value("mountPoint").isNull());
    EXPECT_TRUE(bare.value("group").isNull());
    EXPECT_EQ(bare.value("volumes").toArray(), QJsonArray());
    const QJsonObject group = byName(shown.value("groups").toArray(), "my-vg");
    const QJsonObject home = byName(group.value("volumes").toArray(), "home");
    for (const char* key : {"name", "path", "group", "sizeMiB", "extents", "active", "snapshot", "origin", "snapshots",
                            "fstype", "pvs", "mountPoint"})
        EXPECT_TRUE(home.contains(QLatin1String(key))) << key;
    EXPECT_EQ(home.value("path").toString(), "/dev/my-vg/home");
    EXPECT_EQ(home.value("mountPoint").toString(), "/home");
    EXPECT_EQ(home.value("snapshots").toArray(), (QJsonArray{"snap1", "home.daily"}));
    EXPECT_TRUE(home.value("origin").isNull());
}

// A machine whose LVM tool is missing is shown as far as it can be read, never as a machine
// without groups: each problem is printed and the exit status says the view is incomplete.
TEST_F(CliShow, MissingToolIsReportedAndTheExitSaysIncomplete)
{
    ASSERT_TRUE(QFile::remove(sim.root() + QStringLiteral("/sbin/lvm.static")));
    const RozRun run = roz({"show"});
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_TRUE(run.err.contains(QStringLiteral("roz: could not read the machine completely: could not run "
                                                "/sbin/lvm.static vgscan (looked for %1/sbin/lvm.static, then "
                                                "%1/sbin/lvm and %1/usr/sbin/lvm)")
                                     .arg(sim.root())))
        << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("sda5"));
    const RozRun json = roz({"show", "--json"});
    EXPECT_EQ(json.exitCode, 5);
    EXPECT_EQ(QJsonDocument::fromJson(json.out.toUtf8()).object().value("problems").toArray().size(), 1);
}

} // namespace

// The simulated machine's read commands print the lines the library parses, in LVM2's shapes.
// Fields the library reads back are checked end to end by the discovery tests on the same machine
// (lvm_model_test, hard_discovery_test); here: exit codes, channels, ignored lines and layout.
#include "sim_tool.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

TEST(SimReads, VgscanPrintsItsHeaderAndTheUnreadableGroupOnStandardError)
{
    SimRoot sim;
    const ToolRun r = lvm(sim, {"vgscan"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.startsWith("  Reading all physical volumes.  This may take a while...\n"));
    static const QRegularExpression errorLine("vgscan -- ERROR \"(.*)\" can't get data of volume group \"(.*)\".*$");
    const auto m = errorLine.match(r.err);
    ASSERT_TRUE(m.hasMatch()) << r.err.toStdString();
    EXPECT_EQ(m.captured(2), "vgbroken");
}

TEST(SimReads, VgdisplayColonRecordAndTheInactiveGroupAnswer)
{
    SimRoot sim;
    const ToolRun active = lvm(sim, {"vgdisplay", "-c", "my-vg"});
    ASSERT_TRUE(active.out.startsWith("  my-vg:"));
    const QStringList f = active.out.trimmed().split(':');
    ASSERT_EQ(f.size(), 17);
    EXPECT_EQ(f[2].toInt() & 0x204, 0x204) << "active and resizable";
    EXPECT_EQ(f[5], "5");
    EXPECT_EQ(f[13].toInt(), f[14].toInt() + f[15].toInt());
    EXPECT_EQ(f[11].toLongLong(), f[13].toLongLong() * 4096);
    EXPECT_EQ(f[15], "8062");

    const ToolRun inactive = lvm(sim, {"vgdisplay", "-c", "vg.backup"});
    EXPECT_NE(inactive.code, 0);
    static const QRegularExpression tryD("^vgdisplay -- \"[^\"]*\" is NOT active; try -D");
    EXPECT_TRUE(tryD.match(inactive.outLines().value(0)).hasMatch()) << inactive.out.toStdString();

    const QStringList d = lvm(sim, {"vgdisplay", "-c", "-D", "vg.backup"}).out.trimmed().split(':');
    ASSERT_EQ(d.size(), 17);
    EXPECT_EQ(d[2].toInt() & 0x200, 0);
    EXPECT_EQ(d[2].toInt() & 0x4, 0x4);
}

TEST(SimReads, PvscanListsEveryPvInAlignedColumns)
{
    SimRoot sim;
    const ToolRun r = lvm(sim, {"pvscan"});
    QList<qsizetype> formatColumns;
    for (const QString& line : r.outLines()) {
        if (!line.startsWith("  PV "))
            continue;
        formatColumns << line.indexOf(" lvm2 [");
    }
    ASSERT_EQ(formatColumns.size(), 5) << "the orphan /dev/sdb5 is listed without a VG";
    for (qsizetype c : formatColumns)
        EXPECT_EQ(c, formatColumns.first());
    EXPECT_TRUE(r.outLines().last().startsWith("  Total: 5 ["));
}

TEST(SimReads, LvscanMarksOriginsSnapshotsAndInactiveVolumes)
{
    SimRoot sim;
    const QStringList lines = lvm(sim, {"lvscan", "-D"}).outLines();
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[0], "  ACTIVE   Original '/dev/my-vg/home' [10.00 GiB] inherit");
    EXPECT_EQ(lines[1], "  ACTIVE   Snapshot '/dev/my-vg/snap1' [10.00 GiB] inherit");
    EXPECT_TRUE(lines[2].contains("Snapshot '/dev/my-vg/home.daily'"));
    EXPECT_EQ(lines[3], "  ACTIVE            '/dev/my-vg/music' [25.00 GiB] inherit");
    EXPECT_EQ(lines[5], "  inactive          '/dev/vg.backup/archive' [12.50 GiB] inherit");
}

TEST(SimReads, LvdisplayColonFormAndTheNotActiveRetry)
{
    SimRoot sim;
    const QStringList home = lvm(sim, {"lvdisplay", "-c", "/dev/my-vg/home"}).out.trimmed().split(':');
    ASSERT_EQ(home.size(), 13);
    EXPECT_EQ(home[0], "/dev/my-vg/home");
    EXPECT_EQ(home[1], "my-vg");
    EXPECT_EQ(home[3], "1");
    EXPECT_EQ(home[6].toLongLong(), 10LL * 1024 * 2048) << "size in 512-byte sectors";
    EXPECT_EQ(home[7], "2560");
    EXPECT_EQ(home[2].toInt() & 8, 8) << "an origin carries the snapshot-origin access bit";

    // On stdout, which the colon read keeps.
    for (const QString& form : {QString("-c"), QString(), QString("-m"), QString("-v")}) {
        QStringList args{"lvdisplay"};
        if (!form.isEmpty())
            args << form;
        args << "/dev/vg.backup/archive";
        EXPECT_TRUE(lvm(sim, args).outLines().value(0).contains("is not active")) << form.toStdString();
    }
    const QStringList retried = lvm(sim, {"lvdisplay", "-c", "-D", "/dev/vg.backup/archive"}).out.trimmed().split(':');
    ASSERT_EQ(retried.size(), 13);
    EXPECT_EQ(retried[3], "0");
    EXPECT_TRUE(lvm(sim, {"lvdisplay", "-D", "/dev/vg.backup/archive"})
                    .out.contains("  LV Status              NOT available\n"));
}

TEST(SimReads, LvdisplayShowsSnapshotLinksBeforeTheStatusLine)
{
    SimRoot sim;
    const QStringList origin = lvm(sim, {"lvdisplay", "-v", "/dev/my-vg/home"}).outLines();
    const qsizetype at = origin.indexOf("  LV snapshot status     source of");
    ASSERT_GE(at, 0);
    EXPECT_EQ(origin.value(at + 1), "                         /dev/my-vg/snap1 [active]");
    EXPECT_EQ(origin.value(at + 2), "                         /dev/my-vg/home.daily [active]");
    EXPECT_EQ(origin.value(at + 3), "  LV Status              available");

    const QString snapshot = lvm(sim, {"lvdisplay", "/dev/my-vg/snap1"}).out;
    EXPECT_TRUE(snapshot.contains("  LV snapshot status     active destination for /dev/my-vg/home\n"));
    EXPECT_TRUE(snapshot.contains("  COW-table LE           256\n"));
}

TEST(SimReads, LvdisplayMapListsEachSegmentWithTabs)
{
    SimRoot sim;
    const QString map = lvm(sim, {"lvdisplay", "-m", "/dev/my-vg/music"}).out;
    EXPECT_TRUE(map.contains("  --- Segments ---\n"
                             "  Logical extent 0 to 4990:\n"
                             "    Type\t\tlinear\n"
                             "    Physical volume\t/dev/sda5\n"
                             "    Physical extents\t2688 to 7678\n"));
    EXPECT_TRUE(map.contains("  Logical extent 4991 to 6399:\n    Type\t\tlinear\n    Physical volume\t/dev/sdb2\n"));
}

TEST(SimReads, PvdisplayColonOrphanAndNoLabel)
{
    SimRoot sim;
    const QStringList member = lvm(sim, {"pvdisplay", "-c", "/dev/sda5"}).out.trimmed().split(':');
    ASSERT_EQ(member.size(), 12);
    EXPECT_EQ(member[8], "7679");
    EXPECT_EQ(member[9], "0");
    EXPECT_EQ(member[11].size(), 38);

    const QStringList orphan = lvm(sim, {"pvdisplay", "-c", "/dev/sdb5"}).outLines();
    ASSERT_EQ(orphan.size(), 2);
    EXPECT_EQ(orphan[0], "  \"/dev/sdb5\" is a new physical volume of \"10.00 GiB\"");

    const ToolRun none = lvm(sim, {"pvdisplay", "-c", "/dev/sdc2"});
    EXPECT_NE(none.code, 0);
    EXPECT_TRUE(none.err.startsWith("  No physical volume label read from /dev/sdc2\n"));
}

TEST(SimReads, PvdisplayVerboseTableEndsWithAnEmptyLine)
{
    SimRoot sim;
    const QStringList lines = lvm(sim, {"pvdisplay", "-v", "/dev/sda5"}).out.split('\n');
    qsizetype at = -1;
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].contains("LV Name                   LE of LV  PE for LV"))
            at = i;
    ASSERT_GE(at, 0);
    EXPECT_EQ(lines.value(at + 1).simplified(), "/dev/my-vg/home 2560 2560");
    EXPECT_EQ(lines.value(at + 2).simplified(), "/dev/my-vg/home.daily 128 128");
    EXPECT_EQ(lines.value(at + 3).simplified(), "/dev/my-vg/music 6400 4991");
    EXPECT_EQ(lines.value(at + 4), "");
    EXPECT_GT(lines.size(), at + 6) << "more lines follow the table";
}

TEST(SimReads, ListerPrintsDrivesAndEveryPartitionIncludingIgnoredOnes)
{
    SimRoot sim;
    const ToolRun r = runTool(sim, "/usr/lib/vururer/lib/veziva.cli", {"dev", "lsdev", "-C", "-c", "storage"});
    EXPECT_EQ(r.code, 0);
    QStringList disks;
    QMap<QString, QStringList> parts;
    for (const QString& line : r.outLines()) {
        const QStringList f = line.split('\t');
        if (f[0] == "DRIVE" && f.value(1) == "DISK")
            disks << f[2] + "=" + f.value(5);
        if (f[0] == "PART")
            parts[f[1].section('/', -1) + f[2]] = f;
    }
    EXPECT_EQ(disks, QStringList({"sda=83886080", "sdb=167772160", "sdc=41943040"}));
    EXPECT_TRUE(r.out.contains("DRIVE\tCDROM\tsr0\t"));
    ASSERT_EQ(parts.size(), 15);
    EXPECT_EQ(parts["sda4"].value(6), "extended");
    EXPECT_EQ(parts["sdb1"].value(7), "FAT32");
}

TEST(SimReads, GuessFstypeAndTheMountTable)
{
    SimRoot sim;
    auto guess = [&](const QString& dev) { return runTool(sim, "/bin/mount", {"--guess-fstype", dev}).out; };
    EXPECT_EQ(guess("/dev/my-vg/home"), "ext3\n");
    EXPECT_EQ(guess("/dev/my-vg/music"), "reiserfs\n");
    EXPECT_EQ(guess("/dev/my-vg/snap1"), "ext3\n") << "a snapshot holds its origin's file system";
    EXPECT_EQ(guess("/dev/sdb1"), "vfat\n");
    EXPECT_EQ(guess("/dev/sdc3"), "unknown\n");
    QFile mtab(sim.root() + "/etc/mtab");
    ASSERT_TRUE(mtab.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(mtab.readAll());
    EXPECT_TRUE(text.contains("\n/dev/mapper/my--vg-home /home ext3 rw 0 0\n"));
    EXPECT_TRUE(text.startsWith("/dev/sda2 / ext3 "));
}

// The simulated machine's change commands: refusals in the tools' own words that leave the state
// alone, changes in the tools' wording that the next reads show, file-system damage, fault rules.
#include "modeltest.h"
#include "sim_tool.h"

TEST(SimChanges, RefusalsSayWhyInEachToolSetsWordsAndExitCodesAndLeaveTheStateAlone)
{
    const QString homeExists = "  Logical volume \"home\" already exists in volume group \"my-vg\"\n";
    expectRuns(
        SimRoot("default", sim::ToolSet::Classic),
        {
            {"lvm lvcreate -L100 nosuchvg -nlv01", 5, "", "  Volume group \"nosuchvg\" not found\n"},
            {"lvm lvcreate -L100 my-vg -nbad*name", 3, "", "  Logical volume name \"bad*name\" is invalid\n"},
            {"lvm lvcreate -L100 my-vg -nhome", 5, "", homeExists},
            {"lvm lvcreate -L1T my-vg -nhuge", 5, "", "  Insufficient free extents (8062) in volume group my-vg: "},
            {"lvm lvcreate -s -nsnap2 -L50 /dev/my-vg/snap1", 5, "", "  Snapshots of snapshots are not supported"},
            {"lvm lvextend -L10240 /dev/my-vg/home", 5, "", "  New size (2560 extents) matches existing size "},
            {"lvm lvextend -L100 /dev/my-vg/home", 5, "", "  New size given (25 extents) not larger than existing "},
            {"lvm lvextend -L900000 /dev/my-vg/home", 5, "", "  Insufficient free space: 222440 extents needed, "},
            {"lvm lvextend -L20000 /dev/my-vg/nosuchlv", 5, "", "  Logical volume \"nosuchlv\" not found in volume "},
            {"lvm lvrename /dev/my-vg/music /dev/my-vg/home", 5, "", homeExists},
            {"lvm lvrename /dev/my-vg/music /dev/my-vg/a:b", 3, "", "  New logical volume name \"a:b\" is invalid\n"},
            {"lvm lvremove -f /dev/my-vg/home", 5, "", "  Can't remove logical volume \"home\" under snapshot\n"},
            {"lvm vgreduce my-vg /dev/sda5", 5, "", "  Physical volume \"/dev/sda5\" still in use\n"},
            {"lvm vgreduce my-vg /dev/sdb5", 5, "", "  Physical Volume \"/dev/sdb5\" not found in Volume Group "},
            {"lvm vgremove my-vg", 5, "", "  Volume group \"my-vg\" still contains 5 logical volume(s)\n"},
            {"lvm vgrename my-vg vg.backup", 5, "", "  New volume group \"vg.backup\" already exists\n"},
            {{"lvm", "vgrename", "my-vg", "bad name"}, 3, "", "  New volume group name \"bad name\" is invalid\n"},
            // Unset vgcreate options reach the tool as empty arguments.
            {{"lvm", "vgcreate", "", "", "", "vg.backup", "/dev/sdb5"}, 5, "", "  A volume group called vg.backup "},
            {{"lvm", "vgcreate", "", "", "", "new/vg", "/dev/sdb5"}, 3, "", "  New volume group name \"new/vg\" is "},
            {{"lvm", "vgcreate", "-s3M", "", "", "vgx", "/dev/sdb5"}, 3, "", "  Physical extent size must be a power"},
            {"lvm vgcreate vgx /dev/sdc2", 5, "", "  No physical volume label read from /dev/sdc2\n"},
            {"lvm vgextend my-vg /dev/sda6", 5, "", "  Physical volume '/dev/sda6' is already in volume group "},
            {"lvm vgchange -an my-vg", 5, "", "  Can't deactivate volume group \"my-vg\" with 1 open logical "},
            {"lvm pvcreate -f -y /dev/sda2", 5, "", "  Can't open /dev/sda2 exclusively.  Mounted filesystem?\n"},
            {{"/sbin/parted", "/dev/sda", "set", "9", "lvm on"}, 1, "", "Error: Partition doesn't exist.\n"},
            {{"/sbin/parted", "/dev/sdx", "set", "1", "lvm on"}, 1, "", "Error: Could not stat device /dev/sdx - "},
            {"/sbin/mke2fs -j /dev/my-vg/home", 1, "", "mke2fs 1.38 (30-Jun-2005)\n/dev/my-vg/home is mounted; "},
            {"/sbin/mke2fs /dev/vg.backup/archive", 1, "", "mke2fs 1.38 (30-Jun-2005)\nmke2fs: No such file or "},
            {"/sbin/e2fsck -y -f /dev/my-vg/home", 8, "", "e2fsck 1.38 (30-Jun-2005)\n/dev/my-vg/home is mounted.  \n"},
            {"/sbin/e2fsck -y -f /dev/my-vg/music", 8, "", "e2fsck 1.38 (30-Jun-2005)\ne2fsck: Bad magic number "},
            {"/sbin/resize2fs -f -F /dev/my-vg/music 100M", 1, "",
             "resize2fs 1.38 (30-Jun-2005)\nresize2fs: Bad magic "},
            {"/sbin/resize_reiserfs -f -s 100M /dev/my-vg/scratch_1", 1, "",
             "resize_reiserfs 3.6.19 (2003 www.namesys.com)\n\nreiserfs_open: the reiserfs superblock cannot be found"},
        },
        true);

    const QString noSyntax = "  No command with matching syntax recognised.";
    expectRuns(
        SimRoot("default", sim::ToolSet::Current),
        {
            {"lvm pvdisplay -c /dev/sdc3", 5, "", "  Failed to find physical volume \"/dev/sdc3\".\n"},
            {"lvm lvscan -D", 3, "", "lvscan: invalid option -- 'D'\n  Error during parsing of command line.\n"},
            {"lvm lvcreate -L 100 -n x nope", 5, "",
             "  Volume group \"nope\" not found\n  Cannot process volume group "},
            {"lvm lvcreate -L 100 -n home my-vg", 5, "", "  Logical Volume \"home\" already exists in volume group "},
            {"lvm lvcreate -L 9T -n x my-vg", 5, "", "  Volume group \"my-vg\" has insufficient free space (8062 "},
            {"lvm lvcreate -n x my-vg", 3, "", noSyntax},
            {"lvm lvcreate -L 8 -n snapshot1 my-vg", 3, "", "  Names starting \"snapshot\" are reserved."},
            {"lvm vgcreate my-vg /dev/sdb5", 5, "", "  A volume group called my-vg already exists.\n"},
            {"lvm pvcreate /dev/sdb6", 5, "", "WARNING: ext3 signature detected on /dev/sdb6 at offset 1080. Wipe "},
            {"lvm pvcreate /dev/sda5", 5, "",
             "  Can't initialize physical volume \"/dev/sda5\" of volume group \"my-vg\" without -ff\n  /dev/sda5: "
             "physical volume not initialized.\n"},
            {"lvm vgremove vg.backup", 5, "", "Do you really want to remove volume group \"vg.backup\" containing 2 "},
            {"lvm lvremove -f my-vg/nope", 5, "", "  Failed to find logical volume \"my-vg/nope\"\n"},
            {"lvm lvremove my-vg/home", 5, "", "Removing origin home will also remove 2 snapshots(s). Proceed? "},
            {"lvm vgreduce my-vg /dev/sdb5", 5, "", "  Failed to find physical volume \"/dev/sdb5\".\n"},
            {"lvm vgchange -an my-vg", 5, "", "  Logical volume my-vg/home in use.\n"},
            {"lvm vgchange my-vg", 3, "", noSyntax},
            {"lvm frobnicate", 2, "", "  No such command.  Try 'lvm help'.\n"},
            {"/sbin/parted -s /dev/sdc set 3 frob on", 1, "", "parted: invalid token: frob\n"},
        },
        true);
}

TEST(SimChanges, ClassicVolumesArePlacedAfterTheUsedExtentsAndOvergrownFileSystemsDamaged)
{
    const SimRoot sim("default", sim::ToolSet::Classic);
    expectRuns(sim, {
                        // Options after the group; 100 MB rounded up to 25 extents, placed on the first PV with room:
                        // sda5 is full, so sdb2 right after scratch_1.
                        {"lvm lvcreate -L100 my-vg -nlv01", 0, "  Logical volume \"lv01\" created\n"},
                        {"lvm lvdisplay -m /dev/my-vg/lv01", 0,
                         "    Physical volume\t/dev/sdb2\n    Physical extents\t2177 to 2201\n"},
                        // Growing a file system past its volume's end damages it.
                        {"/sbin/resize2fs -f -F /dev/my-vg/scratch_1 1024M", 0,
                         "Resizing the filesystem on /dev/my-vg/scratch_1 to 262144 (4k) blocks.\n"},
                        {"/sbin/e2fsck -y -f /dev/my-vg/scratch_1", 0, "/dev/my-vg/scratch_1: 11/131072 files (0.0% "},
                        {"/sbin/resize2fs -f -F /dev/my-vg/scratch_1 2049M", 0},
                        {"/sbin/e2fsck -y -f /dev/my-vg/scratch_1", 8,
                         "The filesystem size (according to the superblock) is 524544 blocks\n"},
                        {"/sbin/resize_reiserfs -f -s 25600M /dev/my-vg/music", 0},
                    });
    EXPECT_FALSE(stateVolume(sim, "my-vg", "music").value("damaged").toBool());
    EXPECT_EQ(runTool(sim, "/sbin/resize_reiserfs -f -s 25604M /dev/my-vg/music").exitCode, 0);
    EXPECT_TRUE(stateVolume(sim, "my-vg", "music").value("damaged").toBool());
}

TEST(SimChanges, TodaysChangesReportInTheirWordingAndRenamesRewriteTheMountTable)
{
    const SimRoot sim("default", sim::ToolSet::Current);
    const QList<std::pair<Command, QString>> changes{
        {"lvm lvcreate -L 100 -n new my-vg", "  Logical volume \"new\" created.\n"},
        {"lvm vgchange -ay vg.backup", "  2 logical volume(s) in volume group \"vg.backup\" now active\n"},
        {"lvm pvcreate /dev/sdc3", "  Physical volume \"/dev/sdc3\" successfully created.\n"},
        {"lvm vgextend vg.backup /dev/sdc2",
         "  Physical volume \"/dev/sdc2\" successfully created.\n  Volume group \"vg.backup\" successfully extended\n"},
        {"lvm lvextend -L +4M my-vg/scratch_1",
         "  Size of logical volume my-vg/scratch_1 changed from 2.00 GiB (512 extents) to 2.00 GiB (513 extents).\n"
         "  Logical volume my-vg/scratch_1 successfully resized.\n"},
        {"lvm lvremove -f my-vg/home.daily", "  Logical volume \"home.daily\" successfully removed.\n"},
        {"lvm pvcreate -y /dev/sdb6",
         "  Wiping ext3 signature on /dev/sdb6.\n  Physical volume \"/dev/sdb6\" successfully created.\n"},
        {"lvm vgcreate fresh /dev/sdc3", "  Volume group \"fresh\" successfully created\n"},
        {"lvm vgrename my-vg our-vg", "  Volume group \"my-vg\" successfully renamed to \"our-vg\"\n"},
        {"lvm lvrename our-vg home home-2", "  Renamed \"home\" to \"home-2\" in volume group \"our-vg\"\n"},
    };
    for (const auto& [command, out] : changes) {
        const ProgramRun r = runTool(sim, command);
        EXPECT_EQ(r.exitCode, 0) << command.join(' ').toStdString() << "\n" << r.err.toStdString();
        EXPECT_EQ(r.out, out) << command.join(' ').toStdString();
    }
    // parted toggles a flag when given no state, and says so unless in script mode.
    expectRuns(
        sim,
        {
            {"/sbin/parted -s /dev/sdc set 3 lvm on", 0},
            {"/sbin/parted -s /dev/sdc print", 0, " 3      32.2GB  41.9GB  9664MB  primary               lvm\n"},
            {"/sbin/parted /dev/sdc set 3 lvm", 0, "", "Information: You may need to update /etc/fstab.\n\n"},
            {"/sbin/parted -s /dev/sdc print", 0,
             " 2      21.5GB  32.2GB  10.7GB  primary               lvm\n 3      32.2GB  41.9GB  9664MB  primary\n\n"},
        });
    QFile mounts(sim.root() + "/proc/self/mounts");
    ASSERT_TRUE(mounts.open(QIODevice::ReadOnly));
    EXPECT_TRUE(holdsLines(QString::fromUtf8(mounts.readAll()), "/dev/mapper/our--vg-home--2 /home ext3 rw 0 0\n"));
}

// A rule matches the whole argument vector or its start, for every run or a count of runs, changes
// nothing, and lives in the state's JSON like the rest of it: rules added to it there apply too.
TEST(SimFaults, RulesMatchCountAndLiveInTheState)
{
    SimRoot sim("default", sim::ToolSet::Classic);
    sim.addFault("/sbin/lvm.static", {"vgscan"}, 3, QString(), -1, true);
    sim.addFault("/sbin/lvm.static", {"pvcreate"}, 5, "  Can't get lock\n", 1);
    QJsonObject state = sim.state();
    state["faults"] = state["faults"].toArray()
                      << QJsonObject{{"program", "/sbin/e2fsck"}, {"args", QJsonArray{}}, {"signal", 9}, {"times", 1}};
    sim.setState(state);
    expectRuns(sim, {
                        {"lvm vgscan", 3},
                        {"lvm vgscan -v", 0},
                        {"lvm vgscan", 3},
                        {"lvm pvcreate -f -y /dev/sdb6", 5, "  Can't get lock\n"},
                        {"lvm pvdisplay -c /dev/sdb6", 5},
                        {"lvm pvcreate -f -y /dev/sdb6", 0},
                        {"lvm pvdisplay -c /dev/sdb6", 0},
                        {"/sbin/e2fsck -y -f /dev/my-vg/scratch_1", -1},
                        {"/sbin/e2fsck -y -f /dev/my-vg/scratch_1", 0},
                    });
}

// The simulated machine's read commands print the real tools' lines: LVM2's odd indentation, tabs
// and blank-looking lines, answers on the channel the real tool uses, warnings on standard error,
// and the exit codes. What the library makes of these lines is checked by the discovery tests.
#include "sim_tool.h"

TEST(SimReads, EachToolSetsCommandsPrintTheLinesOfTheRealTools)
{
    expectRuns(
        SimRoot("default", sim::ToolSet::Classic),
        {
            {"lvm vgscan", 0,
             "  Reading all physical volumes.  This may take a while...\n  Found volume group \"my-vg\" ",
             "vgscan -- ERROR \"vg_read(): bad metadata\" can't get data of volume group \"vgbroken\" from "
             "physical volume(s)\n"},
            {"lvm vgdisplay -c vg.backup", 5, "vgdisplay -- \"vg.backup\" is NOT active; try -D\n"},
            {"lvm pvscan", 0,
             "  PV /dev/sdc1   VG vgbroken    lvm2 [20.00 GiB / 20.00 GiB free]\n"
             "  PV /dev/sdb5                  lvm2 [10.00 GiB]\n"
             "  Total: 5 [117.96 GiB] / in use: 4 [107.96 GiB] / in no VG: 1 [10.00 GiB]\n"},
            {"lvm lvscan -D", 0,
             "  ACTIVE   Original '/dev/my-vg/home' [10.00 GiB] inherit\n"
             "  ACTIVE   Snapshot '/dev/my-vg/snap1' [10.00 GiB] inherit\n"
             "  ACTIVE   Snapshot '/dev/my-vg/home.daily' [10.00 GiB] inherit\n"
             "  ACTIVE            '/dev/my-vg/music' [25.00 GiB] inherit\n"},
            // On standard output, which the colon read keeps.
            {"lvm lvdisplay -c /dev/vg.backup/archive", 5,
             "lvdisplay -- volume group \"vg.backup\" of logical volume \"/dev/vg.backup/archive\" is not active"},
            {"lvm lvdisplay -D /dev/vg.backup/archive", 0, "  LV Status              NOT available\n"},
            {"lvm lvdisplay -v /dev/my-vg/home", 0,
             "  LV snapshot status     source of\n                         /dev/my-vg/snap1 [active]\n"
             "                         /dev/my-vg/home.daily [active]\n  LV Status              available\n",
             "    Using logical volume(s) on command line\n"},
            {"lvm lvdisplay /dev/my-vg/snap1", 0,
             "  LV snapshot status     active destination for /dev/my-vg/home\n  LV Status              available\n"},
            {"lvm lvdisplay -m /dev/my-vg/music", 0,
             "  --- Segments ---\n  Logical extent 0 to 4990:\n    Type\t\tlinear\n    Physical volume\t/dev/sda5\n"
             "    Physical extents\t2688 to 7678\n   \n  Logical extent 4991 to 6399:\n"},
            {"lvm pvdisplay -c /dev/sdc2", 5, "", "  No physical volume label read from /dev/sdc2\n"},
            // The volume table ends with an empty line, not with three blanks.
            {"lvm pvdisplay -v /dev/sda5", 0,
             "   /dev/my-vg/home.daily     128       128\n   /dev/my-vg/music          6400      4991\n\n  --- ",
             "    Using physical volume(s) on command line\n"},
            {"/usr/lib/vururer/lib/veziva.cli dev lsdev -C -c storage", 0,
             "PART\t/dev/sda\t4\t65011775\t165675070\t0x05\textended\t\t50331648\t0\t\n"
             "PART\t/dev/sda\t5\t65011838\t127926397\t0x8e\tLinux LVM\tLVM2\t31457280\t0\t\tLVM\n"},
            // A snapshot holds its origin's file system.
            {"/bin/mount --guess-fstype /dev/my-vg/snap1", 0, "ext3\n"},
            {"/bin/mount --guess-fstype /dev/sdc3", 1, "unknown\n"},
            {"/bin/ls /dev/vg.backup/archive", 2, "", "ls: cannot access /dev/vg.backup/archive: No such "},
        });

    expectRuns(
        SimRoot("default", sim::ToolSet::Current),
        {
            {"lvm lvdisplay -c /dev/vg.backup/archive", 0,
             "  /dev/vg.backup/archive:vg.backup:3:0:-1:0:26214400:400:-1:0:-1:-1:-1\n"},
            {"lvm lvdisplay -c /dev/my-vg/snap1", 0, "  /dev/my-vg/snap1:my-vg:3:1:-1:0:2097152:256:-1:0:-1:253:1\n"},
            {"lvm lvscan", 0,
             "  ACTIVE   Snapshot '/dev/my-vg/snap1' [1.00 GiB] inherit\n"
             "  ACTIVE   Snapshot '/dev/my-vg/home.daily' [512.00 MiB] inherit\n"},
            {"lvm lvscan", 0, "  inactive          '/dev/vg.backup/old-root' [<3.13 GiB] inherit\n"},
            {"lvm vgscan", 0, "  Found volume group \"vg.backup\" using metadata type lvm2\n",
             "  WARNING: vg_read(): bad metadata: skipping volume group vgbroken\n"},
            {"lvm pvscan", 0,
             "  PV /dev/sda5   VG my-vg           lvm2 [<30.00 GiB / 0    free]\n"
             "  PV /dev/sdb2   VG my-vg           lvm2 [<40.00 GiB / 31.49 GiB free]\n"},
            {"lvm pvdisplay -m /dev/sdb2", 0, "  Physical extent 2177 to 10238:\n    FREE\n   \n"},
            {"lvm version", 0, "  LVM version:     2.03.16(2) (2022-05-18)\n"},
            // 772 although inactive.
            {"lvm vgdisplay -c vg.backup", 0, "  vg.backup:r/w:772:-1:255:2:0:-1:255:1:1:18841600:32768:575:500:75:l1"},
            {"lvm pvdisplay -c /dev/sdb5", 0,
             "  \"/dev/sdb5\" is a new physical volume of \"10.00 GiB\"\n  /dev/sdb5::20971520:-1:0:0:-1:0:0:0:0:F1"},
            {"/sbin/blkid -o export /dev/sdb5 /dev/my-vg/home", 0,
             "DEVNAME=/dev/sdb5\nUUID=F1eDAp-dzpW-0VqV-15Xm-EpWq-FDmF-ULGUrP\nTYPE=LVM2_member\nPARTUUID=4bcdd98b-05\n"
             "\nDEVNAME=/dev/my-vg/home\n"},
            {"/sbin/blkid /dev/sdb1", 0,
             "/dev/sdb1: LABEL=\"SHARED\" UUID=\"6270-0CA0\" BLOCK_SIZE=\"512\" TYPE=\"vfat\" "},
            {"/sbin/blkid -o value -s TYPE /dev/sda5", 0, "LVM2_member\n"},
            {"/sbin/blkid -o export /dev/vg.backup/archive", 2},
            {"/bin/lsblk --json /dev/vg.backup/archive", 32, "", "lsblk: /dev/vg.backup/archive: not a block device\n"},
            {"/sbin/e2fsck -y -f /dev/my-vg/music", 8, "\n/dev/my-vg/music contains a reiserfs file system\n",
             "e2fsck 1.47.0 (5-Feb-2023)\n"},
            {"/sbin/e2fsck -y -f /dev/sda2", 8, "/dev/sda2 is mounted.\n"},
            {"/bin/mount --guess-fstype /dev/sda2", 1, "", "mount: unrecognized option '--guess-fstype'\n"},
        });
}

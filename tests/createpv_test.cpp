// Physical-volume creation: parted per partition, then pvcreate with its retries.
#include "fakeroot.h"
#include "utils.h"

#include <gtest/gtest.h>

namespace {

class CreatePv : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root.install(QStringLiteral("/sbin/parted"), QStringLiteral("fake_tool"));
        root.install(QStringLiteral("/sbin/lvm.static"), QStringLiteral("fake_tool"));
    }
    FakeRoot root;
};

TEST_F(CreatePv, MarksEachPartitionThenCreatesAllTogether)
{
    QString output = QStringLiteral("stale");
    EXPECT_EQ(createPv({"/dev/hda3", "/dev/hdb10"}, output), 0);
    EXPECT_EQ(root.calls(), (QStringList{"parted|/dev/hda|set|3|lvm on", "parted|/dev/hdb|set|10|lvm on",
                                         "lvm.static|pvcreate|-f|-y|/dev/hda3|/dev/hdb10"}));
    EXPECT_EQ(output, QStringLiteral("parted run 1\nparted run 2\nlvm.static run 1\n"));
}

TEST_F(CreatePv, EmptyListRunsOnlyPvcreate)
{
    root.scriptExits(QStringLiteral("lvm.static"), {3});
    QString output;
    EXPECT_EQ(createPv({}, output), 3);
    EXPECT_EQ(root.calls(), (QStringList{"lvm.static|pvcreate|-f|-y"}));
}

TEST_F(CreatePv, PartitionNumberIsTheTrailingNumberOfThePath)
{
    const QStringList devices{"/dev/md0p1", "/dev/nvme0n1p3", "/dev/mmcblk0p2", "/dev/sdb12", "/dev/sdp3", "/dev/sdb"};
    QString output;
    createPv(devices, output);
    EXPECT_EQ(root.calls().mid(0, devices.size()),
              (QStringList{"parted|/dev/md0|set|1|lvm on", "parted|/dev/nvme0n1|set|3|lvm on",
                           "parted|/dev/mmcblk0|set|2|lvm on", "parted|/dev/sdb|set|12|lvm on",
                           "parted|/dev/sdp|set|3|lvm on", "parted|/dev/sdb|set|/dev/sdb|lvm on"}));
}

// A partition left without its LVM flag never becomes a physical volume, whichever it is.
TEST_F(CreatePv, AnyPartedFailureStopsBeforePvcreate)
{
    for (const QList<int>& exits : {QList<int>{1, 0}, QList<int>{0, 2}}) {
        FakeRoot machine;
        machine.install(QStringLiteral("/sbin/parted"), QStringLiteral("fake_tool"));
        machine.install(QStringLiteral("/sbin/lvm.static"), QStringLiteral("fake_tool"));
        machine.scriptExits(QStringLiteral("parted"), exits);
        const int failing = exits.at(0) != 0 ? 0 : 1;
        const QString device = QStringList{"/dev/hda1", "/dev/hda2"}.at(failing);
        QString output;
        EXPECT_EQ(createPv({"/dev/hda1", "/dev/hda2"}, output), exits.at(failing));
        EXPECT_EQ(machine.calls().size(), failing + 1) << "no pvcreate, no further parted";
        EXPECT_TRUE(output.endsWith(QStringLiteral("parted could not mark %1 as an LVM partition (exit %2); no "
                                                   "physical volume was made\n")
                                        .arg(device)
                                        .arg(exits.at(failing))))
            << qPrintable(output);
    }
}

TEST_F(CreatePv, RetriesWhilePvcreateEndsWithFiveAndKeepsOnlyTheLastText)
{
    root.scriptExits(QStringLiteral("lvm.static"), {5, 5, 5, 0});
    QString output;
    EXPECT_EQ(createPv({"/dev/hda3"}, output), 0);
    EXPECT_EQ(root.calls().size(), 1 + 4);
    EXPECT_EQ(output, QStringLiteral("parted run 1\nlvm.static run 4\n"));
}

TEST_F(CreatePv, GivesUpAfterTenRuns)
{
    root.scriptExits(QStringLiteral("lvm.static"), {5});
    QString output;
    EXPECT_EQ(createPv({}, output), 5);
    EXPECT_EQ(root.calls().size(), 10);
    EXPECT_EQ(output, QStringLiteral("lvm.static run 10\n"));
}

TEST_F(CreatePv, OtherFailuresEndTheRetriesAtOnce)
{
    root.scriptExits(QStringLiteral("lvm.static"), {5, 4, 0});
    QString output;
    EXPECT_EQ(createPv({}, output), 4);
    EXPECT_EQ(root.calls().size(), 2);
}

} // namespace

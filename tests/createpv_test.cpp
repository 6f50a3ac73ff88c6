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

TEST_F(CreatePv, DiskEndsAtTheFirstDigitOfThePath)
{
    QString output;
    createPv({"/dev/md0p1", "/dev/sdb"}, output);
    const QStringList calls = root.calls();
    ASSERT_GE(calls.size(), 2);
    EXPECT_EQ(calls[0], QStringLiteral("parted|/dev/md|set|0p1|lvm on"));
    EXPECT_EQ(calls[1], QStringLiteral("parted|/dev/sdb|set|/dev/sdb|lvm on"));
}

TEST_F(CreatePv, OnlyTheLastPartedResultStopsTheOperation)
{
    root.scriptExits(QStringLiteral("parted"), {1, 0});
    QString output;
    EXPECT_EQ(createPv({"/dev/hda1", "/dev/hda2"}, output), 0);
    EXPECT_EQ(root.calls().size(), 3);

    FakeRoot second;
    second.install(QStringLiteral("/sbin/parted"), QStringLiteral("fake_tool"));
    second.install(QStringLiteral("/sbin/lvm.static"), QStringLiteral("fake_tool"));
    second.scriptExits(QStringLiteral("parted"), {0, 2});
    EXPECT_EQ(createPv({"/dev/hda1", "/dev/hda2"}, output), 2);
    EXPECT_EQ(second.calls().size(), 2);
    EXPECT_EQ(output, QStringLiteral("parted run 1\nparted run 2\n"));
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

// Physical-volume creation: parted per partition, then pvcreate with its retries.
#include "fakeroot.h"
#include "utils.h"

#include <gtest/gtest.h>

namespace {

class CreatePv : public ::testing::Test
{
protected:
    void SetUp() override { withFakeTools(root); }
    static void withFakeTools(FakeRoot& machine)
    {
        machine.install("/sbin/parted", "fake_tool");
        machine.install("/sbin/lvm.static", "fake_tool");
    }
    FakeRoot root;
};

// The number is what the path ends with (splitting it is checked with the parsers); a path
// without one goes to parted whole, twice, as the classic tools were always handed it.
TEST_F(CreatePv, MarksEachPartitionThenCreatesAllTogether)
{
    QString output = "stale";
    EXPECT_EQ(createPv({"/dev/hda3", "/dev/hdb10", "/dev/sdb"}, output), 0);
    EXPECT_EQ(root.calls(), (QStringList{"parted|/dev/hda|set|3|lvm on", "parted|/dev/hdb|set|10|lvm on",
                                         "parted|/dev/sdb|set|/dev/sdb|lvm on",
                                         "lvm.static|pvcreate|-f|-y|/dev/hda3|/dev/hdb10|/dev/sdb"}));
    EXPECT_EQ(output, "parted run 1\nparted run 2\nparted run 3\nlvm.static run 1\n");
}

// A partition left without its LVM flag never becomes a physical volume, whichever it is.
TEST_F(CreatePv, AnyPartedFailureStopsBeforePvcreate)
{
    for (const QList<int>& exits : {QList<int>{1, 0}, QList<int>{0, 2}}) {
        FakeRoot machine;
        withFakeTools(machine);
        machine.scriptExits("parted", exits);
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

// pvcreate ending with 5 is run again, up to ten runs in all, and only the last run's text is kept;
// any other failure ends the retries at once. An empty list runs only pvcreate.
TEST_F(CreatePv, RetriesWhilePvcreateEndsWithFiveUpToTenRuns)
{
    struct Case {
        QList<int> exits; // the last one repeats
        QStringList devices;
        int result, runs;
        const char* output;
    };
    const Case cases[] = {{{5, 5, 5, 0}, {"/dev/hda3"}, 0, 1 + 4, "parted run 1\nlvm.static run 4\n"},
                          {{5}, {}, 5, 10, "lvm.static run 10\n"},
                          {{5, 4, 0}, {}, 4, 2, "lvm.static run 2\n"},
                          {{3}, {}, 3, 1, "lvm.static run 1\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.runs);
        FakeRoot machine;
        withFakeTools(machine);
        machine.scriptExits("lvm.static", c.exits);
        QString output;
        EXPECT_EQ(createPv(c.devices, output), c.result);
        EXPECT_EQ(machine.calls().size(), c.runs);
        EXPECT_EQ(machine.calls().last(), (QStringList{"lvm.static", "pvcreate", "-f", "-y"} + c.devices).join('|'));
        EXPECT_EQ(output, c.output);
    }
}

} // namespace

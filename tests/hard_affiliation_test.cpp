// Hard's affiliation operations on the simulated default machine's partitions: the string edits
// and their edge cases (empty lists, duplicates, unknown paths, a leading ":").
#include "modeltest.h"

namespace {

const QString kSda5 = "/dev/sda5";
const QString kSdb2 = "/dev/sdb2";
const QString kSdb5 = "/dev/sdb5"; // PV outside every group, empty LV list
const QString kFailed = "Hard::getPv finding Partition failed!";

class HardAffiliation : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim = std::make_unique<SimRoot>();
        hard = std::make_unique<Hard>();
        ASSERT_NE(hard->getPv(kSdb5), nullptr);
    }
    Partition* pv(const QString& path) { return hard->getPv(path); }

    std::unique_ptr<SimRoot> sim;
    std::unique_ptr<Hard> hard;
};

} // namespace

TEST_F(HardAffiliation, EmptyListChangesNothingAndWritesNothing)
{
    const QString before = pv(kSda5)->lvString();
    MessageCapture capture;
    hard->affiliateVgPv("/dev/x", {});
    hard->deaffiliateVgPv({});
    hard->reaffiliateVgPv("/dev/x", {});
    hard->affiliateLvPv("/dev/x/a", {});
    hard->deaffiliateLvPv("/dev/my-vg/home", {});
    hard->reaffiliateLvPv("/dev/x/a", "/dev/my-vg/home", {});
    EXPECT_TRUE(capture.debugLines().isEmpty());
    EXPECT_EQ(pv(kSda5)->lvString(), before);
    EXPECT_EQ(pv(kSda5)->getVgPath(), "/dev/my-vg");
}

TEST_F(HardAffiliation, FirstLvOnEmptyListLeavesLeadingColonThatLaterEditsDrop)
{
    MessageCapture capture;
    hard->affiliateLvPv("/dev/vg00/a", {kSdb5});
    EXPECT_EQ(pv(kSdb5)->lvString(), ":/dev/vg00/a");
    EXPECT_EQ(capture.debugLines(), QStringList{"/dev/sdb5's lvs: :/dev/vg00/a"});

    hard->reaffiliateLvPv("/dev/vg00/b", "/dev/vg00/a", {kSdb5});
    EXPECT_EQ(pv(kSdb5)->lvString(), "/dev/vg00/b");

    hard->affiliateLvPv("/dev/vg00/c", {kSdb5});
    hard->deaffiliateLvPv("/dev/vg00/b", {kSdb5});
    EXPECT_EQ(pv(kSdb5)->lvString(), "/dev/vg00/c");
    hard->deaffiliateLvPv("/dev/vg00/c", {kSdb5});
    EXPECT_EQ(pv(kSdb5)->lvString(), QString());
    EXPECT_EQ(capture.debugLines().last(), "/dev/sdb5's lvs: ");
}

TEST_F(HardAffiliation, DuplicatesAddedTwiceRemovedTogetherRenamedOnlyFirst)
{
    hard->affiliateLvPv("/dev/vg00/a", {kSdb5});
    hard->affiliateLvPv("/dev/vg00/a", {kSdb5});
    EXPECT_EQ(pv(kSdb5)->lvString(), ":/dev/vg00/a:/dev/vg00/a");

    hard->reaffiliateLvPv("/dev/vg00/z", "/dev/vg00/a", {kSdb5});
    EXPECT_EQ(pv(kSdb5)->lvString(), "/dev/vg00/z:/dev/vg00/a");

    hard->affiliateLvPv("/dev/vg00/a", {kSdb5});
    hard->deaffiliateLvPv("/dev/vg00/a", {kSdb5});
    EXPECT_EQ(pv(kSdb5)->lvString(), "/dev/vg00/z");
}

TEST_F(HardAffiliation, LvEditsWithoutMatchStillStoreAndLog)
{
    MessageCapture capture;
    hard->reaffiliateLvPv("/dev/my-vg/new", "/dev/my-vg/none", {kSda5});
    hard->deaffiliateLvPv("/dev/my-vg/hom", {kSda5});
    const QString list = "/dev/my-vg/home:/dev/my-vg/home.daily:/dev/my-vg/music";
    EXPECT_EQ(pv(kSda5)->lvString(), list);
    EXPECT_EQ(capture.countDebug(QStringLiteral("/dev/sda5's lvs: ") + list), 2);
}

TEST_F(HardAffiliation, GetPvFindsByExactPathAndUnknownPathsAreSkippedOthersStillHandled)
{
    EXPECT_EQ(pv(kSdb2), hard->getDisk(1u)->getPartition(1u));
    {
        MessageCapture capture;
        EXPECT_EQ(pv("/dev/sdb"), nullptr);
        EXPECT_EQ(pv("/dev/sdb2 "), nullptr);
        EXPECT_EQ(capture.countDebug(kFailed), 2);
    }
    MessageCapture capture;
    hard->affiliateLvPv("/dev/vg00/a", {"/dev/hdz9", kSdb5, "sdb5", "/dev/sda4"});
    EXPECT_EQ(pv(kSdb5)->lvString(), ":/dev/vg00/a");
    EXPECT_EQ(capture.countDebug(kFailed), 3);
    EXPECT_EQ(capture.debugLines().indexOf("/dev/sdb5's lvs: :/dev/vg00/a"), 1);
    EXPECT_TRUE(capture.warnings().isEmpty());
}

TEST_F(HardAffiliation, VgAddedToNonPvMarksLvmSystemButNotPvFlagAndRemovalFreesIt)
{
    const QString sdc3 = "/dev/sdc3";
    hard->affiliateVgPv("  /dev/vg01 ", {sdc3});
    Partition* p = pv(sdc3);
    EXPECT_EQ(p->getSystem(), "Linux LVM");
    EXPECT_EQ(p->getVgPath(), "/dev/vg01");
    EXPECT_FALSE(p->isAllocatable());
    EXPECT_FALSE(p->isPv());
    EXPECT_EQ(p->lvString(), QString());

    // Removal from a group frees the partition but keeps its system and LV list.
    const QString lvs = pv(kSdb2)->lvString();
    hard->deaffiliateVgPv({kSdb2});
    p = pv(kSdb2);
    EXPECT_TRUE(p->isAllocatable());
    EXPECT_TRUE(p->getVgPath().isEmpty());
    EXPECT_EQ(p->getSystem(), "Linux LVM");
    EXPECT_EQ(p->lvString(), lvs);
    EXPECT_EQ(pv(kSda5)->getVgPath(), "/dev/my-vg");
}

TEST_F(HardAffiliation, VgRenameRewritesGroupOfEveryLvAndDropsLeadingColon)
{
    MessageCapture capture;
    hard->reaffiliateVgPv("/dev/vg01", {kSda5, kSdb5});
    EXPECT_EQ(pv(kSda5)->getVgPath(), "/dev/vg01");
    EXPECT_EQ(pv(kSda5)->lvString(), "/dev/vg01/home:/dev/vg01/home.daily:/dev/vg01/music");
    EXPECT_EQ(pv(kSda5)->getSystem(), "Linux LVM, LVM");
    EXPECT_EQ(pv(kSdb5)->getVgPath(), "/dev/vg01");
    EXPECT_EQ(pv(kSdb5)->lvString(), QString());
    EXPECT_TRUE(capture.debugLines().isEmpty());

    // A leading ":" left by the first LV on an empty list is dropped by the rename.
    hard->affiliateLvPv("/dev/vg00/a", {kSdb5});
    hard->affiliateLvPv("/dev/vg00/b", {kSdb5});
    hard->reaffiliateVgPv("/dev/vg01", {kSdb5});
    EXPECT_EQ(pv(kSdb5)->lvString(), "/dev/vg01/a:/dev/vg01/b");
}

TEST_F(HardAffiliation, MarkedPhysicalVolumeReadsAsAProbeShowsOneAndUnknownPathsPassSilently)
{
    // sda1 is an unmounted NTFS partition; sdb7 is mounted, so its type is the mount table's.
    const QString sda1 = "/dev/sda1";
    const QString sdb7 = "/dev/sdb7";
    MessageCapture capture;
    hard->markPhysicalVolumes({sda1, "/dev/nothing", sdb7});
    EXPECT_TRUE(capture.debugLines().isEmpty());
    for (const QString& path : {sda1, sdb7}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_TRUE(pv(path)->isPv());
        EXPECT_EQ(pv(path)->getSystem(), "Linux LVM, LVM");
        EXPECT_TRUE(pv(path)->isAllocatable());
        EXPECT_EQ(pv(path)->lvString(), QString());
    }
    EXPECT_EQ(pv(sda1)->fstype(), "LVM2");
    EXPECT_EQ(pv(sdb7)->fstype(), "reiserfs");
}

// Hard's affiliation operations on the simulated default machine's partitions: the string edits
// and their edge cases (empty lists, duplicates, unknown paths, a leading ":").
#include "modeltest.h"

namespace {

const QString kSda5 = "/dev/sda5";
const QString kSdb2 = "/dev/sdb2";
const QString kSdb5 = "/dev/sdb5"; // PV outside every group, empty LV list
const QString kSda5Lvs = "/dev/my-vg/home:/dev/my-vg/home.daily:/dev/my-vg/music";
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
    MessageCapture capture;
    hard->affiliateVgPv("/dev/x", {});
    hard->deaffiliateVgPv({});
    hard->reaffiliateVgPv("/dev/x", {});
    hard->affiliateLvPv("/dev/x/a", {});
    hard->deaffiliateLvPv("/dev/my-vg/home", {});
    hard->reaffiliateLvPv("/dev/x/a", "/dev/my-vg/home", {});
    EXPECT_TRUE(capture.debugLines().isEmpty());
    EXPECT_EQ(pv(kSda5)->lvString(), kSda5Lvs);
    EXPECT_EQ(pv(kSda5)->getVgPath(), "/dev/my-vg");
}

// Edits in a row on one list: the first volume on an empty list leaves a leading ":" that later
// edits drop; a volume added twice is listed twice, renamed only first and removed together; edits
// that match nothing still store and log. Each volume edit logs the new list once ('+' adds, '-'
// removes, '>' renames `old`); a group rename ('g') logs nothing.
TEST_F(HardAffiliation, EditsOfTheLvListOneAfterAnother)
{
    const std::tuple<QString, char, QString, QString, QString> steps[] = {
        {kSdb5, 'g', "/dev/vg01", "", ""},
        {kSdb5, '+', "/dev/vg00/a", "", ":/dev/vg00/a"},
        {kSdb5, '+', "/dev/vg00/a", "", ":/dev/vg00/a:/dev/vg00/a"},
        {kSdb5, '>', "/dev/vg00/z", "/dev/vg00/a", "/dev/vg00/z:/dev/vg00/a"},
        {kSdb5, '+', "/dev/vg00/a", "", "/dev/vg00/z:/dev/vg00/a:/dev/vg00/a"},
        {kSdb5, '-', "/dev/vg00/a", "", "/dev/vg00/z"},
        {kSdb5, '-', "/dev/vg00/z", "", ""},
        {kSdb5, '+', "/dev/vg00/a", "", ":/dev/vg00/a"},
        {kSdb5, 'g', "/dev/vg02", "", "/dev/vg02/a"},
        {kSda5, '>', "/dev/my-vg/new", "/dev/my-vg/none", kSda5Lvs},
        {kSda5, '-', "/dev/my-vg/hom", "", kSda5Lvs},
    };
    MessageCapture capture;
    for (const auto& [path, op, lv, old, expected] : steps) {
        SCOPED_TRACE(QStringLiteral("%1 %2 %3").arg(path, QChar(op), lv).toStdString());
        const QStringList logged = capture.debugLines();
        if (op == '+')
            hard->affiliateLvPv(lv, {path});
        else if (op == '-')
            hard->deaffiliateLvPv(lv, {path});
        else if (op == '>')
            hard->reaffiliateLvPv(lv, old, {path});
        else
            hard->reaffiliateVgPv(lv, {path});
        EXPECT_EQ(pv(path)->lvString(), expected);
        if (op == 'g') {
            EXPECT_EQ(capture.debugLines(), logged);
            EXPECT_EQ(pv(path)->getVgPath(), lv);
            EXPECT_EQ(pv(path)->getSystem(), "Linux LVM, LVM");
        } else {
            EXPECT_EQ(capture.debugLines(), logged + QStringList{path + "'s lvs: " + expected});
        }
    }
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
    EXPECT_EQ(capture.debugLines(), (QStringList{kFailed, "/dev/sdb5's lvs: :/dev/vg00/a", kFailed, kFailed}));
    EXPECT_TRUE(capture.warnings().isEmpty());
}

TEST_F(HardAffiliation, VgAddedToNonPvMarksLvmSystemButNotPvFlagAndRemovalFreesIt)
{
    const QString sdc3 = "/dev/sdc3";
    hard->affiliateVgPv("  /dev/vg01 ", {sdc3});
    Partition* p = pv(sdc3);
    EXPECT_EQ(std::tuple(p->getSystem(), p->getVgPath(), p->isAllocatable(), p->isPv(), p->lvString()),
              std::tuple("Linux LVM", "/dev/vg01", false, false, QString()));

    // Removal from a group frees the partition but keeps its system and LV list.
    const QString lvs = pv(kSdb2)->lvString();
    hard->deaffiliateVgPv({kSdb2});
    p = pv(kSdb2);
    EXPECT_EQ(std::tuple(p->getSystem(), p->getVgPath(), p->isAllocatable(), p->lvString()),
              std::tuple("Linux LVM", QString(), true, lvs));
    EXPECT_EQ(pv(kSda5)->getVgPath(), "/dev/my-vg");
}

// sdb7 is mounted, so its type stays the mount table's; a path the tree does not hold passes silently.
TEST_F(HardAffiliation, MarkedMountedPartitionKeepsItsTypeAndUnknownPathsPassSilently)
{
    const QString sdb7 = "/dev/sdb7";
    MessageCapture capture;
    hard->markPhysicalVolumes({"/dev/nothing", sdb7});
    EXPECT_TRUE(capture.debugLines().isEmpty());
    Partition* p = pv(sdb7);
    EXPECT_EQ(std::tuple(p->isPv(), p->getSystem(), p->isAllocatable(), p->lvString(), p->fstype()),
              std::tuple(true, "Linux LVM, LVM", true, QString(), "reiserfs"));
}

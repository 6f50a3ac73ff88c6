// End to end on the default simulated machine: build Roz, make a handful of changes, tear it all
// down. The CI leak check runs this under valgrind memcheck; here it checks the changes took.
#include "modeltest.h"

TEST(LeakEndToEnd, BuildChangeAndTearDownTheWholeModel)
{
    SimRoot sim;
    auto roz = std::make_unique<Roz>();
    Vg* vg = roz->getLvm()->getVg("my-vg");
    ASSERT_NE(vg, nullptr);
    const uint before = vg->lvCount();

    ASSERT_EQ(vg->createLv({"ext3", "-L64", "my-vg", "-nfresh"}), 0);
    Lv* fresh = vg->getLv("fresh");
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->resize({"-L128"}), 0);

    Lv* music = vg->getLv("music");
    ASSERT_NE(music, nullptr);
    ASSERT_EQ(music->createSnapshot({"-s", "-nmusic.snap", "-L64M"}), 0);
    Lv* snapshot = vg->getLv("music.snap");
    ASSERT_NE(snapshot, nullptr);
    EXPECT_EQ(snapshot->remove(), 0);

    Lv* scratch = vg->getLv("scratch_1");
    ASSERT_NE(scratch, nullptr);
    EXPECT_EQ(scratch->rename("scratch_2"), 0);
    EXPECT_EQ(vg->lvCount(), before + 1);

    Vg* backup = roz->getLvm()->getVg("vg.backup");
    ASSERT_NE(backup, nullptr);
    EXPECT_EQ(backup->activate(), 0);

    // The physical tree followed: sdb2 now lists the renamed volume.
    Partition* sdb2 = roz->getHard()->getDisk("sdb")->getPartition("sdb2");
    ASSERT_NE(sdb2, nullptr);
    EXPECT_FALSE(sdb2->lvString().contains("/dev/my-vg/scratch_1"));
    roz.reset();
}

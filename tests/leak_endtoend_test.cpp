// End to end on the default simulated machine: build Roz, make a handful of changes, tear it all
// down. The CI leak check runs this under valgrind memcheck; here it checks each change succeeds.
#include "modeltest.h"

TEST(LeakEndToEnd, BuildChangeAndTearDownTheWholeModel)
{
    SimRoot sim;
    auto roz = std::make_unique<Roz>();
    Vg* vg = roz->getLvm()->getVg("my-vg");
    ASSERT_NE(vg, nullptr);
    ASSERT_EQ(vg->createLv({"ext3", "-L64", "my-vg", "-nfresh"}), 0);
    EXPECT_EQ(vg->getLv("fresh")->resize({"-L128"}), 0);
    ASSERT_EQ(vg->getLv("music")->createSnapshot({"-s", "-nmusic.snap", "-L64M"}), 0);
    EXPECT_EQ(vg->getLv("music.snap")->remove(), 0);
    EXPECT_EQ(vg->getLv("scratch_1")->rename("scratch_2"), 0);
    EXPECT_EQ(roz->getLvm()->getVg("vg.backup")->activate(), 0);
    roz.reset();
}

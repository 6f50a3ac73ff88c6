// Soak: random operation sequences on the simulated machine; after every step the live model must
// equal a fresh discovery, apart from the listed differences the classic tools cannot avoid.
#include "modelsoak.h"
#include "qtprinters.h"
#include "roz.h"
#include "simroot.h"

#include <QMap>
#include <QSet>

#include <gtest/gtest.h>

namespace {

QString lvKey(const QStringList& parts, const QString& accessor)
{
    return QStringLiteral("lv/%1/%2/%3").arg(parts.value(1), parts.value(2), accessor);
}

// The differences a fresh discovery through the classic tools shows against a live model kept
// from what each change established. Each one is as narrow as its cause.
ToleranceList classicTolerances()
{
    ToleranceList list;

    // affiliateLvPv appends ":" + path (so an empty list gains a leading ":"), discovery lists the
    // volumes in the order of the physical volume's extent table: same volumes, other text.
    list.append({"a partition's LV list may differ by a leading ':' and by order",
                 [](const ModelDifference& d, const ToleranceContext&) {
                     const QStringList parts = keyParts(d.key);
                     return parts.value(0) == "part" && parts.value(2) == "lvString" &&
                            sortedPaths(d.live) == sortedPaths(d.fresh);
                 }});

    // An inactive snapshot's status line says INACTIVE, and then discovery does not read its
    // origin; the live model keeps the origin it knew (from the snapshot's creation, from before
    // the group's deactivation, or from a renamed origin) as long as that origin lists it.
    list.append({"an inactive snapshot's origin, unread by discovery, may be known live",
                 [](const ModelDifference& d, const ToleranceContext& c) {
                     const QStringList parts = keyParts(d.key);
                     if (parts.value(0) != "lv" || parts.value(3) != "original" || !d.fresh.isEmpty() ||
                         d.live.isEmpty())
                         return false;
                     const QString originSnapshots =
                         c.fresh.value(QStringLiteral("lv/%1/%2/snapshots").arg(parts.value(1), d.live));
                     return c.fresh.value(lvKey(parts, "isActive")) == "false" &&
                            originSnapshots.split(',').contains(parts.value(2));
                 }});

    // vgchange -ay prints no device numbers and the volumes are not read again: a volume the live
    // model never read active keeps -1:-1 and "unknown"; one it did gets back the minor it had,
    // while device-mapper hands out the lowest free minor at activation.
    list.append({"device numbers and file-system type of a volume activated by vgchange",
                 [](const ModelDifference& d, const ToleranceContext& c) {
                     const QStringList parts = keyParts(d.key);
                     if (parts.value(0) != "lv")
                         return false;
                     const QString accessor = parts.mid(3).join('/');
                     const bool activatedLive = c.groupsActivatedLive.contains(
                                                    c.fresh.value(QStringLiteral("vg/%1/uuid").arg(parts.value(1)))) &&
                                                c.fresh.value(lvKey(parts, "isActive")) == "true";
                     if (!activatedLive)
                         return false;
                     const bool neverReadActive = c.live.value(lvKey(parts, "attr/Major")) == "-1" &&
                                                  c.live.value(lvKey(parts, "attr/Minor")) == "-1" &&
                                                  c.live.value(lvKey(parts, "fstype")) == "unknown";
                     if (neverReadActive)
                         return accessor == "attr/Major" || accessor == "attr/Minor" || accessor == "fstype";
                     return accessor == "attr/Minor";
                 }});
    return list;
}

// Small and quick to read: an active group with an origin and its snapshot, an inactive one with
// the same (whose snapshot's origin discovery does not read), an orphan physical volume, a plain,
// an NTFS and a mounted partition.
const char* const kSmallMachine = R"({
  "disks": [
    {"name": "sda", "sizeKiB": 16777216, "partitions": [
      {"number": 1, "sizeKiB": 4194304, "system": "Linux LVM", "fstype": "LVM2", "tag": "LVM"},
      {"number": 2, "sizeKiB": 2097152, "system": "Linux LVM", "fstype": "LVM2", "tag": "LVM"},
      {"number": 3, "sizeKiB": 1048576, "system": "HPFS/NTFS", "fstype": "NTFS", "fsUsedKiB": 4096},
      {"number": 4, "sizeKiB": 4194304, "system": "extended"},
      {"number": 5, "sizeKiB": 1048576, "system": "Linux LVM", "fstype": "LVM2", "tag": "LVM"},
      {"number": 6, "sizeKiB": 1048576},
      {"number": 7, "sizeKiB": 1048576, "fstype": "ext3", "fsUsedKiB": 4096, "mount": {"dir": "/data"}}]}
  ],
  "pvs": [{"device": "/dev/sda1", "vg": "live-vg"}, {"device": "/dev/sda2", "vg": "cold.vg"},
          {"device": "/dev/sda5", "vg": ""}],
  "vgs": [
    {"name": "live-vg", "lvs": [
      {"name": "base", "fstype": "ext3", "sizeMiB": 256},
      {"name": "base.snap", "origin": "base", "sizeMiB": 32},
      {"name": "tmp_1", "fstype": "reiserfs", "sizeMiB": 128}]},
    {"name": "cold.vg", "active": false, "lvs": [
      {"name": "arch", "fstype": "ext2", "sizeMiB": 256},
      {"name": "arch-snap", "origin": "arch", "sizeMiB": 32}]}
  ]
})";

// Every createVg and extend pauses half a second in pvcreate: the sequences stay short.
constexpr int kSteps = 10;

// Today's tools report every field in one run, so the live model must equal a fresh one exactly.
void soak(unsigned int seed, const char* machineJson = nullptr, sim::ToolSet tools = sim::ToolSet::Classic)
{
    SoakConfig config;
    if (machineJson)
        config.machineJson = machineJson;
    config.seed = seed;
    config.steps = kSteps;
    config.tools = tools;
    if (tools == sim::ToolSet::Classic)
        config.tolerances = classicTolerances();
    runModelSoak(config);
}

} // namespace

// Each tolerance allows its own case and nothing next to it. A case's live dump is its fresh dump
// with the live entries put over it.
TEST(ModelSoakClassic, TolerancesAreNarrow)
{
    struct Case {
        const char* what;
        QMap<QString, QString> live;
        QMap<QString, QString> fresh;
        bool activatedLive;
        QStringList untolerated;
    };
    const QMap<QString, QString> inactiveSnapshot = {
        {"lv/g/s/original", ""}, {"lv/g/s/isActive", "false"}, {"lv/g/o/snapshots", "x,s"}};
    QMap<QString, QString> activeSnapshot = inactiveSnapshot;
    activeSnapshot["lv/g/s/isActive"] = "true";
    const QMap<QString, QString> neverReadActive = {
        {"lv/g/v/attr/Major", "-1"}, {"lv/g/v/attr/Minor", "-1"}, {"lv/g/v/fstype", "unknown"}};
    const QMap<QString, QString> readActive = {{"lv/g/v/attr/Minor", "4"}, {"lv/g/v/fstype", "ext3"}};
    const QMap<QString, QString> freshActive = {{"lv/g/v/attr/Major", "253"},
                                                {"lv/g/v/attr/Minor", "6"},
                                                {"lv/g/v/fstype", "ext2"},
                                                {"lv/g/v/isActive", "true"},
                                                {"vg/g/uuid", "U"}};
    const QStringList device = {"lv/g/v/attr/Major", "lv/g/v/attr/Minor", "lv/g/v/fstype"};
    const Case cases[] = {
        {"LV list, colon and order",
         {{"part/p/lvString", ":/dev/g/b:/dev/g/a"}},
         {{"part/p/lvString", "/dev/g/a:/dev/g/b"}},
         false,
         {}},
        {"LV list, other volume",
         {{"part/p/lvString", ":/dev/g/b"}},
         {{"part/p/lvString", "/dev/g/a"}},
         false,
         {"part/p/lvString"}},
        {"LV list, volume twice",
         {{"part/p/lvString", "/dev/g/a:/dev/g/a"}},
         {{"part/p/lvString", "/dev/g/a"}},
         false,
         {"part/p/lvString"}},
        {"inactive snapshot's origin", {{"lv/g/s/original", "o"}}, inactiveSnapshot, false, {}},
        {"active snapshot's origin", {{"lv/g/s/original", "o"}}, activeSnapshot, false, {"lv/g/s/original"}},
        {"origin not listing it", {{"lv/g/s/original", "x"}}, inactiveSnapshot, false, {"lv/g/s/original"}},
        {"never read active, vgchange", neverReadActive, freshActive, true, {}},
        {"never read active, no vgchange", neverReadActive, freshActive, false, device},
        {"read active, vgchange", readActive, freshActive, true, {"lv/g/v/fstype"}},
        {"a group figure", {{"vg/g/attr/FreeMb", "4"}}, {{"vg/g/attr/FreeMb", "8"}}, true, {"vg/g/attr/FreeMb"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ModelDump fresh;
        fresh.values = c.fresh;
        ModelDump live = fresh;
        live.values.insert(c.live);
        const ToleranceContext context{live, fresh, c.activatedLive ? QSet<QString>{"U"} : QSet<QString>{}};
        QStringList left;
        for (const ModelDifference& d : untoleratedDifferences(context, classicTolerances()))
            left << d.key;
        EXPECT_EQ(left, c.untolerated);
    }
}

// The dump reads the accessors: every setter's change shows under its key, and nothing else.
TEST(ModelDump, ShowsEachChangeUnderItsAccessorsKey)
{
    SimRoot sim;
    Roz live;
    Roz fresh;
    EXPECT_TRUE(compareDumps(dumpModel(live), dumpModel(fresh)).isEmpty());

    Partition* sdb5 = live.getHard()->getPv("/dev/sdb5");
    sdb5->setSystem("8e", "Linux LVM");
    sdb5->setVgPath("/dev/x");
    sdb5->setLvs(":/dev/x/y");
    sdb5->setPv(false);
    sdb5->setFstype("ext2");
    Lv* music = live.getLvm()->getVg("my-vg")->getLv("music");
    music->setStatus(0);
    music->setSize(4);
    music->setLe(5, 6);
    music->setSizeAtRead(7);
    music->setOriginal("o");
    music->addSnapshot("s");

    QStringList keys;
    for (const ModelDifference& d : compareDumps(dumpModel(live), dumpModel(fresh)))
        keys << d.key;
    EXPECT_EQ(keys,
              (QStringList{"lv/my-vg/music/attr/AllocatedLe", "lv/my-vg/music/attr/CurrentLe",
                           "lv/my-vg/music/attr/Size", "lv/my-vg/music/attr/SizeAtRead", "lv/my-vg/music/attr/Status",
                           "lv/my-vg/music/isActive", "lv/my-vg/music/original", "lv/my-vg/music/proportion",
                           "lv/my-vg/music/snapshots", "part/sdb5/fstype", "part/sdb5/isAllocatable", "part/sdb5/isPv",
                           "part/sdb5/lvString", "part/sdb5/system", "part/sdb5/vgPath", "vg/my-vg/isActive"}));
}

// A few seeds per test case, each case its own process, so that ctest -j2 runs them side by side.
struct SoakRun {
    const char* name;
    const char* machineJson; // nullptr: the shipped default machine
    sim::ToolSet tools;
    unsigned int firstSeed, lastSeed;
};

class ModelSoak : public ::testing::TestWithParam<SoakRun>
{
};

TEST_P(ModelSoak, LiveModelEqualsAFreshDiscoveryAfterEveryStep)
{
    for (unsigned int seed = GetParam().firstSeed; seed <= GetParam().lastSeed; ++seed)
        soak(seed, GetParam().machineJson, GetParam().tools);
}

INSTANTIATE_TEST_SUITE_P(Seeds, ModelSoak,
                         ::testing::Values(SoakRun{"ClassicDefault1And2", nullptr, sim::ToolSet::Classic, 1, 2},
                                           SoakRun{"ClassicDefault3And4", nullptr, sim::ToolSet::Classic, 3, 4},
                                           SoakRun{"ClassicSmall1And2", kSmallMachine, sim::ToolSet::Classic, 1, 2},
                                           SoakRun{"ClassicSmall3And4", kSmallMachine, sim::ToolSet::Classic, 3, 4},
                                           SoakRun{"CurrentDefault1To4", nullptr, sim::ToolSet::Current, 1, 4},
                                           SoakRun{"CurrentSmall1To4", kSmallMachine, sim::ToolSet::Current, 1, 4}),
                         [](const ::testing::TestParamInfo<SoakRun>& info) { return std::string(info.param.name); });

// Soak: random operation sequences on the simulated machine; after every step the live model must
// equal a fresh discovery, apart from the listed differences the classic tools cannot avoid.
#include "modeldump.h"
#include "qtprinters.h"
#include "roz.h"
#include "simroot.h"

#include <QSet>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <numeric>
#include <random>

namespace {

QString lvKey(const QStringList& parts, const QString& accessor)
{
    return QStringLiteral("lv/%1/%2/%3").arg(parts.value(1), parts.value(2), accessor);
}

QStringList sortedPaths(const QString& colonJoined)
{
    QStringList paths = colonJoined.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    paths.sort();
    return paths;
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

// Operations drawn at random on the live Roz. Their targets come from the live model: it has just
// been found equal to a fresh discovery in everything they depend on.
class Soak
{
public:
    Soak(const char* machineJson, sim::ToolSet tools, unsigned int seed)
        : m_sim(machineJson ? SimRoot::fromJson(machineJson, tools) : std::make_unique<SimRoot>("default", tools)),
          m_live(std::make_unique<Roz>()), m_seed(seed), m_rng(seed)
    {
        if (tools == sim::ToolSet::Classic)
            m_tolerances = classicTolerances();
    }

    // At the first difference that no tolerance allows: a failure naming the seed, the step, every
    // operation so far and the differences.
    void run(int steps)
    {
        for (int step = 0; step <= steps; ++step) {
            if (step > 0)
                m_history << QString::number(step) + QStringLiteral(". ") + randomOperation();
            Roz fresh;
            const ModelDump liveDump = dumpModel(*m_live);
            const ModelDump freshDump = dumpModel(fresh);
            QString differences;
            for (const ModelDifference& d : untoleratedDifferences({liveDump, freshDump, m_activated}, m_tolerances))
                differences += QStringLiteral("  ") + d.text() + QLatin1Char('\n');
            if (!differences.isEmpty()) {
                ADD_FAILURE() << "live model differs from a fresh discovery: seed " << m_seed << ", step " << step
                              << "\noperations:\n  " << m_history.join(QStringLiteral("\n  ")).toStdString()
                              << "\ndifferences:\n"
                              << differences.toStdString();
                return;
            }
        }
    }

private:
    using Operation = QString (Soak::*)();

    // An operation that finds nothing to work on returns "" and another is drawn.
    QString randomOperation()
    {
        // Weighted: the changes that prepare partitions pause in pvcreate, so they come less often.
        static const QList<QPair<int, Operation>> operations = {
            {2, &Soak::createVg}, {1, &Soak::createVgInvalid}, {3, &Soak::activate}, {3, &Soak::deactivate},
            {1, &Soak::freeze},   {1, &Soak::defreeze},        {2, &Soak::removeVg}, {2, &Soak::renameVg},
            {2, &Soak::extend},   {2, &Soak::reduce},          {6, &Soak::createLv}, {3, &Soak::renameLv},
            {4, &Soak::removeLv}, {4, &Soak::snapshot},        {3, &Soak::resize},
        };
        const int total = std::accumulate(operations.cbegin(), operations.cend(), 0,
                                          [](int sum, const auto& entry) { return sum + entry.first; });
        for (;;) {
            int roll = pick(total);
            auto entry = operations.cbegin();
            while ((roll -= entry->first) >= 0)
                ++entry;
            const QString done = (this->*entry->second)();
            if (!done.isEmpty())
                return done;
        }
    }

    // Plain modulo rather than a standard distribution, whose results differ between libraries.
    int pick(int count) { return int(m_rng() % unsigned(count)); }
    bool chance(int percent) { return pick(100) < percent; }
    template <class T> T pickOf(const QList<T>& list) { return list.isEmpty() ? T() : list.at(pick(int(list.size()))); }

    // Names with the characters that trip up parsers: "-", "." and "_".
    QString newName(const char* stem)
    {
        static const char* const separators[] = {"", "-", ".", "_"};
        return QLatin1String(stem) + QLatin1String(separators[pick(4)]) + QString::number(++m_serial);
    }
    QStringList names(const QList<Vg*>& groups) const
    {
        QStringList found;
        for (Vg* vg : groups)
            found << vg->name();
        return found;
    }

    QList<Vg*> groups() const { return m_live->findChildren<Vg*>(); }
    QList<Lv*> volumes() const { return m_live->findChildren<Lv*>(); }
    // Partitions in no group and not mounted: what pvcreate accepts.
    QStringList freePartitions(bool pvOnly) const
    {
        QStringList paths;
        for (Partition* partition : m_live->findChildren<Partition*>()) {
            if (partition->isAllocatable() && partition->mountPoint().isEmpty() && (!pvOnly || partition->isPv()))
                paths << partition->path();
        }
        return paths;
    }

    // "Vg(/dev/x)::extend(/dev/sda5) -> 0", or "" without a target. The description is made first:
    // the call may delete `target`.
    template <class Target, class Method, class... Args>
    static QString call(Target* target, const char* label, Method method, const Args&... args)
    {
        if (!target)
            return {};
        const QString what = QStringLiteral("%1(%2)::%3(%4)")
                                 .arg(QLatin1String(target->metaObject()->className()), target->path(),
                                      QLatin1String(label), QStringList{args...}.join(QLatin1Char(',')));
        return what + QStringLiteral(" -> ") + QString::number(std::invoke(method, target, args...));
    }

    QString createVg(const QStringList& args)
    {
        return QStringLiteral("Lvm::createVg(%1) -> %2")
            .arg(args.join(QLatin1Char(',')))
            .arg(m_live->getLvm()->createVg(QStringList{"-s", "8M", "-v"} + args));
    }
    QString createVg()
    {
        QStringList free = freePartitions(false);
        if (free.isEmpty())
            return {};
        QStringList devices{free.takeAt(pick(int(free.size())))};
        if (!free.isEmpty() && chance(30))
            devices << pickOf(free);
        return createVg(QStringList{newName("vg")} + devices);
    }
    // Refused requests that leave the machine as it was: too few entries, or a taken or invalid
    // name on a partition that is a physical volume already.
    QString createVgInvalid()
    {
        const QStringList orphans = freePartitions(true);
        if (orphans.isEmpty() || chance(30))
            return createVg({newName("vg")});
        const QStringList taken = names(groups());
        const QString name = taken.isEmpty() || chance(50) ? QStringLiteral("bad/name") : pickOf(taken);
        return createVg({name, pickOf(orphans)});
    }

    QString activate()
    {
        return call(pickOf(groups()), "activate", [this](Vg* vg) {
            const int result = vg->activate();
            if (result == 0)
                m_activated.insert(vg->uuidString());
            return result;
        });
    }
    QString deactivate() { return call(pickOf(groups()), "deactivate", &Vg::deactivate); }
    QString freeze() { return call(pickOf(groups()), "freeze", &Vg::freeze); }
    QString defreeze() { return call(pickOf(groups()), "defreeze", &Vg::defreeze); }
    QString removeVg() { return call(pickOf(groups()), "remove", &Vg::remove); }
    QString renameVg()
    {
        Vg* vg = pickOf(groups());
        const QString name = chance(20) ? (chance(50) ? QStringLiteral("bad name") : pickOf(names(groups())))
                                        : QStringLiteral(" ") + newName("vg");
        return call(vg, "rename", &Vg::rename, name);
    }
    QString extend()
    {
        QList<Vg*> resizable = groups();
        resizable.removeIf([](Vg* vg) { return !vg->isResizable(); });
        const QStringList free = freePartitions(false);
        return free.isEmpty() ? QString() : call(pickOf(resizable), "extend", &Vg::extend, QStringList{pickOf(free)});
    }
    QString reduce()
    {
        Vg* vg = pickOf(groups());
        const QStringList pvs = vg ? vg->pvString().split(QLatin1Char(':'), Qt::SkipEmptyParts) : QStringList();
        return pvs.isEmpty() ? QString() : call(vg, "reduce", &Vg::reduce, QStringList{pickOf(pvs)});
    }
    QString createLv()
    {
        static const char* const fileSystems[] = {"ext2", "ext3", "reiserfs", ""};
        static const char* const sizes[] = {"-L8", "-L24", "-L64"};
        Vg* vg = pickOf(groups());
        const QString name = chance(10) && !volumes().isEmpty() ? pickOf(volumes())->name() : newName("lv");
        return vg ? call(vg, "createLv", &Vg::createLv,
                         QStringList{fileSystems[pick(4)], sizes[pick(3)], vg->name(), QStringLiteral("-n") + name})
                  : QString();
    }

    QString renameLv()
    {
        Lv* lv = pickOf(volumes());
        return call(lv, "rename", &Lv::rename, chance(10) ? pickOf(volumes())->name() : newName("lv"));
    }
    QString removeLv() { return call(pickOf(volumes()), "remove", &Lv::remove); }
    QString snapshot()
    {
        QList<Lv*> origins = volumes();
        origins.removeIf(std::mem_fn(&Lv::isSnapshot));
        Lv* lv = pickOf(origins);
        return call(lv, "createSnapshot", &Lv::createSnapshot, QStringList{"-s", "-n" + newName("snap"), "-L16"});
    }
    // Grow only, to a size above the current one.
    QString resize()
    {
        static const int growth[] = {4, 40, 400};
        Lv* lv = pickOf(volumes());
        return lv ? call(lv, "resize", &Lv::resize,
                         QStringList{QStringLiteral("-L%1").arg(lv->getAttribute(Lv::Size) + growth[pick(3)])})
                  : QString();
    }

    std::unique_ptr<SimRoot> m_sim;
    std::unique_ptr<Roz> m_live;
    ToleranceList m_tolerances;
    unsigned int m_seed;
    std::mt19937 m_rng;
    QStringList m_history;
    QSet<QString> m_activated; // groups (by UUID) whose activation the live model learned from vgchange
    int m_serial = 0;
};

} // namespace

// The comparison the soak relies on: a volume's size and a partition's volume list changed behind
// the live model's back are differences that the classic tolerances let through.
TEST(ModelSoakClassic, ChangesOutsideTheTolerancesAreDifferences)
{
    SimRoot sim;
    Roz live;
    Roz fresh;
    live.getLvm()->getVg("my-vg")->getLv("music")->setSize(4);
    live.getHard()->getPv("/dev/sdb5")->setLvs(":/dev/x/y");
    const ModelDump liveDump = dumpModel(live), freshDump = dumpModel(fresh);
    QStringList keys;
    for (const ModelDifference& d : untoleratedDifferences({liveDump, freshDump, {}}, classicTolerances()))
        keys << d.key;
    EXPECT_TRUE(keys.contains("lv/my-vg/music/attr/Size") && keys.contains("part/sdb5/lvString"))
        << keys.join(' ').toStdString();
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
        Soak(GetParam().machineJson, GetParam().tools, seed).run(kSteps);
}

INSTANTIATE_TEST_SUITE_P(Seeds, ModelSoak,
                         ::testing::Values(SoakRun{"ClassicDefault1And2", nullptr, sim::ToolSet::Classic, 1, 2},
                                           SoakRun{"ClassicDefault3And4", nullptr, sim::ToolSet::Classic, 3, 4},
                                           SoakRun{"ClassicSmall1And2", kSmallMachine, sim::ToolSet::Classic, 1, 2},
                                           SoakRun{"ClassicSmall3And4", kSmallMachine, sim::ToolSet::Classic, 3, 4},
                                           SoakRun{"CurrentDefault1To4", nullptr, sim::ToolSet::Current, 1, 4},
                                           SoakRun{"CurrentSmall1To4", kSmallMachine, sim::ToolSet::Current, 1, 4}),
                         [](const ::testing::TestParamInfo<SoakRun>& info) { return std::string(info.param.name); });

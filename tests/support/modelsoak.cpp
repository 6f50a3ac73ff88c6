// The model soak: operations chosen at random from what a fresh discovery shows, carried out on the
// live Roz, and both models compared after each one.
#include "modelsoak.h"

#include "roz.h"
#include "simroot.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>

namespace {

struct VolumeRef {
    QString group;
    QString name;
    bool snapshot = false;
    int size = 0;
};

class Soak
{
public:
    explicit Soak(const SoakConfig& config) : m_config(config), m_rng(config.seed) {}

    void run()
    {
        m_sim = m_config.machineJson.isEmpty() ? std::make_unique<SimRoot>(m_config.machine, m_config.tools)
                                               : SimRoot::fromJson(m_config.machineJson, m_config.tools);
        m_live = std::make_unique<Roz>();
        m_fresh = std::make_unique<Roz>();
        if (!matches(0))
            return;
        for (int step = 1; step <= m_config.steps; ++step) {
            m_history << QString::number(step) + QStringLiteral(". ") + randomOperation();
            m_fresh = std::make_unique<Roz>();
            if (!matches(step))
                return;
        }
    }

private:
    using Operation = QString (Soak::*)();

    bool matches(int step)
    {
        const ModelDump live = dumpModel(*m_live);
        const ModelDump fresh = dumpModel(*m_fresh);
        const ToleranceContext context{live, fresh, m_activatedGroups};
        QString untolerated;
        QString tolerated;
        for (const auto& [difference, reason] : classifyDifferences(context, m_config.tolerances)) {
            if (reason.isEmpty())
                untolerated += QStringLiteral("  ") + difference.text() + QLatin1Char('\n');
            else
                tolerated +=
                    QStringLiteral("  ") + difference.text() + QStringLiteral(" (") + reason + QStringLiteral(")\n");
        }
        if (untolerated.isEmpty())
            return true;
        ADD_FAILURE() << "live model differs from a fresh discovery: seed " << m_config.seed << ", step " << step
                      << "\noperations:\n  " << m_history.join(QStringLiteral("\n  ")).toStdString()
                      << "\ndifferences:\n"
                      << untolerated.toStdString() << "tolerated:\n"
                      << tolerated.toStdString();
        return false;
    }

    QString randomOperation()
    {
        // Weighted: the changes that prepare partitions pause in pvcreate, so they come less often.
        static const QList<QPair<int, Operation>> operations = {
            {2, &Soak::createVg}, {1, &Soak::createVgInvalid}, {3, &Soak::activate}, {3, &Soak::deactivate},
            {1, &Soak::freeze},   {1, &Soak::defreeze},        {2, &Soak::removeVg}, {2, &Soak::renameVg},
            {2, &Soak::extend},   {2, &Soak::reduce},          {6, &Soak::createLv}, {3, &Soak::renameLv},
            {4, &Soak::removeLv}, {4, &Soak::snapshot},        {3, &Soak::resize},
        };
        int total = 0;
        for (const auto& entry : operations)
            total += entry.first;
        for (;;) {
            int roll = pick(total);
            for (const auto& entry : operations) {
                roll -= entry.first;
                if (roll >= 0)
                    continue;
                const QString done = (this->*entry.second)();
                if (!done.isEmpty())
                    return done;
                break;
            }
        }
    }

    // Plain modulo rather than a standard distribution, whose results differ between libraries.
    int pick(int count) { return int(m_rng() % unsigned(count)); }
    bool chance(int percent) { return pick(100) < percent; }
    template <class T> T pickOf(const QList<T>& list) { return list.at(pick(int(list.size()))); }

    // Names with the characters that trip up parsers: "-", "." and "_".
    QString newName(const char* stem)
    {
        static const char* const separators[] = {"", "-", ".", "_"};
        return QLatin1String(stem) + QLatin1String(separators[pick(4)]) + QString::number(++m_serial);
    }

    QStringList groups() const
    {
        QStringList names;
        Lvm* lvm = m_fresh->getLvm();
        for (uint i = 0; i < lvm->vgCount(); ++i)
            names << lvm->getVg(i)->name();
        return names;
    }

    QList<VolumeRef> volumes() const
    {
        QList<VolumeRef> found;
        Lvm* lvm = m_fresh->getLvm();
        for (uint i = 0; i < lvm->vgCount(); ++i) {
            Vg* vg = lvm->getVg(i);
            for (unsigned int j = 0; j < vg->lvCount(); ++j) {
                Lv* lv = vg->getLv(j);
                found.append({vg->name(), lv->name(), lv->isSnapshot(), lv->getAttribute(Lv::Size)});
            }
        }
        return found;
    }

    // Partitions in no group and not mounted: what pvcreate accepts.
    QStringList freePartitions(bool pvOnly) const
    {
        QStringList paths;
        Hard* hard = m_fresh->getHard();
        for (unsigned int d = 0; d < hard->diskCount(); ++d) {
            Disk* disk = hard->getDisk(d);
            for (unsigned int p = 0; p < disk->partitionCount(); ++p) {
                Partition* partition = disk->getPartition(p);
                if (partition->isAllocatable() && partition->mountPoint().isEmpty() && (!pvOnly || partition->isPv()))
                    paths << partition->path();
            }
        }
        return paths;
    }

    Vg* liveGroup(const QString& name) { return m_live->getLvm()->getVg(name); }
    Lv* liveVolume(const VolumeRef& ref)
    {
        Vg* vg = liveGroup(ref.group);
        return vg ? vg->getLv(ref.name) : nullptr;
    }

    static QString done(const QString& what, int result)
    {
        return what + QStringLiteral(" -> ") + QString::number(result);
    }
    static QString missing(const QString& what) { return what + QStringLiteral(" -> not in the live model"); }

    QString createVg()
    {
        QStringList free = freePartitions(false);
        if (free.isEmpty())
            return {};
        QStringList devices{free.takeAt(pick(int(free.size())))};
        if (!free.isEmpty() && chance(30))
            devices << pickOf(free);
        const QStringList args =
            QStringList{QStringLiteral("-s"), QStringLiteral("8M"), QStringLiteral("-v"), newName("vg")} + devices;
        return done(QStringLiteral("Lvm::createVg ") + args.join(QLatin1Char(' ')), m_live->getLvm()->createVg(args));
    }

    // Refused requests that leave the machine as it was: too few entries, or a taken or invalid
    // name on a partition that is a physical volume already.
    QString createVgInvalid()
    {
        const QStringList orphans = freePartitions(true);
        QStringList args{QStringLiteral("-s"), QStringLiteral("8M"), QStringLiteral("-v")};
        if (orphans.isEmpty() || chance(30)) {
            args << newName("vg");
        } else {
            const QStringList taken = groups();
            args << (taken.isEmpty() || chance(50) ? QStringLiteral("bad/name") : pickOf(taken)) << pickOf(orphans);
        }
        return done(QStringLiteral("Lvm::createVg ") + args.join(QLatin1Char(' ')), m_live->getLvm()->createVg(args));
    }

    QString groupOperation(const QString& label, const std::function<int(Vg*)>& operation)
    {
        const QStringList names = groups();
        if (names.isEmpty())
            return {};
        const QString name = pickOf(names);
        const QString what = QStringLiteral("Vg(%1)::%2").arg(name, label);
        Vg* vg = liveGroup(name);
        return vg ? done(what, operation(vg)) : missing(what);
    }

    QString activate()
    {
        return groupOperation(QStringLiteral("activate"), [this](Vg* vg) {
            const int result = vg->activate();
            if (result == 0)
                m_activatedGroups.insert(vg->uuidString());
            return result;
        });
    }
    QString deactivate()
    {
        return groupOperation(QStringLiteral("deactivate"), [](Vg* vg) { return vg->deactivate(); });
    }
    QString freeze()
    {
        return groupOperation(QStringLiteral("freeze"), [](Vg* vg) { return vg->freeze(); });
    }
    QString defreeze()
    {
        return groupOperation(QStringLiteral("defreeze"), [](Vg* vg) { return vg->defreeze(); });
    }
    QString removeVg()
    {
        return groupOperation(QStringLiteral("remove"), [](Vg* vg) { return vg->remove(); });
    }

    QString renameVg()
    {
        const QStringList taken = groups();
        const QString newName = chance(20) ? (chance(50) ? QStringLiteral("bad name") : pickOf(taken))
                                           : QStringLiteral(" ") + this->newName("vg");
        return groupOperation(QStringLiteral("rename(%1)").arg(newName),
                              [&newName](Vg* vg) { return vg->rename(newName); });
    }

    QString extend()
    {
        const QStringList free = freePartitions(false);
        QStringList resizable;
        for (const QString& name : groups()) {
            if (m_fresh->getLvm()->getVg(name)->isResizable())
                resizable << name;
        }
        if (free.isEmpty() || resizable.isEmpty())
            return {};
        const QString name = pickOf(resizable);
        const QString device = pickOf(free);
        const QString what = QStringLiteral("Vg(%1)::extend(%2)").arg(name, device);
        Vg* vg = liveGroup(name);
        return vg ? done(what, vg->extend({device})) : missing(what);
    }

    QString reduce()
    {
        const QStringList names = groups();
        if (names.isEmpty())
            return {};
        const QString name = pickOf(names);
        const QStringList pvs = m_fresh->getLvm()->getVg(name)->pvString().split(QLatin1Char(':'), Qt::SkipEmptyParts);
        if (pvs.isEmpty())
            return {};
        const QString device = pickOf(pvs);
        const QString what = QStringLiteral("Vg(%1)::reduce(%2)").arg(name, device);
        Vg* vg = liveGroup(name);
        return vg ? done(what, vg->reduce({device})) : missing(what);
    }

    QString createLv()
    {
        const QStringList names = groups();
        if (names.isEmpty())
            return {};
        static const char* const fileSystems[] = {"ext2", "ext3", "reiserfs", ""};
        static const char* const sizes[] = {"-L8", "-L24", "-L64"};
        const QString group = pickOf(names);
        const QList<VolumeRef> existing = volumes();
        const QString lvName = !existing.isEmpty() && chance(10) ? pickOf(existing).name : newName("lv");
        const QStringList request{QLatin1String(fileSystems[pick(4)]), QLatin1String(sizes[pick(3)]), group,
                                  QStringLiteral("-n") + lvName};
        const QString what = QStringLiteral("Vg(%1)::createLv(%2)").arg(group, request.join(QLatin1Char(',')));
        Vg* vg = liveGroup(group);
        return vg ? done(what, vg->createLv(request)) : missing(what);
    }

    QString volumeOperation(const VolumeRef& ref, const QString& label, const std::function<int(Lv*)>& operation)
    {
        const QString what = QStringLiteral("Lv(%1/%2)::%3").arg(ref.group, ref.name, label);
        Lv* lv = liveVolume(ref);
        return lv ? done(what, operation(lv)) : missing(what);
    }

    QString renameLv()
    {
        const QList<VolumeRef> all = volumes();
        if (all.isEmpty())
            return {};
        const QString newName = chance(10) ? pickOf(all).name : this->newName("lv");
        return volumeOperation(pickOf(all), QStringLiteral("rename(%1)").arg(newName),
                               [&newName](Lv* lv) { return lv->rename(newName); });
    }

    QString removeLv()
    {
        const QList<VolumeRef> all = volumes();
        if (all.isEmpty())
            return {};
        return volumeOperation(pickOf(all), QStringLiteral("remove"), [](Lv* lv) { return lv->remove(); });
    }

    QString snapshot()
    {
        QList<VolumeRef> origins;
        for (const VolumeRef& ref : volumes()) {
            if (!ref.snapshot)
                origins << ref;
        }
        if (origins.isEmpty())
            return {};
        const QStringList args{QStringLiteral("-s"), QStringLiteral("-n") + newName("snap"), QStringLiteral("-L16")};
        return volumeOperation(pickOf(origins), QStringLiteral("createSnapshot(%1)").arg(args.join(QLatin1Char(','))),
                               [&args](Lv* lv) { return lv->createSnapshot(args); });
    }

    // Grow only, to a size above the current one.
    QString resize()
    {
        const QList<VolumeRef> all = volumes();
        if (all.isEmpty())
            return {};
        static const int growth[] = {4, 40, 400};
        const VolumeRef ref = pickOf(all);
        const QStringList args{QStringLiteral("-L") + QString::number(ref.size + growth[pick(3)])};
        return volumeOperation(ref, QStringLiteral("resize(%1)").arg(args.join(QLatin1Char(','))),
                               [&args](Lv* lv) { return lv->resize(args); });
    }

    const SoakConfig& m_config;
    std::mt19937 m_rng;
    std::unique_ptr<SimRoot> m_sim;
    std::unique_ptr<Roz> m_live;
    std::unique_ptr<Roz> m_fresh;
    QStringList m_history;
    QSet<QString> m_activatedGroups;
    int m_serial = 0;
};

} // namespace

void runModelSoak(const SoakConfig& config)
{
    Soak(config).run();
}

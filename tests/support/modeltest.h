// Shared fixture code for the model tests: the simulated state looked up by name, the call log
// filtered, signals recorded as lines of text, and a Roz built on a machine given as JSON.
#ifndef DOVO_TESTS_MODELTEST_H
#define DOVO_TESTS_MODELTEST_H

#include "capture.h"
#include "qtprinters.h"
#include "roz.h"
#include "simroot.h"

#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// The LVM program the library starts on the test's tool set.
inline const QString kLvm =
    testToolSet() == sim::ToolSet::Current ? QStringLiteral("/sbin/lvm") : QStringLiteral("/sbin/lvm.static");
inline const QString kLister = QStringLiteral("/usr/lib/vururer/lib/veziva.cli");

// The entry of `array` whose "name" is `name`; empty when there is none.
inline QJsonObject namedEntry(const QJsonArray& array, const QString& name)
{
    for (const QJsonValue& entry : array) {
        if (entry.toObject().value(QStringLiteral("name")).toString() == name)
            return entry.toObject();
    }
    return {};
}

inline QStringList entryNames(const QJsonArray& array)
{
    QStringList names;
    for (const QJsonValue& entry : array)
        names << entry.toObject().value(QStringLiteral("name")).toString();
    return names;
}

// The simulated machine's own view of a group and of a volume.
inline QJsonObject stateGroup(const SimRoot& sim, const QString& name)
{
    return namedEntry(sim.state().value(QStringLiteral("vgs")).toArray(), name);
}

inline QJsonObject stateVolume(const SimRoot& sim, const QString& group, const QString& name)
{
    return namedEntry(stateGroup(sim, group).value(QStringLiteral("lvs")).toArray(), name);
}

// The group the simulated state puts a physical volume in; "" for none, "<no pv>" when no PV.
inline QString stateGroupOfPv(const SimRoot& sim, const QString& device)
{
    for (const QJsonValue& pv : sim.state().value(QStringLiteral("pvs")).toArray()) {
        if (pv.toObject().value(QStringLiteral("device")).toString() == device)
            return pv.toObject().value(QStringLiteral("vg")).toString();
    }
    return QStringLiteral("<no pv>");
}

// A run that changes the machine, on either tool set (not one of the reads).
inline bool isToolChange(const QStringList& call)
{
    static const QStringList lvmReads = {"vgdisplay", "pvscan",    "lvscan",    "lvdisplay",
                                         "vgscan",    "pvdisplay", "fullreport"};
    static const QStringList readers = {"/bin/mount", "/bin/lsblk", "/sbin/blkid", kLister};
    const bool lvm = call.value(0) == QLatin1String("/sbin/lvm.static") || call.value(0) == QLatin1String("/sbin/lvm");
    return !(lvm ? lvmReads.contains(call.value(1)) : readers.contains(call.value(0)));
}

// The logged program runs that `keep` accepts, in order.
inline QList<QStringList> callsWhere(const SimRoot& sim, const std::function<bool(const QStringList&)>& keep)
{
    QList<QStringList> found;
    for (const QStringList& call : sim.calls()) {
        if (keep(call))
            found << call;
    }
    return found;
}

// Signals as lines of text in the order of delivery: "name arg1 arg2 ...", lists joined with ","
// (or "[a,b]" when `bracketLists`); an output signal adds only its name and keeps its text.
class SignalLog
{
public:
    QStringList events;
    QStringList outputs;
    bool bracketLists = false;

    template <class Sender, class... Args>
    void record(Sender* sender, void (Sender::*signal)(Args...), const QString& name)
    {
        QObject::connect(sender, signal, [this, name](Args... args) {
            QString line = name;
            ((line += QLatin1Char(' ') + text(args)), ...);
            events << line;
        });
    }

    template <class Sender>
    void recordOutput(Sender* sender, void (Sender::*signal)(const QString&),
                      const QString& name = QStringLiteral("output"))
    {
        QObject::connect(sender, signal, [this, name](const QString& t) {
            events << name;
            outputs << t;
        });
    }

private:
    QString text(const QString& s) const { return s; }
    QString text(bool b) const { return QString::number(b ? 1 : 0); }
    QString text(const QStringList& list) const
    {
        const QString joined = list.join(QLatin1Char(','));
        return bracketLists ? QLatin1Char('[') + joined + QLatin1Char(']') : joined;
    }
};

// A Roz on a simulated machine described as JSON, with its group "vg00" at hand.
class RozOnMachine : public ::testing::Test, public SignalLog
{
protected:
    explicit RozOnMachine(const char* machine) : machine_(machine) {}

    void SetUp() override
    {
        sim = SimRoot::fromJson(machine_);
        roz = std::make_unique<Roz>();
        vg = roz->getLvm()->getVg(QStringLiteral("vg00"));
        ASSERT_NE(vg, nullptr);
    }

    QJsonObject stateLv(const QString& name) const { return stateVolume(*sim, QStringLiteral("vg00"), name); }

    std::unique_ptr<SimRoot> sim;
    std::unique_ptr<Roz> roz;
    Vg* vg = nullptr;

private:
    const char* machine_;
};

#endif

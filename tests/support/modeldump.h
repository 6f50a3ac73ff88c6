// A whole Roz as canonical key/value text (every public accessor of every object of both trees),
// and the differences between two such dumps, less the ones a tolerance list allows.
#ifndef DOVO_TESTS_MODELDUMP_H
#define DOVO_TESTS_MODELDUMP_H

#include <QList>
#include <QMap>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class Roz;

// Keys name the object and the accessor: "vg/my-vg/attr/FreeMb", "lv/my-vg/home/original",
// "part/sda5/lvString", "disk/sda/partitions". Null and empty texts are both "" (a caller cannot
// tell them apart through the accessors' use), lists are joined with ",".
struct ModelDump {
    QMap<QString, QString> values;

    QString value(const QString& key) const { return values.value(key); }
    // One "key = value" line per entry, in key order.
    QString text() const;
};

ModelDump dumpModel(Roz& roz);

struct ModelDifference {
    QString key;
    QString live;  // "<absent>" when the live model has no such key
    QString fresh; // "<absent>" when the fresh model has no such key

    QString text() const;
};

// What a tolerance may look at besides the difference: both dumps, and the groups (by UUID) whose
// activation the live model learned only from vgchange.
struct ToleranceContext {
    const ModelDump& live;
    const ModelDump& fresh;
    QSet<QString> groupsActivatedLive;
};

struct Tolerance {
    QString reason;
    std::function<bool(const ModelDifference&, const ToleranceContext&)> allows;
};
using ToleranceList = QList<Tolerance>;

// Every key whose value differs (or that only one side has) and that no tolerance of the list
// allows, in key order.
QList<ModelDifference> untoleratedDifferences(const ToleranceContext& context, const ToleranceList& tolerances);

// For tolerances: the parts of a key split at "/".
QStringList keyParts(const QString& key);

#endif

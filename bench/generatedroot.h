// A simulated machine made by the generator and laid out in a temporary root that the library is
// pointed at, for the benchmarks that build Roz on machines of a given size.
#ifndef DOVODODUZU_BENCH_GENERATEDROOT_H
#define DOVODODUZU_BENCH_GENERATEDROOT_H

#include "simrun.h"
#include "simstore.h"
#include "utils.h"

#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <string>

// The including target defines DOVO_SIM_BINARY: the path of the built dovododuzu-sim.
#ifndef DOVO_SIM_BINARY
#error "DOVO_SIM_BINARY must name the dovododuzu-sim program"
#endif

struct MachineSize {
    int disks;
    int partitions;
    int vgs;
    int lvs;
};

// The machines the benchmarks grow through; the last two are the "250-volume" and the
// "1000-volume" machine of the results.
inline constexpr MachineSize kMachineSizes[] = {
    {2, 8, 1, 4}, {4, 32, 2, 16}, {8, 128, 4, 64}, {16, 256, 8, 250}, {32, 1024, 16, 1000}};

// A root laid out from a generated description; the library is pointed at it while it lives.
class GeneratedRoot
{
public:
    GeneratedRoot(const MachineSize& size, sim::ToolSet tools)
    {
        const QString description = m_dir.filePath(QStringLiteral("machine.json"));
        QFile file(description);
        file.open(QIODevice::WriteOnly);
        file.write(QJsonDocument(sim::generateMachine(size.disks, size.partitions, size.vgs, size.lvs)).toJson());
        file.close();
        m_root = m_dir.filePath(QStringLiteral("root"));
        m_ok = sim::layoutRoot(m_root, description, QStringLiteral(DOVO_SIM_BINARY), &m_error, tools);
        setSystemRoot(m_root);
    }
    ~GeneratedRoot() { setSystemRoot(QString()); }
    GeneratedRoot(const GeneratedRoot&) = delete;
    GeneratedRoot& operator=(const GeneratedRoot&) = delete;

    bool ok() const { return m_ok; }
    std::string error() const { return m_error.toStdString(); }
    const QString& root() const { return m_root; }

private:
    QTemporaryDir m_dir;
    QString m_root;
    QString m_error;
    bool m_ok = false;
};

#endif

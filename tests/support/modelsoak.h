// A model-based soak: random operation sequences on a simulated machine, the live Roz compared
// after every step with a Roz newly built on the same root.
#ifndef DOVO_TESTS_MODELSOAK_H
#define DOVO_TESTS_MODELSOAK_H

#include "modeldump.h"
#include "simstate.h"

#include <QByteArray>
#include <QString>

struct SoakConfig {
    QString machine = QStringLiteral("default"); // shipped description, used when machineJson is empty
    QByteArray machineJson;
    unsigned int seed = 1;
    int steps = 10;
    ToleranceList tolerances;
    sim::ToolSet tools = sim::ToolSet::Classic;
};

// Runs `config.steps` random operations. At the first difference that no tolerance allows it adds
// a test failure naming the seed, the step, every operation so far and the differences, and stops.
void runModelSoak(const SoakConfig& config);

#endif

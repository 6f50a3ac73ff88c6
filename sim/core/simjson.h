// The JSON form of the simulated machine's state.
#ifndef DOVODODUZU_SIM_SIMJSON_H
#define DOVODODUZU_SIM_SIMJSON_H

#include "simstate.h"

#include <QJsonObject>

#include <optional>

namespace sim {

// The JSON form is both the state file and the machine description; a description may leave out
// UUIDs, PV extent counts and segment placement, which normalize() fills in.
QJsonObject toJson(const Machine& machine);
std::optional<Machine> fromJson(const QJsonObject& json, QString* error);
bool normalize(Machine& machine, QString* error);

} // namespace sim

#endif

// Where roz works: a simulated machine's root (laid out on first use and kept between runs), or,
// with --system, the real machine.
#ifndef ROZ_PLACE_H
#define ROZ_PLACE_H

#include "console.h"
#include "invocation.h"

#include <QString>

#include <optional>

namespace roz {

struct Place {
    bool system = false;
    QString root; // the system root: a simulated one, --system-root's, or empty for the real machine
};

// The per-user root: $XDG_STATE_HOME/dovododuzu/sim-root, or ~/.local/state/dovododuzu/sim-root.
QString defaultSimRoot();

// The simulator program the tool links of a new root point at: $DOVODODUZU_SIM, or the one next
// to roz (install tree), or the one of the build tree. Empty when there is none.
QString findSimProgram();

// The effective user id that the --system check looks at.
unsigned int effectiveUid();

// Decides the place from --system, --sim-root, --machine and --reset, laying out the simulated
// root when it is new or --reset is given. On failure returns nothing with `error` and `code` set.
std::optional<Place> choosePlace(const Invocation& invocation, QString* error, ExitCode* code);

// Points the library at the place.
void enter(const Place& place);

} // namespace roz

#endif

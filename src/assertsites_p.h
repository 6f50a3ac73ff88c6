// Every place the library warns of a broken assumption, named: the condition, source and line its
// warning lines have always carried (log readers match on them), kept in one table.
#ifndef DOVODODUZU_ASSERTSITES_P_H
#define DOVODODUZU_ASSERTSITES_P_H

#include <QtGlobal>

#include "toolstream_p.h"

struct AssertSite {
    const char* condition; // null for an allocation check (qt_check_pointer)
    const char* source;
    int line;
};

namespace AssertSites {

inline constexpr AssertSite kPipe{"err != -1", "utils", 88};
inline constexpr AssertSite kDiskIndex{"disk != NULL", "harddrive", 361};
inline constexpr AssertSite kPartitionIndex{"partition != NULL", "harddrive", 402};
inline constexpr AssertSite kGroupIndex{"vg != NULL", "lvmdrive", 1359};
inline constexpr AssertSite kVolumeIndex{"lv != NULL", "lvmdrive", 715};
inline constexpr AssertSite kExtentSize{"leSize != 0", "lvmdrive", 1042};
inline constexpr AssertSite kGroupAllocation{nullptr, "lvmdrive", 1496};
inline constexpr AssertSite kVolumeAllocation{nullptr, "lvmdrive", 1320};

} // namespace AssertSites

inline void warnAt(const AssertSite& site)
{
    assertWarning(site.condition, site.source, site.line);
}

inline void checkPointerAt(const AssertSite& site)
{
    qt_check_pointer(site.source, site.line);
}

#endif

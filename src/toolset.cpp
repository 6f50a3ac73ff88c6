// Which generation of tools the machine under the system root speaks, and the forced choice.
#include "utils.h"

#include "programs_p.h"

#include "toolstream_p.h"

#include <QFileInfo>

#include <optional>

namespace {

std::optional<ToolSet>& forcedToolSet()
{
    static std::optional<ToolSet> forced;
    return forced;
}

bool existsUnderRoot(const char* path)
{
    return QFileInfo::exists(hostPath(QString::fromLatin1(path)));
}

} // namespace

ToolSet toolSet()
{
    if (forcedToolSet())
        return *forcedToolSet();
    if (existsUnderRoot(kClassicLvm))
        return ToolSet::Classic;
    if (existsUnderRoot(kCurrentLvm) || existsUnderRoot(kCurrentLvmElsewhere))
        return ToolSet::Current;
    return ToolSet::Classic;
}

void forceToolSet(ToolSet tools)
{
    forcedToolSet() = tools;
}

void clearForcedToolSet()
{
    forcedToolSet().reset();
}

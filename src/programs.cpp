// Where the programs of each tool set are started from.
#include "programs_p.h"

#include "toolstream_p.h"
#include "utils.h"

#include <QFileInfo>

namespace {

QString classicPath(Program program)
{
    switch (program) {
    case Program::Lvm:
        return QLatin1String(kClassicLvm);
    case Program::Parted:
        return QStringLiteral("/sbin/parted");
    case Program::MakeExt:
        return QStringLiteral("/sbin/mke2fs");
    case Program::CheckExt:
        return QStringLiteral("/sbin/e2fsck");
    case Program::ResizeExt:
        return QStringLiteral("/sbin/resize2fs");
    case Program::MakeReiser:
        return QStringLiteral("/sbin/mkreiserfs");
    case Program::ResizeReiser:
        return QStringLiteral("/sbin/resize_reiserfs");
    case Program::List:
        return QStringLiteral("/bin/ls");
    case Program::Lsblk:
        return QStringLiteral("/bin/lsblk");
    case Program::Blkid:
        return QStringLiteral("/sbin/blkid");
    }
    return QString();
}

QString currentPath(Program program)
{
    switch (program) {
    case Program::Lvm:
        return firstPresentPath({kCurrentLvm, kCurrentLvmElsewhere});
    case Program::Parted:
        return firstPresentPath({"/sbin/parted", "/usr/sbin/parted"});
    case Program::MakeExt:
        return firstPresentPath({"/sbin/mke2fs", "/usr/sbin/mke2fs"});
    case Program::CheckExt:
        return firstPresentPath({"/sbin/e2fsck", "/usr/sbin/e2fsck"});
    case Program::ResizeExt:
        return firstPresentPath({"/sbin/resize2fs", "/usr/sbin/resize2fs"});
    case Program::MakeReiser:
        return firstPresentPath({"/sbin/mkreiserfs", "/usr/sbin/mkreiserfs"});
    case Program::ResizeReiser:
        return firstPresentPath({"/sbin/resize_reiserfs", "/usr/sbin/resize_reiserfs"});
    case Program::List:
        return QString();
    case Program::Lsblk:
        return firstPresentPath({"/bin/lsblk", "/usr/bin/lsblk"});
    case Program::Blkid:
        return firstPresentPath({"/sbin/blkid", "/usr/sbin/blkid"});
    }
    return QString();
}

} // namespace

QString firstPresentPath(std::initializer_list<const char*> paths)
{
    for (const char* path : paths) {
        if (QFileInfo::exists(hostPath(QString::fromLatin1(path))))
            return QString::fromLatin1(path);
    }
    return QString::fromLatin1(*paths.begin());
}

QString programPath(Program program)
{
    return toolSet() == ToolSet::Current ? currentPath(program) : classicPath(program);
}

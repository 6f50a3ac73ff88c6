// Lists the volume groups and disks that the library sees; the first argument, when given, is a
// simulated machine's root.
#include <dovododuzu/roz.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc > 1)
        setSystemRoot(QString::fromLocal8Bit(argv[1]));
    Roz roz;
    Lvm* lvm = roz.getLvm();
    for (uint i = 0; i < lvm->vgCount(); ++i) {
        Vg* vg = lvm->getVg(i);
        std::printf("group %s: %d MiB, %u volumes\n", qPrintable(vg->path()), vg->getAttribute(Vg::SizeMb),
                    vg->lvCount());
    }
    Hard* hard = roz.getHard();
    for (uint i = 0; i < hard->diskCount(); ++i) {
        Disk* disk = hard->getDisk(i);
        std::printf("disk %s: %u partitions\n", qPrintable(disk->path()), disk->partitionCount());
    }
    return 0;
}

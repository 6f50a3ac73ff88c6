// The simulated file-system tools: mke2fs, mkreiserfs, e2fsck, resize2fs, resize_reiserfs, ls and
// mount (guessing a file-system type). The e2fsprogs and mount answer as their current releases do
// on a machine with today's tool set.
#include "simtools.h"

namespace sim {

namespace {

// What a file-system tool sees behind a device path: a volume or a partition.
struct Device {
    Partition* partition = nullptr;
    Lv* lv = nullptr;
    Vg* vg = nullptr;
    const Disk* disk = nullptr;
    bool exists = false; // the device node is there (volumes: active)
    qint64 sizeKiB = 0;

    bool isFsCarrier() const { return partition || lv; }
    QString fstype() const { return lv ? lv->fstype : partition ? partition->fstype : QString(); }
    bool mounted() const { return lv ? lv->mount.mounted() : partition && partition->mount.mounted(); }
    QString mountDir() const { return lv ? lv->mount.dir : partition ? partition->mount.dir : QString(); }
    qint64 fsSizeKiB() const
    {
        const qint64 size = lv ? lv->fsSizeKiB : partition ? partition->fsSizeKiB : 0;
        return size ? size : sizeKiB;
    }
    bool damaged() const { return lv ? lv->damaged : partition && partition->damaged; }
    bool needsRepair() const { return lv ? lv->needsRepair : partition && partition->needsRepair; }
    void repaired()
    {
        if (lv)
            lv->needsRepair = false;
        else if (partition)
            partition->needsRepair = false;
    }
    // e2fsprogs 1.47 names a file system by its label where it has one.
    QString summaryName(const Machine& m, const QString& path) const
    {
        return isCurrent(m) && partition && !partition->label.isEmpty() ? partition->label : path;
    }
    bool hasExt() const { return fstype().toLower().startsWith(QLatin1String("ext")); }
    bool hasReiser() const { return fstype().toLower().contains(QLatin1String("reiser")); }

    void setFs(const QString& type, qint64 sizeKiB, bool isDamaged)
    {
        if (lv) {
            lv->fstype = type;
            lv->fsSizeKiB = sizeKiB;
            lv->damaged = isDamaged;
            lv->needsRepair = lv->needsRepair && lv->fstype == type;
        } else if (partition) {
            partition->needsRepair = partition->needsRepair && partition->fstype == type;
            partition->fstype = type;
            partition->fsSizeKiB = sizeKiB;
            partition->damaged = isDamaged;
            partition->fsUsedKiB = qMax<qint64>(partition->fsUsedKiB, 0);
        }
    }
};

Device resolve(Machine& m, const QString& path)
{
    Device d;
    if (Partition* p = m.partition(path)) {
        d.partition = p;
        d.exists = true;
        d.sizeKiB = p->sizeKiB;
        return d;
    }
    if (const Disk* disk = m.disk(path)) {
        d.disk = disk;
        d.exists = true;
        d.sizeKiB = disk->sizeKiB;
        return d;
    }
    QString vgName, lvName;
    if (!splitLvPath(path, &vgName, &lvName))
        return d;
    Vg* g = m.vg(vgName);
    Lv* v = g && !g->unreadable ? g->lv(lvName) : nullptr;
    if (!v)
        return d;
    d.vg = g;
    d.lv = v;
    d.exists = g->active && v->active;
    const Lv* sized = v->isSnapshot() && g->lv(v->origin) ? g->lv(v->origin) : v;
    d.sizeKiB = qint64(sized->extents()) * g->extentKiB;
    return d;
}

bool pvInGroup(const Machine& m, const QString& path)
{
    const Pv* p = m.pv(path);
    return p && !p->vg.isEmpty();
}

qint64 blocks(qint64 kib)
{
    return kib / 4;
}

// The first line every e2fsprogs tool writes on standard error.
QString e2fsprogsHeader(const Machine& m, const QString& tool)
{
    return QStringLiteral("%1 %2").arg(tool, say(m, {"1.38 (30-Jun-2005)", "1.47.0 (5-Feb-2023)"}));
}

// ---- mke2fs, mkreiserfs ----

int mkfsRefusal(const Machine& m, const Device& d, const QString& path, const QString& program, Output& o)
{
    if (!d.exists || !d.isFsCarrier())
        return o.fail(
            1, QStringLiteral("%1: No such file or directory while trying to determine filesystem size").arg(program));
    if (d.mounted())
        return o.fail(1, QStringLiteral("%1 is mounted; will not make a filesystem here!").arg(path));
    if (pvInGroup(m, path) || (d.partition && d.partition->system == QLatin1String("extended")))
        return o.fail(
            1, QStringLiteral("%1 is apparently in use by the system; will not make a filesystem here!").arg(path));
    return 0;
}

void mke2fsClassicReport(const QString& type, qint64 count, const QString& label, Output& o)
{
    const qint64 groups = qMax<qint64>(1, (count + 32767) / 32768);
    o.outLine(QStringLiteral("Filesystem label=%1").arg(label));
    o.outLine(QStringLiteral("OS type: Linux"));
    o.outLine(QStringLiteral("Block size=4096 (log=2)"));
    o.outLine(QStringLiteral("Fragment size=4096 (log=2)"));
    o.outLine(QStringLiteral("%1 inodes, %2 blocks").arg(groups * 16384).arg(count));
    o.outLine(QStringLiteral("%1 blocks (5.00%) reserved for the super user").arg(count / 20));
    o.outLine(QStringLiteral("First data block=0"));
    o.outLine(QStringLiteral("%1 block groups").arg(groups));
    o.outLine(QStringLiteral("32768 blocks per group, 32768 fragments per group"));
    o.outLine(QStringLiteral("16384 inodes per group"));
    o.outLine(QString());
    o.outLine(QStringLiteral("Writing inode tables: done                            "));
    if (type == QLatin1String("ext3"))
        o.outLine(QStringLiteral("Creating journal (8192 blocks): done"));
    o.outLine(QStringLiteral("Writing superblocks and filesystem accounting information: done"));
    o.outLine(QString());
    o.outLine(QStringLiteral("This filesystem will be automatically checked every 30 mounts or\n"
                             "180 days, whichever comes first.  Use tune2fs -c or -i to override."));
}

// The journal mke2fs 1.47 gives a file system of `count` blocks.
qint64 journalBlocks(qint64 count)
{
    static const QList<QPair<qint64, qint64>> steps{{32768, 1024},         {256 * 1024, 4096},   {512 * 1024, 8192},
                                                    {4096 * 1024, 16384},  {8192 * 1024, 32768}, {16384 * 1024, 65536},
                                                    {32768 * 1024, 131072}};
    for (const auto& [below, size] : steps)
        if (count < below)
            return size;
    return 262144;
}

void mke2fsCurrentReport(const QString& type, qint64 count, const QString& uuid, Output& o)
{
    const qint64 groups = qMax<qint64>(1, (count + 32767) / 32768);
    o.outLine(QStringLiteral("Discarding device blocks: done                            "));
    o.outLine(QStringLiteral("Creating filesystem with %1 4k blocks and %2 inodes").arg(count).arg(groups * 8192));
    o.outLine(QStringLiteral("Filesystem UUID: %1").arg(uuid));
    // Backups sit in group 1 and in the groups that are powers of 3, 5 and 7.
    QList<qint64> backups;
    for (qint64 base : {3, 5, 7})
        for (qint64 g = base; g < groups; g *= base)
            backups << g;
    if (groups > 1)
        backups << 1;
    std::sort(backups.begin(), backups.end());
    if (!backups.isEmpty()) {
        QStringList starts;
        for (qint64 g : backups)
            starts << QString::number(g * 32768);
        o.outLine(QStringLiteral("Superblock backups stored on blocks: "));
        o.outLine(QLatin1Char('\t') + starts.join(QStringLiteral(", ")));
    }
    o.outLine(QString());
    o.outLine(QStringLiteral("Allocating group tables: done                            "));
    o.outLine(QStringLiteral("Writing inode tables: done                            "));
    if (type == QLatin1String("ext3"))
        o.outLine(QStringLiteral("Creating journal (%1 blocks): done").arg(journalBlocks(count)));
    o.outLine(QStringLiteral("Writing superblocks and filesystem accounting information: done"));
    o.outLine(QString());
}

} // namespace

int runMke2fs(Machine& m, const QStringList& args, Output& o, bool* changed)
{
    const Options opts = parseOptions(args, QStringLiteral("bLmtTNiIgOE"), QStringLiteral("jqFnvSc"));
    o.errLine(e2fsprogsHeader(m, QStringLiteral("mke2fs")));
    if (!opts.error.isEmpty() || opts.positional.isEmpty())
        return o.fail(
            1,
            QStringLiteral(
                "Usage: mke2fs [-c|-t|-l filename] [-b block-size] [-f fragment-size]\n"
                "\t[-i bytes-per-inode] [-j] [-L volume-label] [-m reserved-blocks-percentage] device [blocks-count]"));
    const QString path = opts.positional.first();
    Device d = resolve(m, path);
    if (isCurrent(m) && (!d.exists || !d.isFsCarrier()))
        return o.fail(1, QStringLiteral("The file %1 does not exist and no size was specified.").arg(path));
    if (const int refusal = mkfsRefusal(m, d, path, QStringLiteral("mke2fs"), o))
        return refusal;
    const QString type = opts.has(QLatin1Char('j')) || opts.value(QLatin1Char('t')) == QLatin1String("ext3")
                             ? QStringLiteral("ext3")
                             : QStringLiteral("ext2");
    if (!opts.has(QLatin1Char('n'))) {
        d.setFs(type, d.sizeKiB, false);
        *changed = true;
    }
    if (isCurrent(m))
        mke2fsCurrentReport(type, blocks(d.sizeKiB), probedUuid(m, path), o);
    else
        mke2fsClassicReport(type, blocks(d.sizeKiB), opts.value(QLatin1Char('L')), o);
    return 0;
}

int runMkreiserfs(Machine& m, const QStringList& args, Output& o, bool* changed)
{
    const Options opts = parseOptions(args, QStringLiteral("bshjlu"), QStringLiteral("fqd"));
    o.errLine(QStringLiteral("mkreiserfs 3.6.19 (2003 www.namesys.com)"));
    if (!opts.error.isEmpty() || opts.positional.isEmpty())
        return o.fail(1, QStringLiteral("Usage: mkreiserfs [options]  device [block-count]"));
    const QString path = opts.positional.first();
    Device d = resolve(m, path);
    if (const int refusal = mkfsRefusal(m, d, path, QStringLiteral("mkreiserfs"), o))
        return refusal;
    const qint64 count = blocks(d.sizeKiB);
    o.outLine(QString());
    o.outLine(QStringLiteral("Guessing about desired format.. Kernel 2.6.17 is running."));
    o.outLine(QStringLiteral("Format 3.6 with standard journal"));
    o.outLine(QStringLiteral("Count of blocks on the device: %1").arg(count));
    o.outLine(QStringLiteral("Number of blocks consumed by mkreiserfs formatting process: 8212"));
    o.outLine(QStringLiteral("Blocksize: 4096"));
    o.outLine(QStringLiteral("Hash function used to sort names: \"r5\""));
    o.outLine(QStringLiteral("Journal Size 8193 blocks (first block 18)"));
    o.outLine(QStringLiteral("Journal Max transaction length 1024"));
    o.outLine(QStringLiteral("inode generation number: 0"));
    o.outLine(QStringLiteral("ATTENTION: YOU SHOULD REBOOT AFTER FDISK!"));
    o.outLine(QStringLiteral("\tALL DATA WILL BE LOST ON '%1'!").arg(path));
    if (opts.count(QLatin1Char('f')) < 2) {
        // Without -ff the tool asks; the simulated one never reads an answer.
        o.out(QStringLiteral("Continue (y/n):"));
        return o.fail(1, QStringLiteral("\nmkreiserfs: aborted"));
    }
    o.outLine(QStringLiteral("Initializing journal - 0%....20%....40%....60%....80%....100%"));
    o.outLine(QStringLiteral("Syncing..ok"));
    o.outLine(QString());
    o.outLine(QStringLiteral("ReiserFS is successfully created on %1.").arg(path));
    d.setFs(QStringLiteral("reiserfs"), d.sizeKiB, false);
    *changed = true;
    return 0;
}

namespace {

// ---- ls, mount ----

bool pathExists(Machine& m, const QString& path)
{
    static const QStringList always{"/", "/dev", "/dev/mapper", "/etc", "/etc/mtab"};
    if (always.contains(path))
        return true;
    if (resolve(m, path).exists)
        return true;
    // A group's directory exists while any of its volumes is active.
    const QString name = path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : QString();
    if (const Vg* g = m.vg(name))
        for (const Lv& v : g->lvs)
            if (g->active && v.active)
                return true;
    return false;
}

} // namespace

int runLs(Machine& m, const QStringList& args, Output& o, bool*)
{
    int code = 0;
    for (const QString& a : args) {
        if (a.startsWith(QLatin1Char('-')))
            continue;
        if (pathExists(m, a)) {
            o.outLine(a);
        } else {
            o.errLine(QStringLiteral("ls: cannot access %1: No such file or directory").arg(a));
            code = 2;
        }
    }
    return code;
}

namespace {

QString guessFstype(const Device& d)
{
    if (!d.exists || !d.isFsCarrier())
        return QString();
    const QString type = d.fstype().toLower();
    if (type.startsWith(QLatin1String("fat")))
        return QStringLiteral("vfat");
    if (type.contains(QLatin1String("swap")))
        return QStringLiteral("swap");
    if (type == QLatin1String("lvm2"))
        return QString();
    return type;
}

} // namespace

int runMount(Machine& m, const QStringList& args, Output& o, bool*)
{
    if (args.isEmpty()) {
        for (const QString& line : m.mtab().split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QStringList f = line.split(QLatin1Char(' '));
            o.outLine(QStringLiteral("%1 on %2 type %3 (%4)").arg(f.value(0), f.value(1), f.value(2), f.value(3)));
        }
        return 0;
    }
    // util-linux 2.38 has no --guess-fstype any more.
    if (isCurrent(m) && args.contains(QLatin1String("--guess-fstype")))
        return o.fail(1, QStringLiteral("mount: unrecognized option '--guess-fstype'\n"
                                        "Try 'mount --help' for more information."));
    if (args.size() == 2 && args[0] == QLatin1String("--guess-fstype")) {
        const QString type = guessFstype(resolve(m, args[1]));
        o.outLine(type.isEmpty() ? QStringLiteral("unknown") : type);
        return type.isEmpty() ? 1 : 0;
    }
    return o.fail(1, say(m, {"mount: only --guess-fstype and the listing are simulated",
                             "mount: only the listing is simulated"}));
}

namespace {

// ---- e2fsck ----

// Why e2fsck cannot check the device (printed, with its exit code), or 0.
int e2fsckRefusal(const Machine& m, const Device& d, const QString& path, Output& o)
{
    static const QString noSuperblock =
        QStringLiteral("\nThe superblock could not be read or does not describe a valid ext2/ext3/ext4\n"
                       "filesystem.  If the device is valid and it really contains an ext2/ext3/ext4\n"
                       "filesystem (and not swap or ufs or something else), then the superblock\n"
                       "is corrupt, and you might try running e2fsck with an alternate superblock:\n"
                       "    e2fsck -b 8193 <device>\n"
                       " or\n"
                       "    e2fsck -b 32768 <device>\n\n");
    if (!d.exists || !d.isFsCarrier()) {
        if (!isCurrent(m))
            return o.fail(8, QStringLiteral("e2fsck: No such file or directory while trying to open %1\n\n"
                                            "The superblock could not be read or does not describe a correct ext2\n"
                                            "filesystem.")
                                 .arg(path));
        o.errLine(QStringLiteral("e2fsck: No such file or directory while trying to open %1").arg(path));
        o.outLine(QStringLiteral("Possibly non-existent device?"));
        return o.exitCode = 8;
    }
    if (d.mounted()) {
        if (isCurrent(m)) {
            o.outLine(QStringLiteral("%1 is mounted.").arg(path));
            o.err(QStringLiteral("e2fsck: Cannot continue, aborting.\n\n\n"));
            return o.exitCode = 8;
        }
        return o.fail(8, QStringLiteral("%1 is mounted.  \n\ne2fsck: Cannot continue, aborting.\n").arg(path));
    }
    if (d.hasExt())
        return 0;
    if (!isCurrent(m))
        return o.fail(8, QStringLiteral("e2fsck: Bad magic number in super-block while trying to open %1\n\n"
                                        "The superblock could not be read or does not describe a correct ext2\n"
                                        "filesystem.")
                             .arg(path));
    o.errLine(QStringLiteral("e2fsck: Bad magic number in super-block while trying to open %1").arg(path));
    o.out(QStringLiteral("ext2fs_open2: Bad magic number in super-block\n"
                         "e2fsck: Superblock invalid, trying backup blocks...\n") +
          noSuperblock);
    // 1.47 names what blkid finds there instead.
    const QString found = probedType(m, path);
    if (!found.isEmpty())
        o.outLine(QStringLiteral("%1 contains a %2 file system").arg(path, found));
    return o.exitCode = 8;
}

} // namespace

int runE2fsck(Machine& m, const QStringList& args, Output& o, bool* changed)
{
    const Options opts = parseOptions(args, QStringLiteral("bBjlLCE"), QStringLiteral("yfnpvFtcDk"));
    o.errLine(e2fsprogsHeader(m, QStringLiteral("e2fsck")));
    if (!opts.error.isEmpty() || opts.positional.size() != 1)
        return o.fail(16, QStringLiteral("Usage: e2fsck [-panyrcdfvstDFSV] [-b superblock] [-B blocksize]\n"
                                         "\t\t[-I inode_buffer_blocks] [-P process_inode_size]\n"
                                         "\t\t[-l|-L bad_blocks_file] [-C fd] [-j ext-journal]\n"
                                         "\t\t[-E extended-options] device"));
    const QString path = opts.positional.first();
    Device d = resolve(m, path);
    if (const int refusal = e2fsckRefusal(m, d, path, o))
        return refusal;
    if (d.damaged() || d.fsSizeKiB() > d.sizeKiB) {
        o.outLine(QStringLiteral("The filesystem size (according to the superblock) is %1 blocks")
                      .arg(blocks(d.fsSizeKiB())));
        o.outLine(QStringLiteral("The physical size of the device is %1 blocks").arg(blocks(d.sizeKiB)));
        o.outLine(QStringLiteral("Either the superblock or the partition table is likely to be corrupt!"));
        o.outLine(QStringLiteral("Abort? yes"));
        o.outLine(QString());
        return 8;
    }
    o.outLine(QStringLiteral("Pass 1: Checking inodes, blocks, and sizes"));
    o.outLine(QStringLiteral("Pass 2: Checking directory structure"));
    o.outLine(QStringLiteral("Pass 3: Checking directory connectivity"));
    o.outLine(QStringLiteral("Pass 4: Checking reference counts"));
    o.outLine(QStringLiteral("Pass 5: Checking group summary information"));
    const qint64 count = blocks(d.fsSizeKiB());
    const qint64 used = count / 30 + 1;
    const QString name = d.summaryName(m, path);
    // A file system with errors is repaired once (exit 1); -n only reports them (exit 4).
    const bool repair = d.needsRepair() && !opts.has(QLatin1Char('n'));
    if (d.needsRepair()) {
        o.outLine(QStringLiteral("Free blocks count wrong (%1, counted=%2).").arg(count / 2).arg(count - used));
        o.outLine(repair ? QStringLiteral("Fix? yes\n\n") : QStringLiteral("Fix? no\n\n"));
        if (repair) {
            o.outLine(QStringLiteral("%1: ***** FILE SYSTEM WAS MODIFIED *****").arg(name));
            d.repaired();
            *changed = true;
        }
    }
    o.outLine(QStringLiteral("%1: 11/%2 files (0.0% non-contiguous), %3/%4 blocks")
                  .arg(name)
                  .arg(qMax<qint64>(1, count / 32768) * 16384)
                  .arg(used)
                  .arg(count));
    return d.needsRepair() ? 4 : repair ? 1 : 0;
}

namespace {

// ---- resize2fs, resize_reiserfs ----

// Applies a resize: records the new size; past the end of the device the file system is damaged.
void applyResize(Device& d, qint64 newKiB)
{
    d.setFs(d.fstype(), newKiB, d.damaged() || newKiB > d.sizeKiB);
}

} // namespace

int runResize2fs(Machine& m, const QStringList& args, Output& o, bool* changed)
{
    const Options opts = parseOptions(args, QStringLiteral("d"), QStringLiteral("fFpPM"));
    o.errLine(e2fsprogsHeader(m, QStringLiteral("resize2fs")));
    if (!opts.error.isEmpty() || opts.positional.isEmpty() || opts.positional.size() > 2)
        return o.fail(1, QStringLiteral("Usage: resize2fs [-d debug_flags] [-f] [-F] [-p] device [new_size]\n"));
    const QString path = opts.positional.first();
    Device d = resolve(m, path);
    if (!d.exists || !d.isFsCarrier() || !d.hasExt()) {
        const QString why = !d.exists || !d.isFsCarrier() ? QStringLiteral("No such file or directory")
                                                          : QStringLiteral("Bad magic number in super-block");
        o.errLine(QStringLiteral("resize2fs: %1 while trying to open %2").arg(why, path));
        // 1.47 writes the second line on standard output.
        if (isCurrent(m))
            o.outLine(QStringLiteral("Couldn't find valid filesystem superblock."));
        else
            o.errLine(QStringLiteral("Couldn't find valid filesystem superblock."));
        return o.exitCode = 1;
    }
    qint64 newKiB = d.sizeKiB;
    if (opts.positional.size() == 2) {
        const QString text = opts.positional[1];
        // A bare number counts file-system blocks of 4 KiB.
        std::optional<qint64> kib = parseSize(text, QLatin1Char('K'));
        if (kib && text.back().isDigit())
            *kib *= 4;
        if (!kib || text.startsWith(QLatin1Char('+')) || text.startsWith(QLatin1Char('-')))
            return o.fail(1, QStringLiteral("resize2fs: Invalid new size: %1\n").arg(text));
        newKiB = *kib;
    }
    const bool force = opts.has(QLatin1Char('f'));
    if ((d.damaged() || d.needsRepair()) && !force)
        return o.fail(1, QStringLiteral("Please run 'e2fsck -f %1' first.\n").arg(path));
    if (newKiB > d.sizeKiB && !force)
        return o.fail(1, QStringLiteral("The containing partition (or device) is only %1 (4k) blocks.\n"
                                        "You requested a new size of %2 blocks.\n")
                             .arg(blocks(d.sizeKiB))
                             .arg(blocks(newKiB)));
    if (newKiB == d.fsSizeKiB()) {
        if (isCurrent(m))
            o.errLine(
                QStringLiteral("The filesystem is already %1 (4k) blocks long.  Nothing to do!\n").arg(blocks(newKiB)));
        else
            o.outLine(
                QStringLiteral("The filesystem is already %1 blocks long.  Nothing to do!\n").arg(blocks(newKiB)));
        return 0;
    }
    if (d.mounted()) {
        if (newKiB < d.fsSizeKiB())
            return o.fail(1, QStringLiteral("On-line shrinking from %1 to %2 not supported.")
                                 .arg(blocks(d.fsSizeKiB()))
                                 .arg(blocks(newKiB)));
        o.outLine(
            QStringLiteral("Filesystem at %1 is mounted on %2; on-line resizing required").arg(path, d.mountDir()));
        o.outLine(isCurrent(m) ? QStringLiteral("old_desc_blocks = 1, new_desc_blocks = 1")
                               : QStringLiteral("Performing an on-line resize of %1 to %2 (4k) blocks.")
                                     .arg(path)
                                     .arg(blocks(newKiB)));
    } else {
        o.outLine(QStringLiteral("Resizing the filesystem on %1 to %2 (4k) blocks.").arg(path).arg(blocks(newKiB)));
    }
    o.outLine(
        say(m, {"The filesystem on %1 is now %2 blocks long.\n", "The filesystem on %1 is now %2 (4k) blocks long.\n"})
            .arg(path)
            .arg(blocks(newKiB)));
    applyResize(d, newKiB);
    *changed = true;
    return 0;
}

int runResizeReiserfs(Machine& m, const QStringList& args, Output& o, bool* changed)
{
    const Options opts = parseOptions(args, QStringLiteral("sjB"), QStringLiteral("fvqc"));
    o.errLine(QStringLiteral("resize_reiserfs 3.6.19 (2003 www.namesys.com)\n"));
    if (!opts.error.isEmpty() || opts.positional.size() != 1)
        return o.fail(1, QStringLiteral("Usage: resize_reiserfs  [-s[+|-]#[G|M|K]] [-fqv] device"));
    const QString path = opts.positional.first();
    Device d = resolve(m, path);
    if (!d.exists || !d.isFsCarrier())
        return o.fail(1, QStringLiteral("resize_reiserfs: can not open '%1': No such file or directory").arg(path));
    if (!d.hasReiser())
        return o.fail(1, QStringLiteral("reiserfs_open: the reiserfs superblock cannot be found on %1.\n"
                                        "resize_reiserfs: can not open reiserfs on \"%1\"")
                             .arg(path));
    qint64 newKiB = d.sizeKiB;
    if (opts.has(QLatin1Char('s'))) {
        QChar sign;
        // A bare number counts bytes.
        const std::optional<qint64> kib = parseSize(opts.value(QLatin1Char('s')), QLatin1Char('B'), &sign);
        if (!kib)
            return o.fail(1,
                          QStringLiteral("resize_reiserfs: wrong size argument: %1").arg(opts.value(QLatin1Char('s'))));
        newKiB = sign == QLatin1Char('+')   ? d.fsSizeKiB() + *kib
                 : sign == QLatin1Char('-') ? d.fsSizeKiB() - *kib
                                            : *kib;
    }
    if (newKiB > d.sizeKiB && !opts.has(QLatin1Char('f')))
        return o.fail(1,
                      QStringLiteral("resize_reiserfs: The new size (%1 blocks) is larger than the device (%2 blocks).")
                          .arg(blocks(newKiB))
                          .arg(blocks(d.sizeKiB)));
    if (d.mounted()) {
        if (newKiB < d.fsSizeKiB())
            return o.fail(1, QStringLiteral("resize_reiserfs: On-line shrinking is not supported."));
        applyResize(d, newKiB);
        *changed = true;
        o.outLine(QStringLiteral("resize_reiserfs: On-line resizing finished successfully.\n"));
        return 0;
    }
    o.outLine(QStringLiteral("ReiserFS report:"));
    o.outLine(QStringLiteral("blocksize             4096"));
    o.outLine(QStringLiteral("block count           %1 (%2)").arg(blocks(newKiB)).arg(blocks(d.fsSizeKiB())));
    o.outLine(QStringLiteral("free blocks           %1 (%2)")
                  .arg(blocks(newKiB) * 9 / 10)
                  .arg(blocks(d.fsSizeKiB()) * 9 / 10));
    o.outLine(QStringLiteral("bitmap block count    %1 (%2)")
                  .arg(blocks(newKiB) / 32768 + 1)
                  .arg(blocks(d.fsSizeKiB()) / 32768 + 1));
    o.outLine(QString());
    o.outLine(QStringLiteral("Syncing..done"));
    o.outLine(QString());
    o.outLine(QStringLiteral("\nresize_reiserfs: Resizing finished successfully.\n"));
    applyResize(d, newKiB);
    *changed = true;
    return 0;
}

} // namespace sim

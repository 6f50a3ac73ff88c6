// The table of sub-commands and the help texts built from it.
#include "commands.h"

namespace roz {

namespace {

QList<Command> buildCommands()
{
    const QString size = QStringLiteral("--size");
    return {
        {.group = QString(),
         .name = QStringLiteral("show"),
         .operands = QString(),
         .minOperands = 0,
         .maxOperands = 0,
         .options = {QStringLiteral("--json")},
         .summary = QStringLiteral("print the disks, partitions, volume groups and logical volumes"),
         .description =
             QStringLiteral("Builds the library's model of the machine and prints both trees: disks and partitions\n"
                            "(size in the device lister's unit, system, file-system type, mount point, PV state,\n"
                            "group, volumes), then the volume groups and the logical volumes. With --json the same\n"
                            "model is printed as JSON (schema in cli/README.md). This is the default sub-command."),
         .examples = {QStringLiteral("roz"), QStringLiteral("roz show --json"),
                      QStringLiteral("roz show --sim-root /tmp/m --machine mymachine.json")},
         .run = &showModel},
        {.group = QStringLiteral("vg"),
         .name = QStringLiteral("create"),
         .operands = QStringLiteral("NAME DEV..."),
         .minOperands = 2,
         .maxOperands = -1,
         .options = {QStringLiteral("--extent-size"), QStringLiteral("--max-lv"), QStringLiteral("--max-pv")},
         .summary = QStringLiteral("make a volume group from partitions"),
         .description =
             QStringLiteral("Marks each partition as an LVM partition, makes it a physical volume and makes the\n"
                            "group. The partitions must not be mounted nor belong to a group.\n"
                            "--extent-size SIZE   extent size, a power of two of at least 1M (default 4M); the\n"
                            "                     partitions must give at least one extent\n"
                            "--max-lv N           most volumes the group may hold (default 0: no limit)\n"
                            "--max-pv N           most physical volumes (default 0: no limit)"),
         .examples = {QStringLiteral("roz vg create data /dev/sdb1 /dev/sdc1"),
                      QStringLiteral("roz vg create data sdb1 --extent-size 8M")},
         .run = &vgCreate},
        {.group = QStringLiteral("vg"),
         .name = QStringLiteral("activate"),
         .operands = QStringLiteral("NAME"),
         .minOperands = 1,
         .maxOperands = 1,
         .options = {},
         .summary = QStringLiteral("make a group's volumes available"),
         .description = QStringLiteral("Runs vgchange -ay on the group."),
         .examples = {QStringLiteral("roz vg activate data")},
         .run = &vgActivate},
        {.group = QStringLiteral("vg"),
         .name = QStringLiteral("deactivate"),
         .operands = QStringLiteral("NAME"),
         .minOperands = 1,
         .maxOperands = 1,
         .options = {},
         .summary = QStringLiteral("make a group's volumes unavailable"),
         .description = QStringLiteral("Runs vgchange -an on the group; fails while a volume is mounted."),
         .examples = {QStringLiteral("roz vg deactivate data")},
         .run = &vgDeactivate},
        {.group = QStringLiteral("vg"),
         .name = QStringLiteral("freeze"),
         .operands = QStringLiteral("NAME"),
         .minOperands = 1,
         .maxOperands = 1,
         .options = {},
         .summary = QStringLiteral("forbid extending or reducing a group"),
         .description = QStringLiteral("Runs vgchange -xn: the group can no longer be resized."),
         .examples = {QStringLiteral("roz vg freeze data")},
         .run = &vgFreeze},
        {.group = QStringLiteral("vg"),
         .name = QStringLiteral("defreeze"),
         .operands = QStringLiteral("NAME"),
         .minOperands = 1,
         .maxOperands = 1,
         .options = {},
         .summary = QStringLiteral("allow extending and reducing a group again"),
         .description = QStringLiteral("Runs vgchange -xy."),
         .examples = {QStringLiteral("roz vg defreeze data")},
         .run = &vgDefreeze},
        {.group = QStringLiteral("vg"),
         .name = QStringLiteral("remove"),
         .operands = QStringLiteral("NAME"),
         .minOperands = 1,
         .maxOperands = 1,
         .options = {},
         .summary = QStringLiteral("remove an empty volume group"),
         .description = QStringLiteral("Runs vgremove. The group must hold no volume any more: remove them first."),
         .examples = {QStringLiteral("roz vg remove data")},
         .run = &vgRemove},
        {.group = QStringLiteral("vg"),
         .name = QStringLiteral("rename"),
         .operands = QStringLiteral("NAME NEWNAME"),
         .minOperands = 2,
         .maxOperands = 2,
         .options = {},
         .summary = QStringLiteral("rename a volume group"),
         .description = QStringLiteral("Runs vgrename; the partitions follow the new name."),
         .examples = {QStringLiteral("roz vg rename data archive")},
         .run = &vgRename},
        {.group = QStringLiteral("vg"),
         .name = QStringLiteral("extend"),
         .operands = QStringLiteral("NAME DEV..."),
         .minOperands = 2,
         .maxOperands = -1,
         .options = {},
         .summary = QStringLiteral("add partitions to a volume group"),
         .description =
             QStringLiteral("Makes each partition a physical volume and adds it to the group. The partitions must\n"
                            "not be mounted nor belong to a group."),
         .examples = {QStringLiteral("roz vg extend data /dev/sdd1")},
         .run = &vgExtend},
        {.group = QStringLiteral("vg"),
         .name = QStringLiteral("reduce"),
         .operands = QStringLiteral("NAME DEV..."),
         .minOperands = 2,
         .maxOperands = -1,
         .options = {},
         .summary = QStringLiteral("take unused physical volumes out of a volume group"),
         .description = QStringLiteral("Runs vgreduce; fails while a volume still has extents on the partition."),
         .examples = {QStringLiteral("roz vg reduce data /dev/sdd1")},
         .run = &vgReduce},
        {.group = QStringLiteral("lv"),
         .name = QStringLiteral("create"),
         .operands = QStringLiteral("GROUP NAME"),
         .minOperands = 2,
         .maxOperands = 2,
         .options = {size, QStringLiteral("--fs")},
         .summary = QStringLiteral("make a logical volume with a new file system"),
         .description = QStringLiteral("Runs lvcreate, then makes the file system on the new volume.\n"
                                       "--size SIZE    the volume's size, such as 100M or 2G (required)\n"
                                       "--fs TYPE      ext3 (default), ext2, reiser, or none"),
         .examples = {QStringLiteral("roz lv create data home --size 100M"),
                      QStringLiteral("roz lv create data scratch --size 1G --fs none")},
         .run = &lvCreate},
        {.group = QStringLiteral("lv"),
         .name = QStringLiteral("rename"),
         .operands = QStringLiteral("GROUP/NAME NEWNAME"),
         .minOperands = 2,
         .maxOperands = 2,
         .options = {},
         .summary = QStringLiteral("rename a logical volume"),
         .description = QStringLiteral("Runs lvrename; snapshot links follow the new name."),
         .examples = {QStringLiteral("roz lv rename data/home users")},
         .run = &lvRename},
        {.group = QStringLiteral("lv"),
         .name = QStringLiteral("remove"),
         .operands = QStringLiteral("GROUP/NAME"),
         .minOperands = 1,
         .maxOperands = 1,
         .options = {},
         .summary = QStringLiteral("remove a logical volume and everything on it"),
         .description =
             QStringLiteral("Runs lvremove -f. A volume with snapshots is refused: remove the snapshots first."),
         .examples = {QStringLiteral("roz lv remove data/home"), QStringLiteral("roz lv remove /dev/data/home-snap")},
         .run = &lvRemove},
        {.group = QStringLiteral("lv"),
         .name = QStringLiteral("snapshot"),
         .operands = QStringLiteral("GROUP/NAME SNAPNAME"),
         .minOperands = 2,
         .maxOperands = 2,
         .options = {size},
         .summary = QStringLiteral("make a snapshot of a logical volume"),
         .description =
             QStringLiteral("Runs lvcreate -s for the volume.\n"
                            "--size SIZE    room for the changes the snapshot keeps, such as 50M (required)"),
         .examples = {QStringLiteral("roz lv snapshot data/home home-snap --size 50M")},
         .run = &lvSnapshot},
        {.group = QStringLiteral("lv"),
         .name = QStringLiteral("resize"),
         .operands = QStringLiteral("GROUP/NAME"),
         .minOperands = 1,
         .maxOperands = 1,
         .options = {size},
         .summary = QStringLiteral("grow a logical volume and the file system on it"),
         .description =
             QStringLiteral("Runs lvextend, then grows an ext2/ext3 (e2fsck, resize2fs) or reiser file system.\n"
                            "Volumes only grow. A volume whose file system roz cannot grow (unknown type)\n"
                            "is grown alone, and roz exits with 4.\n"
                            "--size SIZE    the new total size, such as 2048M, or +SIZE to add (required)"),
         .examples = {QStringLiteral("roz lv resize data/home --size 2048M"),
                      QStringLiteral("roz lv resize data/home --size +1G")},
         .run = &lvResize},
    };
}

QString globalOptionsText()
{
    return QStringLiteral(
        "Options every sub-command takes:\n"
        "  --sim-root DIR   work on the simulated machine in DIR (default: $XDG_STATE_HOME/dovododuzu/sim-root,\n"
        "                   or ~/.local/state/dovododuzu/sim-root); laid out on first use, kept between runs\n"
        "  --machine FILE   lay out a new simulated root from FILE (a machine description, or the name of a\n"
        "                   shipped one) instead of \"default\"\n"
        "  --reset          lay the simulated root out again, forgetting every change\n"
        "  --system         work on THIS machine's real disks (root only; changes are real)\n"
        "  --system-root DIR  as --system, with the programs and the mount table taken from under DIR\n"
        "  --debug          print the library's debug lines on standard error\n"
        "  -h, --help       this help, or a sub-command's help\n");
}

// "--size SIZE" (every command that takes it needs it), "[--fs TYPE]", ...
QString optionUsage(const QString& option)
{
    if (option == QLatin1String("--size"))
        return QStringLiteral("--size SIZE");
    if (option == QLatin1String("--json"))
        return QStringLiteral("[--json]");
    if (option == QLatin1String("--fs"))
        return QStringLiteral("[--fs TYPE]");
    if (option == QLatin1String("--extent-size"))
        return QStringLiteral("[--extent-size SIZE]");
    return QStringLiteral("[%1 N]").arg(option);
}

QString exitCodesText()
{
    return QStringLiteral("Exit status: 0 success, 1 the operation failed, 2 refused before anything ran\n"
                          "(bad arguments, names, sizes or objects), 3 no machine to work on (or run setuid),\n"
                          "4 partly done: the volume changed but its file system did not.\n");
}

} // namespace

const QList<Command>& commands()
{
    static const QList<Command> table = buildCommands();
    return table;
}

const Command* findCommand(const QString& group, const QString& name)
{
    for (const Command& command : commands()) {
        if (command.group == group && command.name == name)
            return &command;
    }
    return nullptr;
}

QString generalHelp()
{
    QString text =
        QStringLiteral("roz: shows and changes a machine's LVM set-up and disks through the dovododuzu library,\n"
                       "on a simulated machine unless --system is given.\n\n"
                       "Usage: roz [SUB-COMMAND] [OPERANDS] [OPTIONS]\n\nSub-commands:\n");
    for (const Command& command : commands()) {
        const QString head = QStringLiteral("roz %1 %2").arg(command.fullName(), command.operands).trimmed();
        text += QStringLiteral("  %1  %2\n").arg(head.leftJustified(40), command.summary);
    }
    text += QStringLiteral("\n") + globalOptionsText() + QStringLiteral("\n") + exitCodesText();
    text += QStringLiteral("\nExamples:\n  roz show\n  roz vg create data /dev/sdb1\n"
                           "  roz lv create data home --size 100M --fs ext3\n  roz lv resize data/home --size 200M\n"
                           "  roz vg --help\n  roz lv create --help\n");
    return text;
}

QString groupHelp(const QString& group)
{
    QString text = QStringLiteral("Usage: roz %1 SUB-COMMAND ...\n\nSub-commands:\n").arg(group);
    for (const Command& command : commands()) {
        if (command.group != group)
            continue;
        const QString head = QStringLiteral("roz %1 %2").arg(command.fullName(), command.operands);
        text += QStringLiteral("  %1  %2\n").arg(head.leftJustified(40), command.summary);
    }
    text += QStringLiteral("\nEach takes --help, e.g. roz %1 %2 --help\n")
                .arg(group, group == QLatin1String("vg") ? QStringLiteral("create") : QStringLiteral("resize"));
    return text;
}

QString commandHelp(const Command& command)
{
    QString usage = QStringLiteral("roz %1 %2").arg(command.fullName(), command.operands).trimmed();
    for (const QString& option : command.options)
        usage += QLatin1Char(' ') + optionUsage(option);
    QString text = QStringLiteral("Usage: %1\n\n%2.\n\n%3\n\n").arg(usage, command.summary, command.description);
    text += globalOptionsText();
    text += QStringLiteral("\nExamples:\n");
    for (const QString& example : command.examples)
        text += QStringLiteral("  ") + example + QLatin1Char('\n');
    return text;
}

} // namespace roz

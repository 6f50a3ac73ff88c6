// The sub-commands of roz: what each takes, its help text, and the function that runs it.
#ifndef ROZ_COMMANDS_H
#define ROZ_COMMANDS_H

#include <QList>
#include <QString>
#include <QStringList>

namespace roz {

class Session;

struct Command {
    QString group;    // "vg", "lv", or empty for show
    QString name;     // "create", "show", ...
    QString operands; // "NAME DEV..." for the synopsis
    int minOperands = 0;
    int maxOperands = 0; // -1: no limit
    QStringList options; // options of its own, beyond the ones every command takes
    QString summary;     // one line
    QString description; // a paragraph or two
    QStringList examples;
    int (*run)(Session& session, const QStringList& operands) = nullptr;

    QString fullName() const { return group.isEmpty() ? name : group + QLatin1Char(' ') + name; }
};

const QList<Command>& commands();
const Command* findCommand(const QString& group, const QString& name);

// The handlers, one per sub-command.
int showModel(Session& session, const QStringList& operands);
int vgCreate(Session& session, const QStringList& operands);
int vgActivate(Session& session, const QStringList& operands);
int vgDeactivate(Session& session, const QStringList& operands);
int vgFreeze(Session& session, const QStringList& operands);
int vgDefreeze(Session& session, const QStringList& operands);
int vgRemove(Session& session, const QStringList& operands);
int vgRename(Session& session, const QStringList& operands);
int vgExtend(Session& session, const QStringList& operands);
int vgReduce(Session& session, const QStringList& operands);
int lvCreate(Session& session, const QStringList& operands);
int lvRename(Session& session, const QStringList& operands);
int lvRemove(Session& session, const QStringList& operands);
int lvSnapshot(Session& session, const QStringList& operands);
int lvResize(Session& session, const QStringList& operands);

// Help texts.
QString generalHelp();
QString groupHelp(const QString& group);
QString commandHelp(const Command& command);

} // namespace roz

#endif

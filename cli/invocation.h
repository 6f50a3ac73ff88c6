// The command line split into words (command, sub-command, operands), options with a value, and
// flags; no meaning is given to them here.
#ifndef ROZ_INVOCATION_H
#define ROZ_INVOCATION_H

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

namespace roz {

struct Invocation {
    QStringList words;             // everything that is not an option, in order
    QMap<QString, QString> values; // "--size 100M" and "--size=100M" give values["size"] = "100M"
    QSet<QString> flags;           // "--json" gives "json"; "-h" gives "help"
    QString error;                 // set when the line cannot be split

    bool has(const QString& flag) const { return flags.contains(flag); }
    bool hasValue(const QString& option) const { return values.contains(option); }
    QString value(const QString& option) const { return values.value(option); }
    // The first option given (values before flags, as "--name") that is neither taken by every
    // command nor in `ownOptions`; empty when there is none.
    QString optionOutside(const QStringList& ownOptions) const;
};

// Splits `args` (without the program name). Options may stand anywhere; "--" ends them, so that
// every later argument is a word.
Invocation parseInvocation(const QStringList& args);

} // namespace roz

#endif

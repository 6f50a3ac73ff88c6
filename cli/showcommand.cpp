// roz show: the whole model as tables or as JSON.
#include "commands.h"
#include "modeljson.h"
#include "session.h"
#include "tables.h"

#include <QJsonDocument>

namespace roz {

namespace {

QString machineLine(const Place& place)
{
    if (place.system && !place.root.isEmpty())
        return QStringLiteral("machine: real disks, programs under %1\n").arg(place.root);
    return place.system ? QStringLiteral("machine: this machine (real disks)\n")
                        : QStringLiteral("machine: simulated, root %1\n").arg(place.root);
}

// A model read with problems is shown, but never passed off as the whole machine.
int shownWithProblems(const ModelView& model)
{
    for (const QString& problem : model.problems)
        complain(QStringLiteral("could not read the machine completely: ") + problem);
    return model.problems.isEmpty() ? Success : Incomplete;
}

} // namespace

int showModel(Session& session, const QStringList&)
{
    const ModelView model = session.view();
    const Place& place = session.place();
    if (session.invocation().has(QStringLiteral("json"))) {
        const QJsonObject json = jsonOf(model, place.system ? QString() : place.root);
        say(QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Indented)));
        return shownWithProblems(model);
    }
    QString text = machineLine(place) + QLatin1Char('\n') + renderTables(tablesOf(model));
    if (!model.unreadableGroups.isEmpty())
        text +=
            QStringLiteral("\nunreadable volume groups: %1\n").arg(model.unreadableGroups.join(QStringLiteral(", ")));
    say(text);
    return shownWithProblems(model);
}

} // namespace roz

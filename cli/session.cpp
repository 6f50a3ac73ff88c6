// Running one command: building the model on demand and carrying out a change.
#include "session.h"

#include "checks.h"
#include "roz.h"
#include "tables.h"

namespace roz {

void stop(ExitCode code, const QString& message)
{
    throw Stop{code, message};
}

void Transcript::show(const QString& text)
{
    const QString clean = prettify_run_result(text);
    QString fresh = clean.startsWith(shown_) ? clean.mid(shown_.size()) : clean;
    shown_ = clean;
    if (fresh.isEmpty())
        return;
    if (!fresh.endsWith(QLatin1Char('\n')))
        fresh += QLatin1Char('\n');
    say(fresh);
}

QString Transcript::lastLine() const
{
    const QStringList lines = shown_.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (!it->trimmed().isEmpty())
            return it->trimmed();
    }
    return QString();
}

Session::Session(const Invocation& invocation) : invocation_(invocation) {}

Session::~Session() = default;

const Place& Session::place()
{
    if (place_)
        return *place_;
    QString error;
    ExitCode code = CannotStart;
    place_ = choosePlace(invocation_, &error, &code);
    if (!place_)
        stop(code, error);
    enter(*place_);
    return *place_;
}

Roz& Session::model()
{
    place();
    if (!roz_)
        roz_ = std::make_unique<Roz>();
    return *roz_;
}

ModelView Session::view()
{
    return viewOf(model());
}

int Session::carryOut(const Change& change)
{
    const QList<Table> before = tablesOf(view());
    note(QStringLiteral("running: ") + change.running);
    const int result = change.run();
    const Verdict verdict = change.judge  ? change.judge(result)
                            : result == 0 ? Verdict{}
                                          : Verdict{QStringLiteral("the tool failed")};
    say(QStringLiteral("result: %1 (%2)\n")
            .arg(result)
            .arg(verdict.failure.isEmpty() ? QStringLiteral("success") : verdict.failure));
    const QString changes = renderChanges(before, tablesOf(view()));
    say(changes.isEmpty() ? QStringLiteral("no change in the model\n") : QStringLiteral("changed:\n") + changes);
    if (verdict.failure.isEmpty())
        return Success;
    if (verdict.code == PartlyDone) {
        // No tool failed: what was left undone is the whole message.
        complain(verdict.failure);
        return PartlyDone;
    }
    const QString toolMessage = transcript_.lastLine();
    complain(
        QStringLiteral("%1 failed: %2%3")
            .arg(change.what, verdict.failure, toolMessage.isEmpty() ? QString() : QStringLiteral(": ") + toolMessage));
    return verdict.code;
}

void requireName(const QString& name, const QString& what)
{
    QString error;
    if (!checkName(name, what, &error))
        stop(Refused, error);
}

void requireAllowed(const ::Verdict& verdict, const QString& advice)
{
    if (!verdict.allowed)
        stop(Refused, verdict.reason + advice);
}

QString requireDevice(const QString& text)
{
    QString error;
    const std::optional<QString> path = devicePath(text, &error);
    if (!path)
        stop(Refused, error);
    return *path;
}

qint64 requireSizeMiB(const Invocation& invocation, const QString& command)
{
    if (!invocation.hasValue(QStringLiteral("size")))
        stop(Refused, QStringLiteral("%1 needs --size, such as --size 100M").arg(command));
    QString error;
    const std::optional<RequestedSize> size = parseSize(invocation.value(QStringLiteral("size")), false, &error);
    if (!size)
        stop(Refused, error);
    return size->mib;
}

} // namespace roz

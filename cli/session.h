// One run of roz: the parsed command line, the place it works on, the model (built on first use,
// after every check that needs no tool), and the way a change is carried out and reported.
#ifndef ROZ_SESSION_H
#define ROZ_SESSION_H

#include "console.h"
#include "invocation.h"
#include "modelview.h"
#include "place.h"
#include "safety.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class Roz;

namespace roz {

// Ends the run with `code` and `message`. Thrown by the checks so that each one is a single line;
// main() catches it. Nothing of the library throws or sees it.
struct Stop {
    ExitCode code;
    QString message;
};
[[noreturn]] void stop(ExitCode code, const QString& message);

// Shows what an operation's `output` signal carries as it arrives. The library hands over the
// whole transcript so far each time (a resize emits it more than once), so only the new end is
// printed.
class Transcript
{
public:
    void show(const QString& text);
    // The last non-empty line shown: for a failed tool, its message.
    QString lastLine() const;

private:
    QString shown_;
};

// How a change ended: an empty `failure` for success, else why, with the exit code to give.
struct Verdict {
    QString failure;
    ExitCode code = OperationFailed;
};

// One change to the machine, ready to run.
struct Change {
    QString what;             // "vg create": names the command in messages
    QString running;          // the command line(s) that will run, shown before
    std::function<int()> run; // calls the library operation and returns its result
    // Given the result, says how the change ended. When not set, any result but 0 is a failure.
    std::function<Verdict(int)> judge;
};

class Session
{
public:
    explicit Session(const Invocation& invocation);
    ~Session();

    const Invocation& invocation() const { return invocation_; }
    // Chooses the place, points the library at it and builds the model, the first time only.
    Roz& model();
    const Place& place();
    ModelView view();
    Transcript& transcript() { return transcript_; }

    // Runs `change`: shows what runs, the transcript as it comes, the result and the model rows
    // that changed. Returns roz's exit code.
    int carryOut(const Change& change);

private:
    const Invocation& invocation_;
    std::optional<Place> place_;
    std::unique_ptr<Roz> roz_;
    Transcript transcript_;
};

// Checks that stop the run with Refused when they fail.
void requireName(const QString& name, const QString& what);
// Stops with Refused and the verdict's reason (plus `advice`) when the library's safety query refuses.
void requireAllowed(const ::Verdict& verdict, const QString& advice = QString());
QString requireDevice(const QString& text);
qint64 requireSizeMiB(const Invocation& invocation, const QString& command);

} // namespace roz

#endif

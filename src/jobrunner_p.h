// The per-thread queue of jobs and what the runner and the tool streams ask of it: whether a
// program may start now, where its output lines go, and how to wait for it without blocking the
// thread's event loop.
#ifndef DOVODODUZU_JOBRUNNER_P_H
#define DOVODODUZU_JOBRUNNER_P_H

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

#include "jobs.h"

// Takes the output lines of a program, each without its newline.
using LineSink = std::function<void(const QString&)>;

// Why a program was not started while jobs run on this thread.
enum class StartRefusal {
    None,
    Reentered, // asked for from the event loop while a job waits: only jobs may run programs now
    Cancelled  // the running job was cancelled, or its Roz deleted
};

// Marks the programs started while it lives on this thread as reads of the machine (a cancelled
// change still reads what it did; a read's output is no transcript).
class ReadingStep
{
public:
    ReadingStep();
    ~ReadingStep();
    ReadingStep(const ReadingStep&) = delete;
    ReadingStep& operator=(const ReadingStep&) = delete;
    static bool active();
};

class JobRunner
{
public:
    // Queues a job on this thread. `target`, when given, must still exist when the job starts;
    // `owner` (the Roz) must still exist for the job to start or go on.
    static Job* enqueue(const QString& title, QObject* owner, QObject* target, std::function<OperationResult()> work,
                        bool discovery);

    // A job is being carried out on this thread (possibly waiting for a program).
    static bool busy();
    // Called from the event loop while a job of this thread waits: no program may start.
    static bool reentered();

    // Whether `program` may start now. `changes` is false for a read of the machine.
    static StartRefusal mayStart(const QString& program, bool changes);
    // The text a refused program leaves as its output.
    static QString refusalText(StartRefusal refusal, const QString& program);

    // Counts the program as the running job's next step and announces it; nothing without a job.
    static void announceStart(const QString& program, const QStringList& args);

    // Where the output lines of a change program go: to the running job, from any thread. Empty
    // without a job.
    static LineSink lineSink();

    // Runs `work` to its end. With a job running here it runs on a worker thread while this
    // thread's event loop goes on; otherwise right here.
    static void offload(const std::function<void()>& work);

    // Lets the event loop run when a job has kept it waiting for long (between the objects a
    // discovery builds); nothing without a job.
    static void breathe();

    // Deletes `object` once the running job has ended (at once when none runs).
    static void deleteWhenIdle(QObject* object);

    // Starts the first queued job unless one runs; posted to the next event-loop turn.
    static void startNext();

private:
    static void run(Job* job);
};

#endif

// Jobs and their per-thread runner: one job at a time per thread, programs waited for on a worker
// while the thread's event loop runs.
#include "jobrunner_p.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QList>
#include <QMutex>
#include <QSharedPointer>
#include <QThreadPool>
#include <QWaitCondition>

#include <memory>

namespace {

// How long a job may keep its thread's event loop from running between two waits.
constexpr qint64 kBreathAfterMs = 8;

struct ThreadJobs {
    QList<QPointer<Job>> queue;
    Job* running = nullptr;
    int waitDepth = 0; // inside a wait for a program or a breath: the event loop runs above the job
    QElapsedTimer sinceLoopRan;
    QList<QPointer<QObject>> deleteAfterJob;
    QString cancelledBefore; // the first program the running job's cancel kept from starting
    // What the start of the next job is posted to: a job may be deleted before the post arrives.
    std::unique_ptr<QObject> poster;

    // An extra post finds the queue empty or a job running, and does nothing.
    void postStart()
    {
        if (!poster)
            poster = std::make_unique<QObject>();
        QMetaObject::invokeMethod(poster.get(), &JobRunner::startNext, Qt::QueuedConnection);
    }
};

thread_local ThreadJobs jobs;
thread_local int readingSteps = 0;

QThreadPool& workers()
{
    static QThreadPool pool;
    return pool;
}

// What the worker and the waiting thread share; kept alive by whichever ends last.
struct Wait {
    QMutex mutex;
    QWaitCondition doneCondition;
    bool done = false;
    QEventLoop* loop = nullptr;
};

QString stepName(const QString& program, const QStringList& args)
{
    if (QFileInfo(program).fileName().startsWith(QLatin1String("lvm")) && !args.isEmpty())
        return program + QLatin1Char(' ') + args.first();
    return program;
}

OperationResult refused(const QString& why)
{
    return {false, QString(), -1, why};
}

} // namespace

ReadingStep::ReadingStep()
{
    ++readingSteps;
}

ReadingStep::~ReadingStep()
{
    --readingSteps;
}

bool ReadingStep::active()
{
    return readingSteps > 0;
}

Job::Job(const QString& title, QObject* owner, QObject* target, std::function<OperationResult()> work)
    : m_title(title), m_owner(owner), m_target(target), m_hasTarget(target != nullptr), m_work(std::move(work))
{}

Job::~Job()
{
    if (jobs.running == this)
        jobs.running = nullptr;
}

void Job::cancel()
{
    m_cancelRequested = true;
}

Job* JobRunner::enqueue(const QString& title, QObject* owner, QObject* target, std::function<OperationResult()> work,
                        bool discovery)
{
    auto* job = new Job(title, owner, target, std::move(work));
    job->m_discovery = discovery;
    jobs.queue.append(job);
    if (!jobs.running)
        jobs.postStart();
    return job;
}

void JobRunner::startNext()
{
    if (jobs.running)
        return; // posted again when the running one ends
    while (!jobs.queue.isEmpty()) {
        const QPointer<Job> next = jobs.queue.takeFirst();
        if (next) {
            run(next);
            return;
        }
    }
}

// The job may be deleted by any slot it reaches (against its contract): from then on only the
// copies taken here are used.
void JobRunner::run(Job* job)
{
    const QPointer<Job> guard(job);
    const QPointer<QObject> owner = job->m_owner;
    const std::function<OperationResult()> work = std::exchange(job->m_work, {});
    job->m_state = Job::State::Running;
    emit job->started();
    OperationResult result;
    if (!guard || job->m_cancelRequested)
        result = refused(QStringLiteral("Cancelled before it started"));
    else if (!owner)
        result = refused(QStringLiteral("The storage model was deleted before the job started"));
    else if (job->m_hasTarget && !job->m_target)
        result = refused(QStringLiteral("The object of the job was removed before the job started"));
    else {
        jobs.running = job;
        jobs.cancelledBefore.clear();
        jobs.sinceLoopRan.start();
        result = work();
        jobs.running = nullptr;
        if (!owner)
            result = refused(QStringLiteral("The storage model was deleted while the job ran"));
        else if (!result.ok && !jobs.cancelledBefore.isEmpty())
            result.message = QStringLiteral("Cancelled before %1").arg(jobs.cancelledBefore);
    }

    const QList<QPointer<QObject>> doomed = std::exchange(jobs.deleteAfterJob, {});
    for (const QPointer<QObject>& object : doomed)
        delete object.data();

    if (guard) {
        job->m_result = result;
        job->m_state = Job::State::Finished;
        emit job->finished(result);
    }
    if (guard && job->m_autoDelete)
        job->deleteLater();
    // The next job starts on a later turn, so that what this one announced is seen first.
    if (!jobs.queue.isEmpty())
        jobs.postStart();
}

bool JobRunner::busy()
{
    return jobs.running != nullptr;
}

bool JobRunner::reentered()
{
    return jobs.running && jobs.waitDepth > 0;
}

StartRefusal JobRunner::mayStart(const QString& program, bool changes)
{
    Job* job = jobs.running;
    if (!job)
        return StartRefusal::None;
    if (jobs.waitDepth > 0)
        return StartRefusal::Reentered;
    if (job->m_owner && !(job->m_cancelRequested && (changes || job->m_discovery)))
        return StartRefusal::None;
    if (jobs.cancelledBefore.isEmpty())
        jobs.cancelledBefore = program;
    return StartRefusal::Cancelled;
}

QString JobRunner::refusalText(StartRefusal refusal, const QString& program)
{
    if (refusal == StartRefusal::Reentered)
        return QStringLiteral("%1 not started: a job is running; ask for this as a job too\n").arg(program);
    return QStringLiteral("%1 not started: the job was cancelled\n").arg(program);
}

void JobRunner::announceStart(const QString& program, const QStringList& args)
{
    Job* job = jobs.running;
    if (!job)
        return;
    ++job->m_stepsDone;
    emit job->progress(job->m_stepsDone, stepName(program, args));
}

LineSink JobRunner::lineSink()
{
    Job* job = jobs.running;
    if (!job)
        return {};
    QPointer<Job> target(job);
    return [target](const QString& text) {
        // Posted to the job's thread; a job deleted meanwhile takes its pending lines with it.
        QMetaObject::invokeMethod(
            target.data(),
            [target, text] {
                if (!target)
                    return;
                target->m_transcript.append(text);
                emit target->line(text);
            },
            Qt::QueuedConnection);
    };
}

void JobRunner::offload(const std::function<void()>& work)
{
    if (!jobs.running) {
        work();
        return;
    }
    const auto wait = QSharedPointer<Wait>::create();
    QEventLoop loop;
    wait->loop = &loop;
    workers().start([wait, &work] {
        work();
        QMutexLocker lock(&wait->mutex);
        wait->done = true;
        wait->doneCondition.wakeAll();
        if (wait->loop)
            QMetaObject::invokeMethod(wait->loop, &QEventLoop::quit, Qt::QueuedConnection);
    });

    ++jobs.waitDepth;
    loop.exec();
    --jobs.waitDepth;

    QMutexLocker lock(&wait->mutex);
    // The loop also ends when the application quits: then the program is waited for here.
    while (!wait->done)
        wait->doneCondition.wait(&wait->mutex);
    wait->loop = nullptr;
    jobs.sinceLoopRan.restart();
}

void JobRunner::breathe()
{
    if (!jobs.running || jobs.waitDepth > 0 || jobs.sinceLoopRan.elapsed() < kBreathAfterMs)
        return;
    ++jobs.waitDepth;
    QCoreApplication::processEvents();
    --jobs.waitDepth;
    jobs.sinceLoopRan.restart();
}

void JobRunner::deleteWhenIdle(QObject* object)
{
    if (jobs.running)
        jobs.deleteAfterJob.append(object);
    else
        delete object;
}

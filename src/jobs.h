// Jobs: discovery and changes carried out without blocking the thread that asked for them. A job
// starts its programs on a worker thread and waits for them while its thread's event loop keeps
// running; the model objects change only on their own thread, so every signal arrives there.
#ifndef DOVODODUZU_JOBS_H
#define DOVODODUZU_JOBS_H

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

#include "dovododuzu_export.h"
#include "operations.h"

// One discovery or one change, queued by Roz::discover() or Roz::submit(). Jobs of one thread run
// one at a time, in the order they were asked for; a job starts on a later turn of the event loop.
//
// While a job waits for a program, its thread's event loop runs: a slot may ask for more jobs
// (they queue), cancel one, or delete the Roz (the running job then ends with a refusal once its
// current program is done). The synchronous calls refuse to start a program meanwhile: ask for a
// job instead.
//
// Ownership: the job deletes itself (deleteLater) after finished() unless setAutoDelete(false),
// in which case the caller deletes it once it has finished. Never delete a job that has not.
class DOVODODUZU_EXPORT Job : public QObject
{
    Q_OBJECT

public:
    enum class State { Queued, Running, Finished };

    ~Job() override;

    QString title() const { return m_title; }
    State state() const { return m_state; }
    // The result once finished: what the typed call returned, or a refusal (cancelled before it
    // started, its object gone, its Roz deleted).
    OperationResult result() const { return m_result; }
    // Every output line of the change programs run so far, as line() gave them.
    QStringList transcript() const { return m_transcript; }
    // The programs started so far, reads included.
    int stepsDone() const { return m_stepsDone; }
    bool isCancelRequested() const { return m_cancelRequested; }

    bool autoDelete() const { return m_autoDelete; }
    void setAutoDelete(bool autoDelete) { m_autoDelete = autoDelete; }

public slots:
    // A queued job ends at once, refused. A running one starts no further program that changes
    // the machine (the one running is never interrupted); the reads that bring the model in line
    // with what was done still run, then it ends.
    void cancel();

signals:
    void started();
    // Before each program: `step` counts the programs of this job from 1; `program` is its path
    // as the texts name it, with the subcommand for the LVM tool ("/sbin/lvm vgcreate").
    void progress(int step, const QString& program);
    // Each line of a change program's output (standard output and error interleaved), as soon as
    // the program has printed it, without its newline.
    void line(const QString& text);
    void finished(const OperationResult& result);

private:
    friend class JobRunner;
    Job(const QString& title, QObject* owner, QObject* target, std::function<OperationResult()> work);

    QString m_title;
    QPointer<QObject> m_owner; // the Roz whose model the job reads or changes
    QPointer<QObject> m_target;
    bool m_hasTarget = false;
    std::function<OperationResult()> m_work;
    State m_state = State::Queued;
    OperationResult m_result;
    QStringList m_transcript;
    int m_stepsDone = 0;
    bool m_cancelRequested = false;
    bool m_autoDelete = true;
    bool m_discovery = false; // its reads are its steps: a cancel stops them too
};

#endif

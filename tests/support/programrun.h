// Running a program as a process in tests: its exit code and both output streams kept apart.
#ifndef DOVO_TESTS_PROGRAMRUN_H
#define DOVO_TESTS_PROGRAMRUN_H

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct ProgramRun {
    int exitCode = -1; // -1: ended by a signal, or still running after two minutes
    QString out;
    QString err;
};

// `program` with `args` and the environment `env`, standard input from /dev/null.
inline ProgramRun runProgram(const QString& program, const QStringList& args,
                             const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, args);
    const bool ended = process.waitForFinished(120000);
    const int code = ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return {code, QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

#endif

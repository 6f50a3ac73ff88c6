// A fresh simulated machine for one test: a temporary root laid out from a machine description,
// with the library pointed at it for the test's lifetime.
#ifndef DOVO_TESTS_SIMROOT_H
#define DOVO_TESTS_SIMROOT_H

#include <QFile>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include "qtprinters.h"
#include "simstate.h"
#include "simstore.h"
#include "utils.h"

// The tool set a test's machine plays unless the test names one: "current" when the environment
// variable DOVO_TEST_TOOLS says so (ctest runs the operation tests once per set), else classic.
inline sim::ToolSet testToolSet()
{
    return qEnvironmentVariable("DOVO_TEST_TOOLS") == QLatin1String("current") ? sim::ToolSet::Current
                                                                               : sim::ToolSet::Classic;
}

class SimRoot
{
public:
    // `machine` is the name of a shipped description ("default", ...) or a path to a JSON file.
    // Lays out the root and calls setSystemRoot(root()); the destructor calls setSystemRoot("").
    explicit SimRoot(const QString& machine = QStringLiteral("default"), sim::ToolSet tools = testToolSet())
    {
        QString error;
        if (!m_dir.isValid())
            ADD_FAILURE() << "SimRoot: no temporary directory";
        else if (!sim::layoutRoot(m_dir.path(), machine, QStringLiteral(DOVO_SIM_BINARY), &error, tools))
            ADD_FAILURE() << "SimRoot: " << error.toStdString();
        setSystemRoot(root());
    }
    ~SimRoot() { setSystemRoot(QString()); }

    // A root laid out from a machine description given as JSON text.
    static std::unique_ptr<SimRoot> fromJson(const QByteArray& description, sim::ToolSet tools = testToolSet())
    {
        QTemporaryDir descriptionDir;
        const QString path = descriptionDir.filePath(QStringLiteral("machine.json"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(description) != description.size())
            ADD_FAILURE() << "SimRoot: cannot write the machine description";
        file.close();
        return std::make_unique<SimRoot>(path, tools);
    }

    QString root() const { return m_dir.path(); }

    // The programs run so far, each as [program path without the root, arg1, arg2, ...].
    QList<QStringList> calls() const { return sim::readCalls(root()); }
    // The same, each joined with single blanks: "/sbin/lvm.static vgscan".
    QStringList callLines() const
    {
        QStringList lines;
        for (const QStringList& call : calls())
            lines << call.join(QLatin1Char(' '));
        return lines;
    }
    void clearCalls() { sim::clearCalls(root()); }

    // Fault injection: the next `times` runs (-1: every run) of `program` whose argument vector
    // starts with `argsPrefix` (or equals it when `exact`) print `output` (and `errorOutput` on
    // standard error) and end with `exitCode` or, when `signal` is set, die by that signal.
    void addFault(const QString& program, const QStringList& argsPrefix, int exitCode,
                  const QString& output = QString(), int times = -1, bool exact = false, int signal = 0,
                  const QString& errorOutput = QString())
    {
        const auto addFault = [&](sim::Machine& m) {
            m.faults << sim::Fault{program, argsPrefix, exact, exitCode, output, errorOutput, signal, times};
            return true;
        };
        QString error;
        if (!sim::withState(root(), addFault, &error))
            ADD_FAILURE() << "SimRoot::addFault: " << error.toStdString();
    }

    // The whole simulated state as JSON, and a way to replace it.
    QJsonObject state() const
    {
        QString error;
        const std::optional<sim::Machine> m = sim::readState(root(), &error);
        if (!m)
            ADD_FAILURE() << "SimRoot::state: " << error.toStdString();
        return m ? sim::toJson(*m) : QJsonObject();
    }
    void setState(const QJsonObject& state)
    {
        QString error;
        if (!sim::replaceState(root(), state, &error))
            ADD_FAILURE() << "SimRoot::setState: " << error.toStdString();
    }

private:
    QTemporaryDir m_dir;
};

#endif

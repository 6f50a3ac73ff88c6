// A fresh simulated machine for one test: a temporary root laid out from a machine description,
// with the library pointed at it for the test's lifetime.
#ifndef DOVO_TESTS_SIMROOT_H
#define DOVO_TESTS_SIMROOT_H

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

#include "qtprinters.h"
#include "simstate.h"

// The tool set a test's machine plays unless the test names one: "current" when the environment
// variable DOVO_TEST_TOOLS says so (ctest runs the operation tests once per set), else classic.
sim::ToolSet testToolSet();

class SimRoot
{
public:
    // `machine` is the name of a shipped description ("default", ...) or a path to a JSON file.
    // Lays out the root and calls setSystemRoot(root()).
    explicit SimRoot(const QString& machine = QStringLiteral("default"), sim::ToolSet tools = testToolSet());
    // Calls setSystemRoot("") and removes the root.
    ~SimRoot();

    // A root laid out from a machine description given as JSON text.
    static std::unique_ptr<SimRoot> fromJson(const QByteArray& description, sim::ToolSet tools = testToolSet());

    QString root() const;

    // The programs run so far, each as [program path without the root, arg1, arg2, ...].
    QList<QStringList> calls() const;
    // The same, each joined with single blanks: "/sbin/lvm.static vgscan".
    QStringList callLines() const;
    void clearCalls();

    // Fault injection: the next `times` runs (-1: every run) of `program` whose argument vector
    // starts with `argsPrefix` (or equals it when `exact`) print `output` (and `errorOutput` on
    // standard error) and end with `exitCode` or, when `signal` is set, die by that signal.
    void addFault(const QString& program, const QStringList& argsPrefix, int exitCode,
                  const QString& output = QString(), int times = -1, bool exact = false, int signal = 0,
                  const QString& errorOutput = QString());

    // The whole simulated state as JSON, and a way to replace it.
    QJsonObject state() const;
    void setState(const QJsonObject& state);

private:
    QTemporaryDir dir_;
};

#endif

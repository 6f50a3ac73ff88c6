// SimRoot: a fresh simulated machine in a temporary directory, with the library pointed at it.
#include "simroot.h"

#include <QFile>

#include "simstore.h"
#include "utils.h"

#include <gtest/gtest.h>

sim::ToolSet testToolSet()
{
    return qEnvironmentVariable("DOVO_TEST_TOOLS") == QLatin1String("current") ? sim::ToolSet::Current
                                                                               : sim::ToolSet::Classic;
}

SimRoot::SimRoot(const QString& machine, sim::ToolSet tools)
{
    QString error;
    if (!dir_.isValid())
        ADD_FAILURE() << "SimRoot: no temporary directory";
    else if (!sim::layoutRoot(dir_.path(), machine, QStringLiteral(DOVO_SIM_BINARY), &error, tools))
        ADD_FAILURE() << "SimRoot: " << error.toStdString();
    setSystemRoot(root());
}

SimRoot::~SimRoot()
{
    setSystemRoot(QString());
}

std::unique_ptr<SimRoot> SimRoot::fromJson(const QByteArray& description, sim::ToolSet tools)
{
    QTemporaryDir descriptionDir;
    const QString path = descriptionDir.filePath(QStringLiteral("machine.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(description) != description.size())
        ADD_FAILURE() << "SimRoot: cannot write the machine description";
    file.close();
    return std::make_unique<SimRoot>(path, tools);
}

QString SimRoot::root() const
{
    return dir_.path();
}

QList<QStringList> SimRoot::calls() const
{
    return sim::readCalls(root());
}

QStringList SimRoot::callLines() const
{
    QStringList lines;
    for (const QStringList& call : calls())
        lines << call.join(QLatin1Char(' '));
    return lines;
}

void SimRoot::clearCalls()
{
    sim::clearCalls(root());
}

void SimRoot::addFault(const QString& program, const QStringList& argsPrefix, int exitCode, const QString& output,
                       int times, bool exact, int signal, const QString& errorOutput)
{
    const auto addFault = [&](sim::Machine& m) {
        m.faults << sim::Fault{program, argsPrefix, exact, exitCode, output, errorOutput, signal, times};
        return true;
    };
    QString error;
    if (!sim::withState(root(), addFault, &error))
        ADD_FAILURE() << "SimRoot::addFault: " << error.toStdString();
}

QJsonObject SimRoot::state() const
{
    QString error;
    const std::optional<sim::Machine> m = sim::readState(root(), &error);
    if (!m) {
        ADD_FAILURE() << "SimRoot::state: " << error.toStdString();
        return QJsonObject();
    }
    return sim::toJson(*m);
}

void SimRoot::setState(const QJsonObject& state)
{
    QString error;
    if (!sim::replaceState(root(), state, &error))
        ADD_FAILURE() << "SimRoot::setState: " << error.toStdString();
}

// A temporary system root whose tools are the small fake programs of the test tree.
#ifndef DOVO_TESTS_FAKEROOT_H
#define DOVO_TESTS_FAKEROOT_H

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "qtprinters.h"
#include "utils.h"

// Points the library at the new root while alive.
class FakeRoot
{
public:
    FakeRoot() { setSystemRoot(m_dir.path()); }
    ~FakeRoot() { setSystemRoot(QString()); }

    static QString fakePath(const QString& fakeName) { return QStringLiteral(DOVO_FAKE_DIR "/") + fakeName; }

    // Links `toolPath` (e.g. "/sbin/parted") under the root to the fake program `fakeName`.
    void install(const QString& toolPath, const QString& fakeName)
    {
        const QString target = m_dir.path() + toolPath;
        QDir().mkpath(QFileInfo(target).path());
        QFile::link(fakePath(fakeName), target);
    }

    // The exit codes the fake tool named `tool` ends with, run by run (the last one repeats).
    void scriptExits(const QString& tool, const QList<int>& codes)
    {
        QDir().mkpath(m_dir.filePath(QStringLiteral("exits")));
        QFile file(m_dir.filePath(QStringLiteral("exits/") + tool));
        if (!file.open(QIODevice::WriteOnly))
            return;
        for (int code : codes)
            file.write(QByteArray::number(code) + ' ');
    }

    // The logged runs of fake_tool, each "tool|arg1|arg2...".
    QStringList calls() const
    {
        QFile file(m_dir.filePath(QStringLiteral("calls.log")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    QTemporaryDir m_dir;
};

#endif

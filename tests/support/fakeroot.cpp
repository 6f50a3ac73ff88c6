// A temporary system root populated with the fake programs of the test tree.
#include "fakeroot.h"

#include "utils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

FakeRoot::FakeRoot()
{
    setSystemRoot(dir_.path());
}

FakeRoot::~FakeRoot()
{
    setSystemRoot(QString());
}

QString FakeRoot::fakePath(const QString& fakeName)
{
    return QStringLiteral(DOVO_FAKE_DIR "/") + fakeName;
}

void FakeRoot::install(const QString& toolPath, const QString& fakeName)
{
    const QString target = dir_.path() + toolPath;
    QDir().mkpath(QFileInfo(target).path());
    QFile::link(fakePath(fakeName), target);
}

void FakeRoot::scriptExits(const QString& tool, const QList<int>& codes)
{
    QDir().mkpath(dir_.path() + QStringLiteral("/exits"));
    QFile file(dir_.path() + QStringLiteral("/exits/") + tool);
    if (!file.open(QIODevice::WriteOnly))
        return;
    for (int code : codes)
        file.write(QByteArray::number(code) + ' ');
}

QStringList FakeRoot::calls() const
{
    QFile file(dir_.path() + QStringLiteral("/calls.log"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

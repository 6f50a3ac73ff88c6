// A temporary system root whose tools are the small fake programs of the test tree.
#ifndef DOVO_TESTS_FAKEROOT_H
#define DOVO_TESTS_FAKEROOT_H

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "qtprinters.h"

class FakeRoot
{
public:
    // Points the library at the new root; the destructor points it back at the real machine.
    FakeRoot();
    ~FakeRoot();

    QString root() const { return dir_.path(); }
    // Links `toolPath` (e.g. "/sbin/parted") under the root to the fake program `fakeName`.
    void install(const QString& toolPath, const QString& fakeName);
    // The exit codes the fake tool named `tool` ends with, run by run (the last one repeats).
    void scriptExits(const QString& tool, const QList<int>& codes);
    // The logged runs of fake_tool, each "tool|arg1|arg2...".
    QStringList calls() const;

    static QString fakePath(const QString& fakeName);

private:
    QTemporaryDir dir_;
};

#endif

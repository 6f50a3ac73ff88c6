// Captures the library's debug lines (category "dovododuzu") and Qt warnings while alive.
#ifndef DOVO_TESTS_CAPTURE_H
#define DOVO_TESTS_CAPTURE_H

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include "qtprinters.h"

class MessageCapture
{
public:
    // Switches the "dovododuzu" debug category on and installs a message handler.
    MessageCapture();
    // Restores the previous handler and switches the category off again.
    ~MessageCapture();

    QStringList debugLines() const { return debug_; }
    QStringList warnings() const { return warnings_; }
    // Number of debug lines equal to `line`.
    int countDebug(const QString& line) const { return debug_.count(line); }

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message);

    QStringList debug_;
    QStringList warnings_;
    QtMessageHandler previous_ = nullptr;
};

#endif

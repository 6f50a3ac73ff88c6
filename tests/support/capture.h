// Captures the library's debug lines (category "dovododuzu") and Qt warnings while alive.
#ifndef DOVO_TESTS_CAPTURE_H
#define DOVO_TESTS_CAPTURE_H

#include <QLoggingCategory>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <cstring>

#include "qtprinters.h"

// Switches the "dovododuzu" debug category on and installs a message handler; the destructor puts
// back the previous handler and switches the category off again.
class MessageCapture
{
public:
    MessageCapture()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("dovododuzu.debug=true"));
        s_current = this;
        m_previous = qInstallMessageHandler(&MessageCapture::handler);
    }
    ~MessageCapture()
    {
        qInstallMessageHandler(m_previous);
        QLoggingCategory::setFilterRules(QStringLiteral("dovododuzu.debug=false"));
        s_current = nullptr;
    }

    QStringList debugLines() const { return m_debug; }
    QStringList warnings() const { return m_warnings; }
    // Number of debug lines equal to `line`.
    int countDebug(const QString& line) const { return m_debug.count(line); }

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (!s_current)
            return;
        if (type == QtDebugMsg && context.category && std::strcmp(context.category, "dovododuzu") == 0)
            s_current->m_debug.append(message);
        else if (type == QtWarningMsg)
            s_current->m_warnings.append(message);
    }

    QStringList m_debug;
    QStringList m_warnings;
    QtMessageHandler m_previous = nullptr;
    static inline MessageCapture* s_current = nullptr;
};

#endif

// Message capture for tests: records what the library sends to Qt's logging.
#include "capture.h"

#include <QLoggingCategory>

#include <cstring>

namespace {
MessageCapture* current = nullptr;
} // namespace

MessageCapture::MessageCapture()
{
    QLoggingCategory::setFilterRules(QStringLiteral("dovododuzu.debug=true"));
    current = this;
    previous_ = qInstallMessageHandler(&MessageCapture::handler);
}

MessageCapture::~MessageCapture()
{
    qInstallMessageHandler(previous_);
    QLoggingCategory::setFilterRules(QStringLiteral("dovododuzu.debug=false"));
    current = nullptr;
}

void MessageCapture::handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!current)
        return;
    if (type == QtDebugMsg && context.category && std::strcmp(context.category, "dovododuzu") == 0)
        current->debug_.append(message);
    else if (type == QtWarningMsg)
        current->warnings_.append(message);
}

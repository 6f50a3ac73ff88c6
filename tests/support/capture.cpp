// Message capture for tests: records what the library sends to Qt's logging.
#include "capture.h"

#include <QLoggingCategory>

#include <cstring>

namespace {
MessageCapture* current = nullptr;
QStringList* currentDebug = nullptr;
QStringList* currentWarnings = nullptr;
} // namespace

MessageCapture::MessageCapture()
{
    QLoggingCategory::setFilterRules(QStringLiteral("dovododuzu.debug=true"));
    current = this;
    currentDebug = &debug_;
    currentWarnings = &warnings_;
    previous_ = qInstallMessageHandler(&MessageCapture::handler);
}

MessageCapture::~MessageCapture()
{
    qInstallMessageHandler(previous_);
    QLoggingCategory::setFilterRules(QStringLiteral("dovododuzu.debug=false"));
    current = nullptr;
    currentDebug = nullptr;
    currentWarnings = nullptr;
}

void MessageCapture::clear()
{
    debug_.clear();
    warnings_.clear();
}

void MessageCapture::handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!current)
        return;
    if (type == QtDebugMsg && context.category && std::strcmp(context.category, "dovododuzu") == 0)
        currentDebug->append(message);
    else if (type == QtWarningMsg)
        currentWarnings->append(message);
}

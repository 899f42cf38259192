#include "BatchLog.h"

#include "BatchTexts.h"

QString BatchLogTimestamp(const QDateTime& when) {
    return when.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QString BatchLogEntry(const QDateTime& when, const QString& subject, const QString& detail,
                      bool success) {
    using namespace batchtext;
    QString entry = BatchLogTimestamp(when) + kCrLf + subject;
    if (!success) entry += kNotProcessed + kCrLf + detail;
    return entry + kCrLf;
}

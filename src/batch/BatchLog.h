#pragma once

#include <QDateTime>
#include <QString>

// "yyyy/mm/dd hh:mm:ss" on the 24-hour clock.
QString BatchLogTimestamp(const QDateTime& when);

// One log entry, lines ended by CR LF. Success: time, subject. Failure: time, subject with
// "は正常に処理されませんでした。", detail.
QString BatchLogEntry(const QDateTime& when, const QString& subject, const QString& detail,
                      bool success);

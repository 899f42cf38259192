#pragma once

#include <QByteArray>
#include <QString>

// The character sets of batch files, the same as for the delimited data files: written in the
// locale's character set; read as UTF-8 (with or without a byte-order mark), falling back to
// CP932 (Shift_JIS) for bytes that are not valid UTF-8.
QString DecodeBatchFile(const QByteArray& bytes);
QByteArray EncodeBatchFile(const QString& text);

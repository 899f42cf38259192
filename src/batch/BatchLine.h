#pragma once

#include <QString>
#include <QStringView>

// Hands out the lines of a command text one at a time. Only CR LF ends a line (the line break
// the command box produces); a lone CR or LF stays inside its line.
class BatchLineReader {
public:
    explicit BatchLineReader(QStringView text) : m_text(text) {}
    bool atEnd() const { return m_done; }
    QStringView next();

private:
    QStringView m_text;
    qsizetype m_pos = 0;
    bool m_done = false;
};

// The verdict on one batch line: the first check that fails, in the order they run.
enum class BatchLineCheck {
    Empty,
    Malformed,
    NoTableName,
    NoFileName,
    BadFileName,
    // The table name is not one plain or quoted name: it would run as SQL.
    BadTableName,
    Ok
};

struct BatchLine {
    BatchLineCheck check = BatchLineCheck::Empty;
    QString line; // trimmed; the subject of a failure entry
    QString tableName;
    QString fileName;
};

// "table name, file name": split at the first comma outside a quoted table name, both sides
// trimmed of blanks.
BatchLine ParseBatchLine(QStringView line);

// The failure detail of a check that failed; "" for Empty and Ok.
QString BatchLineDetail(BatchLineCheck check);

// A name that cannot be a file: it ends in a folder separator ("/", or "\" as typed for the
// original platform) or in a drive colon.
bool IsInvalidFileName(QStringView fileName);

#pragma once

#include "RecordSource.h"
#include "db/Error.h"

#include <QString>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

namespace db {
class Recordset;
}

// Adds the records of a delimited file or a sheet to a record set opened for adding, one at a
// time: fields go to the target's fields by position, with the values the source gives them
// (RecordSource); a field no row can store (a sheet's error cell) refuses its row. With
// skipFailures a failing
// assignment is passed over (the row keeps the fields that could be set) and so is a row
// the database refuses, which is not counted; otherwise a failure ends the run. A file that
// cannot be read always ends it. The database may hold added rows and refuse one of them
// later; failedRecord then still names the record that failed, and counted() leaves it out.
class RecordImporter {
public:
    // Refused: the database refused the record's row and it was passed over.
    enum Step { Added, Refused, Blank, End, Failed };

    RecordImporter(db::Recordset& target, bool skipFailures);
    ~RecordImporter();

    // Opens the file and decides how its text is encoded.
    bool open(const QString& path, const QString& separator, db::Error& error);
    // Reads the records of that source.
    void open(std::unique_ptr<RecordSource> source);
    void setSkipFailures(bool skip) { m_skipFailures = skip; }
    bool skipsFailures() const { return m_skipFailures; }
    // Reads the next line, with the lines its record spans, and adds the record unless the
    // line is blank.
    Step next(db::Error& error);
    // Stores the rows the connection still holds; false with the error of the row refused.
    [[nodiscard]] bool flush(db::Error& error);
    // After a failure: how many records came before the one that failed (blank lines do not
    // count), and the line of the file it starts on.
    qint64 failedRecord() const { return m_failedRecord; }
    qint64 failedLine() const { return m_failedLine; }
    // What to tell of the rows the database refused and that were passed over (skipFailures):
    // how many, and the first lines with the database's reasons; "" when none was.
    QString refusedNote() const;
    // See RecordReader::unclosedQuoteLine().
    qint64 unclosedQuoteLine() const { return m_source ? m_source->unclosedQuoteLine() : 0; }
    // The records whose rows the database took or holds: every record read, or after a failure
    // those before the failing one, less the rows refused and passed over.
    qint64 counted() const;
    void close();

private:
    // The rows the connection holds: its number of each, the record and line it came from.
    struct Held {
        qint64 insert;
        qint64 record;
        qint64 line;
    };
    struct RefusedRow {
        qint64 line;
        QString reason;
    };

    Step addRecord(db::Error& error);
    // The row the connection numbered so, while it is still held; null once it is not.
    const Held* heldRow(qint64 insert) const;
    // Names the first rows refused, as many as the connection names of those it passed over.
    void noteRefused(qint64 line, const QString& reason);
    // The rows the connection passed over since the last look, while their lines are known;
    // the row just added (insert, line) may be one of them.
    void notePassedOver(qint64 insert = -1, qint64 line = 0);

    db::Recordset& m_target;
    bool m_skipFailures;
    std::unique_ptr<RecordSource> m_source;
    qint64 m_recordCount = 0;
    qint64 m_failedRecord = -1;
    qint64 m_failedLine = 0;
    bool m_failed = false;
    // Rows refused at once; those refused when held rows were stored the connection counts.
    qint64 m_refused = 0;
    std::deque<Held> m_held;
    std::vector<RefusedRow> m_firstRefused;
    size_t m_passedOverSeen = 0;
};

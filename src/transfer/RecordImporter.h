#pragma once

#include "Error.h"
#include "LineReader.h"
#include "RecordReader.h"
#include "TextEncoding.h"

#include <QFile>
#include <QString>
#include <memory>

namespace db {
class Recordset;
}

// Adds the records of a delimited file to a record set opened for adding, one line at a
// time: fields go to the target's fields by position, an empty field is the empty string
// for the plain text types and Null for every other type. With skipFailures a failing
// assignment or Update is passed over (the record still counts); otherwise it ends the run.
// A file that cannot be read always ends it.
class RecordImporter {
public:
    enum Step { Added, Blank, End, Failed };

    RecordImporter(db::Recordset& target, bool skipFailures);
    ~RecordImporter();

    // Opens the file and decides how its text is encoded.
    bool open(const QString& path, const QString& separator, db::Error& error);
    void setSkipFailures(bool skip) { m_skipFailures = skip; }
    // Reads the next line, with the lines its record spans, and adds the record unless the
    // line is blank.
    Step next(db::Error& error);
    void close();

private:
    bool addRecord(db::Error& error);

    db::Recordset& m_target;
    bool m_skipFailures;
    QString m_path;
    QFile m_file;
    std::unique_ptr<LineReader> m_lines;
    std::unique_ptr<RecordReader> m_records;
    std::unique_ptr<TextDecoder> m_decoder;
};

// A separator the reader can split on: one ASCII character that is no quote, blank or line end.
bool isUsableSeparator(const QString& separator);

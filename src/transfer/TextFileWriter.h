#pragma once

#include "db/Error.h"

#include <QString>
#include <string>
#include <vector>

// An output file written through a buffer and closed on every path. Failures (a folder, no
// permission, a full disk) come back as errors. An earlier file of that name is never cut
// short: the new text goes into a file beside it that takes its place when close() succeeds;
// after a failure the earlier file is as it was and the whole lines already written stay in
// the new file (keptPath()). Without an earlier file the lines go to the path itself.
class TextFileWriter {
public:
    TextFileWriter() = default;
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    bool open(const QString& path, db::Error& error);
    bool isOpen() const { return m_fd >= 0; }
    // Lines are appended here; writeIfFull() hands them to the file now and then.
    std::string& buffer() { return m_buffer; }
    bool writeIfFull(db::Error& error) { return m_buffer.size() < kFlushSize || flush(error); }
    // Marks the end of a line in the buffer. A writer that marks its lines never leaves part
    // of one in the file: a failed write is cut back to the last whole line.
    void endLine() {
        m_countsLines = true;
        m_lineEnds.push_back(m_buffer.size());
    }
    // Whole lines that reached the file.
    qint64 linesWritten() const { return m_linesWritten; }
    bool flush(db::Error& error);
    // Writes what is left, closes and puts the file in place; false when any of it fails
    // (the file is closed anyway).
    bool close(db::Error& error);
    // Closes after a failure of the caller's own: the earlier file stays.
    void abandon();
    // The new file beside the earlier one that holds the lines written, after a failure; ""
    // when the lines went to the path itself or none were written.
    QString keptPath() const { return m_kept; }

private:
    static constexpr size_t kFlushSize = 256 * 1024;
    bool fail(int errnum, db::Error& error);

    // Closes the descriptor; a new file without a line goes.
    void release();

    QString m_path;    // as given: errors name it
    QString m_target;  // the file that the new one replaces ("" when writing to it directly)
    QString m_writing; // the file written
    QString m_kept;
    int m_fd = -1;
    std::string m_buffer;
    std::vector<size_t> m_lineEnds; // in m_buffer
    bool m_countsLines = false;
    bool m_writeFailed = false; // a file that missed lines never takes the earlier one's place
    qint64 m_fileSize = 0;
    qint64 m_linesWritten = 0;
};

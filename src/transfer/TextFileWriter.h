#pragma once

#include "Error.h"

#include <QString>
#include <string>
#include <vector>

// An output file that is created or truncated, written through a buffer, and closed on every
// path. Failures (a folder, no permission, a full disk) come back as errors; the part already
// written stays.
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
    // Writes what is left and closes; false when either fails (the file is closed anyway).
    bool close(db::Error& error);

private:
    static constexpr size_t kFlushSize = 256 * 1024;
    bool fail(int errnum, db::Error& error);

    QString m_path;
    int m_fd = -1;
    std::string m_buffer;
    std::vector<size_t> m_lineEnds; // in m_buffer
    bool m_countsLines = false;
    qint64 m_fileSize = 0;
    qint64 m_linesWritten = 0;
};

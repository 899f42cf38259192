#pragma once

#include "Error.h"

#include <QString>
#include <string>

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
    bool flush(db::Error& error);
    // Writes what is left and closes; false when either fails (the file is closed anyway).
    bool close(db::Error& error);

private:
    static constexpr size_t kFlushSize = 256 * 1024;
    bool fail(int errnum, db::Error& error);

    QString m_path;
    int m_fd = -1;
    std::string m_buffer;
};

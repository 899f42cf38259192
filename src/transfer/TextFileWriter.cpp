#include "TextFileWriter.h"

#include "TransferErrors.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

TextFileWriter::~TextFileWriter() {
    db::Error ignored;
    close(ignored);
}

bool TextFileWriter::fail(int errnum, db::Error& error) {
    error = errnum == ENOSPC || errnum == EDQUOT
                ? transfer_error::diskFull(m_path)
                : transfer_error::fileAccess(m_path, QString::fromLocal8Bit(std::strerror(errnum)));
    return false;
}

bool TextFileWriter::open(const QString& path, db::Error& error) {
    db::Error ignored;
    close(ignored);
    m_path = path;
    m_buffer.clear();
    m_lineEnds.clear();
    m_countsLines = false;
    m_fileSize = 0;
    m_linesWritten = 0;
    m_fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0) return fail(errno, error);
    m_buffer.reserve(kFlushSize + 64 * 1024);
    return true;
}

bool TextFileWriter::flush(db::Error& error) {
    if (m_fd < 0) {
        m_buffer.clear();
        m_lineEnds.clear();
        return true;
    }
    size_t done = 0;
    while (done < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int errnum = errno;
            // The whole lines that reached the file stay there; a line cut short by the
            // failure goes, and the rest is dropped with the failure.
            size_t whole = 0, lines = 0;
            for (size_t end : m_lineEnds) {
                if (end > done) break;
                whole = end;
                ++lines;
            }
            if (m_countsLines && whole < done &&
                ::ftruncate(m_fd, off_t(m_fileSize + qint64(whole))) == 0)
                done = whole;
            m_fileSize += qint64(done);
            m_linesWritten += qint64(lines);
            m_buffer.clear();
            m_lineEnds.clear();
            return fail(errnum, error);
        }
        done += size_t(n);
    }
    m_fileSize += qint64(done);
    m_linesWritten += qint64(m_lineEnds.size());
    m_buffer.clear();
    m_lineEnds.clear();
    return true;
}

bool TextFileWriter::close(db::Error& error) {
    if (m_fd < 0) return true;
    bool ok = flush(error);
    if (::close(m_fd) != 0 && ok) ok = fail(errno, error);
    m_fd = -1;
    return ok;
}

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
    m_fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0) return fail(errno, error);
    m_buffer.reserve(kFlushSize + 64 * 1024);
    return true;
}

bool TextFileWriter::flush(db::Error& error) {
    if (m_fd < 0) {
        m_buffer.clear();
        return true;
    }
    size_t done = 0;
    while (done < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int errnum = errno;
            // What did reach the file stays there; the rest is dropped with the failure.
            m_buffer.clear();
            return fail(errnum, error);
        }
        done += size_t(n);
    }
    m_buffer.clear();
    return true;
}

bool TextFileWriter::close(db::Error& error) {
    if (m_fd < 0) return true;
    bool ok = flush(error);
    if (::close(m_fd) != 0 && ok) ok = fail(errno, error);
    m_fd = -1;
    return ok;
}

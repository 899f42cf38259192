#include "TextFileWriter.h"

#include "TransferErrors.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// An earlier file of the name, to be replaced whole: a regular file, through any links to it.
// Anything else (a FIFO, a device) is written in place, and a folder fails the open.
QString earlierFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile()) return QString();
    return info.isSymLink() ? info.canonicalFilePath() : info.absoluteFilePath();
}
} // namespace

TextFileWriter::~TextFileWriter() {
    // Never finished: like a failure, the earlier file stays.
    abandon();
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
    m_writeFailed = false;
    m_fileSize = 0;
    m_linesWritten = 0;
    m_target.clear();
    m_kept.clear();
    m_writing = path;
    // Created only if it is not there, so that a file appearing meanwhile is not cut short.
    m_fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_fd < 0 && errno == EEXIST) {
        m_target = earlierFile(path);
        if (m_target.isEmpty()) {
            m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        } else {
            // In the same folder, where the rename that puts it in place is atomic.
            QByteArray pattern = QFile::encodeName(m_target) + ".XXXXXX";
            m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
            if (m_fd >= 0) m_writing = QFile::decodeName(pattern);
        }
    }
    if (m_fd < 0) {
        m_target.clear();
        return fail(errno, error);
    }
    m_buffer.reserve(kFlushSize + 64 * 1024);
    return true;
}

void TextFileWriter::release() {
    if (m_fd < 0) return;
    ::close(m_fd);
    m_fd = -1;
    if (m_target.isEmpty()) return;
    // Nothing worth keeping: no trace of the run beside the earlier file.
    if (m_fileSize == 0)
        ::unlink(QFile::encodeName(m_writing).constData());
    else
        m_kept = m_writing;
}

void TextFileWriter::abandon() {
    if (m_fd < 0) return;
    db::Error ignored;
    (void)flush(ignored);
    release();
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
            m_writeFailed = true;
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
    if (m_writeFailed) {
        release();
        return fail(EIO, error);
    }
    if (!flush(error)) {
        release();
        return false;
    }
    if (!m_target.isEmpty()) {
        struct stat earlier {};
        if (::stat(QFile::encodeName(m_target).constData(), &earlier) == 0) {
            // The file keeps what the earlier one had: who may read it, and its owner where
            // we may give it.
            (void)::fchmod(m_fd, earlier.st_mode & 07777);
            (void)::fchown(m_fd, earlier.st_uid, earlier.st_gid);
        }
        // On disk before it takes the earlier file's name.
        if (::fsync(m_fd) != 0) {
            const int errnum = errno;
            release();
            return fail(errnum, error);
        }
    }
    const int closed = ::close(m_fd);
    const int errnum = errno;
    m_fd = -1;
    if (closed != 0) {
        // Closed already: what release() would do with a new file.
        if (!m_target.isEmpty()) m_kept = m_writing;
        return fail(errnum, error);
    }
    if (m_target.isEmpty()) return true;
    if (::rename(QFile::encodeName(m_writing).constData(),
                 QFile::encodeName(m_target).constData()) != 0) {
        const int renameErr = errno;
        m_kept = m_writing;
        return fail(renameErr, error);
    }
    return true;
}

#pragma once

#include <QString>
#include <cstdlib>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

// The readers under test take a path: the input goes into an in-memory file, reached through
// /proc, so no run touches the disk or leaves a file behind.
class FuzzFile {
public:
    FuzzFile() : m_fd(::memfd_create("tolvan-fuzz", MFD_CLOEXEC)) {
        if (m_fd < 0) std::abort();
        m_path = QStringLiteral("/proc/self/fd/%1").arg(m_fd);
    }
    ~FuzzFile() { ::close(m_fd); }
    FuzzFile(const FuzzFile&) = delete;
    FuzzFile& operator=(const FuzzFile&) = delete;

    const QString& path() const { return m_path; }
    void write(std::string_view bytes) {
        if (::ftruncate(m_fd, 0) != 0) std::abort();
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::pwrite(m_fd, bytes.data() + done, bytes.size() - done, off_t(done));
            if (n <= 0) std::abort();
            done += size_t(n);
        }
    }

private:
    int m_fd;
    QString m_path;
};

// A property of the code under test that failed: libFuzzer reports the input as a crash.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);         \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

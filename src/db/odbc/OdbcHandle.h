#pragma once

#include <sql.h>
#include <sqlext.h>

#include <QString>
#include <utility>

namespace db {

// Owns one ODBC handle and frees it on destruction.
class OdbcHandle {
public:
    OdbcHandle() = default;
    OdbcHandle(SQLSMALLINT type, SQLHANDLE parent) : m_type(type) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &m_handle))) m_handle = SQL_NULL_HANDLE;
    }
    ~OdbcHandle() { reset(); }
    OdbcHandle(OdbcHandle&& o) noexcept
        : m_type(o.m_type), m_handle(std::exchange(o.m_handle, SQLHANDLE(nullptr))) {}
    OdbcHandle& operator=(OdbcHandle&& o) noexcept {
        if (this != &o) {
            reset();
            m_type = o.m_type;
            m_handle = std::exchange(o.m_handle, SQLHANDLE(nullptr));
        }
        return *this;
    }
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;

    void reset() {
        if (m_handle != SQL_NULL_HANDLE) SQLFreeHandle(m_type, m_handle);
        m_handle = SQL_NULL_HANDLE;
    }
    SQLHANDLE get() const { return m_handle; }
    SQLSMALLINT type() const { return m_type; }
    explicit operator bool() const { return m_handle != SQL_NULL_HANDLE; }

private:
    SQLSMALLINT m_type = 0;
    SQLHANDLE m_handle = SQL_NULL_HANDLE;
};

// unixODBC's SQLWCHAR is UTF-16.
static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "SQLWCHAR must be UTF-16");

inline SQLWCHAR* wide(const QString& s) {
    return reinterpret_cast<SQLWCHAR*>(
        const_cast<char16_t*>(reinterpret_cast<const char16_t*>(s.utf16())));
}
inline QString fromWide(const SQLWCHAR* s, qsizetype units) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(s), units);
}

// A name the driver wrote into a buffer of that many units. The driver ends it with a NUL;
// its reported length is not trusted (some count UTF-8 bytes, not characters).
inline QString fromWideBuffer(const SQLWCHAR* s, qsizetype bufferUnits) {
    qsizetype n = 0;
    while (n < bufferUnits - 1 && s[n] != 0)
        ++n;
    return fromWide(s, n);
}

} // namespace db

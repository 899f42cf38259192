#include "CellSpool.h"

#include <cstring>

namespace {
constexpr size_t kBlock = 1 << 18;
}

bool CellSpool::open(const QString& folder) {
    m_file.setFileTemplate(folder + QStringLiteral("cells-XXXXXX.tmp"));
    m_buffer.reserve(kBlock + 64);
    return m_file.open();
}

void CellSpool::append(const void* data, size_t size) {
    m_buffer.append(static_cast<const char*>(data), size);
}

bool CellSpool::flushBuffer() {
    const bool ok = m_buffer.empty() || m_file.write(m_buffer.data(), qint64(m_buffer.size())) ==
                                            qint64(m_buffer.size());
    m_buffer.clear();
    return ok;
}

// The kind byte: 1 for text, else 0 for a plain number or 2 + its date or time form.
bool CellSpool::putHeader(quint32 row, quint16 col, char kind) {
    if (m_buffer.size() >= kBlock && !flushBuffer()) return false;
    append(&row, 4);
    append(&col, 2);
    append(&kind, 1);
    return true;
}

bool CellSpool::putNumber(quint32 row, quint16 col, double value, NumberForm form) {
    if (!putHeader(row, col, form == Plain ? char(0) : char(2 + form))) return false;
    append(&value, 8);
    return true;
}

bool CellSpool::putText(quint32 row, quint16 col, const std::string& utf8) {
    if (!putHeader(row, col, char(1))) return false;
    const quint32 size = quint32(utf8.size());
    append(&size, 4);
    append(utf8.data(), size);
    return true;
}

bool CellSpool::rewind() {
    m_failed = !flushBuffer() || !m_file.seek(0);
    m_readPos = 0;
    return !m_failed;
}

bool CellSpool::readExactly(void* data, size_t size) {
    char* out = static_cast<char*>(data);
    while (size > 0) {
        if (m_readPos == m_buffer.size()) {
            m_buffer.resize(kBlock);
            const qint64 got = m_file.read(m_buffer.data(), qint64(kBlock));
            m_buffer.resize(size_t(std::max<qint64>(got, 0)));
            m_readPos = 0;
            if (got <= 0) return false;
        }
        const size_t n = std::min(size, m_buffer.size() - m_readPos);
        std::memcpy(out, m_buffer.data() + m_readPos, n);
        m_readPos += n;
        out += n;
        size -= n;
    }
    return true;
}

bool CellSpool::next(Cell& cell) {
    char header[7];
    if (!readExactly(header, 1)) {
        // The end: nothing more to read, unless reading itself went wrong.
        m_failed = m_file.error() != QFileDevice::NoError;
        return false;
    }
    if (!readExactly(header + 1, sizeof header - 1)) {
        m_failed = true;
        return false;
    }
    std::memcpy(&cell.row, header, 4);
    std::memcpy(&cell.col, header + 4, 2);
    cell.isText = header[6] == 1;
    cell.form = header[6] >= 2 ? NumberForm(header[6] - 2) : Plain;
    bool ok = true;
    if (!cell.isText) {
        ok = readExactly(&cell.number, 8);
    } else {
        quint32 size = 0;
        ok = readExactly(&size, 4);
        cell.text.resize(ok ? size : 0);
        ok = ok && (size == 0 || readExactly(cell.text.data(), size));
    }
    m_failed = !ok;
    return ok;
}

#include "CellSpool.h"

#include <cstring>

bool CellSpool::open(const QString& folder) {
    m_file.setFileTemplate(folder + QStringLiteral("cells-XXXXXX.tmp"));
    return m_file.open();
}

bool CellSpool::putHeader(quint32 row, quint16 col, bool isText) {
    char header[7];
    std::memcpy(header, &row, 4);
    std::memcpy(header + 4, &col, 2);
    header[6] = isText ? 1 : 0;
    return m_file.write(header, sizeof header) == sizeof header;
}

bool CellSpool::putNumber(quint32 row, quint16 col, double value) {
    return putHeader(row, col, false) &&
           m_file.write(reinterpret_cast<const char*>(&value), 8) == 8;
}

bool CellSpool::putText(quint32 row, quint16 col, const std::string& utf8) {
    const quint32 size = quint32(utf8.size());
    return putHeader(row, col, true) &&
           m_file.write(reinterpret_cast<const char*>(&size), 4) == 4 &&
           m_file.write(utf8.data(), qint64(size)) == qint64(size);
}

bool CellSpool::rewind() {
    m_failed = !m_file.flush() || !m_file.seek(0);
    return !m_failed;
}

bool CellSpool::readExactly(void* data, qint64 size) {
    if (m_file.read(static_cast<char*>(data), size) == size) return true;
    m_failed = true;
    return false;
}

bool CellSpool::next(Cell& cell) {
    char header[7];
    const qint64 got = m_file.read(header, sizeof header);
    if (got == 0) return false;
    if (got != sizeof header) {
        m_failed = true;
        return false;
    }
    std::memcpy(&cell.row, header, 4);
    std::memcpy(&cell.col, header + 4, 2);
    cell.isText = header[6] != 0;
    if (!cell.isText) return readExactly(&cell.number, 8);
    quint32 size = 0;
    if (!readExactly(&size, 4)) return false;
    cell.text.resize(size);
    return size == 0 || readExactly(cell.text.data(), qint64(size));
}

#pragma once

#include <QString>
#include <QTemporaryFile>
#include <string>

// Cell values parked in a temporary file in the order they are put, so that a sheet of any
// size costs flat memory until it is written out.
class CellSpool {
public:
    // How a number shows: as it is, or as the date or time its serial number stands for.
    enum NumberForm : quint8 { Plain = 0, Date = 1, DateTime = 2, Time = 3 };
    struct Cell {
        quint32 row = 0;
        quint16 col = 0;
        bool isText = false;
        NumberForm form = Plain;
        double number = 0;
        std::string text; // UTF-8
    };

    // Creates the file in folder; false when it cannot be created.
    bool open(const QString& folder);
    bool putNumber(quint32 row, quint16 col, double value, NumberForm form = Plain);
    bool putText(quint32 row, quint16 col, const std::string& utf8);

    // Reading from the first cell; next() is false at the end or on a read failure (see failed()).
    bool rewind();
    bool next(Cell& cell);
    bool failed() const { return m_failed; }
    QString errorString() const { return m_file.errorString(); }

private:
    bool putHeader(quint32 row, quint16 col, char kind);
    void append(const void* data, size_t size);
    bool flushBuffer();
    bool readExactly(void* data, size_t size);

    QTemporaryFile m_file;
    // Writes and reads go through this buffer in large blocks.
    std::string m_buffer;
    size_t m_readPos = 0;
    bool m_failed = false;
};

#pragma once

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <string>
#include <string_view>

// Writes the browser page of a result: a bordered table, one line per item, CR LF line ends,
// UTF-8 declared in the head. Values and names are escaped so that markup shows as text.
// Output is buffered; a failed write is remembered and reported by finish().
class HtmlPageWriter {
public:
    explicit HtmlPageWriter(QIODevice& out) : m_out(out) {}

    // The head, the opening of the table and its header row.
    void begin(const QString& title, const QStringList& fieldNames);
    // The header row again, as written by begin().
    void repeatHeader() { append(m_header); }

    void beginRow() { append("<tr>\r\n"); }
    void nullCell() { append(kWhiteDot); }
    // A cell from its UTF-8 text; an empty or all-blank text gives the white-dot cell.
    void textCell(std::string_view utf8);
    void endRow() { append("</tr>\r\n"); }

    // The end of the page; false when any write failed.
    bool finish();
    bool failed() const { return !m_error.isEmpty(); }
    QString errorString() const { return m_error; }

private:
    static constexpr std::string_view kWhiteDot = "<td><font color = white>.</font></td>\r\n";
    void append(std::string_view s);
    void appendEscaped(std::string_view s);
    void flush();

    QIODevice& m_out;
    std::string m_buffer;
    std::string m_header;
    QString m_error;
};

#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <string>
#include <string_view>

// A pull reader of XML in UTF-8 for the big parts of a workbook (a sheet of a million rows, its
// shared strings): start and end tags by their local names, attributes and text with their
// entities decoded, comments and processing instructions passed over, CDATA as text. No
// document type is read (nor any entity it would declare). Many times faster than a general
// reader on such parts, whose bytes it scans once.
class XmlScanner {
public:
    // Fills up to maxSize bytes; returns the number read, 0 at the end, -1 on a failure.
    using Source = std::function<qint64(char* data, qint64 maxSize)>;
    enum Token { Start, End, Text, Done, Failed };

    explicit XmlScanner(Source source);

    Token next();
    // After Start and End: the element's name without its prefix. Valid until next().
    std::string_view name() const { return m_name; }
    // After Start: an element with no content (<c r="A1"/>); the next token is its End.
    bool empty() const { return m_empty; }
    // After Start: an attribute's value by its local name, decoded; false when it has none.
    bool attribute(std::string_view name, std::string& value) const;
    // After Text: the text, decoded.
    const std::string& text() const { return m_text; }
    // Skips to the end of the element whose Start was read last.
    bool skipElement();
    // The text of the element whose Start was read last, to its end (child elements' text
    // included).
    bool readText(std::string& out);
    QString failure() const { return m_failure; }
    qint64 line() const { return m_line; }

private:
    // Makes at least n bytes from m_pos readable; false at the end of the input.
    bool ensure(size_t n);
    // The position of c at or after from, reading more as needed; npos when the input ends.
    size_t find(char c, size_t from);
    size_t find(std::string_view s, size_t from);
    bool fail(const QString& why);
    Token failed(const QString& why);
    bool decode(std::string_view raw, std::string& out);
    Token startTag(size_t end);
    // To the end of the element whose Start was read last, its text appended to out if given.
    bool readTo(std::string* out);

    Source m_source;
    std::string m_buffer;
    size_t m_pos = 0;
    bool m_end = false;
    bool m_failed = false;
    bool m_pendingEnd = false;
    bool m_started = false;
    bool m_empty = false;
    std::string m_name;
    std::string m_tag; // the start tag's attributes part
    std::string m_text;
    QString m_failure;
    qint64 m_line = 1;
};

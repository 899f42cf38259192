#include "HtmlPageWriter.h"

namespace {
constexpr size_t kFlushSize = 1 << 16;

void appendEscapedTo(std::string& out, std::string_view s) {
    size_t start = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        std::string_view entity;
        switch (s[i]) {
        case '<':
            entity = "&lt;";
            break;
        case '>':
            entity = "&gt;";
            break;
        case '&':
            entity = "&amp;";
            break;
        case '"':
            entity = "&quot;";
            break;
        default:
            continue;
        }
        out.append(s.substr(start, i - start));
        out.append(entity);
        start = i + 1;
    }
    out.append(s.substr(start));
}
} // namespace

void HtmlPageWriter::begin(const QString& title, const QStringList& fieldNames) {
    append("<html><head><meta charset=\"UTF-8\"><title>");
    appendEscaped(title.toStdString());
    append("</title></head><body bgcolor = white>\r\n");
    append("<table border=\"1\" cellpadding=\"0\" cellspacing=\"2\">\r\n");
    // Built once: it is written again after every twentieth row.
    m_header = "<tr>\r\n";
    for (const QString& name : fieldNames) {
        m_header += "<th>";
        appendEscapedTo(m_header, name.toStdString());
        m_header += "</th>\r\n";
    }
    m_header += "</tr>\r\n";
    append(m_header);
}

void HtmlPageWriter::textCell(std::string_view utf8) {
    if (utf8.find_first_not_of(' ') == std::string_view::npos) {
        nullCell();
        return;
    }
    append("<td>");
    appendEscaped(utf8);
    append("</td>\r\n");
}

bool HtmlPageWriter::finish() {
    append("</table>\r\n</body></html>\r\n");
    flush();
    return m_error.isEmpty();
}

void HtmlPageWriter::append(std::string_view s) {
    m_buffer.append(s);
    if (m_buffer.size() >= kFlushSize) flush();
}

void HtmlPageWriter::appendEscaped(std::string_view s) {
    appendEscapedTo(m_buffer, s);
    if (m_buffer.size() >= kFlushSize) flush();
}

void HtmlPageWriter::flush() {
    if (m_buffer.empty()) return;
    if (m_error.isEmpty() &&
        m_out.write(m_buffer.data(), qint64(m_buffer.size())) != qint64(m_buffer.size()))
        m_error = m_out.errorString();
    m_buffer.clear();
}

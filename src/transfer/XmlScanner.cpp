#include "XmlScanner.h"

#include <algorithm>
#include <charconv>

namespace {
constexpr qint64 kChunk = 1 << 16;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view localName(std::string_view qualified) {
    const size_t colon = qualified.find(':');
    return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}
} // namespace

XmlScanner::XmlScanner(Source source) : m_source(std::move(source)) {}

bool XmlScanner::ensure(size_t n) {
    while (m_buffer.size() - m_pos < n) {
        if (m_end) return false;
        if (m_pos > 0) {
            m_buffer.erase(0, m_pos);
            m_pos = 0;
        }
        const size_t had = m_buffer.size();
        m_buffer.resize(had + size_t(kChunk));
        const qint64 got = m_source(m_buffer.data() + had, kChunk);
        m_buffer.resize(had + size_t(std::max<qint64>(got, 0)));
        if (got < 0) {
            m_end = true;
            fail(QStringLiteral("read failed"));
            return false;
        }
        if (got == 0) m_end = true;
    }
    return true;
}

size_t XmlScanner::find(char c, size_t from) {
    for (;;) {
        const size_t at = m_buffer.find(c, m_pos + from);
        if (at != std::string::npos) return at - m_pos;
        from = m_buffer.size() - m_pos;
        if (!ensure(from + 1)) return std::string::npos;
    }
}

size_t XmlScanner::find(std::string_view s, size_t from) {
    for (;;) {
        const size_t at = m_buffer.find(s, m_pos + from);
        if (at != std::string::npos) return at - m_pos;
        from = m_buffer.size() - m_pos >= s.size() ? m_buffer.size() - m_pos - s.size() + 1 : 0;
        if (!ensure(m_buffer.size() - m_pos + 1)) return std::string::npos;
    }
}

bool XmlScanner::fail(const QString& why) {
    if (!m_failed) m_failure = QStringLiteral("line %1: %2").arg(m_line).arg(why);
    m_failed = true;
    return false;
}

XmlScanner::Token XmlScanner::failed(const QString& why) {
    fail(why);
    return Failed;
}

bool XmlScanner::decode(std::string_view raw, std::string& out) {
    out.clear();
    size_t i = 0;
    while (i < raw.size()) {
        const size_t amp = raw.find('&', i);
        const size_t stop = amp == std::string_view::npos ? raw.size() : amp;
        out.append(raw.substr(i, stop - i));
        if (amp == std::string_view::npos) break;
        const size_t semi = raw.find(';', amp);
        if (semi == std::string_view::npos) return fail(QStringLiteral("unterminated entity"));
        const std::string_view entity = raw.substr(amp + 1, semi - amp - 1);
        if (entity == "lt") {
            out += '<';
        } else if (entity == "gt") {
            out += '>';
        } else if (entity == "amp") {
            out += '&';
        } else if (entity == "quot") {
            out += '"';
        } else if (entity == "apos") {
            out += '\'';
        } else if (entity.size() > 1 && entity[0] == '#') {
            const bool hex = entity[1] == 'x';
            const std::string_view digits = entity.substr(hex ? 2 : 1);
            quint32 code = 0;
            const auto [end, ec] =
                std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
            if (ec != std::errc() || end != digits.data() + digits.size() || code == 0 ||
                code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
                return fail(QStringLiteral("bad character reference"));
            appendUtf8(out, char32_t(code));
        } else {
            return fail(QStringLiteral("unknown entity &%1;")
                            .arg(QString::fromUtf8(entity.data(), qsizetype(entity.size()))));
        }
        i = semi + 1;
    }
    return true;
}

XmlScanner::Token XmlScanner::next() {
    if (m_failed) return Failed;
    if (m_pendingEnd) {
        m_pendingEnd = false;
        m_empty = false;
        return End;
    }
    if (!m_started) {
        m_started = true;
        if (ensure(2) && ((m_buffer[m_pos] == '\xFF' && m_buffer[m_pos + 1] == '\xFE') ||
                          (m_buffer[m_pos] == '\xFE' && m_buffer[m_pos + 1] == '\xFF')))
            return failed(QStringLiteral("UTF-16 is not read"));
        if (ensure(3) && m_buffer.compare(m_pos, 3, "\xEF\xBB\xBF") == 0) m_pos += 3;
    }
    for (;;) {
        if (!ensure(1)) return m_failed ? Failed : Done;
        if (m_buffer[m_pos] != '<') {
            const size_t lt = find('<', 0);
            const size_t length = lt == std::string::npos ? m_buffer.size() - m_pos : lt;
            const std::string_view raw(m_buffer.data() + m_pos, length);
            m_line += std::count(raw.begin(), raw.end(), '\n');
            if (!decode(raw, m_text)) return Failed;
            m_pos += length;
            return Text;
        }
        if (!ensure(2)) return failed(QStringLiteral("unexpected end"));
        const char second = m_buffer[m_pos + 1];
        if (second == '?') {
            const size_t end = find("?>", 2);
            if (end == std::string::npos) return failed(QStringLiteral("unexpected end"));
            m_pos += end + 2;
            continue;
        }
        if (second == '!') {
            if (ensure(4) && m_buffer.compare(m_pos, 4, "<!--") == 0) {
                const size_t end = find("-->", 4);
                if (end == std::string::npos) return failed(QStringLiteral("unexpected end"));
                m_pos += end + 3;
                continue;
            }
            if (ensure(9) && m_buffer.compare(m_pos, 9, "<![CDATA[") == 0) {
                const size_t end = find("]]>", 9);
                if (end == std::string::npos) return failed(QStringLiteral("unexpected end"));
                m_text.assign(m_buffer, m_pos + 9, end - 9);
                m_line += std::count(m_text.begin(), m_text.end(), '\n');
                m_pos += end + 3;
                return Text;
            }
            return failed(QStringLiteral("document types are not read"));
        }
        // A tag: to the '>' outside quoted attribute values.
        size_t i = 1;
        char quote = 0;
        for (;; ++i) {
            if (!ensure(i + 1)) return failed(QStringLiteral("unexpected end"));
            const char c = m_buffer[m_pos + i];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                break;
            }
            if (c == '\n') ++m_line;
        }
        return startTag(i);
    }
}

XmlScanner::Token XmlScanner::startTag(size_t end) {
    std::string_view tag(m_buffer.data() + m_pos + 1, end - 1);
    m_pos += end + 1;
    if (!tag.empty() && tag[0] == '/') {
        tag.remove_prefix(1);
        while (!tag.empty() && isSpace(tag.back()))
            tag.remove_suffix(1);
        m_name.assign(localName(tag));
        return End;
    }
    m_empty = !tag.empty() && tag.back() == '/';
    if (m_empty) tag.remove_suffix(1);
    size_t nameEnd = 0;
    while (nameEnd < tag.size() && !isSpace(tag[nameEnd]))
        ++nameEnd;
    if (nameEnd == 0) return failed(QStringLiteral("a tag without a name"));
    m_name.assign(localName(tag.substr(0, nameEnd)));
    m_tag.assign(tag.substr(nameEnd));
    m_pendingEnd = m_empty;
    return Start;
}

bool XmlScanner::attribute(std::string_view name, std::string& value) const {
    const std::string_view tag = m_tag;
    size_t i = 0;
    while (i < tag.size()) {
        while (i < tag.size() && isSpace(tag[i]))
            ++i;
        const size_t eq = tag.find('=', i);
        if (eq == std::string_view::npos) return false;
        std::string_view key = tag.substr(i, eq - i);
        while (!key.empty() && isSpace(key.back()))
            key.remove_suffix(1);
        size_t q = eq + 1;
        while (q < tag.size() && isSpace(tag[q]))
            ++q;
        if (q >= tag.size() || (tag[q] != '"' && tag[q] != '\'')) return false;
        const size_t close = tag.find(tag[q], q + 1);
        if (close == std::string_view::npos) return false;
        if (localName(key) == name) {
            // Attribute values in these parts seldom hold entities: decoded only when they do.
            const std::string_view raw = tag.substr(q + 1, close - q - 1);
            if (raw.find('&') == std::string_view::npos) {
                value.assign(raw);
                return true;
            }
            return const_cast<XmlScanner*>(this)->decode(raw, value);
        }
        i = close + 1;
    }
    return false;
}

bool XmlScanner::skipElement() {
    return readTo(nullptr);
}

bool XmlScanner::readText(std::string& out) {
    out.clear();
    return readTo(&out);
}

bool XmlScanner::readTo(std::string* out) {
    for (int depth = 1; depth > 0;) {
        switch (next()) {
        case Start:
            ++depth;
            break;
        case End:
            --depth;
            break;
        case Text:
            if (out) *out += m_text;
            break;
        case Done:
            return fail(QStringLiteral("unexpected end"));
        case Failed:
            return false;
        }
    }
    return true;
}

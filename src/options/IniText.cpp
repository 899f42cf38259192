#include "IniText.h"

namespace {
bool isNameChar(char16_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Keys and values outside any section belong to this one in QSettings' files.
const QString kRootSection = QStringLiteral("General");
} // namespace

IniText::IniText(const QByteArray& text) {
    QString section = kRootSection;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0) end = text.size();
        Line line;
        line.raw = text.mid(start, end - start);
        start = end + 1;

        const QByteArray body = line.raw.trimmed();
        if (body.startsWith('[')) {
            const qsizetype close = body.indexOf(']');
            if (close > 0) {
                section = unescapeName(QByteArrayView(body).sliced(1, close - 1));
                line.kind = Line::Section;
                line.section = section;
            }
        } else if (!body.isEmpty() && body[0] != ';' && body[0] != '#') {
            const qsizetype eq = body.indexOf('=');
            if (eq > 0) {
                const QString key = unescapeName(QByteArrayView(body).first(eq).trimmed());
                if (!key.isEmpty()) {
                    line.kind = Line::Entry;
                    line.section = section;
                    line.key = key;
                }
            }
        }
        m_lines.push_back(std::move(line));
    }
}

qsizetype IniText::find(const QString& section, const QString& key) const {
    qsizetype exact = -1;
    qsizetype loose = -1;
    for (qsizetype i = 0; i < qsizetype(m_lines.size()); ++i) {
        const Line& line = m_lines[size_t(i)];
        if (line.kind != Line::Entry) continue;
        if (line.section.compare(section, Qt::CaseInsensitive) != 0 ||
            line.key.compare(key, Qt::CaseInsensitive) != 0)
            continue;
        loose = i;
        if (line.section == section && line.key == key) exact = i;
    }
    return exact >= 0 ? exact : loose;
}

std::optional<QString> IniText::value(const QString& section, const QString& key) const {
    const qsizetype i = find(section, key);
    if (i < 0) return std::nullopt;
    const QByteArray& raw = m_lines[size_t(i)].raw;
    const QString v = unescapeValue(QByteArrayView(raw).sliced(raw.indexOf('=') + 1));
    // QSettings writes an invalid variant this way; it reads back as a missing key.
    if (v.isNull()) return std::nullopt;
    return v;
}

void IniText::setValue(const QString& section, const QString& key, const QString& value) {
    const QByteArray escaped = escapeValue(value);
    if (const qsizetype i = find(section, key); i >= 0) {
        Line& line = m_lines[size_t(i)];
        line.raw = line.raw.left(line.raw.indexOf('=')).trimmed() + '=' + escaped;
        return;
    }
    Line entry;
    entry.kind = Line::Entry;
    entry.section = section;
    entry.key = key;
    entry.raw = escapeName(key) + '=' + escaped;

    // After the last setting of the section's last block, or right after its header.
    qsizetype insertAt = -1;
    bool inSection = false;
    for (qsizetype i = 0; i < qsizetype(m_lines.size()); ++i) {
        const Line& line = m_lines[size_t(i)];
        if (line.kind == Line::Section) {
            inSection = line.section.compare(section, Qt::CaseInsensitive) == 0;
            if (inSection) insertAt = i + 1;
        } else if (line.kind == Line::Entry && inSection) {
            insertAt = i + 1;
        }
    }
    if (insertAt >= 0) {
        entry.section = m_lines[size_t(insertAt - 1)].section;
        m_lines.insert(m_lines.begin() + insertAt, std::move(entry));
        return;
    }
    if (!m_lines.empty() && !m_lines.back().raw.trimmed().isEmpty()) m_lines.push_back(Line{});
    Line header;
    header.kind = Line::Section;
    header.section = section;
    header.raw = '[' + escapeName(section) + ']';
    m_lines.push_back(std::move(header));
    m_lines.push_back(std::move(entry));
}

QByteArray IniText::text() const {
    QByteArray out;
    for (const Line& line : m_lines) {
        out += line.raw;
        out += '\n';
    }
    return out;
}

QString IniText::unescapeName(QByteArrayView raw) {
    QString out;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\\') {
            out += QLatin1Char('/');
        } else if (c == '%' && i + 2 < raw.size() && raw[i + 1] == 'U' && i + 5 < raw.size()) {
            int code = 0;
            bool ok = true;
            for (int k = 2; k < 6; ++k) {
                const int d = hexDigit(raw[i + k]);
                ok = ok && d >= 0;
                code = code * 16 + d;
            }
            if (!ok) {
                out += QLatin1Char(c);
                continue;
            }
            out += QChar(char16_t(code));
            i += 5;
        } else if (c == '%' && i + 2 < raw.size() && hexDigit(raw[i + 1]) >= 0 &&
                   hexDigit(raw[i + 2]) >= 0) {
            out += QChar(char16_t(hexDigit(raw[i + 1]) * 16 + hexDigit(raw[i + 2])));
            i += 2;
        } else {
            // Names are ASCII in files the program writes; anything else is taken as UTF-8.
            // A "%" that starts no escape is a plain character and goes with the run.
            qsizetype j = i + 1;
            while (j < raw.size() && raw[j] != '\\' && raw[j] != '%')
                ++j;
            out += QString::fromUtf8(raw.sliced(i, j - i));
            i = j - 1;
        }
    }
    return out;
}

QByteArray IniText::escapeName(const QString& name) {
    QByteArray out;
    for (QChar qc : name) {
        const char16_t c = qc.unicode();
        if (c == '/')
            out += '\\';
        else if (isNameChar(c))
            out += char(c);
        else if (c <= 0xFF)
            out += '%' + QByteArray::number(int(c), 16).toUpper().rightJustified(2, '0');
        else
            out += "%U" + QByteArray::number(int(c), 16).toUpper().rightJustified(4, '0');
    }
    return out;
}

QString IniText::unescapeValue(QByteArrayView raw) {
    // Quoted and unquoted pieces, escapes, and commas that QSettings reads as list separators
    // (a list is given back joined with commas, as the program only stores texts).
    QByteArray bytes;
    bool quoted = false;
    bool anyQuoted = false;
    const QByteArrayView text = raw.trimmed();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            quoted = !quoted;
            anyQuoted = true;
            continue;
        }
        if (!quoted && c == ';') break; // a comment after the value
        if (c == '\\' && i + 1 < text.size()) {
            const char e = text[++i];
            switch (e) {
            case 'a':
                bytes += '\a';
                break;
            case 'b':
                bytes += '\b';
                break;
            case 'f':
                bytes += '\f';
                break;
            case 'n':
                bytes += '\n';
                break;
            case 'r':
                bytes += '\r';
                break;
            case 't':
                bytes += '\t';
                break;
            case 'v':
                bytes += '\v';
                break;
            case 'x': {
                int code = 0;
                int digits = 0;
                while (digits < 4 && i + 1 < text.size() && hexDigit(text[i + 1]) >= 0) {
                    code = code * 16 + hexDigit(text[++i]);
                    ++digits;
                }
                bytes += QString(QChar(char16_t(code))).toUtf8();
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    int code = e - '0';
                    for (int digits = 1; digits < 3 && i + 1 < text.size() && text[i + 1] >= '0' &&
                                         text[i + 1] <= '7';
                         ++digits)
                        code = code * 8 + (text[++i] - '0');
                    bytes += QString(QChar(char16_t(code))).toUtf8();
                } else {
                    bytes += e;
                }
            }
            continue;
        }
        bytes += c;
    }
    QString v = QString::fromUtf8(bytes);
    if (!anyQuoted) v = v.trimmed();
    if (v.startsWith(QLatin1Char('@'))) {
        if (v.startsWith(QLatin1String("@@"))) return v.mid(1);
        if (v == QLatin1String("@Invalid()")) return QString();
        if (v.startsWith(QLatin1String("@ByteArray(")) && v.endsWith(QLatin1Char(')')))
            return v.mid(11).chopped(1);
    }
    return v.isNull() ? QString(QLatin1String("")) : v;
}

QByteArray IniText::escapeValue(const QString& value) {
    QString out;
    bool needsQuotes = value != value.trimmed();
    // QSettings reads a leading "@" as a type tag.
    if (value.startsWith(QLatin1Char('@'))) out += QLatin1Char('@');
    for (QChar qc : value) {
        const char16_t c = qc.unicode();
        switch (c) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        case ';':
        case ',':
        case '=':
        case '#':
            needsQuotes = true;
            out += qc;
            break;
        default:
            if (c < 0x20 || c == 0x7F)
                out += QStringLiteral("\\x%1").arg(int(c), 4, 16, QLatin1Char('0'));
            else
                out += qc;
        }
    }
    if (needsQuotes) out = QLatin1Char('"') + out + QLatin1Char('"');
    return out.toUtf8();
}

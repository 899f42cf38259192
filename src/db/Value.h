#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace db {

// A cell as the callers see it: Null, or a value with a text form. A value read from a file
// may keep the UTF-8 bytes it came as: writes bind them as they are, and only a caller that
// asks for the text pays for the conversion (imports bind millions of values, most of them
// short enough to stay inside the string itself).
class Value {
public:
    Value() = default;
    Value(QString text) : m_text(std::move(text)), m_null(false) {}
    Value(const char* text) : m_text(QString::fromUtf8(text)), m_null(false) {}

    static Value null() { return Value(); }
    // Text given as UTF-8; bytes that are not UTF-8 stand for themselves, as in utf8Into.
    static Value fromUtf8(std::string_view bytes) {
        Value v;
        v.m_utf8.assign(bytes);
        v.m_null = false;
        v.m_isUtf8 = true;
        return v;
    }

    bool isNull() const { return m_null; }
    // The text form; Null reads as the empty text.
    QString text() const;
    // The bytes the value was made from, when it was made by fromUtf8.
    bool hasUtf8() const { return m_isUtf8; }
    std::string_view utf8() const { return m_utf8; }
    // True when the text holds the character U+0000.
    bool holdsNul() const {
        if (m_null) return false;
        if (m_isUtf8) return m_utf8.find('\0') != std::string::npos;
        return m_text.contains(QChar(0));
    }
    // The length of the value in its own form: UTF-16 units or UTF-8 bytes.
    size_t storedSize() const { return m_isUtf8 ? m_utf8.size() : size_t(m_text.size()); }

    bool operator==(const Value& o) const {
        if (m_null != o.m_null) return false;
        if (m_isUtf8 && o.m_isUtf8) return m_utf8 == o.m_utf8;
        return text() == o.text();
    }

private:
    QString m_text;
    std::string m_utf8;
    bool m_null = true;
    bool m_isUtf8 = false;
};

} // namespace db

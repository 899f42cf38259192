#pragma once

#include <QString>

namespace db {

// A cell as the callers see it: Null, or a value with a text form.
class Value {
public:
    Value() = default;
    Value(QString text) : m_text(std::move(text)), m_null(false) {}
    Value(const char* text) : m_text(QString::fromUtf8(text)), m_null(false) {}

    static Value null() { return Value(); }

    bool isNull() const { return m_null; }
    // The text form; Null reads as the empty text.
    const QString& text() const { return m_text; }

    bool operator==(const Value& o) const { return m_null == o.m_null && m_text == o.m_text; }

private:
    QString m_text;
    bool m_null = true;
};

} // namespace db

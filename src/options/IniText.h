#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// The text of an INI settings file, line by line. Lines that are not sections or settings
// (comments, blank lines, garbage) are kept byte for byte, so rewriting the file changes only
// the setting that was set. Values are read and written in the escaping QSettings uses, so
// files written by either are read by the other.
class IniText {
public:
    explicit IniText(const QByteArray& text);

    // The value of the key, sections and keys matched without regard to letter case (an exact
    // spelling wins); a later line wins over an earlier one, as in QSettings.
    std::optional<QString> value(const QString& section, const QString& key) const;
    // Replaces the key's line in place, or adds the key at the end of its section (or a new
    // section at the end of the text).
    void setValue(const QString& section, const QString& key, const QString& value);

    QByteArray text() const;

    static QString unescapeValue(QByteArrayView raw);
    static QByteArray escapeValue(const QString& value);
    static QString unescapeName(QByteArrayView raw);
    static QByteArray escapeName(const QString& name);

private:
    struct Line {
        enum Kind { Other, Section, Entry } kind = Other;
        QByteArray raw;
        QString section; // the section a setting belongs to, or a section line's name
        QString key;
    };
    // Index of the line holding the key, or -1.
    qsizetype find(const QString& section, const QString& key) const;

    std::vector<Line> m_lines;
    bool m_endsWithNewline = true;
};

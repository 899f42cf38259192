#pragma once

#include "ColumnInfo.h"
#include "PageArray.h"

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace db {

// Text forms of values, shared by the grid, the exports and the parameters of writes.
// single: the value is a 4-byte float, written as the shortest text that reads back as it.
QString realText(double v, bool single = false);
QString intText(qint64 v, IntForm form);
// The same texts written to a buffer of at least 32 characters; returns the length.
size_t realChars(double v, char* out, bool single = false);
size_t intChars(qint64 v, IntForm form, char* out);
// Bytes that are not valid UTF-8 (a text value SQLite holds as it was given, a file with
// stray bytes) become lone surrogates U+DC80..U+DCFF, one per byte. Valid UTF-8 never yields
// them, and appendUtf16AsUtf8 turns them back into the same bytes: such values survive a
// trip through the text form byte for byte.
inline bool isKeptByte(char16_t unit) {
    return unit >= 0xDC80 && unit < 0xDD00;
}
inline bool holdsKeptBytes(const QString& text) {
    for (const QChar c : text)
        if (isKeptByte(c.unicode())) return true;
    return false;
}
// UTF-8 to UTF-16 into out, reusing its capacity; invalid bytes become kept bytes.
void utf8Into(std::string_view bytes, QString& out);
QString hexText(std::string_view bytes);

// Packs and parses dates and times ("yyyy/MM/dd", "yyyy-MM-dd", optional " HH:mm:ss").
qint64 packDate(int y, int mo, int d);
qint64 packTime(int h, int mi, int s);
qint64 packTimestamp(int y, int mo, int d, int h, int mi, int s);
std::optional<qint64> parsePacked(const QString& text, IntForm form);
std::optional<qint64> parseInt(const QString& text);
std::optional<double> parseReal(const QString& text);

// Compares two decimal numbers written as text ("-12.50", "3"); falls back to byte order
// for texts that are not numbers.
int compareDecimalText(std::string_view a, std::string_view b);

// UTF-16 to UTF-8, appended to out without intermediate allocations. Kept bytes are written
// as the bytes they stand for, or as U+FFFD without keepBytes (for files that must be valid
// UTF-8); other unpaired surrogates as U+FFFD.
void appendUtf16AsUtf8(std::string& out, const char16_t* s, size_t units, bool keepBytes = true);
void appendUtf16AsUtf8(PageArray<char>& out, const char16_t* s, size_t units,
                       bool keepBytes = true);

} // namespace db

#pragma once

#include "db/Error.h"
#include "db/Value.h"

#include <QString>
#include <string>
#include <string_view>

// The character sets of CSV and TAB files: written in the locale's, read as UTF-8 (with or
// without a byte-order mark) or, when the bytes are not UTF-8, as CP932 (Shift_JIS as
// Windows writes it).
enum class TextEncoding { Utf8, Cp932 };

// CP932 under a Shift_JIS locale (LC_ALL, LC_CTYPE or LANG, the first one set), else UTF-8.
TextEncoding localeTextEncoding();

// Text to bytes of one encoding. Characters CP932 cannot represent are written as "?", as
// the platform's text files do. Kept bytes (see utf8Into) are written as the bytes they are.
class TextEncoder {
public:
    explicit TextEncoder(TextEncoding encoding);
    ~TextEncoder();
    TextEncoder(const TextEncoder&) = delete;
    TextEncoder& operator=(const TextEncoder&) = delete;

    TextEncoding encoding() const { return m_encoding; }
    void append(const QString& text, std::string& out) {
        append(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()), out);
    }
    void append(const char16_t* text, size_t units, std::string& out);

private:
    TextEncoding m_encoding;
    void* m_iconv = nullptr;
};

// Bytes of one encoding to text; bytes that are not valid become U+FFFD, or with keepBytes
// (UTF-8 only) kept bytes, which the encoders write back unchanged.
class TextDecoder {
public:
    explicit TextDecoder(TextEncoding encoding, bool keepBytes = false);
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    QString decode(std::string_view bytes);
    // The same text as a value to write: UTF-8 bytes pass unconverted.
    db::Value decodeValue(std::string_view bytes);

private:
    TextEncoding m_encoding;
    bool m_keepBytes;
    void* m_iconv = nullptr;
    std::u16string m_buffer;
};

// The length of the longest prefix of whole, valid UTF-8 sequences. invalid is set when
// the scan stopped at a byte that can never be UTF-8; otherwise it stopped at the end or
// at a sequence the end cuts short.
size_t validUtf8Prefix(std::string_view bytes, bool& invalid);

// Counts of a UTF-8 scan that goes on past invalid bytes.
struct Utf8Counts {
    qint64 sequences = 0; // valid multi-byte sequences
    qint64 invalid = 0;   // bytes that belong to no valid sequence
};
// Adds the counts of bytes to counts and returns how many bytes it used: the rest is a
// sequence the end cuts short, to be scanned again with the bytes that follow.
size_t countUtf8(std::string_view bytes, Utf8Counts& counts);

struct FileEncoding {
    TextEncoding encoding = TextEncoding::Utf8;
    qint64 bomLength = 0;    // bytes of a UTF-8 byte-order mark to skip
    bool keepsBytes = false; // UTF-8 with bytes that are not: decode them as kept bytes
};

// Reads a whole file to decide how its text is encoded, after an optional byte-order mark:
// 1. UTF-8 when every byte is valid UTF-8.
// 2. Else UTF-8 with kept bytes when the file holds more valid multi-byte UTF-8 sequences
//    than bytes that are not UTF-8. Such a file was written as UTF-8 and carries stray
//    bytes (values that were never valid text); read as CP932, all its Japanese would turn
//    into other characters, while the bytes kept go back unchanged. A real CP932 file
//    hardly ever meets this: its kana and most of its kanji start with bytes 0x81..0x9F,
//    which are never valid in UTF-8, so it has at least as many invalid bytes as
//    characters, and few byte pairs that happen to form UTF-8.
// 3. Else CP932 when the bytes are valid CP932 (never after a byte-order mark, which
//    promises UTF-8).
// Fails for an unreadable file and for one that is none of these.
bool detectFileEncoding(const QString& path, FileEncoding& result, db::Error& error);

#pragma once

#include "Error.h"

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
// the platform's text files do.
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

// Bytes of one encoding to text; bytes that are not valid become U+FFFD.
class TextDecoder {
public:
    explicit TextDecoder(TextEncoding encoding);
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    QString decode(std::string_view bytes);

private:
    TextEncoding m_encoding;
    void* m_iconv = nullptr;
    std::u16string m_buffer;
};

// The length of the longest prefix of whole, valid UTF-8 sequences. invalid is set when
// the scan stopped at a byte that can never be UTF-8; otherwise it stopped at the end or
// at a sequence the end cuts short.
size_t validUtf8Prefix(std::string_view bytes, bool& invalid);

struct FileEncoding {
    TextEncoding encoding = TextEncoding::Utf8;
    qint64 bomLength = 0; // bytes of a UTF-8 byte-order mark to skip
};

// Reads a whole file once to decide how its text is encoded: UTF-8 when every byte after
// an optional byte-order mark is valid UTF-8, else CP932 when the bytes are valid CP932.
// Fails for an unreadable file and for one that is neither (a byte-order mark promises
// UTF-8, so such a file must be valid UTF-8).
bool detectFileEncoding(const QString& path, FileEncoding& result, db::Error& error);

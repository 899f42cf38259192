#include "TextEncoding.h"

#include "TransferErrors.h"
#include "db/ValueText.h"

#include <QFile>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <iconv.h>
#include <vector>

namespace {
const char* const kCp932 = "CP932";
const char* const kUtf16 = "UTF-16LE";
constexpr qint64 kChunk = 1 << 20;

iconv_t toIconv(void* p) {
    return static_cast<iconv_t>(p);
}
void* openIconv(const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    return cd == iconv_t(-1) ? nullptr : static_cast<void*>(cd);
}
void closeIconv(void* p) {
    if (p) iconv_close(toIconv(p));
}

bool isShiftJisCodeset(QString codeset) {
    codeset = codeset.toUpper().remove(QLatin1Char('-')).remove(QLatin1Char('_'));
    static const QStringList names = {QStringLiteral("SJIS"),      QStringLiteral("SHIFTJIS"),
                                      QStringLiteral("CP932"),     QStringLiteral("WINDOWS31J"),
                                      QStringLiteral("MSKANJI"),   QStringLiteral("PCK"),
                                      QStringLiteral("WINDOWS932")};
    return names.contains(codeset);
}
} // namespace

TextEncoding localeTextEncoding() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const QString locale = qEnvironmentVariable(name);
        if (locale.isEmpty()) continue;
        const qsizetype dot = locale.indexOf(QLatin1Char('.'));
        if (dot < 0) return TextEncoding::Utf8;
        const QString codeset = locale.mid(dot + 1).section(QLatin1Char('@'), 0, 0);
        return isShiftJisCodeset(codeset) ? TextEncoding::Cp932 : TextEncoding::Utf8;
    }
    return TextEncoding::Utf8;
}

TextEncoder::TextEncoder(TextEncoding encoding) : m_encoding(encoding) {
    if (encoding == TextEncoding::Cp932) m_iconv = openIconv(kCp932, kUtf16);
}

TextEncoder::~TextEncoder() {
    closeIconv(m_iconv);
}

void TextEncoder::append(const char16_t* text, size_t units, std::string& out) {
    if (m_encoding == TextEncoding::Utf8 || !m_iconv) {
        db::appendUtf16AsUtf8(out, text, units);
        return;
    }
    iconv_t cd = toIconv(m_iconv);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = reinterpret_cast<char*>(const_cast<char16_t*>(text));
    size_t inLeft = units * 2;
    const size_t start = out.size();
    out.resize(start + units * 2 + 4);
    char* dst = out.data() + start;
    size_t outLeft = units * 2 + 4;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) != size_t(-1)) break;
        if (errno == E2BIG) break; // cannot happen: two bytes at most per unit
        // Not representable (or a lone surrogate): one "?" for the character.
        char16_t unit;
        std::memcpy(&unit, in, 2);
        const size_t skip = (unit >= 0xD800 && unit < 0xDC00 && inLeft >= 4) ? 4 : 2;
        in += skip;
        inLeft -= std::min(skip, inLeft);
        *dst++ = db::isKeptByte(unit) ? char(unit - 0xDC00) : '?';
        --outLeft;
    }
    out.resize(size_t(dst - out.data()));
}

TextDecoder::TextDecoder(TextEncoding encoding, bool keepBytes)
    : m_encoding(encoding), m_keepBytes(keepBytes && encoding == TextEncoding::Utf8) {
    if (encoding == TextEncoding::Cp932) m_iconv = openIconv(kUtf16, kCp932);
}

TextDecoder::~TextDecoder() {
    closeIconv(m_iconv);
}

QString TextDecoder::decode(std::string_view bytes) {
    if (m_keepBytes) {
        QString text;
        db::utf8Into(bytes, text);
        return text;
    }
    if (m_encoding == TextEncoding::Utf8 || !m_iconv) {
        // fromUtf8() drops a U+FEFF that starts the bytes, which here is the start of a field
        // or line: only the file's own byte-order mark is not text, and it is skipped before.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless |
                                                      QStringConverter::Flag::ConvertInitialBom);
        return utf8.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    }
    iconv_t cd = toIconv(m_iconv);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    // Every CP932 character is one or two bytes and one UTF-16 unit.
    m_buffer.resize(bytes.size() + 1);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* dst = reinterpret_cast<char*>(m_buffer.data());
    size_t outLeft = m_buffer.size() * 2;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) != size_t(-1)) break;
        if (errno == E2BIG) break;
        const char16_t replacement = 0xFFFD;
        std::memcpy(dst, &replacement, 2);
        dst += 2;
        outLeft -= 2;
        ++in;
        --inLeft;
    }
    const auto* begin = m_buffer.data();
    return QString(reinterpret_cast<const QChar*>(begin),
                   qsizetype((reinterpret_cast<char16_t*>(dst) - begin)));
}

db::Value TextDecoder::decodeValue(std::string_view bytes) {
    // A UTF-8 file's bytes are already what a write binds, kept bytes included.
    if (m_keepBytes || m_encoding == TextEncoding::Utf8 || !m_iconv)
        return db::Value::fromUtf8(bytes);
    return db::Value(decode(bytes));
}

size_t validUtf8Prefix(std::string_view bytes, bool& invalid) {
    invalid = false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        // Plain ASCII eight bytes at a time: most files are mostly ASCII.
        while (i + 8 <= n) {
            quint64 word;
            std::memcpy(&word, p + i, 8);
            if (word & 0x8080808080808080ULL) break;
            i += 8;
        }
        if (i >= n) break;
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c == 0xE0) {
            len = 3;
            lo = 0xA0;
        } else if ((c >= 0xE1 && c <= 0xEC) || c == 0xEE || c == 0xEF) {
            len = 3;
        } else if (c == 0xED) {
            len = 3;
            hi = 0x9F; // no surrogates
        } else if (c == 0xF0) {
            len = 4;
            lo = 0x90;
        } else if (c >= 0xF1 && c <= 0xF3) {
            len = 4;
        } else if (c == 0xF4) {
            len = 4;
            hi = 0x8F;
        } else {
            invalid = true;
            return i;
        }
        for (size_t k = 1; k < len; ++k) {
            if (i + k >= n) return i; // cut short by the end of the chunk
            const unsigned char b = p[i + k];
            if (k == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) {
                invalid = true;
                return i;
            }
        }
        i += len;
    }
    return n;
}

size_t countUtf8(std::string_view bytes, Utf8Counts& counts) {
    size_t pos = 0;
    for (;;) {
        bool invalid = false;
        const size_t valid = validUtf8Prefix(bytes.substr(pos), invalid);
        for (size_t i = pos; i < pos + valid; ++i)
            counts.sequences += static_cast<unsigned char>(bytes[i]) >= 0xC0;
        pos += valid;
        if (!invalid) return pos;
        ++counts.invalid;
        ++pos; // a new sequence may start at the next byte
    }
}

namespace {
// A small file is read in one piece of its own size, not a whole chunk.
qint64 scanChunk(const QFile& file) {
    return std::clamp<qint64>(file.size(), 16, kChunk);
}

// Feeds a file chunk by chunk to check, which returns how many bytes it used (the rest is
// an unfinished character carried into the next chunk) or -1 for invalid bytes. At the end
// the carried bytes count as invalid.
enum class Scan { Valid, Invalid, Unreadable };
Scan scanFile(QFile& file, qint64 skip, const std::function<qint64(std::string_view)>& check,
              QString& reason) {
    if (!file.seek(skip)) {
        reason = file.errorString();
        return Scan::Unreadable;
    }
    const qint64 chunk = scanChunk(file);
    std::vector<char> buffer(size_t(chunk) + 8);
    size_t carried = 0;
    for (;;) {
        const qint64 got = file.read(buffer.data() + carried, chunk);
        if (got < 0) {
            reason = file.errorString();
            return Scan::Unreadable;
        }
        if (got == 0) return carried == 0 ? Scan::Valid : Scan::Invalid;
        const size_t have = carried + size_t(got);
        const qint64 used = check(std::string_view(buffer.data(), have));
        if (used < 0) return Scan::Invalid;
        carried = have - size_t(used);
        if (carried > 4) return Scan::Invalid;
        std::memmove(buffer.data(), buffer.data() + used, carried);
    }
}
} // namespace

bool detectFileEncoding(const QString& path, FileEncoding& result, db::Error& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = transfer_error::fileAccess(path, file.errorString());
        return false;
    }
    result = FileEncoding();
    const QByteArray head = file.read(3);
    if (head == QByteArrayLiteral("\xEF\xBB\xBF")) result.bomLength = 3;

    QString reason;
    const Scan utf8 = scanFile(
        file, result.bomLength,
        [](std::string_view chunk) -> qint64 {
            bool invalid = false;
            const size_t used = validUtf8Prefix(chunk, invalid);
            return invalid ? -1 : qint64(used);
        },
        reason);
    if (utf8 == Scan::Unreadable) {
        error = transfer_error::fileAccess(path, reason);
        return false;
    }
    if (utf8 == Scan::Valid) return true;

    Utf8Counts counts;
    const Scan counted = scanFile(
        file, result.bomLength,
        [&](std::string_view chunk) -> qint64 { return qint64(countUtf8(chunk, counts)); }, reason);
    if (counted == Scan::Unreadable) {
        error = transfer_error::fileAccess(path, reason);
        return false;
    }
    if (counted == Scan::Invalid) ++counts.invalid; // a sequence the end of the file cuts short
    if (counts.sequences > counts.invalid) {
        result.keepsBytes = true;
        return true;
    }
    if (result.bomLength > 0) {
        error = transfer_error::badEncoding(path);
        return false;
    }

    iconv_t cd = iconv_open(kUtf16, kCp932);
    if (cd == iconv_t(-1)) {
        error = transfer_error::badEncoding(path);
        return false;
    }
    std::vector<char> sink(size_t(scanChunk(file)) * 2 + 16);
    const Scan cp932 = scanFile(
        file, 0,
        [&](std::string_view chunk) -> qint64 {
            char* in = const_cast<char*>(chunk.data());
            size_t inLeft = chunk.size();
            while (inLeft > 0) {
                char* out = sink.data();
                size_t outLeft = sink.size();
                if (iconv(cd, &in, &inLeft, &out, &outLeft) != size_t(-1)) break;
                if (errno == E2BIG) continue;
                if (errno == EINVAL) break; // a lead byte at the end of the chunk
                return -1;
            }
            return qint64(chunk.size() - inLeft);
        },
        reason);
    iconv_close(cd);
    if (cp932 == Scan::Unreadable) {
        error = transfer_error::fileAccess(path, reason);
        return false;
    }
    if (cp932 == Scan::Invalid) {
        error = transfer_error::badEncoding(path);
        return false;
    }
    result.encoding = TextEncoding::Cp932;
    return true;
}

#include "ValueText.h"

#include "Value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <type_traits>

namespace db {

size_t realChars(double v, char* out, bool single) {
    auto put = [&](const char* t) { return size_t(std::snprintf(out, 32, "%s", t)); };
    if (std::isnan(v)) return put("NaN");
    if (std::isinf(v)) return put(v > 0 ? "Infinity" : "-Infinity");
    // The sign of zero is part of the value: "-0" reads back as -0.
    if (v == 0) return put(std::signbit(v) ? "-0" : "0");
    // Shortest text that reads back as the same double (or float), never in exponent form for
    // ordinary magnitudes so that exports stay readable.
    const bool fixed = std::fabs(v) >= 1e-5 && std::fabs(v) < 1e15;
    const auto shortest = [&](auto x) {
        return fixed ? std::to_chars(out, out + 32, x, std::chars_format::fixed)
                     : std::to_chars(out, out + 32, x);
    };
    const auto r = single ? shortest(float(v)) : shortest(v);
    return size_t(r.ptr - out);
}

QString realText(double v, bool single) {
    char buf[32];
    return QString::fromLatin1(buf, qsizetype(realChars(v, buf, single)));
}

static void two(char* p, int v) {
    p[0] = char('0' + v / 10 % 10);
    p[1] = char('0' + v % 10);
}

static size_t dateChars(qint64 v, char* b) {
    const int y = int(v / 10000);
    b[0] = char('0' + y / 1000 % 10);
    b[1] = char('0' + y / 100 % 10);
    two(b + 2, y % 100);
    b[4] = '/';
    two(b + 5, int(v / 100 % 100));
    b[7] = '/';
    two(b + 8, int(v % 100));
    return 10;
}

static size_t timeChars(qint64 v, char* b) {
    two(b, int(v / 10000));
    b[2] = ':';
    two(b + 3, int(v / 100 % 100));
    b[5] = ':';
    two(b + 6, int(v % 100));
    return 8;
}

size_t intChars(qint64 v, IntForm form, char* out) {
    switch (form) {
    case IntForm::Number:
        return size_t(std::to_chars(out, out + 32, v).ptr - out);
    case IntForm::Year:
        return size_t(std::snprintf(out, 32, "%04lld", static_cast<long long>(v)));
    case IntForm::Bool:
        return size_t(std::snprintf(out, 32, "%s", v ? "True" : "False"));
    case IntForm::Date:
        return dateChars(v, out);
    case IntForm::Time:
        return timeChars(v, out);
    case IntForm::Timestamp: {
        const qint64 time = v % 1000000;
        size_t n = dateChars(v / 1000000, out);
        // Midnight shows the date alone.
        if (time != 0) {
            out[n++] = ' ';
            n += timeChars(time, out + n);
        }
        return n;
    }
    }
    return 0;
}

QString intText(qint64 v, IntForm form) {
    char buf[32];
    return QString::fromLatin1(buf, qsizetype(intChars(v, form, buf)));
}

void utf8Into(std::string_view bytes, QString& out) {
    out.resize(qsizetype(bytes.size()));
    char16_t* o = reinterpret_cast<char16_t*>(out.data());
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0, k = 0;
    while (i < n) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            o[k++] = c;
            ++i;
            continue;
        }
        int len = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
        if (c >= 0xF5) len = 0;
        char32_t cp = len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
        bool ok = len > 0 && i + size_t(len) <= n;
        for (int j = 1; ok && j < len; ++j) {
            if ((s[i + size_t(j)] & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (s[i + size_t(j)] & 0x3F);
        }
        if (ok && ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp < 0xE000))) ||
                   (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))))
            ok = false;
        if (!ok) {
            o[k++] = char16_t(0xDC00 + c);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            o[k++] = char16_t(0xD800 + (cp >> 10));
            o[k++] = char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            o[k++] = char16_t(cp);
        }
        i += size_t(len);
    }
    out.resize(qsizetype(k));
}

QString Value::text() const {
    if (!m_isUtf8) return m_text;
    QString out;
    utf8Into(m_utf8, out);
    return out;
}

QString hexText(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    QString s(qsizetype(bytes.size() * 2), Qt::Uninitialized);
    QChar* out = s.data();
    for (unsigned char c : bytes) {
        *out++ = QLatin1Char(digits[c >> 4]);
        *out++ = QLatin1Char(digits[c & 15]);
    }
    return s;
}

qint64 packDate(int y, int mo, int d) {
    return qint64(y) * 10000 + mo * 100 + d;
}
qint64 packTime(int h, int mi, int s) {
    return qint64(h) * 10000 + mi * 100 + s;
}
qint64 packTimestamp(int y, int mo, int d, int h, int mi, int s) {
    return packDate(y, mo, d) * 1000000 + packTime(h, mi, s);
}

namespace {
// Reads n digits at pos; returns -1 when they are not there.
int digitsAt(const QString& t, qsizetype& pos, int minLen, int maxLen) {
    int v = 0, n = 0;
    while (pos < t.size() && n < maxLen && t[pos].isDigit()) {
        v = v * 10 + t[pos].digitValue();
        ++pos;
        ++n;
    }
    return n >= minLen ? v : -1;
}

bool sepAt(const QString& t, qsizetype& pos, QLatin1String seps) {
    if (pos < t.size() && seps.contains(t[pos])) {
        ++pos;
        return true;
    }
    return false;
}

bool readDate(const QString& t, qsizetype& pos, int& y, int& mo, int& d) {
    y = digitsAt(t, pos, 4, 4);
    if (y < 0 || !sepAt(t, pos, QLatin1String("/-"))) return false;
    mo = digitsAt(t, pos, 1, 2);
    if (mo < 1 || mo > 12 || !sepAt(t, pos, QLatin1String("/-"))) return false;
    d = digitsAt(t, pos, 1, 2);
    return d >= 1 && d <= 31;
}

bool readTime(const QString& t, qsizetype& pos, int& h, int& mi, int& s) {
    h = digitsAt(t, pos, 1, 2);
    if (h < 0 || h > 23 || !sepAt(t, pos, QLatin1String(":"))) return false;
    mi = digitsAt(t, pos, 2, 2);
    if (mi < 0 || mi > 59) return false;
    s = 0;
    if (sepAt(t, pos, QLatin1String(":"))) {
        s = digitsAt(t, pos, 2, 2);
        if (s < 0 || s > 59) return false;
        // Fractions are not kept.
        if (sepAt(t, pos, QLatin1String("."))) digitsAt(t, pos, 1, 9);
    }
    return true;
}
} // namespace

std::optional<qint64> parsePacked(const QString& text, IntForm form) {
    if (form == IntForm::Number || form == IntForm::Year) return parseInt(text);
    const QString t = text.trimmed();
    qsizetype pos = 0;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    switch (form) {
    case IntForm::Date:
        if (!readDate(t, pos, y, mo, d)) return std::nullopt;
        if (pos < t.size()) { // a date column given a timestamp at midnight
            if (!sepAt(t, pos, QLatin1String(" T")) || !readTime(t, pos, h, mi, s) || h || mi || s)
                return std::nullopt;
        }
        return pos == t.size() ? std::optional(packDate(y, mo, d)) : std::nullopt;
    case IntForm::Time:
        if (!readTime(t, pos, h, mi, s) || pos != t.size()) return std::nullopt;
        return packTime(h, mi, s);
    case IntForm::Timestamp:
        if (!readDate(t, pos, y, mo, d)) return std::nullopt;
        if (pos < t.size() && (!sepAt(t, pos, QLatin1String(" T")) || !readTime(t, pos, h, mi, s)))
            return std::nullopt;
        return pos == t.size() ? std::optional(packTimestamp(y, mo, d, h, mi, s)) : std::nullopt;
    case IntForm::Bool: {
        if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return 1;
        if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return 0;
        auto n = parseInt(t);
        if (n) return *n != 0 ? 1 : 0;
        return std::nullopt;
    }
    case IntForm::Number:
    case IntForm::Year:
        return parseInt(t);
    }
    return std::nullopt;
}

namespace {
// The text as ASCII without surrounding blanks, when it is short and plain enough to be a
// number; parsing numbers goes through std::from_chars, which is fast and locale-free.
bool asciiNumber(const QString& text, char (&buf)[64], size_t& len) {
    const QStringView t = QStringView(text).trimmed();
    if (t.isEmpty() || t.size() >= qsizetype(sizeof buf)) return false;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        if (c >= 0x80) return false;
        buf[i] = char(c);
    }
    len = size_t(t.size());
    return true;
}
} // namespace

std::optional<qint64> parseInt(const QString& text) {
    char buf[64];
    size_t len = 0;
    if (!asciiNumber(text, buf, len)) return std::nullopt;
    const char* first = buf + (buf[0] == '+' && len > 1 && buf[1] != '-' ? 1 : 0);
    qint64 v = 0;
    const auto r = std::from_chars(first, buf + len, v);
    if (r.ec != std::errc() || r.ptr != buf + len) return std::nullopt;
    return v;
}

std::optional<double> parseReal(const QString& text) {
    char buf[64];
    size_t len = 0;
    if (!asciiNumber(text, buf, len)) return std::nullopt;
    const char* first = buf + (buf[0] == '+' && len > 1 && buf[1] != '-' ? 1 : 0);
    // The texts realChars writes for the values that are no digits read back as those values.
    const std::string_view word(first, size_t(buf + len - first));
    if (word == "Infinity") return std::numeric_limits<double>::infinity();
    if (word == "-Infinity") return -std::numeric_limits<double>::infinity();
    if (word == "NaN") return std::numeric_limits<double>::quiet_NaN();
    // from_chars would also take "inf" and "nan": only digits, sign, point and exponent here.
    for (const char* p = first; p != buf + len; ++p)
        if (!((*p >= '0' && *p <= '9') || *p == '.' || *p == '-' || *p == 'e' || *p == 'E' ||
              *p == '+'))
            return std::nullopt;
    double v = 0;
    const auto r = std::from_chars(first, buf + len, v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != buf + len) return std::nullopt;
    return v;
}

namespace {
struct Decimal {
    bool negative = false;
    std::string_view intPart;  // without leading zeros
    std::string_view fracPart; // without trailing zeros
};

bool splitDecimal(std::string_view s, Decimal& d) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        d.negative = s.front() == '-';
        s.remove_prefix(1);
    }
    const size_t dot = s.find('.');
    std::string_view ip = s.substr(0, dot);
    std::string_view fp = dot == std::string_view::npos ? std::string_view() : s.substr(dot + 1);
    if (ip.empty() && fp.empty()) return false;
    for (char c : ip)
        if (c < '0' || c > '9') return false;
    for (char c : fp)
        if (c < '0' || c > '9') return false;
    while (!ip.empty() && ip.front() == '0')
        ip.remove_prefix(1);
    while (!fp.empty() && fp.back() == '0')
        fp.remove_suffix(1);
    d.intPart = ip;
    d.fracPart = fp;
    if (ip.empty() && fp.empty()) d.negative = false; // -0 == 0
    return true;
}

int compareMagnitude(const Decimal& a, const Decimal& b) {
    if (a.intPart.size() != b.intPart.size()) return a.intPart.size() < b.intPart.size() ? -1 : 1;
    if (int c = a.intPart.compare(b.intPart)) return c < 0 ? -1 : 1;
    const int c = a.fracPart.compare(b.fracPart);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
} // namespace

int compareDecimalText(std::string_view a, std::string_view b) {
    Decimal da, dbv;
    if (!splitDecimal(a, da) || !splitDecimal(b, dbv)) {
        const int c = a.compare(b);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (da.negative != dbv.negative) return da.negative ? -1 : 1;
    const int m = compareMagnitude(da, dbv);
    return da.negative ? -m : m;
}

namespace {
template <class Bytes>
void utf16AsUtf8Into(Bytes& out, const char16_t* s, size_t units, bool keepBytes) {
    const size_t start = out.size();
    if constexpr (std::is_same_v<Bytes, std::string>)
        out.resize(start + units * 3);
    else
        out.resizeForOverwrite(start + units * 3);
    char* p = out.data() + start;
    for (size_t i = 0; i < units; ++i) {
        char32_t c = s[i];
        if (c < 0x80) {
            *p++ = char(c);
            continue;
        }
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (keepBytes && isKeptByte(char16_t(c))) {
            *p++ = char(c - 0xDC00); // a byte that was not UTF-8 when read
            continue;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD; // unpaired surrogate
        }
        if (c < 0x800) {
            *p++ = char(0xC0 | (c >> 6));
            *p++ = char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *p++ = char(0xE0 | (c >> 12));
            *p++ = char(0x80 | ((c >> 6) & 0x3F));
            *p++ = char(0x80 | (c & 0x3F));
        } else {
            *p++ = char(0xF0 | (c >> 18));
            *p++ = char(0x80 | ((c >> 12) & 0x3F));
            *p++ = char(0x80 | ((c >> 6) & 0x3F));
            *p++ = char(0x80 | (c & 0x3F));
        }
    }
    out.resize(size_t(p - out.data()));
}
} // namespace

void appendUtf16AsUtf8(std::string& out, const char16_t* s, size_t units, bool keepBytes) {
    utf16AsUtf8Into(out, s, units, keepBytes);
}

void appendUtf16AsUtf8(PageArray<char>& out, const char16_t* s, size_t units, bool keepBytes) {
    utf16AsUtf8Into(out, s, units, keepBytes);
}

} // namespace db

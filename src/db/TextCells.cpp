#include "TextCells.h"

#include "ValueText.h"

#include <QDate>
#include <QTime>
#include <algorithm>
#include <cstring>
#include <vector>

namespace db {

namespace {
// A date, time or timestamp as a database writes it. Where the packed form holds it exactly
// (years 1 to 9999, no fraction, no zone) it is packed; otherwise its text is kept: the date
// form with the fraction and the offset the database gave ("2019/10/27 00:30:00.123456+02"),
// or, for what that form cannot hold, the database's own text ("4713-01-01 BC", "infinity",
// "838:59:59", and MDBTools' "1900-01-00 00:00:00" for dates it cannot read).
class DateText {
public:
    explicit DateText(std::string_view t) : m_t(t) {}

    bool pack(IntForm form, qint64& packed) const {
        size_t at = 0;
        int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
        if (form != IntForm::Time) {
            if (!date(at, y, mo, d)) return false;
            if (at == m_t.size() && form == IntForm::Date) {
                packed = packDate(y, mo, d);
                return true;
            }
            if (form == IntForm::Date || at == m_t.size()) {
                if (at != m_t.size()) return false;
                packed = packTimestamp(y, mo, d, 0, 0, 0);
                return true;
            }
            if (m_t[at++] != ' ') return false;
        }
        if (!time(at, h, mi, sec) || !zeroFraction(at) || at != m_t.size()) return false;
        packed = form == IntForm::Time ? packTime(h, mi, sec) : packTimestamp(y, mo, d, h, mi, sec);
        return true;
    }

    // The text to keep: the date part in the date form where the rest is a time with a
    // fraction or an offset, the database's text otherwise.
    std::string kept() const {
        std::string out(m_t);
        size_t at = 0;
        int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
        if (!date(at, y, mo, d)) return out;
        if (at != m_t.size()) {
            if (m_t[at++] != ' ' || !time(at, h, mi, sec)) return out;
            if (at < m_t.size() && m_t[at] == '.') {
                ++at;
                while (at < m_t.size() && digit(m_t[at]))
                    ++at;
            }
            if (at < m_t.size() && (m_t[at] == '+' || m_t[at] == '-')) {
                ++at;
                while (at < m_t.size() && (digit(m_t[at]) || m_t[at] == ':'))
                    ++at;
            }
            if (at != m_t.size()) return out;
        }
        out[4] = out[7] = '/';
        return out;
    }

private:
    static bool digit(char c) { return c >= '0' && c <= '9'; }
    bool number(size_t& at, size_t digits, int& v) const {
        if (at + digits > m_t.size()) return false;
        v = 0;
        for (size_t k = 0; k < digits; ++k) {
            if (!digit(m_t[at + k])) return false;
            v = v * 10 + (m_t[at + k] - '0');
        }
        at += digits;
        return true;
    }
    bool date(size_t& at, int& y, int& mo, int& d) const {
        return number(at, 4, y) && at < m_t.size() && m_t[at++] == '-' && number(at, 2, mo) &&
               at < m_t.size() && m_t[at++] == '-' && number(at, 2, d) &&
               (at == m_t.size() || !digit(m_t[at])) && y >= 1 && QDate::isValid(y, mo, d);
    }
    bool time(size_t& at, int& h, int& mi, int& sec) const {
        return number(at, 2, h) && at < m_t.size() && m_t[at++] == ':' && number(at, 2, mi) &&
               at < m_t.size() && m_t[at++] == ':' && number(at, 2, sec) &&
               (at == m_t.size() || !digit(m_t[at])) && QTime::isValid(h, mi, sec);
    }
    bool zeroFraction(size_t& at) const {
        if (at == m_t.size() || m_t[at] != '.') return true;
        for (++at; at < m_t.size() && digit(m_t[at]); ++at)
            if (m_t[at] != '0') return false;
        return true;
    }

    std::string_view m_t;
};

} // namespace

// "0012.500" -> "12.5", "-0.00" -> "0": decimals in their shortest exact form.
void appendDecimalText(ColumnData& d, std::string_view text) {
    const char* s = text.data();
    size_t n = text.size();
    ColumnData::Arena& a = d.arena();
    while (n && s[n - 1] == ' ')
        --n;
    while (n && *s == ' ')
        ++s, --n;
    const size_t start = a.size();
    bool negative = false;
    if (n && (*s == '-' || *s == '+')) {
        negative = *s == '-';
        ++s, --n;
    }
    const char* dot = static_cast<const char*>(memchr(s, '.', n));
    size_t intLen = dot ? size_t(dot - s) : n;
    size_t fracLen = dot ? n - intLen - 1 : 0;
    const char* frac = dot ? dot + 1 : nullptr;
    while (intLen > 1 && *s == '0')
        ++s, --intLen;
    while (fracLen && frac[fracLen - 1] == '0')
        --fracLen;
    const bool zero = (intLen == 0 || (intLen == 1 && *s == '0')) && fracLen == 0;
    if (negative && !zero) a += '-';
    if (intLen == 0)
        a += '0';
    else
        a.append(s, intLen);
    if (fracLen) {
        a += '.';
        a.append(frac, fracLen);
    }
    if (a.size() == start) a += '0';
    d.endText();
}

// "$1,234.50", "-$0.01", "(¥1,235)", "1.234,50 €", "د.ب. 1,234.500-". Only a "." or ","
// between two digits separates (a currency sign may hold dots). Without the session's form,
// or where it does not fit the text (the locale changed since), the point is the last
// separator when another kind precedes it, or when it alone stands and is not followed by a
// group of three.
std::string moneyAsDecimal(std::string_view s, MoneyForm form) {
    struct Separator {
        size_t at; // digits before it
        char c;
        size_t run; // digits after it, up to the next other character
    };
    std::string digits;
    std::vector<Separator> separators;
    bool negative = false;
    const auto isDigit = [&](size_t i) { return i < s.size() && s[i] >= '0' && s[i] <= '9'; };
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (isDigit(i)) {
            digits += c;
        } else if (c == '-' || c == '(') {
            negative = true;
        } else if ((c == '.' || c == ',') && i > 0 && isDigit(i - 1) && isDigit(i + 1)) {
            size_t run = 0;
            while (isDigit(i + 1 + run))
                ++run;
            separators.push_back({digits.size(), c, run});
        }
    }
    const bool allGroups = std::all_of(separators.begin(), separators.end(),
                                       [](const Separator& g) { return g.run == 3; });
    size_t point = std::string::npos;
    const Separator* last = separators.empty() ? nullptr : &separators.back();
    const bool lastEnds = last && last->at + last->run == digits.size();
    if (form.scale == 0 && allGroups) {
        // No decimals in this locale: every separator groups.
    } else if (form.scale > 0 && lastEnds && last->c == form.point &&
               last->run == size_t(form.scale)) {
        point = last->at;
    } else if (last) {
        const bool twoKinds = std::any_of(separators.begin(), separators.end(),
                                          [&](const Separator& g) { return g.c != last->c; });
        if (twoKinds || (separators.size() == 1 && last->run != 3)) point = last->at;
    }
    std::string text = negative ? "-" : "";
    if (point == std::string::npos) {
        text += digits;
    } else {
        text.append(digits, 0, point);
        text += '.';
        text.append(digits, point, std::string::npos);
    }
    return text;
}

void appendMoneyText(ColumnData& d, std::string_view text, MoneyForm form) {
    appendDecimalText(d, moneyAsDecimal(text, form));
}

MoneyForm moneyFormOfOne(const QString& t) {
    const qsizetype one = t.indexOf(QLatin1Char('1'));
    if (one < 0) return {};
    MoneyForm form{0, '.'};
    if (one + 2 < t.size() && (t[one + 1] == u'.' || t[one + 1] == u',') && t[one + 2].isDigit()) {
        form.point = char(t[one + 1].unicode());
        for (qsizetype i = one + 2; i < t.size() && t[i].isDigit(); ++i)
            ++form.scale;
    }
    return form;
}

void appendGuidText(ColumnData& d, std::string_view text) {
    ColumnData::Arena& a = d.arena();
    a += '{';
    for (const char c : text)
        a += (c >= 'a' && c <= 'f') ? char(c - 32) : c;
    a += '}';
    d.endText();
}

bool packableDateText(std::string_view text, IntForm form) {
    qint64 packed = 0;
    return DateText(text).pack(form, packed);
}

void appendDateText(ColumnData& d, IntForm form, std::string_view text) {
    const DateText t(text);
    qint64 packed = 0;
    const bool packs = t.pack(form, packed);
    if (packs && d.storage() == Storage::Int) return d.appendInt(packed);
    if (d.storage() != Storage::Text) d.promoteToText();
    if (packs) {
        char buf[32];
        d.appendBytes(std::string_view(buf, intChars(packed, form, buf)));
    } else {
        d.appendBytes(t.kept());
    }
}

void appendBulkField(QByteArray& out, std::string_view text, bool escapeNul) {
    size_t from = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        const char* escaped = ch == '\\'                ? "\\\\"
                              : ch == '\t'              ? "\\t"
                              : ch == '\n'              ? "\\n"
                              : ch == '\r'              ? "\\r"
                              : ch == '\0' && escapeNul ? "\\0"
                                                        : nullptr;
        if (!escaped) continue;
        out.append(text.data() + from, qsizetype(i - from));
        out.append(escaped, 2);
        from = i + 1;
    }
    out.append(text.data() + from, qsizetype(text.size() - from));
}

} // namespace db

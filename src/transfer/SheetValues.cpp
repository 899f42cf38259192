#include "SheetValues.h"

#include <QDate>
#include <QTime>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace sheet_value {
namespace {
constexpr size_t kSignificantDigits = 15;
// Beyond these the plain form would be mostly zeros.
constexpr int kPlainLowest = -20;
constexpr int kPlainHighest = 21;
constexpr qint64 kMsPerDay = 86400000;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isHexDigit(QChar c) {
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}
} // namespace

std::string numberDigits(std::string_view s) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    std::string digits;
    int point = 0;
    size_t integral = 0;
    for (; i < s.size() && isDigit(s[i]); ++i, ++integral)
        digits += s[i];
    point = int(integral);
    size_t fraction = 0;
    if (i < s.size() && s[i] == '.')
        for (++i; i < s.size() && isDigit(s[i]); ++i, ++fraction)
            digits += s[i];
    if (integral + fraction == 0) return std::string();
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        int exponent = 0;
        const char* begin = s.data() + i;
        if (i < s.size() && s[i] == '+') ++begin;
        const auto [end, ec] = std::from_chars(begin, s.data() + s.size(), exponent);
        if (ec != std::errc() || end == begin) return std::string();
        i = size_t(end - s.data());
        point += exponent;
    }
    if (i != s.size()) return std::string();
    size_t lead = 0;
    while (lead < digits.size() && digits[lead] == '0')
        ++lead;
    digits.erase(0, lead);
    point -= int(lead);
    if (digits.size() > kSignificantDigits) {
        const bool up = digits[kSignificantDigits] >= '5';
        digits.resize(kSignificantDigits);
        if (up) {
            size_t k = digits.size();
            while (k > 0 && digits[k - 1] == '9')
                digits[--k] = '0';
            if (k == 0) {
                digits.insert(digits.begin(), '1');
                digits.pop_back();
                ++point;
            } else {
                ++digits[k - 1];
            }
        }
    }
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
    if (digits.empty()) return "0";
    std::string out = negative ? "-" : "";
    const int count = int(digits.size());
    if (point < kPlainLowest || point > kPlainHighest) {
        out += digits[0];
        if (count > 1) out += '.' + digits.substr(1);
        out += 'E' + std::to_string(point - 1);
    } else if (point <= 0) {
        out += "0." + std::string(size_t(-point), '0') + digits;
    } else if (point >= count) {
        out += digits + std::string(size_t(point - count), '0');
    } else {
        out += digits.substr(0, size_t(point)) + '.' + digits.substr(size_t(point));
    }
    return out;
}

QString numberText(std::string_view stored) {
    return QString::fromStdString(numberDigits(stored));
}

QString numberText(double value) {
    if (!std::isfinite(value)) return QString();
    char buffer[40];
    const int n = std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return numberText(std::string_view(buffer, size_t(n)));
}

std::optional<QString> serialDateText(std::string_view stored, DateSystem system, DateParts parts) {
    double serial = 0;
    const auto [end, ec] = std::from_chars(stored.data(), stored.data() + stored.size(), serial);
    if (ec != std::errc() || end != stored.data() + stored.size() || !std::isfinite(serial))
        return std::nullopt;
    double whole = std::floor(serial);
    if (std::fabs(whole) > 1e8) return std::nullopt;
    qint64 days = qint64(whole);
    qint64 ms = std::llround((serial - whole) * double(kMsPerDay));
    if (ms >= kMsPerDay) {
        ++days;
        ms -= kMsPerDay;
    }
    QDate date;
    if (system == DateSystem::From1904) {
        date = QDate(1904, 1, 1).addDays(days);
    } else if (days == 60) {
        // The 1900 system counts a 29 February 1900 that never was.
        return std::nullopt;
    } else {
        date = QDate(1899, 12, days < 60 ? 31 : 30).addDays(days);
    }
    if (!date.isValid()) return std::nullopt;
    const QTime time = QTime::fromMSecsSinceStartOfDay(int(ms));
    const QString timeText =
        time.toString(ms % 1000 ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("HH:mm:ss"));
    if (parts == DateParts::Time && days == 0) return timeText;
    const QString dateText = date.toString(QStringLiteral("yyyy-MM-dd"));
    if (parts == DateParts::Date && ms == 0) return dateText;
    return dateText + QLatin1Char(' ') + timeText;
}

DateParts formatDateParts(int id, QStringView code) {
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || (id >= 34 && id <= 36) ||
        (id >= 50 && id <= 58))
        return DateParts::Date;
    if ((id >= 18 && id <= 21) || id == 32 || id == 33 || (id >= 45 && id <= 47))
        return DateParts::Time;
    if (id == 22) return DateParts::DateTime;
    if (id < 164) return DateParts::None;
    bool date = false;
    bool time = false;
    bool month = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const char16_t c = QChar::toLower(code[i].unicode());
        if (c == ';') break;
        if (c == '"') {
            i = code.indexOf(u'"', i + 1);
            if (i < 0) break;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == '[') {
            const qsizetype close = code.indexOf(u']', i);
            if (close < 0) break;
            // Elapsed hours, minutes or seconds ([h]:mm); colours and locales say nothing.
            const QStringView inside = code.mid(i + 1, close - i - 1);
            if (!inside.isEmpty() && inside.count(inside.front()) == inside.size() &&
                QStringLiteral("hHmMsS").contains(inside.front()))
                time = true;
            i = close;
        } else if (code.mid(i, 7).compare(QLatin1String("general"), Qt::CaseInsensitive) == 0) {
            i += 6;
        } else if (c == 'y' || c == 'd' || c == 'g') {
            date = true;
        } else if (c == 'e') {
            // E+ and E- are a scientific exponent, a lone e the era's year.
            const char16_t next = i + 1 < code.size() ? code[i + 1].unicode() : u' ';
            if (next != '+' && next != '-') date = true;
        } else if (c == 'h' || c == 's') {
            time = true;
        } else if (c == 'm') {
            month = true;
        }
    }
    if (date && time) return DateParts::DateTime;
    if (time) return DateParts::Time;
    if (date || month) return DateParts::Date;
    return DateParts::None;
}

QString unescaped(QString text) {
    qsizetype at = text.indexOf(QLatin1String("_x"));
    while (at >= 0 && at + 7 <= text.size()) {
        const QStringView hex = QStringView(text).mid(at + 2, 4);
        bool ok = std::all_of(hex.begin(), hex.end(), [](QChar c) { return isHexDigit(c); });
        const uint unit = ok ? hex.toUInt(&ok, 16) : 0;
        if (ok && text[at + 6] == u'_') {
            text.replace(at, 7, QChar(char16_t(unit)));
            at = text.indexOf(QLatin1String("_x"), at + 1);
        } else {
            at = text.indexOf(QLatin1String("_x"), at + 2);
        }
    }
    return text;
}

} // namespace sheet_value

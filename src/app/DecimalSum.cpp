#include "DecimalSum.h"

#include "transfer/SheetValues.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <string>

namespace {
using Wide = __int128;
// 10^38 still fits; a scale beyond it cannot be aligned.
constexpr int kMaxScale = 30;
constexpr auto kPowersOfTen = [] {
    std::array<long double, kMaxScale + 1> powers{};
    long double p = 1;
    for (long double& power : powers) {
        power = p;
        p *= 10;
    }
    return powers;
}();

bool timesTen(Wide& value, int times) {
    for (int i = 0; i < times; ++i)
        if (__builtin_mul_overflow(value, Wide(10), &value)) return false;
    return true;
}

std::string wideDigits(Wide value) {
    std::string digits;
    const bool negative = value < 0;
    do {
        const int digit = int(value % 10);
        digits.insert(digits.begin(), char('0' + (negative ? -digit : digit)));
        value /= 10;
    } while (value != 0);
    return digits;
}
} // namespace

QString significantText(long double value) {
    if (!std::isfinite(value)) return QString();
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, "%.17Lg", value);
    return sheet_value::numberText(std::string_view(buffer, size_t(n)));
}

bool DecimalSum::add(std::string_view s, long double* out) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    Wide mantissa = 0;
    bool fits = true;
    int digits = 0;
    int scale = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') break;
        ++digits;
        if (point) ++scale;
        if (fits &&
            (!timesTen(mantissa, 1) || __builtin_add_overflow(mantissa, Wide(c - '0'), &mantissa)))
            fits = false;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool down = false;
        if (i < s.size() && (s[i] == '-' || s[i] == '+')) down = s[i++] == '-';
        int exponent = 0;
        const size_t start = i;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
            exponent = std::min(exponent * 10 + (s[i] - '0'), 100000);
        if (i == start) return false;
        scale += down ? exponent : -exponent;
    }
    if (i != s.size()) return false;
    if (negative) mantissa = -mantissa;
    if (scale < 0) {
        fits = fits && timesTen(mantissa, -scale);
        scale = 0;
    }
    const long double value = fits && scale <= kMaxScale
                                  ? (long double)mantissa / kPowersOfTen[size_t(scale)]
                                  : std::strtold(std::string(s).c_str(), nullptr);
    if (!std::isfinite(value)) return false;
    if (out) *out = value;
    m_approximate += value;
    if (!fits || scale > kMaxScale || !addScaled(mantissa, scale)) m_exact = false;
    return true;
}

void DecimalSum::add(qint64 value) {
    m_approximate += value;
    if (!addScaled(Wide(value), 0)) m_exact = false;
}

bool DecimalSum::addScaled(Wide mantissa, int scale) {
    if (!m_exact) return false;
    if (scale > m_scale) {
        if (!timesTen(m_mantissa, scale - m_scale)) return false;
        m_scale = scale;
    } else if (!timesTen(mantissa, m_scale - scale)) {
        return false;
    }
    return !__builtin_add_overflow(m_mantissa, mantissa, &m_mantissa);
}

long double DecimalSum::approximate() const {
    if (!m_exact) return m_approximate;
    return (long double)m_mantissa / kPowersOfTen[size_t(m_scale)];
}

QString DecimalSum::text() const {
    if (!m_exact) return significantText(m_approximate);
    std::string digits = wideDigits(m_mantissa);
    if (m_scale > 0) {
        if (digits.size() <= size_t(m_scale))
            digits.insert(0, size_t(m_scale) + 1 - digits.size(), '0');
        digits.insert(digits.size() - size_t(m_scale), 1, '.');
    }
    if (m_mantissa < 0) digits.insert(0, 1, '-');
    return QString::fromLatin1(digits);
}

QString DecimalSum::dividedBy(qint64 count) const {
    if (count <= 0) return QString();
    return significantText(approximate() / (long double)count);
}

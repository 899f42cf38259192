#pragma once

#include <QString>
#include <string_view>

// A sum of decimal numbers kept exact: 38 digits with the largest scale of its terms, so 0.1 +
// 0.2 is 0.3 and 1.50 + 2.50 is 4.00. A term beyond that range (1E300) turns the sum into an
// approximation of 15 significant digits.
class DecimalSum {
public:
    // A number as text ("-12.50", "1e-07"); false, and nothing added, when it is none. value,
    // when given, receives the number.
    bool add(std::string_view text, long double* value = nullptr);
    void add(qint64 value);
    // The sum's text: exact, or to 15 significant digits.
    QString text() const;
    // The sum divided by count, to 15 significant digits.
    QString dividedBy(qint64 count) const;
    long double approximate() const;

private:
    using Wide = __int128;
    bool addScaled(Wide mantissa, int scale);

    Wide m_mantissa = 0;
    int m_scale = 0;
    bool m_exact = true;
    long double m_approximate = 0;
};

// A number of about 15 significant digits in the form spreadsheets show it.
QString significantText(long double value);

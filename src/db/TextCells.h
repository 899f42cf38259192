#pragma once

#include "ColumnData.h"

#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

namespace db {

// Cells from the text a database writes for a value, the same whichever backend read it.

// How a session writes a currency amount (PostgreSQL's money, by the server's locale): the
// digits after its decimal point, and that point. A scale below 0: not known.
struct MoneyForm {
    int scale = -1;
    char point = '.';
};

// The form of a session's amounts from its text of 1 ("$1.00", "1,000 €", "￥1"); the default
// (not known) where the text holds no 1.
MoneyForm moneyFormOfOne(const QString& textOfOne);

// "0012.500" -> "12.5", "-0.00" -> "0": a decimal in its shortest exact form, as text.
void appendDecimalText(ColumnData& d, std::string_view text);
// A currency amount in the session's form ("$1,234.50", "1.234,50 €") as a plain decimal.
std::string moneyAsDecimal(std::string_view text, MoneyForm form);
void appendMoneyText(ColumnData& d, std::string_view text, MoneyForm form);
// A GUID as the layer shows it: in braces, its hex digits in upper case.
void appendGuidText(ColumnData& d, std::string_view text);
// True when a date, time or timestamp text (ISO, as databases write it) is one the packed
// form holds exactly: the years 1 to 9999, no fraction, no zone, no era.
bool packableDateText(std::string_view text, IntForm form);
// Packed where the packed form holds the value exactly; otherwise the column turns to text
// and keeps the date form with the fraction and offset, or the database's own text
// ("infinity", "4713-01-01 BC").
void appendDateText(ColumnData& d, IntForm form, std::string_view text);

// A field of the servers' tab-separated bulk text (PostgreSQL's COPY, MariaDB's LOAD DATA):
// backslash, tab, line feed and carriage return escaped, NUL too where the reader takes "\0".
// Runs without a special character are copied whole.
void appendBulkField(QByteArray& out, std::string_view text, bool escapeNul);

} // namespace db

#pragma once

#include <QString>
#include <QStringView>
#include <optional>
#include <string>
#include <string_view>

// A workbook cell's stored value in the text form the import hands to the database: what the
// cell holds, never how it is shown.
namespace sheet_value {

// What a number format shows of a date serial number; None for every other number.
enum class DateParts { None, Date, Time, DateTime };
enum class DateSystem { From1900, From1904 };

// A number as a spreadsheet keeps it: the stored decimal text ("0.1", "3.0000000000000004E-1")
// cut to 15 significant digits, rounded half away from zero in decimal, never through a
// binary float; plain digits unless the exponent is far out. Empty when the text is no number.
QString numberText(std::string_view stored);
// The same digits as bytes, for a reader that keeps its cells in UTF-8.
std::string numberDigits(std::string_view stored);

// The same for a number the reader has as a double (the older file format stores binary).
QString numberText(double value);

// A date serial number as "yyyy-MM-dd", "HH:mm:ss" or both, with milliseconds when there are
// any: the time part when the format shows only a time and the day is 0, the date alone when
// the format shows only a date and there is no time of day. None when the serial is no
// number or no day of the calendar (the 1900 system's 29 February 1900).
std::optional<QString> serialDateText(std::string_view stored, DateSystem system, DateParts parts);

// Whether a number format shows a date or time: the built-in formats by id, a custom one by
// its code's date and time letters outside quotes, escapes and brackets.
DateParts formatDateParts(int numFmtId, QStringView code = {});

// Undoes the "_xHHHH_" escapes of workbook strings (a carriage return is stored as "_x000D_").
QString unescaped(QString text);

} // namespace sheet_value

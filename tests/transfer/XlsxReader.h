#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

// Reads back what a spreadsheet application would see in Sheet1 of an .xlsx file: cells with
// their kind and look, column widths. Unpacks with the unzip program.
struct XlsxCell {
    enum Kind { Blank, Number, Text } kind = Blank;
    QString value;
    QString fill;                     // "FFFFCC", "" for none
    QString horizontal;               // "center", "" for general
    QString left, right, top, bottom; // border styles: "thin", ""
    QString numberFormat;             // "yyyy/mm/dd", "" for general
};

struct XlsxSheet {
    QStringList sheetNames;
    QHash<QString, XlsxCell> cells; // by reference, "A1"
    QHash<int, double> widths;      // 1-based column -> width, columns with their own width
    int maxRow = 0;
    int maxColumn = 0;

    std::optional<XlsxCell> cell(int row, int col) const;
};

// Column letters of a 1-based column number ("A", "IV").
QString columnName(int col);

// False with a reason when the file cannot be read as a workbook.
bool readXlsx(const QString& path, XlsxSheet& sheet, QString& error);

#pragma once

#include "CellSpool.h"
#include "Error.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

// Constants of the spreadsheet's automation interface.
namespace xl {
constexpr int Center = -4108;
constexpr int Left = -4131;
constexpr int Right = -4152;
constexpr int General = 1;
// Border indexes that address that edge of every cell of a range.
constexpr int BorderLeft = -4131;
constexpr int BorderRight = -4152;
constexpr int BorderTop = -4160;
constexpr int BorderBottom = -4107;
// Border weights.
constexpr int Hairline = 1;
constexpr int Thin = 2;
constexpr int Medium = -4138;
constexpr int Thick = 4;
constexpr int ColorIndexNone = -4142;
// The sheet's size.
constexpr qint32 MaxRows = 1048576;
constexpr qint32 MaxColumns = 16384;
constexpr qint32 MaxCellCharacters = 32767;
} // namespace xl

// A block of cells from (row1, col1) to (row2, col2), 1-based as the sheet numbers them.
struct CellRange {
    qint32 row1, col1, row2, col2;
};

// A stand-in for the spreadsheet application's automation object with the operations the
// output uses. The workbook is kept as a list of typed cells and range formats; making the
// application visible writes it as an .xlsx file into the given folder and hands that file to
// the desktop's spreadsheet application. Cells must be put row by row, left to right.
// Every operation returns false on failure and leaves the reason in lastError().
class ExcelApplication {
public:
    // "Create the object": folder (ending with "/") takes the workbook file and scratch files;
    // openWithDesktop opens a file with its application, false when there is none.
    static std::unique_ptr<ExcelApplication>
    Create(const QString& folder, std::function<bool(const QString&)> openWithDesktop,
           db::Error& error);
    // A workbook that was not handed over is discarded with its files.
    ~ExcelApplication();
    ExcelApplication(const ExcelApplication&) = delete;
    ExcelApplication& operator=(const ExcelApplication&) = delete;

    bool WorkbooksAdd();
    // Selects a sheet of workbook 1 by name; the new workbook has "Sheet1".
    bool Worksheets(const QString& name);
    // Puts a value as typed input: numeric text becomes a number, a leading apostrophe makes the
    // rest text, anything else is text; the empty text leaves the cell empty.
    bool PutCell(qint32 row, qint32 col, const QString& typed);
    bool SetInteriorColorIndex(const CellRange& range, int colorIndex);
    bool SetHorizontalAlignment(const CellRange& range, int alignment);
    bool SetBorderWeight(const CellRange& range, int borderIndex, int weight);
    bool BorderAround(const CellRange& range, int weight);
    // Fits the width of every column of a letter range ("A:IV") to the cells put so far.
    bool AutoFitColumns(const QString& columns);
    bool SetVisible(bool visible);
    bool CloseWorkbook(bool saveChanges);
    void Quit();

    const db::Error& lastError() const { return m_error; }
    // The file handed to the desktop; "" until the application is made visible.
    QString workbookPath() const { return m_handedOver; }

private:
    struct RangeOp {
        enum Kind { Interior, Alignment, BorderEdge, Around } kind;
        CellRange range;
        int a = 0; // colour, alignment, border index, weight
        int b = 0; // the weight of a border edge
    };

    ExcelApplication(QString folder, std::function<bool(const QString&)> openWithDesktop);
    bool fail(qint32 number, const QString& description);
    bool requireSheet();
    bool checkRange(const CellRange& range);
    bool writeWorkbook(const QString& path);

    QString m_folder;
    std::function<bool(const QString&)> m_openWithDesktop;
    db::Error m_error;
    bool m_hasWorkbook = false;
    bool m_hasSheet = false;
    std::unique_ptr<CellSpool> m_cells;
    qint32 m_lastRow = 0, m_lastCol = 0;
    std::vector<RangeOp> m_ops;
    std::vector<int> m_measured; // widest text per column, in character cells
    std::vector<int> m_fitted;   // widths set by AutoFitColumns, 0 for untouched columns
    QString m_handedOver;
    std::string m_utf8;
};

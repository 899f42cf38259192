#pragma once

#include "CellSpool.h"
#include "SheetFormat.h"
#include "db/Error.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

// The failures of the automation interface: their source and numbers.
inline const QString kExcelSource = QStringLiteral("Excel");
namespace xl {
constexpr qint32 ErrorSubscript = 9;
constexpr qint32 ErrorCannotCreate = 429;
constexpr qint32 ErrorObjectDefined = 1004;
} // namespace xl

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
    // A workbook written in full that nothing on the desktop opened; "" when there is none.
    QString unopenedWorkbook() const { return m_unopened; }

private:
    ExcelApplication(QString folder, std::function<bool(const QString&)> openWithDesktop);
    bool fail(qint32 number, const QString& description);
    bool failWith(const db::Error& error);
    bool requireSheet();
    bool checkRange(const CellRange& range);

    QString m_folder;
    std::function<bool(const QString&)> m_openWithDesktop;
    db::Error m_error;
    bool m_hasWorkbook = false;
    bool m_hasSheet = false;
    std::unique_ptr<CellSpool> m_cells;
    qint32 m_lastRow = 0, m_lastCol = 0;
    std::vector<RangeFormat> m_ops;
    std::vector<int> m_measured; // widest text per column, in character cells
    std::vector<int> m_fitted;   // widths set by AutoFitColumns, 0 for untouched columns
    QString m_handedOver;
    QString m_unopened;
    std::string m_utf8;
};

#include "SheetValues.h"
#include "TransferErrors.h"
#include "WorkbookReader.h"

#include <QFile>
#include <freexl.h>

namespace {
// The older binary format, read by FreeXL: the whole file at open (such a sheet holds at most
// 65,536 rows), then cell by cell.
class XlsReader : public WorkbookReader {
public:
    explicit XlsReader(QString path) : m_path(std::move(path)) {}
    ~XlsReader() override {
        if (m_handle) freexl_close(m_handle);
    }

    bool load(db::Error& error) {
        const int status = freexl_open(QFile::encodeName(m_path).constData(), &m_handle);
        if (status != FREEXL_OK) return fail(status, error);
        unsigned int count = 0;
        if (const int s = freexl_get_info(m_handle, FREEXL_BIFF_SHEET_COUNT, &count);
            s != FREEXL_OK)
            return fail(s, error);
        for (unsigned int i = 0; i < count; ++i) {
            const char* name = nullptr;
            if (const int s = freexl_get_worksheet_name(m_handle, (unsigned short)i, &name);
                s != FREEXL_OK)
                return fail(s, error);
            m_names << QString::fromUtf8(name);
        }
        if (m_names.isEmpty()) {
            error = transfer_error::badWorkbook(m_path, QStringLiteral("シートがありません"));
            return false;
        }
        return true;
    }

    QStringList sheetNames() const override { return m_names; }

    bool selectSheet(int index, db::Error& error) override {
        if (index < 0 || index >= m_names.size()) {
            error = transfer_error::badWorkbook(
                m_path, QStringLiteral("シート %1 がありません").arg(index + 1));
            return false;
        }
        if (const int s = freexl_select_active_worksheet(m_handle, (unsigned short)index);
            s != FREEXL_OK)
            return fail(s, error);
        if (const int s = freexl_worksheet_dimensions(m_handle, &m_rows, &m_columns);
            s != FREEXL_OK)
            return fail(s, error);
        m_next = 0;
        return true;
    }

    Status nextRow(qint64& rowNumber, std::vector<SheetCell>& cells, db::Error& error) override {
        for (; m_next < m_rows; ++m_next) {
            cells.clear();
            for (unsigned short column = 0; column < m_columns; ++column) {
                FreeXL_CellValue value;
                if (const int s = freexl_get_cell_value(m_handle, m_next, column, &value);
                    s != FREEXL_OK) {
                    fail(s, error);
                    return Failed;
                }
                SheetCell cell = cellOf(value);
                if (cell.kind == SheetCell::Empty) continue;
                cells.resize(size_t(column) + 1);
                cells.back() = std::move(cell);
            }
            if (!cells.empty()) {
                rowNumber = qint64(m_next++) + 1;
                return Row;
            }
        }
        return End;
    }

private:
    static SheetCell cellOf(const FreeXL_CellValue& value) {
        switch (value.type) {
        case FREEXL_CELL_INT:
            return {SheetCell::Text, std::to_string(value.value.int_value)};
        case FREEXL_CELL_DOUBLE: {
            const QString number = sheet_value::numberText(value.value.double_value);
            if (number.isEmpty()) return {SheetCell::Error, "#NUM!"};
            return {SheetCell::Text, number.toStdString()};
        }
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME:
        case FREEXL_CELL_TIME:
            return {SheetCell::Text, value.value.text_value};
        default:
            return {};
        }
    }

    bool fail(int status, db::Error& error) const {
        error = status == FREEXL_FILE_NOT_FOUND
                    ? transfer_error::fileNotFound(m_path)
                    : transfer_error::badWorkbook(m_path, QStringLiteral("FreeXL %1").arg(status));
        return false;
    }

    QString m_path;
    const void* m_handle = nullptr;
    QStringList m_names;
    unsigned int m_rows = 0;
    unsigned short m_columns = 0;
    unsigned int m_next = 0;
};
} // namespace

std::unique_ptr<WorkbookReader> openXls(const QString& path, db::Error& error) {
    auto reader = std::make_unique<XlsReader>(path);
    if (!reader->load(error)) return nullptr;
    return reader;
}

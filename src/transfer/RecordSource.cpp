#include "RecordSource.h"

#include "DelimitedFormat.h"
#include "LineReader.h"
#include "RecordReader.h"
#include "TextEncoding.h"
#include "TransferErrors.h"

#include <QFile>
#include <vector>

bool isUsableSeparator(const QString& separator) {
    if (separator.size() != 1) return false;
    const char16_t c = separator.front().unicode();
    return c < 0x80 && c != '"' && c != ' ' && c != '\r' && c != '\n';
}

namespace {
class DelimitedSource : public RecordSource {
public:
    bool open(const QString& path, const QString& separator, db::Error& error) {
        m_path = path;
        if (!isUsableSeparator(separator)) {
            error = transfer_error::badSeparator(separator);
            return false;
        }
        FileEncoding encoding;
        if (!detectFileEncoding(path, encoding, error)) return false;
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::ReadOnly) || !m_file.seek(encoding.bomLength)) {
            error = transfer_error::fileAccess(path, m_file.errorString());
            m_file.close();
            return false;
        }
        m_decoder = std::make_unique<TextDecoder>(encoding.encoding, encoding.keepsBytes);
        m_lines = std::make_unique<LineReader>(
            [this](char* data, qint64 max) { return m_file.read(data, max); });
        m_records = std::make_unique<RecordReader>(*m_lines, char(separator.front().unicode()),
                                                   encoding.encoding);
        return true;
    }

    Status next(db::Error& error) override {
        switch (m_records->next()) {
        case RecordReader::End:
            return End;
        case RecordReader::ReadFailed:
            error = transfer_error::fileAccess(m_path, m_file.errorString());
            return ReadFailed;
        case RecordReader::BlankLine:
            return Blank;
        case RecordReader::Record:
            break;
        }
        return Record;
    }
    int fieldCount() const override { return m_records->fieldCount(); }
    // A quoted empty field ("") is the empty string for the text types; an empty field without
    // quotes is Null for every type (a spreadsheet's empty cell, an exported Null).
    bool value(int k, int type, db::Value& out, QString&) override {
        const std::string_view bytes = m_records->field(k);
        if (!bytes.empty())
            out = m_decoder->decodeValue(bytes);
        else if (m_records->fieldQuoted(k) && storesEmptyString(type))
            out = db::Value(QString());
        else
            out = db::Value();
        return true;
    }
    bool endsWithSeparator() const override { return m_records->endsWithSeparator(); }
    qint64 recordLine() const override { return m_records->recordLine(); }
    qint64 unclosedQuoteLine() const override { return m_records->unclosedQuoteLine(); }

private:
    QString m_path;
    QFile m_file;
    std::unique_ptr<TextDecoder> m_decoder;
    std::unique_ptr<LineReader> m_lines;
    std::unique_ptr<RecordReader> m_records;
};

class SheetSource : public RecordSource {
public:
    explicit SheetSource(std::unique_ptr<WorkbookReader> workbook)
        : m_workbook(std::move(workbook)) {}

    Status next(db::Error& error) override {
        switch (m_workbook->nextRow(m_row, m_cells, error)) {
        case WorkbookReader::Row:
            return Record;
        case WorkbookReader::End:
            return End;
        case WorkbookReader::Failed:
            break;
        }
        return ReadFailed;
    }
    int fieldCount() const override { return int(m_cells.size()); }
    bool value(int k, int type, db::Value& out, QString& refusal) override {
        SheetCell& cell = m_cells[size_t(k)];
        if (cell.kind == SheetCell::Error) {
            refusal = QString::fromStdString(cell.text);
            return false;
        }
        if (cell.kind == SheetCell::Text && !cell.text.empty())
            out = db::Value::fromUtf8(cell.text);
        else if (storesEmptyString(type))
            out = db::Value(QString());
        else
            out = db::Value();
        return true;
    }
    qint64 recordLine() const override { return m_row; }

private:
    std::unique_ptr<WorkbookReader> m_workbook;
    std::vector<SheetCell> m_cells;
    qint64 m_row = 0;
};
} // namespace

std::unique_ptr<RecordSource> openDelimitedSource(const QString& path, const QString& separator,
                                                  db::Error& error) {
    auto source = std::make_unique<DelimitedSource>();
    if (!source->open(path, separator, error)) return nullptr;
    return source;
}

std::unique_ptr<RecordSource> sheetSource(std::unique_ptr<WorkbookReader> workbook) {
    return std::make_unique<SheetSource>(std::move(workbook));
}

std::unique_ptr<RecordSource>
openImportSource(const QString& path, const QString& separator,
                 const std::function<int(const QStringList& sheets)>& chooseSheet, db::Error& error,
                 bool& cancelled) {
    cancelled = false;
    if (!isWorkbookPath(path)) return openDelimitedSource(path, separator, error);
    std::unique_ptr<WorkbookReader> workbook = openWorkbook(path, error);
    if (!workbook) return nullptr;
    const QStringList sheets = workbook->sheetNames();
    int sheet = 0;
    if (sheets.size() > 1 && chooseSheet) {
        sheet = chooseSheet(sheets);
        if (sheet < 0) {
            cancelled = true;
            return nullptr;
        }
    }
    if (!workbook->selectSheet(sheet, error)) return nullptr;
    return sheetSource(std::move(workbook));
}

#include "SheetValues.h"
#include "TransferErrors.h"
#include "WorkbookReader.h"
#include "XmlScanner.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QXmlStreamReader>
#include <algorithm>
#include <charconv>
#include <string>
#include <zip.h>

namespace {
using sheet_value::DateParts;

struct ZipDiscard {
    void operator()(zip_t* zip) const { zip_discard(zip); }
};

// An entry of the archive, inflated as the XML reader asks for more; it reads it like a file.
class ZipEntry : public QIODevice {
public:
    explicit ZipEntry(zip_file_t* file) : m_file(file) {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    ~ZipEntry() override {
        close();
        zip_fclose(m_file);
    }
    bool isSequential() const override { return true; }
    // The scanner's source: the inflated bytes as they come.
    qint64 readRaw(char* data, qint64 maxSize) { return readData(data, maxSize); }
    bool failed() const { return m_failed; }
    QString failure() const { return QString::fromUtf8(zip_file_strerror(m_file)); }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const zip_int64_t n = zip_fread(m_file, data, zip_uint64_t(maxSize));
        if (n < 0) m_failed = true;
        return n < 0 ? -1 : n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    zip_file_t* m_file;
    bool m_failed = false;
};

// "_x000D_" and its kind stand for characters a workbook's XML cannot hold.
std::string unescapedUtf8(std::string text) {
    if (text.find("_x") == std::string::npos) return text;
    return sheet_value::unescaped(QString::fromStdString(text)).toStdString();
}

// The text of the string item (si, is) whose start the scanner read last: its t elements and
// those of its runs; phonetic readings (rPh) are no part of the value.
bool readStringItem(XmlScanner& xml, std::string& text) {
    text.clear();
    std::string piece;
    for (int depth = 0;;) {
        switch (xml.next()) {
        case XmlScanner::Start:
            if (xml.name() == "t") {
                if (!xml.readText(piece)) return false;
                text += piece;
            } else if (xml.name() == "r") {
                ++depth;
            } else if (!xml.skipElement()) {
                return false;
            }
            break;
        case XmlScanner::End:
            if (depth-- == 0) {
                text = unescapedUtf8(std::move(text));
                return true;
            }
            break;
        case XmlScanner::Text:
            break;
        case XmlScanner::Done:
        case XmlScanner::Failed:
            return false;
        }
    }
}

// "AB12" to 27; -1 when the reference starts with no column letters.
int columnOf(std::string_view reference) {
    int column = 0;
    size_t i = 0;
    for (; i < reference.size() && i < 3; ++i) {
        const char c = reference[i];
        if (c < 'A' || c > 'Z') break;
        column = column * 26 + (c - 'A' + 1);
    }
    return i == 0 ? -1 : column - 1;
}

int numberOf(std::string_view text, int otherwise) {
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    return ec == std::errc() && end == text.data() + text.size() ? n : otherwise;
}

QString partFolder(const QString& part) {
    const qsizetype slash = part.lastIndexOf(u'/');
    return slash < 0 ? QString() : part.left(slash + 1);
}

QString resolvePart(const QString& folder, QStringView target) {
    if (target.startsWith(u'/')) return target.mid(1).toString();
    return QDir::cleanPath(folder + target.toString());
}

// The local name of an attribute in any namespace (r:id is in one of two, by the file's
// dialect).
QStringView attributeNamed(const QXmlStreamAttributes& attributes, QStringView name) {
    for (const QXmlStreamAttribute& a : attributes)
        if (a.name() == name && !a.namespaceUri().isEmpty()) return a.value();
    return {};
}

class XlsxReader : public WorkbookReader {
public:
    explicit XlsxReader(QString path) : m_path(std::move(path)) {}

    bool load(db::Error& error);

    QStringList sheetNames() const override {
        QStringList names;
        for (const Sheet& s : m_sheets)
            names << s.name;
        return names;
    }
    bool selectSheet(int index, db::Error& error) override;
    Status nextRow(qint64& rowNumber, std::vector<SheetCell>& cells, db::Error& error) override;

private:
    struct Sheet {
        QString name;
        QString part;
    };

    // The entry of that name inflated as it is read; null when there is none (missing set
    // then) or it cannot be read (error set).
    std::unique_ptr<ZipEntry> openEntry(const QString& name, db::Error& error, bool& missing);
    // Reads a whole part with the handler for each start element; a part that is not there
    // is read as empty when optional.
    template <typename OnElement>
    bool readPart(const QString& name, bool optional, db::Error& error, OnElement onElement);
    // Relationship ids to their parts, of the part whose relationships are read.
    bool readRelationships(const QString& part, std::vector<std::pair<QString, QString>>& rels,
                           std::vector<std::pair<QString, QString>>* types, db::Error& error);
    bool readCell(std::vector<SheetCell>& cells, int& nextColumn);
    SheetCell cellOf(std::string_view type, int style, const std::string& value, bool hasValue,
                     std::string& inlineText, bool hasInline) const;
    // Reads a part through the scanner, with the handler at each start tag.
    template <typename OnStart>
    bool scanPart(const QString& name, db::Error& error, OnStart onStart);
    db::Error badFile(const QString& detail) const {
        return transfer_error::badWorkbook(m_path, detail);
    }
    db::Error scanFailure(const QString& part, const XmlScanner& xml) const {
        return badFile(part + QStringLiteral(": ") + xml.failure());
    }
    db::Error xmlFailure(const QString& part, const QXmlStreamReader& xml) const {
        return badFile(QStringLiteral("%1 (%2:%3): %4")
                           .arg(part)
                           .arg(xml.lineNumber())
                           .arg(xml.columnNumber())
                           .arg(xml.errorString()));
    }

    QString m_path;
    std::unique_ptr<zip_t, ZipDiscard> m_zip;
    std::vector<Sheet> m_sheets;
    sheet_value::DateSystem m_system = sheet_value::DateSystem::From1900;
    std::vector<DateParts> m_styleDates;
    // The shared strings in UTF-8, one after another; m_stringStart[i] is where string i
    // begins, and one more entry marks the end of the last.
    std::string m_strings;
    std::vector<size_t> m_stringStart;
    QString m_sheetPart;
    std::unique_ptr<ZipEntry> m_entry;
    std::unique_ptr<XmlScanner> m_xml;
    std::string m_value;
    std::string m_inline;
    std::string m_attribute;
    qint64 m_lastRow = 0;
    bool m_inRow = false;
    bool m_done = false;
};

std::unique_ptr<ZipEntry> XlsxReader::openEntry(const QString& name, db::Error& error,
                                                bool& missing) {
    missing = false;
    zip_file_t* file = zip_fopen(m_zip.get(), name.toUtf8().constData(), 0);
    if (file) return std::make_unique<ZipEntry>(file);
    zip_error_t* zipError = zip_get_error(m_zip.get());
    missing = zip_error_code_zip(zipError) == ZIP_ER_NOENT;
    if (!missing)
        error = transfer_error::fileAccess(
            m_path,
            QStringLiteral("%1: %2").arg(name, QString::fromUtf8(zip_error_strerror(zipError))));
    zip_error_clear(m_zip.get());
    return nullptr;
}

template <typename OnElement>
bool XlsxReader::readPart(const QString& name, bool optional, db::Error& error,
                          OnElement onElement) {
    bool missing = false;
    const std::unique_ptr<ZipEntry> entry = openEntry(name, error, missing);
    if (!entry) {
        if (missing && optional) return true;
        if (missing) error = badFile(QStringLiteral("%1 がありません").arg(name));
        return false;
    }
    QXmlStreamReader xml(entry.get());
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement) onElement(xml);
    if (entry->failed()) {
        error = transfer_error::fileAccess(m_path, name + QStringLiteral(": ") + entry->failure());
        return false;
    }
    if (xml.hasError()) {
        error = xmlFailure(name, xml);
        return false;
    }
    return true;
}

bool XlsxReader::readRelationships(const QString& part,
                                   std::vector<std::pair<QString, QString>>& rels,
                                   std::vector<std::pair<QString, QString>>* types,
                                   db::Error& error) {
    const QString folder = partFolder(part);
    const QString name =
        folder + QStringLiteral("_rels/") + part.mid(folder.size()) + QStringLiteral(".rels");
    return readPart(name, true, error, [&](QXmlStreamReader& xml) {
        if (xml.name() != u"Relationship") return;
        const QXmlStreamAttributes a = xml.attributes();
        const QString target = resolvePart(folder, a.value(QLatin1String("Target")));
        rels.emplace_back(a.value(QLatin1String("Id")).toString(), target);
        if (types) types->emplace_back(a.value(QLatin1String("Type")).toString(), target);
    });
}

bool XlsxReader::load(db::Error& error) {
    int code = 0;
    zip_t* zip = zip_open(QFile::encodeName(m_path).constData(), ZIP_RDONLY, &code);
    if (!zip) {
        zip_error_t zipError;
        zip_error_init_with_code(&zipError, code);
        const QString reason = QString::fromUtf8(zip_error_strerror(&zipError));
        zip_error_fini(&zipError);
        error = code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS
                    ? badFile(reason)
                    : transfer_error::fileAccess(m_path, reason);
        return false;
    }
    m_zip.reset(zip);

    std::vector<std::pair<QString, QString>> rels;
    std::vector<std::pair<QString, QString>> types;
    if (!readRelationships(QStringLiteral(".rels"), rels, &types, error)) return false;
    QString workbookPart = QStringLiteral("xl/workbook.xml");
    for (const auto& [type, target] : types)
        if (type.endsWith(QLatin1String("/officeDocument"))) workbookPart = target;

    rels.clear();
    types.clear();
    if (!readRelationships(workbookPart, rels, &types, error)) return false;
    const auto partOf = [&](QStringView id) {
        for (const auto& [relId, target] : rels)
            if (relId == id) return target;
        return QString();
    };
    if (!readPart(workbookPart, false, error, [&](QXmlStreamReader& xml) {
            if (xml.name() == u"workbookPr") {
                const QStringView d1904 = xml.attributes().value(QLatin1String("date1904"));
                if (d1904 == u"1" || d1904 == u"true") m_system = sheet_value::DateSystem::From1904;
            } else if (xml.name() == u"sheet") {
                const QXmlStreamAttributes a = xml.attributes();
                m_sheets.push_back(
                    {a.value(QLatin1String("name")).toString(), partOf(attributeNamed(a, u"id"))});
            }
        }))
        return false;
    if (m_sheets.empty()) {
        error = badFile(QStringLiteral("シートがありません"));
        return false;
    }

    QString stylesPart;
    QString stringsPart;
    for (const auto& [type, target] : types) {
        if (type.endsWith(QLatin1String("/styles"))) stylesPart = target;
        if (type.endsWith(QLatin1String("/sharedStrings"))) stringsPart = target;
    }
    std::vector<std::pair<int, QString>> formats;
    bool inCellFormats = false;
    if (!stylesPart.isEmpty() && !readPart(stylesPart, true, error, [&](QXmlStreamReader& xml) {
            const QStringView name = xml.name();
            if (name == u"numFmt") {
                const QXmlStreamAttributes a = xml.attributes();
                formats.emplace_back(a.value(QLatin1String("numFmtId")).toInt(),
                                     a.value(QLatin1String("formatCode")).toString());
            } else if (name == u"cellStyleXfs" || name == u"cellStyles" || name == u"dxfs") {
                inCellFormats = false;
            } else if (name == u"cellXfs") {
                inCellFormats = true;
            } else if (name == u"xf" && inCellFormats) {
                const int id = xml.attributes().value(QLatin1String("numFmtId")).toInt();
                QString code;
                for (const auto& [formatId, formatCode] : formats)
                    if (formatId == id) code = formatCode;
                m_styleDates.push_back(sheet_value::formatDateParts(id, code));
            }
        }))
        return false;

    std::string text;
    if (!stringsPart.isEmpty() && !scanPart(stringsPart, error, [&](XmlScanner& xml) {
            if (xml.name() != "si") return true;
            if (!readStringItem(xml, text)) return false;
            m_stringStart.push_back(m_strings.size());
            m_strings += text;
            return true;
        }))
        return false;
    m_stringStart.push_back(m_strings.size());
    return true;
}

template <typename OnStart>
bool XlsxReader::scanPart(const QString& name, db::Error& error, OnStart onStart) {
    bool missing = false;
    const std::unique_ptr<ZipEntry> entry = openEntry(name, error, missing);
    if (!entry) return missing;
    XmlScanner xml([&](char* data, qint64 max) { return entry->readRaw(data, max); });
    for (;;) {
        const XmlScanner::Token token = xml.next();
        if (token == XmlScanner::Done) return true;
        if (token == XmlScanner::Start && onStart(xml)) continue;
        if (token == XmlScanner::Failed || token == XmlScanner::Start) break;
    }
    error = entry->failed()
                ? transfer_error::fileAccess(m_path, name + QStringLiteral(": ") + entry->failure())
                : scanFailure(name, xml);
    return false;
}

bool XlsxReader::selectSheet(int index, db::Error& error) {
    if (index < 0 || size_t(index) >= m_sheets.size()) {
        error = badFile(QStringLiteral("シート %1 がありません").arg(index + 1));
        return false;
    }
    m_sheetPart = m_sheets[size_t(index)].part;
    bool missing = false;
    m_xml.reset();
    m_entry = openEntry(m_sheetPart, error, missing);
    if (!m_entry) {
        if (missing) error = badFile(QStringLiteral("%1 がありません").arg(m_sheetPart));
        return false;
    }
    m_xml = std::make_unique<XmlScanner>(
        [entry = m_entry.get()](char* data, qint64 max) { return entry->readRaw(data, max); });
    m_lastRow = 0;
    m_inRow = false;
    m_done = false;
    return true;
}

SheetCell XlsxReader::cellOf(std::string_view type, int style, const std::string& value,
                             bool hasValue, std::string& inlineText, bool hasInline) const {
    if (type == "inlineStr")
        return hasInline ? SheetCell{SheetCell::Text, std::move(inlineText)} : SheetCell{};
    if (!hasValue) return {};
    if (type == "s") {
        const int index = numberOf(value, -1);
        if (index < 0 || size_t(index) + 1 >= m_stringStart.size())
            return {SheetCell::Error, "#REF!"};
        const size_t begin = m_stringStart[size_t(index)];
        return {SheetCell::Text, m_strings.substr(begin, m_stringStart[size_t(index) + 1] - begin)};
    }
    if (type == "str") {
        if (value.find("_x") == std::string::npos) return {SheetCell::Text, value};
        return {SheetCell::Text,
                sheet_value::unescaped(QString::fromStdString(value)).toStdString()};
    }
    if (type == "b") return {SheetCell::Text, value == "1" || value == "true" ? "True" : "False"};
    if (type == "e") return {SheetCell::Error, value};
    if (type == "d") {
        std::string date = value;
        std::replace(date.begin(), date.end(), 'T', ' ');
        return {SheetCell::Text, date};
    }
    const DateParts parts = style >= 0 && size_t(style) < m_styleDates.size()
                                ? m_styleDates[size_t(style)]
                                : DateParts::None;
    if (parts != DateParts::None) {
        if (std::optional<QString> date = sheet_value::serialDateText(value, m_system, parts))
            return {SheetCell::Text, date->toStdString()};
        return {SheetCell::Error, value};
    }
    std::string number = sheet_value::numberDigits(value);
    if (number.empty()) return {SheetCell::Error, value};
    return {SheetCell::Text, std::move(number)};
}

bool XlsxReader::readCell(std::vector<SheetCell>& cells, int& nextColumn) {
    XmlScanner& xml = *m_xml;
    const int referenced = xml.attribute("r", m_attribute) ? columnOf(m_attribute) : -1;
    const int column = referenced >= 0 ? referenced : nextColumn;
    nextColumn = column + 1;
    const int style = xml.attribute("s", m_attribute) ? numberOf(m_attribute, 0) : 0;
    std::string type;
    xml.attribute("t", type);
    bool hasValue = false;
    bool hasInline = false;
    for (bool inCell = true; inCell;) {
        switch (xml.next()) {
        case XmlScanner::Start:
            if (xml.name() == "v") {
                if (!xml.readText(m_value)) return false;
                hasValue = true;
            } else if (xml.name() == "is") {
                if (!readStringItem(xml, m_inline)) return false;
                hasInline = true;
            } else if (!xml.skipElement()) {
                return false;
            }
            break;
        case XmlScanner::End:
            inCell = false;
            break;
        case XmlScanner::Text:
            break;
        case XmlScanner::Done:
        case XmlScanner::Failed:
            return false;
        }
    }
    SheetCell cell = cellOf(type, style, m_value, hasValue, m_inline, hasInline);
    if (cell.kind == SheetCell::Empty) return true;
    if (size_t(column) >= cells.size()) cells.resize(size_t(column) + 1);
    cells[size_t(column)] = std::move(cell);
    return true;
}

WorkbookReader::Status XlsxReader::nextRow(qint64& rowNumber, std::vector<SheetCell>& cells,
                                           db::Error& error) {
    if (!m_xml || m_done) return End;
    int nextColumn = 0;
    for (;;) {
        const XmlScanner::Token token = m_xml->next();
        if (token == XmlScanner::Start) {
            const std::string_view name = m_xml->name();
            if (name == "row") {
                const int number =
                    m_xml->attribute("r", m_attribute) ? numberOf(m_attribute, 0) : 0;
                rowNumber = number > 0 ? number : m_lastRow + 1;
                cells.clear();
                nextColumn = 0;
                m_inRow = true;
            } else if (name == "c" && m_inRow) {
                if (!readCell(cells, nextColumn)) break;
            }
        } else if (token == XmlScanner::End) {
            const std::string_view name = m_xml->name();
            if (name == "row") {
                m_inRow = false;
                m_lastRow = rowNumber;
                if (!cells.empty()) return Row;
            } else if (name == "sheetData") {
                // What follows (merged cells, page setup) holds no values.
                m_done = true;
                return End;
            }
        } else if (token == XmlScanner::Done) {
            m_done = true;
            return End;
        } else if (token == XmlScanner::Failed) {
            break;
        }
    }
    error = m_entry->failed() ? transfer_error::fileAccess(
                                    m_path, m_sheetPart + QStringLiteral(": ") + m_entry->failure())
                              : scanFailure(m_sheetPart, *m_xml);
    return Failed;
}
} // namespace

std::unique_ptr<WorkbookReader> openXlsx(const QString& path, db::Error& error) {
    auto reader = std::make_unique<XlsxReader>(path);
    if (!reader->load(error)) return nullptr;
    return reader;
}

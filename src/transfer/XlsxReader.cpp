#include "SheetValues.h"
#include "TransferErrors.h"
#include "WorkbookReader.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QXmlStreamReader>
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

// The text of the string item (si, is) the reader stands at: its t elements and those of its
// runs; phonetic readings (rPh) are no part of the value.
QString readStringItem(QXmlStreamReader& xml) {
    QString text;
    int depth = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == u"t")
                text += xml.readElementText();
            else if (xml.name() == u"r")
                ++depth;
            else
                xml.skipCurrentElement();
        } else if (token == QXmlStreamReader::EndElement) {
            if (depth-- == 0) break;
        }
    }
    return sheet_value::unescaped(std::move(text));
}

// "AB12" to 27; -1 when the reference starts with no column letters.
int columnOf(QStringView reference) {
    int column = 0;
    qsizetype i = 0;
    for (; i < reference.size() && i < 3; ++i) {
        const char16_t c = reference[i].unicode();
        if (c < 'A' || c > 'Z') break;
        column = column * 26 + (c - 'A' + 1);
    }
    return i == 0 ? -1 : column - 1;
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
    bool readCell(std::vector<SheetCell>& cells, int& nextColumn, db::Error& error);
    SheetCell cellOf(QStringView type, int style, const QString& value, bool hasValue,
                     const QString& inlineText, bool hasInline) const;
    db::Error badFile(const QString& detail) const {
        return transfer_error::badWorkbook(m_path, detail);
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
    // The shared strings, one after another; m_stringStart[i] is where string i begins, and
    // one more entry marks the end of the last.
    std::u16string m_strings;
    std::vector<quint32> m_stringStart;
    QString m_sheetPart;
    std::unique_ptr<ZipEntry> m_entry;
    QXmlStreamReader m_xml;
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

    if (!stringsPart.isEmpty() && !readPart(stringsPart, true, error, [&](QXmlStreamReader& xml) {
            if (xml.name() != u"si") return;
            const QString text = readStringItem(xml);
            m_stringStart.push_back(quint32(m_strings.size()));
            m_strings.append(reinterpret_cast<const char16_t*>(text.constData()),
                             size_t(text.size()));
        }))
        return false;
    if (m_strings.size() > 0xFFFFFFFFu) {
        error = badFile(QStringLiteral("共有文字列が大きすぎます"));
        return false;
    }
    m_stringStart.push_back(quint32(m_strings.size()));
    return true;
}

bool XlsxReader::selectSheet(int index, db::Error& error) {
    if (index < 0 || size_t(index) >= m_sheets.size()) {
        error = badFile(QStringLiteral("シート %1 がありません").arg(index + 1));
        return false;
    }
    m_sheetPart = m_sheets[size_t(index)].part;
    bool missing = false;
    m_xml.clear();
    m_entry = openEntry(m_sheetPart, error, missing);
    if (!m_entry) {
        if (missing) error = badFile(QStringLiteral("%1 がありません").arg(m_sheetPart));
        return false;
    }
    m_xml.setDevice(m_entry.get());
    m_lastRow = 0;
    m_inRow = false;
    m_done = false;
    return true;
}

SheetCell XlsxReader::cellOf(QStringView type, int style, const QString& value, bool hasValue,
                             const QString& inlineText, bool hasInline) const {
    if (type == u"inlineStr")
        return hasInline ? SheetCell{SheetCell::Text, inlineText} : SheetCell{};
    if (!hasValue) return {};
    if (type == u"s") {
        bool ok = false;
        const uint index = value.toUInt(&ok);
        if (!ok || size_t(index) + 1 >= m_stringStart.size())
            return {SheetCell::Error, QStringLiteral("#REF!")};
        const quint32 begin = m_stringStart[index];
        return {SheetCell::Text, QString(reinterpret_cast<const QChar*>(m_strings.data() + begin),
                                         qsizetype(m_stringStart[index + 1] - begin))};
    }
    if (type == u"str") return {SheetCell::Text, sheet_value::unescaped(value)};
    if (type == u"b")
        return {SheetCell::Text, value == u"1" || value == u"true" ? QStringLiteral("True")
                                                                   : QStringLiteral("False")};
    if (type == u"e") return {SheetCell::Error, value};
    if (type == u"d") return {SheetCell::Text, QString(value).replace(u'T', u' ')};
    const std::string stored = value.toStdString();
    const DateParts parts = style >= 0 && size_t(style) < m_styleDates.size()
                                ? m_styleDates[size_t(style)]
                                : DateParts::None;
    if (parts != DateParts::None) {
        if (std::optional<QString> date = sheet_value::serialDateText(stored, m_system, parts))
            return {SheetCell::Text, *date};
        return {SheetCell::Error, value};
    }
    QString number = sheet_value::numberText(stored);
    if (number.isEmpty()) return {SheetCell::Error, value};
    return {SheetCell::Text, number};
}

bool XlsxReader::readCell(std::vector<SheetCell>& cells, int& nextColumn, db::Error& error) {
    const QXmlStreamAttributes a = m_xml.attributes();
    const int referenced = columnOf(a.value(QLatin1String("r")));
    const int column = referenced >= 0 ? referenced : nextColumn;
    nextColumn = column + 1;
    const QStringView styleText = a.value(QLatin1String("s"));
    const int style = styleText.isEmpty() ? 0 : styleText.toInt();
    const QString type = a.value(QLatin1String("t")).toString();
    QString value;
    QString inlineText;
    bool hasValue = false;
    bool hasInline = false;
    while (!m_xml.atEnd()) {
        const QXmlStreamReader::TokenType token = m_xml.readNext();
        if (token == QXmlStreamReader::EndElement) break;
        if (token != QXmlStreamReader::StartElement) continue;
        if (m_xml.name() == u"v") {
            value = m_xml.readElementText();
            hasValue = true;
        } else if (m_xml.name() == u"is") {
            inlineText = readStringItem(m_xml);
            hasInline = true;
        } else {
            m_xml.skipCurrentElement();
        }
    }
    if (m_xml.hasError()) {
        error = xmlFailure(m_sheetPart, m_xml);
        return false;
    }
    SheetCell cell = cellOf(type, style, value, hasValue, inlineText, hasInline);
    if (cell.kind == SheetCell::Empty) return true;
    if (size_t(column) >= cells.size()) cells.resize(size_t(column) + 1);
    cells[size_t(column)] = std::move(cell);
    return true;
}

WorkbookReader::Status XlsxReader::nextRow(qint64& rowNumber, std::vector<SheetCell>& cells,
                                           db::Error& error) {
    if (!m_entry || m_done) return End;
    int nextColumn = 0;
    while (!m_xml.atEnd()) {
        const QXmlStreamReader::TokenType token = m_xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = m_xml.name();
            if (name == u"row") {
                const QStringView r = m_xml.attributes().value(QLatin1String("r"));
                bool ok = false;
                const qint64 number = r.toLongLong(&ok);
                rowNumber = ok && number > 0 ? number : m_lastRow + 1;
                cells.clear();
                nextColumn = 0;
                m_inRow = true;
            } else if (name == u"c" && m_inRow) {
                if (!readCell(cells, nextColumn, error)) return Failed;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            const QStringView name = m_xml.name();
            if (name == u"row") {
                m_inRow = false;
                m_lastRow = rowNumber;
                if (!cells.empty()) return Row;
            } else if (name == u"sheetData") {
                // What follows (merged cells, page setup) holds no values.
                m_done = true;
                return End;
            }
        }
    }
    if (m_entry->failed()) {
        error = transfer_error::fileAccess(m_path,
                                           m_sheetPart + QStringLiteral(": ") + m_entry->failure());
        return Failed;
    }
    if (m_xml.hasError()) {
        error = xmlFailure(m_sheetPart, m_xml);
        return Failed;
    }
    m_done = true;
    return End;
}
} // namespace

std::unique_ptr<WorkbookReader> openXlsx(const QString& path, db::Error& error) {
    auto reader = std::make_unique<XlsxReader>(path);
    if (!reader->load(error)) return nullptr;
    return reader;
}

#include "BatchLine.h"

#include "BatchTexts.h"
#include "common/BlankText.h"
#include "db/SqlText.h"

QStringView BatchLineReader::next() {
    if (m_done) return {};
    const qsizetype end = m_text.indexOf(QLatin1String("\r\n"), m_pos);
    if (end < 0) {
        m_done = true;
        return m_text.mid(m_pos);
    }
    const QStringView line = m_text.mid(m_pos, end - m_pos);
    m_pos = end + 2;
    return line;
}

bool IsInvalidFileName(QStringView fileName) {
    return fileName.endsWith(QLatin1Char('/')) || fileName.endsWith(QLatin1Char('\\')) ||
           fileName.endsWith(QLatin1Char(':'));
}

namespace {
// The comma that ends the table name: the first one outside the quotes of a quoted name
// ("a,b", [a,b], `a,b`), so that such a name reaches its table; the first comma of all when
// there is none outside (a quote left open, or quotes in the file name).
qsizetype separatorComma(QStringView line) {
    QChar close;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (!close.isNull()) {
            if (c == close) close = QChar();
        } else if (c == QLatin1Char('"') || c == QLatin1Char('`')) {
            close = c;
        } else if (c == QLatin1Char('[')) {
            close = QLatin1Char(']');
        } else if (c == QLatin1Char(',')) {
            return i;
        }
    }
    return line.indexOf(QLatin1Char(','));
}
} // namespace

BatchLine ParseBatchLine(QStringView text) {
    BatchLine result;
    const QStringView line = trimBlanks(text);
    if (line.isEmpty()) return result;
    result.line = line.toString();
    const qsizetype comma = separatorComma(line);
    if (comma < 0) {
        result.check = BatchLineCheck::Malformed;
        return result;
    }
    result.tableName = trimBlanks(line.left(comma)).toString();
    result.fileName = trimBlanks(line.mid(comma + 1)).toString();
    if (result.tableName.isEmpty())
        result.check = BatchLineCheck::NoTableName;
    else if (result.fileName.isEmpty())
        result.check = BatchLineCheck::NoFileName;
    else if (IsInvalidFileName(result.fileName))
        result.check = BatchLineCheck::BadFileName;
    else if (!db::splitTableName(result.tableName))
        result.check = BatchLineCheck::BadTableName;
    else
        result.check = BatchLineCheck::Ok;
    return result;
}

QString BatchLineDetail(BatchLineCheck check) {
    switch (check) {
    case BatchLineCheck::Malformed:
        return batchtext::kMalformed;
    case BatchLineCheck::NoTableName:
        return batchtext::kNoTableName;
    case BatchLineCheck::NoFileName:
        return batchtext::kNoFileName;
    case BatchLineCheck::BadFileName:
        return batchtext::kBadFileName;
    case BatchLineCheck::BadTableName:
        return batchtext::kBadTableName;
    case BatchLineCheck::Empty:
    case BatchLineCheck::Ok:
        break;
    }
    return QString();
}

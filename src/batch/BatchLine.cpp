#include "BatchLine.h"

#include "BatchTexts.h"
#include "BlankText.h"
#include "SqlText.h"

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

BatchLine ParseBatchLine(QStringView text) {
    BatchLine result;
    const QStringView line = trimBlanks(text);
    if (line.isEmpty()) return result;
    result.line = line.toString();
    const qsizetype comma = line.indexOf(QLatin1Char(','));
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

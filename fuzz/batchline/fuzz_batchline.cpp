// The command text of the batch window: cut into lines, each line checked and split into
// table and file name.
#include "FuzzFile.h"
#include "batch/BatchLine.h"
#include "common/BlankText.h"
#include "db/StatementText.h"
#include "transfer/TargetQuery.h"

#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The box holds any UTF-16, lone surrogates included: odd first bytes take the rest raw.
    QString text;
    if (data[0] & 1)
        text = QString(reinterpret_cast<const QChar*>(data + 1), qsizetype((size - 1) / 2));
    else
        text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    BatchLineReader reader(text);
    QStringList lines;
    while (!reader.atEnd()) {
        const QStringView line = reader.next();
        FUZZ_CHECK(!line.contains(QLatin1String("\r\n")));
        lines << line.toString();
        // Any text, read as a statement, ends: the query box asks the same of what is typed.
        (void)db::isSingleStatement(line);
        (void)db::readsOnly(line);

        const BatchLine parsed = ParseBatchLine(line);
        FUZZ_CHECK(parsed.line == trimBlanks(line));
        const bool failed =
            parsed.check != BatchLineCheck::Ok && parsed.check != BatchLineCheck::Empty;
        FUZZ_CHECK(BatchLineDetail(parsed.check).isEmpty() == !failed);
        switch (parsed.check) {
        case BatchLineCheck::Empty:
            FUZZ_CHECK(parsed.line.isEmpty());
            break;
        case BatchLineCheck::Malformed:
            FUZZ_CHECK(!parsed.line.contains(QLatin1Char(',')));
            break;
        case BatchLineCheck::Ok:
            FUZZ_CHECK(!parsed.tableName.isEmpty() && !parsed.fileName.isEmpty());
            // No comma of the name separates: written before another file, it stays whole.
            FUZZ_CHECK(ParseBatchLine(parsed.tableName + QStringLiteral(", f")).tableName ==
                       parsed.tableName);
            FUZZ_CHECK(!IsInvalidFileName(parsed.fileName));
            FUZZ_CHECK(trimBlanks(parsed.tableName) == parsed.tableName);
            FUZZ_CHECK(trimBlanks(parsed.fileName) == parsed.fileName);
            // A name that passes never carries a second statement into the one it goes in.
            for (const QString quote : {QStringLiteral("\""), QStringLiteral("`"), QString()}) {
                const std::optional<QString> sql = tableSourceQuery(parsed.tableName, quote);
                FUZZ_CHECK(!sql || db::isSingleStatement(*sql));
            }
            break;
        default:
            break;
        }
    }
    // Nothing of the text is lost or added between the lines.
    FUZZ_CHECK(lines.join(QLatin1String("\r\n")) == text);
    return 0;
}

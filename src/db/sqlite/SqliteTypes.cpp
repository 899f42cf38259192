#include "SqliteTypes.h"

#include "db/AdoType.h"

#include <QRegularExpression>

namespace db {

namespace {
struct Declared {
    QString name; // upper case, without the size part
    int first = -1;
    int second = -1;
};

Declared splitDeclared(const QString& decl) {
    Declared d;
    static const QRegularExpression re(QStringLiteral(
        R"(^\s*([A-Za-z_][A-Za-z_0-9 ]*?)\s*(?:\(\s*(\d+)\s*(?:,\s*(\d+)\s*)?\))?\s*$)"));
    const auto m = re.match(decl);
    if (!m.hasMatch()) {
        d.name = decl.trimmed().toUpper();
        return d;
    }
    d.name = m.captured(1).toUpper();
    if (m.capturedLength(2)) d.first = m.captured(2).toInt();
    if (m.capturedLength(3)) d.second = m.captured(3).toInt();
    return d;
}

void setInt(ColumnInfo& c, int type, qint64 size, int precision) {
    c.type = type;
    c.definedSize = size;
    c.precision = precision;
    c.storage = Storage::Int;
}

void setText(ColumnInfo& c, int type, qint64 size) {
    c.type = type;
    c.definedSize = size;
    c.storage = Storage::Text;
}
} // namespace

void describeSqliteColumn(const QString& declaredType, ColumnInfo& c) {
    const Declared d = splitDeclared(declaredType);
    const QString& n = d.name;
    const qint64 size = d.first > 0 ? d.first : kLongDefinedSize;
    c.precision = 255;
    c.scale = 255;
    c.intForm = IntForm::Number;
    c.decimalText = false;

    if (n.isEmpty()) {
        c.type = adVariant;
        c.definedSize = 16;
        c.storage = Storage::Text;
        return;
    }
    if (n == QLatin1String("INTEGER") || n == QLatin1String("INT") ||
        n == QLatin1String("MEDIUMINT"))
        return setInt(c, adInteger, 4, 10);
    if (n == QLatin1String("SMALLINT")) return setInt(c, adSmallInt, 2, 5);
    if (n == QLatin1String("TINYINT")) return setInt(c, adUnsignedTinyInt, 1, 3);
    if (n == QLatin1String("BIGINT") || n == QLatin1String("INT8"))
        return setInt(c, adBigInt, 8, 19);
    if (n == QLatin1String("BOOLEAN") || n == QLatin1String("BOOL") || n == QLatin1String("BIT")) {
        setInt(c, adBoolean, 2, 255);
        c.intForm = IntForm::Bool;
        return;
    }
    if (n == QLatin1String("REAL") || n == QLatin1String("DOUBLE") ||
        n == QLatin1String("DOUBLE PRECISION") || n == QLatin1String("FLOAT")) {
        c.type = adDouble;
        c.definedSize = 8;
        c.precision = 15;
        c.storage = Storage::Real;
        return;
    }
    if (n == QLatin1String("NUMERIC") || n == QLatin1String("DECIMAL") ||
        n == QLatin1String("MONEY")) {
        c.type = adNumeric;
        c.definedSize = 19;
        c.precision = d.first > 0 ? d.first : 18;
        c.scale = d.second >= 0 ? d.second : 0;
        c.storage = Storage::Real; // NUMERIC affinity stores integers and doubles
        return;
    }
    if (n == QLatin1String("DATE")) return setText(c, adDBDate, 6);
    if (n == QLatin1String("TIME")) return setText(c, adDBTime, 6);
    if (n == QLatin1String("DATETIME") || n == QLatin1String("TIMESTAMP"))
        return setText(c, adDBTimeStamp, 16);
    if (n == QLatin1String("VARCHAR") || n == QLatin1String("CHARACTER VARYING"))
        return setText(c, d.first > 0 ? adVarChar : adLongVarChar, size);
    if (n == QLatin1String("NVARCHAR") || n == QLatin1String("NATIONAL CHARACTER VARYING"))
        return setText(c, d.first > 0 ? adVarWChar : adLongVarWChar, size);
    if (n == QLatin1String("CHAR") || n == QLatin1String("CHARACTER"))
        return setText(c, adChar, d.first > 0 ? d.first : 1);
    if (n == QLatin1String("NCHAR")) return setText(c, adWChar, d.first > 0 ? d.first : 1);
    if (n == QLatin1String("TEXT") || n == QLatin1String("CLOB") || n == QLatin1String("NTEXT"))
        return setText(c, adLongVarWChar, kLongDefinedSize);
    if (n == QLatin1String("BLOB")) {
        c.type = adLongVarBinary;
        c.definedSize = kLongDefinedSize;
        c.storage = Storage::Blob;
        return;
    }
    if (n == QLatin1String("GUID") || n == QLatin1String("UUID")) return setText(c, adGUID, 16);

    // Any other name: SQLite's own affinity rules.
    if (n.contains(QLatin1String("INT"))) return setInt(c, adBigInt, 8, 19);
    if (n.contains(QLatin1String("CHAR")) || n.contains(QLatin1String("CLOB")) ||
        n.contains(QLatin1String("TEXT")))
        return setText(c, d.first > 0 ? adVarWChar : adLongVarWChar, size);
    if (n.contains(QLatin1String("BLOB"))) {
        c.type = adLongVarBinary;
        c.definedSize = kLongDefinedSize;
        c.storage = Storage::Blob;
        return;
    }
    if (n.contains(QLatin1String("REAL")) || n.contains(QLatin1String("FLOA")) ||
        n.contains(QLatin1String("DOUB"))) {
        c.type = adDouble;
        c.definedSize = 8;
        c.precision = 15;
        c.storage = Storage::Real;
        return;
    }
    c.type = adNumeric;
    c.definedSize = 19;
    c.precision = d.first > 0 ? d.first : 18;
    c.scale = d.second >= 0 ? d.second : 0;
    c.storage = Storage::Real;
}

} // namespace db

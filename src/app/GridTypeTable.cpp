#include "GridTypeTable.h"

namespace {
struct TypeRow {
    int type;
    const char* name;
    const char* tip;
};

const TypeRow kTypes[] = {
    {0, "Empty", "値は指定されていません (DBTYPE_EMPTY)"},
    {2, "SmallInt", "2 バイト符号付き整数 (DBTYPE_I2)"},
    {3, "Integer", "4 バイトの符号付き整数 (DBTYPE_I4)"},
    {4, "Single", "単精度浮動小数点型値 (DBTYPE_R4)"},
    {5, "Double", "倍精度浮動小数点型 (DBTYPE_R8)"},
    {6, "Currency", "通貨型 (DBTYPE_CY)"},
    {7, "Date", "日付型 (Date) (DBTYPE_DATE)"},
    {8, "BSTR", "Null 終了型の文字列 (Unicode) (DBTYPE_BSTR)"},
    {9, "IDispatch", "IDispatch インターフェイスへのポインタ (DBTYPE_IDISPATCH)"},
    {10, "Error", "32 ビット エラー コード (DBTYPE_ERROR)"},
    {11, "Boolean", "ブール型 (Boolean) (DBTYPE_BOOL)"},
    {12, "Variant", "オートメーション バリアント型 (Variant) (DBTYPE_VARIANT)"},
    {13, "IUnknown", "IUnknown インターフェイスへのポインタ (DBTYPE_IUNKNOWN)"},
    {14, "Decimal", "固定精度およびスケールの真数値 (DBTYPE_DECIMAL)"},
    {16, "TinyInt", "1 バイト符号付き整数 (DBTYPE_I1)"},
    {17, "UnsignedTinyInt", "1 バイト符号なし整数 (DBTYPE_UI1)"},
    {18, "UnsignedSmallInt", "2 バイト符号なし整数 (DBTYPE_UI2)"},
    {19, "UnsignedInt", "4 バイト符号なし整数 (DBTYPE_UI4)"},
    {20, "BigInt", "8 バイトの符号付き整数 (DBTYPE_I8)"},
    {21, "UnsignedBigInt", "8 バイト符号なし整数 (DBTYPE_UI8)"},
    {72, "GUID", "固有のグローバル識別子 (GUID) (DBTYPE_GUID)"},
    {128, "Binary", "バイナリ型 (DBTYPE_BYTES)"},
    {129, "Char", "文字列型 (String) (DBTYPE_STR)"},
    {130, "WChar", "Null 終了型の Unicode 文字列 (DBTYPE_WSTR)"},
    {131, "Numeric", "固定精度およびスケールの真数値 (DBTYPE_NUMERIC)"},
    {132, "UserDefined", "ユーザー定義の変数 (DBTYPE_UDT)"},
    {133, "DBDate", "日付型 (yyyymmdd) (DBTYPE_DBDATE)"},
    {134, "DBTime", "時刻型 (hhmmss) (DBTYPE_DBTIME)"},
    {135, "DBTimeStamp", "日付/時刻スタンプ (DBTYPE_DBTIMESTAMP)"},
    {200, "VarChar", "文字列型 (String)"},
    {201, "LongVarChar", "長文字列型 (String) "},
    {202, "VarWChar", "Null 終了型の Unicode 文字列"},
    {203, "LongVarWChar", "Null 終了型の長文字列型"},
    {204, "VarBinary", "バイナリ型"},
    {205, "LongVarBinary", "長バイナリ型"},
};

const TypeRow* find(int type) {
    for (const TypeRow& row : kTypes)
        if (row.type == type) return &row;
    return nullptr;
}
} // namespace

QString gridTypeText(int type, qint64 definedSize, int precision, int scale) {
    const TypeRow* row = find(type);
    if (!row) return QString();
    QString text = QString::fromUtf8(row->name);
    if (type == 129 || type == 130 || type == 200 || type == 202)
        text += QLatin1Char(' ') + QString::number(definedSize);
    if (type == 131)
        text += QLatin1Char(' ') + QString::number(precision) + QLatin1Char(',') +
                QString::number(scale);
    return text;
}

QString gridTypeTip(int type) {
    const TypeRow* row = find(type);
    return row ? QString::fromUtf8(row->tip) : QString();
}

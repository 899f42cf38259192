#include "XlsxReader.h"

#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace {
bool unzipMember(const QString& path, const QString& member, QByteArray& out, QString& error) {
    QProcess p;
    p.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, member});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        error = QStringLiteral("unzip %1 %2: %3")
                    .arg(path, member, QString::fromLocal8Bit(p.readAllStandardError()));
        return false;
    }
    out = p.readAllStandardOutput();
    return true;
}

QString attr(const QXmlStreamReader& x, const char* name) {
    return x.attributes().value(QLatin1String(name)).toString();
}

struct Look {
    QString fill, horizontal, left, right, top, bottom, numberFormat;
};

bool readStyles(const QByteArray& xml, QList<Look>& xfs) {
    QList<QString> fills;
    QList<std::array<QString, 4>> borders;
    QHash<int, QString> numberFormats;
    QXmlStreamReader x(xml);
    QString section;
    while (!x.atEnd()) {
        if (x.readNext() != QXmlStreamReader::StartElement) continue;
        const auto name = x.name();
        if (name == QLatin1String("fills") || name == QLatin1String("borders") ||
            name == QLatin1String("cellXfs") || name == QLatin1String("cellStyleXfs"))
            section = name.toString();
        if (section == QLatin1String("fills") && name == QLatin1String("fill")) fills << QString();
        if (section == QLatin1String("fills") && name == QLatin1String("fgColor") &&
            !fills.isEmpty())
            fills.back() = attr(x, "rgb").right(6);
        if (section == QLatin1String("borders") && name == QLatin1String("border"))
            borders << std::array<QString, 4>();
        if (section == QLatin1String("borders") && !borders.isEmpty()) {
            const QStringList sides = {"left", "right", "top", "bottom"};
            const qsizetype side = sides.indexOf(name.toString());
            if (side >= 0) borders.back()[size_t(side)] = attr(x, "style");
        }
        if (name == QLatin1String("numFmt"))
            numberFormats.insert(attr(x, "numFmtId").toInt(), attr(x, "formatCode"));
        if (section == QLatin1String("cellXfs") && name == QLatin1String("xf")) {
            Look look;
            look.numberFormat = numberFormats.value(attr(x, "numFmtId").toInt());
            const int fill = attr(x, "fillId").toInt(), border = attr(x, "borderId").toInt();
            if (fill < fills.size()) look.fill = fills[fill];
            if (border < borders.size()) {
                look.left = borders[border][0];
                look.right = borders[border][1];
                look.top = borders[border][2];
                look.bottom = borders[border][3];
            }
            xfs << look;
        }
        if (section == QLatin1String("cellXfs") && name == QLatin1String("alignment") &&
            !xfs.isEmpty())
            xfs.back().horizontal = attr(x, "horizontal");
    }
    return !x.hasError();
}

// "B12" -> row 12, column 2.
void splitReference(const QString& ref, int& row, int& col) {
    col = 0;
    qsizetype i = 0;
    while (i < ref.size() && ref[i].isLetter())
        col = col * 26 + (ref[i++].unicode() - 'A' + 1);
    row = ref.mid(i).toInt();
}
} // namespace

QString columnName(int col) {
    QString name;
    for (; col > 0; col = (col - 1) / 26)
        name.prepend(QChar(u'A' + (col - 1) % 26));
    return name;
}

std::optional<XlsxCell> XlsxSheet::cell(int row, int col) const {
    const auto it = cells.constFind(columnName(col) + QString::number(row));
    if (it == cells.cend()) return std::nullopt;
    return *it;
}

bool readXlsx(const QString& path, XlsxSheet& sheet, QString& error) {
    QByteArray workbook, styles, data;
    if (!unzipMember(path, QStringLiteral("xl/workbook.xml"), workbook, error) ||
        !unzipMember(path, QStringLiteral("xl/styles.xml"), styles, error) ||
        !unzipMember(path, QStringLiteral("xl/worksheets/sheet1.xml"), data, error))
        return false;
    QXmlStreamReader wx(workbook);
    while (!wx.atEnd())
        if (wx.readNext() == QXmlStreamReader::StartElement && wx.name() == QLatin1String("sheet"))
            sheet.sheetNames << attr(wx, "name");
    QList<Look> xfs;
    if (!readStyles(styles, xfs)) {
        error = QStringLiteral("styles.xml is not well-formed");
        return false;
    }
    QXmlStreamReader x(data);
    XlsxCell* current = nullptr;
    while (!x.atEnd()) {
        const auto token = x.readNext();
        if (token != QXmlStreamReader::StartElement) continue;
        const auto name = x.name();
        if (name == QLatin1String("col")) {
            for (int c = attr(x, "min").toInt(); c <= attr(x, "max").toInt(); ++c)
                sheet.widths.insert(c, attr(x, "width").toDouble());
        } else if (name == QLatin1String("c")) {
            const QString ref = attr(x, "r");
            XlsxCell cell;
            const int style = attr(x, "s").toInt();
            if (style < xfs.size()) {
                const Look& l = xfs[style];
                cell.fill = l.fill;
                cell.horizontal = l.horizontal;
                cell.left = l.left;
                cell.right = l.right;
                cell.top = l.top;
                cell.bottom = l.bottom;
                cell.numberFormat = l.numberFormat;
            }
            const QString type = attr(x, "t");
            cell.kind = type == QLatin1String("inlineStr") || type == QLatin1String("str")
                            ? XlsxCell::Text
                            : XlsxCell::Blank;
            current = &(sheet.cells[ref] = cell);
            int row = 0, col = 0;
            splitReference(ref, row, col);
            sheet.maxRow = std::max(sheet.maxRow, row);
            sheet.maxColumn = std::max(sheet.maxColumn, col);
        } else if (name == QLatin1String("v") && current) {
            current->value = x.readElementText();
            if (current->kind == XlsxCell::Blank) current->kind = XlsxCell::Number;
        } else if (name == QLatin1String("t") && current) {
            // Characters XML cannot carry are written as _xHHHH_.
            static const QRegularExpression escaped(QStringLiteral("_x([0-9A-Fa-f]{4})_"));
            QString text = x.readElementText();
            for (auto m = escaped.match(text); m.hasMatch();
                 m = escaped.match(text, m.capturedStart() + 1))
                text.replace(m.capturedStart(), m.capturedLength(),
                             QChar(m.captured(1).toUShort(nullptr, 16)));
            current->value = text;
        }
    }
    if (x.hasError()) {
        error = QStringLiteral("sheet1.xml: ") + x.errorString();
        return false;
    }
    return true;
}

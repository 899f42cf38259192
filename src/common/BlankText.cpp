#include "BlankText.h"

QStringView trimBlanks(QStringView text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin] == QLatin1Char(' '))
        ++begin;
    while (end > begin && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

QString trimBlanks(const QString& text) {
    return trimBlanks(QStringView(text)).toString();
}
